#!/usr/bin/env python3
"""The ratios of calc_bench's figures, from the medians of a JSON report:

    build/release/bin/calc_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
        --benchmark_out=calc.json --benchmark_out_format=json
    bench/calc_ratios.py calc.json
"""
import json
import sys

PAIRS = [
    ("state equation, cosh branch (export) / floor", "BM_StateEquationGetForce/0", "BM_StateEquationFloor/0"),
    ("state equation, cos branch (export) / floor", "BM_StateEquationGetForce/1", "BM_StateEquationFloor/1"),
    ("state equation, cosh branch (C++) / floor", "BM_StateEquationStress/0", "BM_StateEquationFloor/0"),
    ("state equation, cos branch (C++) / floor", "BM_StateEquationStress/1", "BM_StateEquationFloor/1"),
    ("search with account, varied / same solves", "BM_StateEquationGetControl/0", "BM_SearchSolves/0"),
    ("search with account, sag-table spans / same solves", "BM_StateEquationGetControl/1", "BM_SearchSolves/1"),
    ("search without account, varied / same solves", "BM_ControllingConditionSilent/0", "BM_SearchSolves/0"),
]


def main(path):
    with open(path) as f:
        report = json.load(f)
    median = {}
    spread = {}
    for b in report["benchmarks"]:
        if b.get("aggregate_name") == "median":
            median[b["run_name"]] = b["real_time"]
        elif b.get("aggregate_name") == "cv":
            spread[b["run_name"]] = b["real_time"]
    unit = {b["run_name"]: b["time_unit"] for b in report["benchmarks"]}
    for name in sorted(median):
        cv = spread.get(name)
        print(f"{name:36} median {median[name]:12.4g} {unit[name]}" +
              (f"  (cv {100 * cv:.1f} %)" if cv is not None else ""))
    for what, num, den in PAIRS:
        if num in median and den in median:
            print(f"{what}: {median[num] / median[den]:.2f}")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
