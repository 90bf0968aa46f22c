#!/usr/bin/env bash
# The main job: builds the library and the varnel command, and walks the typical road through
# the library on the sample tables that ship with the project: weather areas, conductors, the
# controlling-condition search of a span, the wind loads on a support, the sag table with its
# curves (build/demo/sag_table.csv and sag_table.svg), the critical spans, and a strain section
# with its stringing table and chart (build/demo/stringing.svg); then the profile check of the
# sample line over its ground, with the profile drawing (build/demo/profile.svg).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_deps.sh run
cmake --preset release -DVARNEL_BUILD_TESTS=OFF -DVARNEL_BUILD_BENCH=OFF >/dev/null
cmake --build --preset release --target varnel_tool
./build/release/bin/varnel demo --samples samples --out build/demo
./build/release/bin/varnel profile --terrain samples/profile/terrain.csv \
    --towers samples/profile/towers.csv --crossings samples/profile/crossings.csv \
    --areas samples/weather_areas.dbf --area 典型气象区Ⅵ \
    --conductors samples/conductors.dbf --conductor JL/G1A-240/30 \
    --ground-clearance 7 --svg build/demo/profile.svg
