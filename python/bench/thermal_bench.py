#!/usr/bin/env python3
"""A year of hourly thermal ratings in one call: varnel.ampacity and
varnel.conductor_temperature over 8,760 rows of weather (ambient and wind).

    build/python-venv/bin/python python/bench/thermal_bench.py [--repeat N]

Prints the median wall and processor times of each over the repetitions, the processor time
against the goal (50 ms), and the ratio of each to a plain numpy evaluation of the Joule term
over the same rows (the floor of any vectorised call), measured in the same run.

Then the same year with every input changing by the hour (the sun placed by the day and hour,
the wind's direction against the line, the elevation, albedo, clearness, emissivity,
absorptivity and resistance; the line's latitude and azimuth its own) against the fixed sun,
the calls taking turns, with the goal of at most 1.5x; and a million rows in one call.
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
    every_input_against_fixed_sun(args.repeat)


def every_input(n, seed=738):
    """n hours with every input but the line's latitude and azimuth changing."""
    rng = np.random.default_rng(seed)
    hours = np.arange(n)
    return dict(ambient=rng.uniform(-15, 38, n), wind_speed=rng.uniform(0, 12, n),
                wind_direction=rng.uniform(0, 360, n), azimuth=35.0,
                elevation=rng.uniform(0, 2500, n), latitude=32.0,
                day=(hours // 24) % 365 + 1, hour=hours % 24 + 0.5,
                albedo=rng.uniform(0.05, 0.3, n), emissivity=rng.uniform(0.3, 0.95, n),
                absorptivity=rng.uniform(0.3, 0.95, n), resistance=rng.uniform(0.07, 0.075, n))


def fixed_sun(n, seed=738):
    rng = np.random.default_rng(seed)
    return dict(ambient=rng.uniform(-15, 38, n), wind_speed=rng.uniform(0, 12, n), solar=1000,
                emissivity=0.9, absorptivity=0.9, resistance=0.0739)


def median_times(calls, repeat):
    """The median processor time of each call, the calls taking turns so that a shared
    machine's load falls on all of them alike."""
    spent = [[] for _ in calls]
    for _ in range(repeat):
        for call, times in zip(calls, spent):
            start = time.process_time()
            call()
            times.append(time.process_time() - start)
    return [statistics.median(t) for t in spent]


def every_input_against_fixed_sun(repeat):
    n = 8760
    every, fixed = every_input(n), fixed_sun(n)
    current = np.random.default_rng(1).uniform(100, 900, n)
    for model in ("ieee738", "cigre601"):
        clear = dict(clearness=np.random.default_rng(2).uniform(0.5, 1, n)) \
            if model == "cigre601" else {}
        calls = [lambda: varnel.ampacity(26.82, 70, model=model, **fixed),
                 lambda: varnel.ampacity(26.82, 70, model=model, **every, **clear),
                 lambda: varnel.conductor_temperature(26.82, current, model=model, **fixed),
                 lambda: varnel.conductor_temperature(26.82, current, model=model, **every,
                                                      **clear)]
        times = median_times(calls, repeat)
        for what, (f, e) in (("ampacity", times[:2]), ("conductor_temperature", times[2:])):
            print(f"{what + ', ' + model:<32} 8,760 rows: fixed sun {f * 1e3:6.2f} ms, every "
                  f"input {e * 1e3:6.2f} ms processor, ratio {e / f:4.2f} (goal <= 1.5)")
    big = every_input(1_000_000)
    for model in ("ieee738", "cigre601"):
        t = median_times([lambda: varnel.ampacity(26.82, 70, model=model, errors="nan", **big)],
                         max(3, repeat // 5))[0]
        print(f"{'ampacity, ' + model:<32} 1,000,000 rows, every input: {t:5.2f} s processor")


if __name__ == "__main__":
    main()
