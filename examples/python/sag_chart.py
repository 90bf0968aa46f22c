#!/usr/bin/env python3
"""Stress and sag against span for a conductor in a weather area, with the critical spans marked.

    python sag_chart.py [OUT.png] [--area NAME] [--conductor NAME] [--spans FROM:TO:STEP]

Reads samples/weather_areas.dbf and samples/conductors.dbf from the source tree (or --samples
DIR), and writes the chart to OUT.png (sag_chart.png in the current folder by default).
"""

import argparse
import pathlib

import matplotlib

matplotlib.use("Agg")  # files only, no display
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from matplotlib import font_manager  # noqa: E402

import varnel  # noqa: E402

SAMPLES = pathlib.Path(__file__).resolve().parents[2] / "samples"


def cjk_font():
    """A font with the Chinese condition names, so the legend shows them (Debian:
    fonts-noto-cjk); matplotlib's default has none of them."""
    # matplotlib names a .ttc collection after its first face: "Noto Sans CJK JP" on Debian,
    # which holds the simplified Chinese characters too.
    for name in ("Noto Sans CJK SC", "Noto Sans CJK JP", "Noto Serif CJK SC", "Noto Serif CJK JP",
                 "WenQuanYi Zen Hei"):
        if any(f.name == name for f in font_manager.fontManager.ttflist):
            return name
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out", nargs="?", default="sag_chart.png", help="PNG to write")
    parser.add_argument("--samples", type=pathlib.Path, default=SAMPLES)
    parser.add_argument("--area", default="典型气象区Ⅵ")
    parser.add_argument("--conductor", default="JL/G1A-240/30")
    parser.add_argument("--spans", default="10:600:1", help="FROM:TO:STEP in m")
    args = parser.parse_args()

    area = varnel.load_weather_areas(args.samples / "weather_areas.dbf")[args.area]
    conductor = varnel.load_conductors(args.samples / "conductors.dbf")[args.conductor]
    start, stop, step = (float(x) for x in args.spans.split(":"))
    spans = np.arange(start, stop + step / 2, step)

    table = varnel.sag_table(conductor, area, spans, frame=False)
    critical = varnel.critical_spans(conductor, area)

    font = cjk_font()
    if font:
        plt.rcParams["font.family"] = [font, "DejaVu Sans"]
    fig, (top, bottom) = plt.subplots(2, 1, sharex=True, figsize=(10, 9), layout="constrained")
    for c in area:
        top.plot(spans, table[f"stress_{c.name}"], label=c.name, linewidth=1.2)
        bottom.plot(spans, table[f"sag_{c.name}"], label=c.name, linewidth=1.2)
    for ax in (top, bottom):
        for r in critical.ranges[1:]:
            ax.axvline(r.from_m, color="0.3", linestyle="--", linewidth=0.9)
        ax.grid(True, linewidth=0.4, alpha=0.6)
    for r in critical.ranges:
        end = r.to_m if r.to_m is not None else spans[-1]
        name = area[r.condition].name if r.condition >= 0 else "—"
        middle = (max(r.from_m, spans[0]) + min(end, spans[-1])) / 2
        top.annotate(f"{name}控制", (middle, 1.0), xycoords=("data", "axes fraction"),
                     xytext=(0, 3), textcoords="offset points", ha="center", va="bottom",
                     fontsize=9)
    for r in critical.ranges[1:]:
        bottom.annotate(f"临界档距 {r.from_m:.1f} m", (r.from_m, 0.97),
                        xycoords=("data", "axes fraction"), xytext=(-3, 0),
                        textcoords="offset points", rotation=90, fontsize=8, ha="right",
                        va="top")
    top.set_ylabel("水平应力 σ (N/mm²)")
    bottom.set_ylabel("弧垂 f (m)")
    bottom.set_xlabel("档距 l (m)")
    top.set_title(f"{conductor.name} · {area.name}", pad=18)
    top.legend(ncol=3, fontsize=8, loc="lower right")
    fig.savefig(args.out, dpi=110)
    print(f"{args.out}: {len(spans)} spans, critical spans "
          f"{', '.join(f'{b:.1f}' for b in critical.boundaries) or 'none'} m")


if __name__ == "__main__":
    main()
