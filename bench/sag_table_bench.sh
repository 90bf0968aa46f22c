#!/usr/bin/env bash
# Times `varnel sag-table` (the terminal table, sent to /dev/null) in the sample area VI for
# JL/G1A-240/30 over realistic spans: 10,000 spans from 1 to 1500.85 m by 0.15 m, and 1,000,000
# from 1 to 1500.9985 m by 0.0015 m. For each: the median wall time of RUNS runs (at least 5),
# the time per span, and the peak resident memory of one more run.
#
# The same 10,000 searches without the rest of the table are BM_StateEquationGetControl/1 in
# calc_bench (the account to /dev/null, fully buffered, as here); time per span against its
# per_search figure is the table's cost over the search alone.
#
# Needs GNU time as /usr/bin/time (Debian package `time`) for the peak memory, and bc.
# With valgrind installed, VARNEL_CALLGRIND=1 adds the share of instructions spent inside the
# library over 10,000 spans.
#   bench/sag_table_bench.sh [BUILD_DIR] [RUNS]     (defaults build/release, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/release}/bin/varnel
runs=${2:-5}
if [[ ! -x $bin ]]; then
  echo "sag_table_bench: $bin not found: build the release preset first" >&2
  exit 1
fi
if [[ ! -x /usr/bin/time ]] || ! /usr/bin/time -v true >/dev/null 2>&1; then
  echo "sag_table_bench: GNU time is needed as /usr/bin/time (apt-get install time)" >&2
  exit 1
fi
if ! command -v bc >/dev/null; then
  echo "sag_table_bench: bc is needed (apt-get install bc)" >&2
  exit 1
fi
if ((runs < 5)); then
  echo "sag_table_bench: at least 5 runs for a median" >&2
  exit 1
fi
base=(sag-table --areas samples/weather_areas.dbf --area "典型气象区Ⅵ"
  --conductors samples/conductors.dbf --conductor JL/G1A-240/30)

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

measure() {
  local spans=$1 count=$2 times=() t start end
  for _ in $(seq "$runs"); do
    start=$(date +%s.%N)
    "$bin" "${base[@]}" --spans "$spans" >/dev/null
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc -l)")
  done
  t=$(printf '%s\n' "${times[@]}" | median)
  local rss
  rss=$(/usr/bin/time -v "$bin" "${base[@]}" --spans "$spans" 2>&1 >/dev/null |
    awk -F': ' '/Maximum resident set size/ { print $2 }')
  printf 'sag-table, %d spans (%s): median of %d runs %.3f s (runs: %s), %.3f us per span, peak RSS %d kB\n' \
    "$count" "$spans" "$runs" "$t" "$(printf '%.3f ' "${times[@]}")" \
    "$(echo "$t * 1000000 / $count" | bc -l)" "$rss"
}

measure 1:1500.85:0.15 10000
measure 1:1500.9985:0.0015 1000000

if [[ ${VARNEL_CALLGRIND:-0} == 1 ]] && command -v valgrind >/dev/null; then
  out=$(mktemp)
  valgrind --tool=callgrind --callgrind-out-file="$out" "$bin" "${base[@]}" \
    --spans 1:1500.85:0.15 >/dev/null 2>&1
  total=$(callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
  inside=$(callgrind_annotate --inclusive=no "$out" 2>/dev/null |
    awk '/libvarnel\.so/ {gsub(",", "", $1); s += $1} END {print s + 0}')
  # The library's own instructions plus the C library calls it makes on its behalf.
  under=$(callgrind_annotate --inclusive=yes "$out" 2>/dev/null |
    awk '/:(StateEquationGetControl|StateEquationGetForce|CalcBZ) / {gsub(",", "", $1); s += $1} END {print s + 0}')
  rm -f "$out"
  printf 'instructions: %s in all, %s in libvarnel.so itself (%.1f%%), %s under its entry points (%.1f%%)\n' \
    "$total" "$inside" "$(echo "100 * $inside / $total" | bc -l)" "$under" "$(echo "100 * $under / $total" | bc -l)"
fi
