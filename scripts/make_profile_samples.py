#!/usr/bin/env python3
"""Writes the sample line profile in samples/profile/ for `varnel profile`.

    scripts/make_profile_samples.py           write terrain.csv, towers.csv and crossings.csv
    scripts/make_profile_samples.py --check   exit 1, naming the file, when a committed file is
                                              not what this script gives

The line is composed for the samples: no real route stands behind it. It is a 110 kV single
circuit of JL/G1A-240/30 in the typical weather area VI, about 7.3 km long, 20 towers in five
strain sections: over a hill, down into a valley, across a navigable river in a strain section
of its own, past a road and a building beside the line, and over a second, higher hill. The
ground is a sum of smooth bumps on a gentle rise, sampled every 50 m (and at the river's banks),
so the same script always gives the same bytes.

The design is meant to mostly hold with `--ground-clearance 7`, and to fail in two places a
designer would look at first: the span N14-N15 crosses the second hill's crest too low, and the
suspension tower N8 stands in the valley well below both neighbours, so that little conductor
weight holds its string down and the string swings out past its allowed angle in the wind.
"""

import argparse
import math
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
OUT = REPO / "samples" / "profile"

LENGTH_M = 7300.0
STEP_M = 50.0

# (centre station m, height m, half-width m): hills above the rise, valleys and the river's
# channel below it. A Gaussian bump: height * exp(-((x - centre) / width)^2 / 2).
BUMPS = [
    (1520.0, 42.0, 260.0),  # the first hill, N5 near its top
    (2720.0, -26.0, 190.0),  # the valley N8 stands in
    (3650.0, -9.0, 45.0),  # the river's channel
    (5230.0, 58.0, 300.0),  # the second hill, its crest mid-span between N14 and N15
    (6330.0, 22.0, 180.0),  # a low ridge
]
# The river's banks, where the ground drops into the channel: sampled as well.
RIVER_BANKS_M = (3590.0, 3710.0)
RIVER_HIGHEST_NAVIGABLE_M = 150.0

# name, station m, kind, arm height m, line angle deg.
# Strain towers are lower and carry longer, heavier strings; suspension towers get taller where
# the ground rises between them.
TOWERS = [
    ("N1", 0.0, "strain", 18.0, 0.0),
    ("N2", 375.0, "suspension", 24.0, 0.0),
    ("N3", 770.0, "suspension", 27.0, 0.0),
    ("N4", 1160.0, "suspension", 30.0, 0.0),
    ("N5", 1545.0, "suspension", 24.0, 0.0),
    ("N6", 1935.0, "suspension", 30.0, 0.0),
    ("N7", 2330.0, "strain", 21.0, 18.5),
    ("N8", 2715.0, "suspension", 21.0, 0.0),
    ("N9", 3095.0, "suspension", 27.0, 0.0),
    ("N10", 3420.0, "strain", 24.0, 0.0),
    ("N11", 3905.0, "strain", 24.0, 0.0),
    ("N12", 4285.0, "suspension", 24.0, 0.0),
    ("N13", 4660.0, "suspension", 27.0, 0.0),
    ("N14", 5030.0, "suspension", 29.0, 0.0),
    ("N15", 5420.0, "suspension", 29.0, 0.0),
    ("N16", 5800.0, "strain", 21.0, 32.0),
    ("N17", 6170.0, "suspension", 30.0, 0.0),
    ("N18", 6545.0, "suspension", 30.0, 0.0),
    ("N19", 6925.0, "suspension", 24.0, 0.0),
    ("N20", 7300.0, "strain", 18.0, 11.0),
]
# A suspension string of 8 discs of 70 kN with its fittings, and a strain string of 9 discs with
# the heavier strain fittings: m and N.
SUSPENSION_STRING = (1.7, 520.0)
STRAIN_STRING = (2.3, 1150.0)
# The tower head's allowed swing of a suspension string, deg: a narrower head on the towers
# of the middle of the line.
MAX_SWING_DEG = {"N8": 55.0, "N9": 55.0}
DEFAULT_MAX_SWING_DEG = 60.0

# name, station m, elevation m (the ground or the highest water, + the height of what is
# crossed), clearance m, offset m from the centreline (None: on it).
CROSSINGS = [
    ("river (highest navigable level)", 3650.0, RIVER_HIGHEST_NAVIGABLE_M, 6.0, None),
    ("road S214", 4470.0, None, 7.0, None),
    ("farm building", 6060.0, None, 5.0, 12.0),
]
ROAD_SURFACE_ABOVE_GROUND_M = 0.5
BUILDING_HEIGHT_M = 8.0


def ground(x: float) -> float:
    """The ground's elevation at station x, m."""
    z = 142.0 + 0.004 * x
    for centre, height, width in BUMPS:
        z += height * math.exp(-0.5 * ((x - centre) / width) ** 2)
    return z


def fixed(v: float, decimals: int = 1) -> str:
    text = f"{v:.{decimals}f}"
    return "0.0" if text in ("-0.0", "-0") else text


def terrain_rows():
    stations = {round(i * STEP_M, 1) for i in range(int(LENGTH_M / STEP_M) + 1)}
    stations.update(RIVER_BANKS_M)
    rows = []
    for x in sorted(stations):
        rows.append((x, ground(x)))
    return rows


def terrain_text() -> str:
    lines = ["station_m,elevation_m"]
    lines += [f"{fixed(x)},{fixed(z)}" for x, z in terrain_rows()]
    return "\n".join(lines) + "\n"


def ground_on_terrain(x: float) -> float:
    """The ground at x as the command sees it: linear between the terrain file's rounded points."""
    rows = [(float(fixed(a)), float(fixed(b))) for a, b in terrain_rows()]
    for (x0, z0), (x1, z1) in zip(rows, rows[1:]):
        if x0 <= x <= x1:
            return z0 + (z1 - z0) * (x - x0) / (x1 - x0)
    raise ValueError(f"station {x} is off the terrain")


def towers_text() -> str:
    lines = [
        "name,station_m,kind,arm_height_m,insulator_length_m,insulator_weight_N,"
        "angle_deg,max_swing_deg"
    ]
    for name, station, kind, arm, angle in TOWERS:
        length, weight = SUSPENSION_STRING if kind == "suspension" else STRAIN_STRING
        swing = (
            fixed(MAX_SWING_DEG.get(name, DEFAULT_MAX_SWING_DEG)) if kind == "suspension" else ""
        )
        lines.append(
            f"{name},{fixed(station)},{kind},{fixed(arm)},{fixed(length)},{fixed(weight)},"
            f"{fixed(angle)},{swing}"
        )
    return "\n".join(lines) + "\n"


def crossings_text() -> str:
    lines = ["name,station_m,elevation_m,clearance_m,offset_m"]
    for name, station, elevation, clearance, offset in CROSSINGS:
        if elevation is None:
            extra = BUILDING_HEIGHT_M if offset is not None else ROAD_SURFACE_ABOVE_GROUND_M
            elevation = ground_on_terrain(station) + extra
        lines.append(
            f"{name},{fixed(station)},{fixed(elevation)},{fixed(clearance)},"
            f"{fixed(offset) if offset is not None else ''}"
        )
    return "\n".join(lines) + "\n"


def files():
    return {
        "terrain.csv": terrain_text(),
        "towers.csv": towers_text(),
        "crossings.csv": crossings_text(),
    }


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="compare, do not write")
    parser.add_argument("--out", type=Path, default=OUT, help="folder to write (default samples/profile)")
    args = parser.parse_args(argv)
    stale = []
    for name, text in files().items():
        path = args.out / name
        data = text.encode("utf-8")
        if args.check:
            if not path.is_file() or path.read_bytes() != data:
                stale.append(path)
        else:
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
    for path in stale:
        print(f"make_profile_samples.py: {path} is not what the script gives; run it", file=sys.stderr)
    return 1 if stale else 0


if __name__ == "__main__":
    sys.exit(main())
