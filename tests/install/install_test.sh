#!/usr/bin/env bash
# Installs a build to a fresh prefix, as a user would, and uses it from outside the source tree:
# a CMake project with find_package, a program built with pkg-config, the SONAME, the command's
# version and its demo run from / with the installed samples.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" --strip >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libvarnel.so.1' | head -1)")
readelf -d "$libdir/libvarnel.so.1" | grep -q 'Library soname: \[libvarnel.so.1\]'
echo "SONAME libvarnel.so.1 in $libdir"

# CMake: find_package(Varnel 1 CONFIG REQUIRED).
cmake -S "$source/tests/install/downstream" -B "$work/cmake" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/downstream"

# pkg-config.
export PKG_CONFIG_PATH=$libdir/pkgconfig
flags=$(pkg-config --cflags --libs varnel)
cc "$source/tests/install/downstream/main.c" $flags -lm -o "$work/pkgconfig_host"
LD_LIBRARY_PATH=$libdir "$work/pkgconfig_host"

# The command, from anywhere.
want="varnel $(pkg-config --modversion varnel)"
got=$("$prefix/bin/varnel" --version)
[[ $got == "$want" ]] || { echo "varnel --version: '$got', expected '$want'" >&2; exit 1; }
demo=$(cd / && "$prefix/bin/varnel" demo --out "$work/demo")
grep -q "from $prefix/share/varnel/samples/weather_areas.dbf" <<<"$demo" ||
  { echo "varnel demo did not use the installed samples" >&2; exit 1; }
[[ -s $work/demo/stringing.svg ]]
echo "installed and used: find_package, pkg-config, $got, demo from /"
