#!/usr/bin/env python3
"""A year of hourly thermal ratings in one call: varnel.ampacity and
varnel.conductor_temperature over 8,760 rows of weather (ambient and wind).

    build/python-venv/bin/python python/bench/thermal_bench.py [--repeat N]

Prints the median wall and processor times of each over the repetitions, the processor time
against the goal (50 ms), and the ratio of each to a plain numpy evaluation of the Joule term
over the same rows (the floor of any vectorised call), measured in the same run.
"""

import argparse
import statistics
import time

import numpy as np

import varnel

GOAL_MS = 50


def median_time(call, repeat):
    """The median wall time and the median processor time of the calls: on a shared machine
    the first counts the time other programs took as well, the second only this one's."""
    wall, cpu = [], []
    for _ in range(repeat):
        start, start_cpu = time.perf_counter(), time.process_time()
        call()
        wall.append(time.perf_counter() - start)
        cpu.append(time.process_time() - start_cpu)
    return statistics.median(wall), statistics.median(cpu)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=15)
    args = parser.parse_args()

    hours = np.arange(8760)
    rng = np.random.default_rng(601)
    # A year of weather: a seasonal and daily swing of the air, winds from still to a gale.
    ambient = (15 + 12 * np.sin(2 * np.pi * hours / 8760) + 6 * np.sin(2 * np.pi * hours / 24)
               + rng.normal(0, 2, hours.size))
    wind = rng.gamma(2.0, 1.5, hours.size)
    common = dict(solar=1000, emissivity=0.9, absorptivity=0.9, resistance=0.0739)

    def rating(model):
        return lambda: varnel.ampacity(26.82, 70, ambient=ambient, wind_speed=wind, model=model,
                                       **common)

    current = rating("ieee738")().current
    temperature = lambda: varnel.conductor_temperature(26.82, current, ambient=ambient,
                                                       wind_speed=wind, **common)
    floor, _ = median_time(
        lambda: current * current * 0.0739e-3 * (1 + 0.00403 * (ambient - 20)), args.repeat)
    for what, call in [("ampacity, ieee738", rating("ieee738")),
                       ("ampacity, cigre601", rating("cigre601")),
                       ("conductor_temperature, ieee738", temperature)]:
        t, cpu = median_time(call, args.repeat)
        verdict = "meets" if cpu * 1e3 < GOAL_MS else "MISSES"
        print(f"{what:<32} 8,760 rows {t * 1e3:7.2f} ms wall, {cpu * 1e3:7.2f} ms processor "
              f"({verdict} the {GOAL_MS} ms goal; {t / floor:5.0f}x numpy's I²R)")


if __name__ == "__main__":
    main()
