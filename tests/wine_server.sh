#!/bin/sh
# Starts or stops the wineserver that the test programs share (WINEPREFIX comes from ctest).
set -e
case "$1" in
  start)
    mkdir -p "$WINEPREFIX"
    wineserver -k >/dev/null 2>&1 || true
    wineserver -p >/dev/null 2>&1 </dev/null
    # The first program in a fresh prefix creates it; do it here, not inside a test.
    # VARNEL_WINE is the build's loader: wine for the 32-bit build, wine64 for the 64-bit one.
    "${VARNEL_WINE:-wine}" cmd /c exit >/dev/null 2>&1 </dev/null || true
    ;;
  stop)
    wineserver -k >/dev/null 2>&1 || true
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
