#!/usr/bin/env bash
# Times `varnel sag-table` over 10,000 spans (output to /dev/null) and measures the share of its
# work spent inside the library: instructions counted by callgrind in libvarnel.so against the
# whole run.
#   bench/sag_table_bench.sh [BUILD_DIR]     (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/release}/bin/varnel
args=(sag-table --areas samples/weather_areas.dbf --area "典型气象区Ⅵ"
  --conductors samples/conductors.dbf --conductor JL/G1A-240/30 --spans 1:10000:1)

runs=5
best=""
for _ in $(seq $runs); do
  start=$(date +%s.%N)
  "$bin" "${args[@]}" >/dev/null
  end=$(date +%s.%N)
  t=$(echo "$end - $start" | bc -l)
  if [[ -z $best ]] || (( $(echo "$t < $best" | bc -l) )); then best=$t; fi
done
printf 'sag-table, 10000 spans: best of %d runs %.3f s\n' "$runs" "$best"

if command -v valgrind >/dev/null; then
  out=$(mktemp)
  valgrind --tool=callgrind --callgrind-out-file="$out" "$bin" "${args[@]}" >/dev/null 2>&1
  total=$(callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
  inside=$(callgrind_annotate --inclusive=no "$out" 2>/dev/null |
    awk '/libvarnel\.so/ {gsub(",", "", $1); s += $1} END {print s + 0}')
  # The library's own instructions plus the C library math it calls on its behalf.
  math=$(callgrind_annotate --inclusive=yes "$out" 2>/dev/null |
    awk '/:(StateEquationGetControl|StateEquationGetForce|CalcBZ) / {gsub(",", "", $1); s += $1} END {print s + 0}')
  rm -f "$out"
  printf 'instructions: %s in all, %s in libvarnel.so itself (%.1f%%), %s under its entry points (%.1f%%)\n' \
    "$total" "$inside" "$(echo "100 * $inside / $total" | bc -l)" "$math" "$(echo "100 * $math / $total" | bc -l)"
fi
