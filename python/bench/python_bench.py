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


def median_times(calls, repeat):
    """The median time of each call; the calls take turns, so that a shared machine's load
    falls on all of them alike."""
    times = [[] for _ in calls]
    for _ in range(repeat):
        for call, spent in zip(calls, times):
            start = time.perf_counter()
            call()
            spent.append(time.perf_counter() - start)
    return [statistics.median(t) for t in times]


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
    ours, floor = median_times(
        [lambda: varnel.state_stress(span, line, known, sought, stress, cos=cos),
         lambda: _core._state_stress_loop(span, cos, stress, line, known, sought)], repeat)
    assert np.array_equal(varnel.state_stress(span, line, known, sought, stress, cos=cos),
                          _core._state_stress_loop(span, cos, stress, line, known, sought))
    report(f"state_stress, {n:,} spans", ours, floor, 1.5)

    n = 100_000
    spans = rng.uniform(50, 1000, n)
    conditions = list(area)
    calls = [lambda: _core.sag_table(spans, line, conditions, 1.0, 0.25, 0.95, 2.5),
             lambda: varnel.sag_table(line, area, spans, frame=False)]
    try:
        import pandas  # noqa: F401

        calls.append(lambda: varnel.sag_table(line, area, spans, frame=True))
    except ImportError:
        pass
    floor, *ours = median_times(calls, repeat)
    for what, t in zip(("dict of arrays", "DataFrame"), ours):
        report(f"sag_table, {n:,} spans, {what}", t, floor, 2)


if __name__ == "__main__":
    main()
