#!/usr/bin/env bash
# The 32-bit Windows build installed to a prefix and used by a mingw-w64 host with the docs'
# own snippets, the program run under wine; and the docs' run-time loading example is the one the
# build compiles.
#   win32_install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
doc=$source/docs/linking.md
snippet() { bash "$source/tests/install/doc_snippet.sh" "$doc" "$1"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VARNEL=$work/prefix

cmake --install "$build" --prefix "$VARNEL" --strip >/dev/null
cp "$source/tests/install/downstream/main.c" "$work/"
(cd "$work" && eval "$(snippet mingw)")
(cd "$work" && wine linehost.exe)
diff <(snippet runtime-loading) "$source/examples/runtime_loading.c"
echo "mingw host linked against the installed import library and run; run-time loading shown as built"
