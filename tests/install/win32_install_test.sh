#!/usr/bin/env bash
# The 32-bit Windows build installed to a prefix and used by a mingw-w64 host with the docs'
# own snippets, the program run under wine; and the docs' run-time loading example is the one the
# build compiles.
#   win32_install_test.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/install_setup.sh" "$@"

cmake --install "$build" --prefix "$VARNEL" --strip >/dev/null
cp "$source/tests/install/downstream/main.c" "$work/"
(cd "$work" && eval "$(snippet mingw)")
(cd "$work" && wine linehost.exe)
diff <(snippet runtime-loading) "$source/examples/runtime_loading.c"

# MSVC: the docs' clang-cl and lld-link lines, with a CRT-free host and a kernel32.lib made as
# the build makes varnel.lib.
mkdir "$work/msvc"
cp "$source/tests/msvc/msvc_host.c" "$work/msvc/"
printf 'LIBRARY KERNEL32.dll\nEXPORTS\n    ExitProcess@4\n' >"$work/msvc/kernel32.def"
(cd "$work/msvc" && llvm-dlltool-14 -m i386 -k -d kernel32.def -l kernel32.lib)
clang-cl() { clang-cl-14 "$@"; }
(cd "$work/msvc" && eval "$(snippet msvc)" && wine msvc_host.exe)
echo "mingw and MSVC-style hosts linked against the installed import libraries and run; run-time loading shown as built"
