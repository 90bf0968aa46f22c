#!/usr/bin/env bash
# The main job: builds the native library and runs the example host on the sample tables that
# ship with the project. The library writes its account of the controlling-condition search in
# GBK; it is shown in UTF-8.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_deps.sh run
cmake --preset release -DVARNEL_BUILD_TESTS=OFF -DVARNEL_BUILD_BENCH=OFF >/dev/null
cmake --build --preset release --target example_host
./build/release/bin/example_host samples/weather_areas.dbf samples/conductors.dbf | iconv -f GBK -t UTF-8
