#!/usr/bin/env python3
"""Binding overhead of varnel: each public call against the plain C++ loop over the same arrays.

    build/python-venv/bin/python python/bench/python_bench.py [--repeat N]

state_stress over 1,000,000 spans against _core._state_stress_loop (a raw loop over the same
three float64 buffers: no broadcasting, no checks); sag_table over 100,000 spans against
_core.sag_table (the search and the state equation per span, without the account, into
preallocated arrays). Prints the median of the repetitions and the ratio. Goals: 1.5x and 2x.
"""

import argparse
import pathlib
import statistics
import time

import numpy as np

import varnel
from varnel import _core

SAMPLES = pathlib.Path(__file__).resolve().parents[2] / "samples"


def median_time(call, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def report(what, ours, floor, goal):
    ratio = ours / floor
    print(f"{what:<44} {ours * 1e3:9.1f} ms   C++ loop {floor * 1e3:9.1f} ms   "
          f"ratio {ratio:5.2f} (goal <= {goal})")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=7)
    args = parser.parse_args()
    repeat = max(args.repeat, 5)

    area = varnel.load_weather_areas(SAMPLES / "weather_areas.dbf")["典型气象区Ⅵ"]
    line = varnel.load_conductors(SAMPLES / "conductors.dbf")["JL/G1A-240/30"]
    rng = np.random.default_rng(1)

    # Realistic and varied: spans of 50 to 1000 m, slopes up to about 35°, stresses around the
    # allowable ones.
    n = 1_000_000
    span = rng.uniform(50, 1000, n)
    cos = rng.uniform(0.82, 1.0, n)
    stress = rng.uniform(40, 110, n)
    known, sought = area["覆冰"], area["高温"]
    ours = median_time(lambda: varnel.state_stress(span, line, known, sought, stress, cos=cos),
                       repeat)
    floor = median_time(lambda: _core._state_stress_loop(span, cos, stress, line, known, sought),
                        repeat)
    assert np.array_equal(varnel.state_stress(span, line, known, sought, stress, cos=cos),
                          _core._state_stress_loop(span, cos, stress, line, known, sought))
    report(f"state_stress, {n:,} spans", ours, floor, 1.5)

    n = 100_000
    spans = rng.uniform(50, 1000, n)
    conditions = list(area)
    floor = median_time(lambda: _core.sag_table(spans, line, conditions, 1.0, 0.25, 0.95, 2.5),
                        repeat)
    arrays = median_time(lambda: varnel.sag_table(line, area, spans, frame=False), repeat)
    report(f"sag_table, {n:,} spans, dict of arrays", arrays, floor, 2)
    try:
        import pandas  # noqa: F401
    except ImportError:
        return
    frame = median_time(lambda: varnel.sag_table(line, area, spans, frame=True), repeat)
    report(f"sag_table, {n:,} spans, DataFrame", frame, floor, 2)


if __name__ == "__main__":
    main()
