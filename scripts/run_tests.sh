#!/usr/bin/env bash
# The whole test suite: the native build with sanitizers, the 32- and 64-bit Windows DLLs under
# wine, the optimised build that carries the benchmarks (built, not timed), the Python package
# against that build's libvarnel.so, and a short run of the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_deps.sh test

# The shared corpus of real-world DBF tables, beside the clone when it is there; the tests that
# read it are skipped without it.
if [[ -d ../shared/corpus/dbf ]]; then
  VARNEL_DBF_CORPUS="$(cd ../shared/corpus/dbf && pwd)"
  export VARNEL_DBF_CORPUS
fi

cmake --workflow --preset native
cmake --workflow --preset win32
cmake --workflow --preset win64
cmake --workflow --preset release

# The Python package, built into a venv from this tree, and its tests; those that compare it with
# the exports load the release build's libvarnel.so.
bash scripts/install_python.sh build/python-venv
VARNEL_LIBRARY="$PWD/build/release/bin/libvarnel.so" VARNEL_REQUIRE_LIBRARY=1 \
  build/python-venv/bin/python -m pytest -q -p no:cacheprovider python/tests

# About a minute of fuzzing from the committed seeds. New inputs go to a folder in the build tree;
# a crash or a broken invariant stops the fuzzer with a failure, and the script with it.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/dbf_corpus build/fuzz/artifacts
build/fuzz/bin/dbf_fuzz -max_total_time=60 -max_len=8192 -print_final_stats=1 \
  -artifact_prefix=build/fuzz/artifacts/ build/fuzz/dbf_corpus fuzz/seeds/dbf
