#!/usr/bin/env bash
# Installs a build to a fresh prefix, as docs/linking.md tells a user to, and uses it from
# outside the source tree with the docs' own snippets: a C program and a C++ program of the
# design layer, each built with CMake's find_package and with pkg-config; then the SONAME,
# Varnel.cs beside the C# guide, the command's version, and its demo run from / with the
# installed samples.
#   install_test.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/install_setup.sh" "$@"

# The install snippet names build/release, as run from a source tree.
mkdir -p "$work/tree/build"
ln -s "$build" "$work/tree/build/release"
(cd "$work/tree" && eval "$(snippet install)") >/dev/null
# The SONAME carries the major version, project(varnel VERSION MAJOR.…) in CMakeLists.txt.
major=$(sed -n 's/^project(varnel VERSION \([0-9]*\)\..*/\1/p' "$source/CMakeLists.txt")
libdir=$(dirname "$(find "$VARNEL" -name "libvarnel.so.$major" | head -1)")
readelf -d "$libdir/libvarnel.so.$major" | grep -q "Library soname: \[libvarnel.so.$major\]"
echo "SONAME libvarnel.so.$major in $libdir"

# CMake: find_package(Varnel MAJOR CONFIG REQUIRED), as the docs give it.
mkdir -p "$work/host/linehost"
snippet cmake-project >"$work/host/linehost/CMakeLists.txt"
cp "$source/tests/install/downstream/main.c" "$work/host/linehost/"
(cd "$work/host" && eval "$(snippet cmake-build)") >/dev/null
"$work/host/linehost-build/linehost"

# pkg-config.
mkdir "$work/pc"
cp "$source/tests/install/downstream/main.c" "$work/pc/"
(cd "$work/pc" && eval "$(snippet pkg-config)" && ./linehost)

# C++: the design layer's installed headers, with CMake and with pkg-config.
mkdir -p "$work/host/sectionhost" "$work/pcxx"
snippet cmake-project-cxx >"$work/host/sectionhost/CMakeLists.txt"
cp "$source/tests/install/downstream/design_host.cpp" "$work/host/sectionhost/"
(cd "$work/host" && eval "$(snippet cmake-build-cxx)") >/dev/null
"$work/host/sectionhost-build/sectionhost"
cp "$source/tests/install/downstream/design_host.cpp" "$work/pcxx/"
(cd "$work/pcxx" && eval "$(snippet pkg-config-cxx)" && ./sectionhost)

# The C# declarations beside their guide.
[[ -s $VARNEL/share/doc/varnel/docs/Varnel.cs && -s $VARNEL/share/doc/varnel/docs/csharp.md ]] ||
  { echo "Varnel.cs is not installed beside csharp.md" >&2; exit 1; }

# The command, from anywhere.
want="varnel $(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --modversion varnel)"
got=$("$VARNEL/bin/varnel" --version)
[[ $got == "$want" ]] || { echo "varnel --version: '$got', expected '$want'" >&2; exit 1; }
demo=$(cd / && "$VARNEL/bin/varnel" demo --out "$work/demo")
grep -q "from $VARNEL/share/varnel/samples/weather_areas.dbf" <<<"$demo" ||
  { echo "varnel demo did not use the installed samples" >&2; exit 1; }
[[ -s $work/demo/stringing.svg ]]
echo "installed and used: find_package, pkg-config, $got, demo from /"
