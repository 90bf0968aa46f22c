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
# varnel.dll's suites run under 32-bit wine, which needs a kernel that runs 32-bit x86 programs;
# a kernel built without that support answers "Exec format error". There the DLL is still built
# (and its exports checked at link time), and the run says plainly that its tests were skipped.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  cmake --workflow --preset win32
else
  echo "run_tests: this kernel does not run 32-bit x86 programs: varnel.dll is built, its tests under wine are NOT run" >&2
  cmake --preset win32 >/dev/null
  cmake --build --preset win32
fi
cmake --workflow --preset win64
cmake --workflow --preset release

# The page: the command compiled to WebAssembly, opened from disk in Debian's chromium and checked
# against the release build's command (playwright-core from npm, at its locked version).
cmake --workflow --preset wasm
(cd web/tests && npm ci --no-audit --no-fund && VARNEL="$PWD/../../build/release/bin/varnel" node --test)

# The Python package, built into a venv from this tree, and its tests; those that compare it with
# the exports load the release build's libvarnel.so.
bash scripts/install_python.sh build/python-venv
VARNEL_LIBRARY="$PWD/build/release/bin/libvarnel.so" VARNEL_REQUIRE_LIBRARY=1 \
  build/python-venv/bin/python -m pytest -q -p no:cacheprovider python/tests

# About a minute of fuzzing from the committed seeds: half of it for the table reader, a quarter
# each for the design layer and for `varnel section` (which loads the sample tables and runs the
# command twice an input, so it makes far fewer runs a second). New inputs go to a folder per
# target in the build tree; a crash or a broken invariant stops the fuzzer with a failure, and the
# script with it.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
fuzz() {
  local target=$1 seconds=$2 max_len=$3
  mkdir -p "build/fuzz/${target}_corpus" build/fuzz/artifacts
  "build/fuzz/bin/${target}_fuzz" -max_total_time="$seconds" -max_len="$max_len" \
    -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ "build/fuzz/${target}_corpus" \
    "fuzz/seeds/$target"
}
fuzz dbf 30 8192
fuzz design 15 256
fuzz section 15 4096
