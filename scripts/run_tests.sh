#!/usr/bin/env bash
# The whole test suite: the native build with sanitizers, the 32-bit Windows DLL under wine, and
# the optimised build that carries the benchmarks (built, not timed).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_deps.sh test
cmake --workflow --preset native
cmake --workflow --preset win32
cmake --preset release >/dev/null
cmake --build --preset release
