#!/usr/bin/env bash
# Installs what Varnel needs on Debian 12. Idempotent: returns at once when
# every package is already there.
#   scripts/install_deps.sh run    native build of the library, the tool and the example
#   scripts/install_deps.sh python the Python package: its build, its tests and its example
#   scripts/install_deps.sh test   everything the test suite needs (native, win32 under wine, fuzzing,
#                                  the Python package)
set -euo pipefail

what=${1:-test}

run_pkgs=(build-essential cmake ninja-build pkg-config libcli11-dev libfmt-dev nlohmann-json3-dev
  libfast-float-dev)
# The Python package builds offline against Debian's pybind11 and numpy in a venv (python3-venv)
# that sees the system's packages; pandas, matplotlib and the CJK font serve its tests and example,
# pyshp (an independent DBF reader and writer) its tests.
python_pkgs=(build-essential libfast-float-dev python3 python3-dev python3-venv python3-pip python3-setuptools
  pybind11-dev python3-pybind11 libfmt-dev libcli11-dev python3-numpy python3-pandas python3-matplotlib python3-pytest
  python3-pyshp fonts-noto-cjk)
# mono-mcs, libmono-i18n-cjk4.0-cil: the C# kit's test (mcs, the runtime, code page 936).
# locales: the zh_CN sources from which the win32 tests compile a locale for wine (code page 936).
# libexpat1-dev: the section fuzz target parses the SVGs the command writes.
# clang-tools-14 (clang-cl-14), lld (lld-link, and lld-link-14 from lld-14) and llvm-14
# (llvm-dlltool-14): the MSVC import libraries and the MSVC-style host that tests them, with the
# docs' lines as a user types them.
# emscripten: the web page's WebAssembly module (it brings Debian's nodejs where no node is
# installed); chromium: the page's browser tests; npm (below) installs their playwright-core.
# python3-mpmath: an independent Bessel-function evaluation for the thermal tests.
test_pkgs=("${run_pkgs[@]}" libgtest-dev libbenchmark-dev clang libclang-rt-14-dev libexpat1-dev
  libshp-dev libboost-dev g++-mingw-w64-i686-posix wine wine32:i386 python3 python3-pytest locales
  mono-mcs libmono-i18n-cjk4.0-cil g++-mingw-w64-x86-64-posix wine64 clang-tools-14 lld lld-14
  llvm-14 emscripten chromium python3-mpmath "${python_pkgs[@]}")

case "$what" in
  run) pkgs=("${run_pkgs[@]}") ;;
  python) pkgs=("${python_pkgs[@]}") ;;
  test) pkgs=("${test_pkgs[@]}") ;;
  *) echo "usage: $0 [run|python|test]" >&2; exit 2 ;;
esac

need_i386=0
for p in "${pkgs[@]}"; do [[ $p == *:i386 ]] && need_i386=1; done

missing=()
for p in "${pkgs[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$p")
done
# npm: Debian's, unless the machine has one already (a Node.js from elsewhere brings its own,
# and Debian's npm would conflict with it).
if [[ $what == test ]] && ! command -v npm >/dev/null; then missing+=(npm); fi
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "install_deps: not root and no sudo; install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi

if [[ $need_i386 -eq 1 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi

echo "install_deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
