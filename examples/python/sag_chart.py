#!/usr/bin/env python3
"""Stress and sag against span for a conductor in a weather area, with the critical spans marked.

    python sag_chart.py [--out OUT.png] [--area NAME] [--conductor NAME] [--spans FROM:TO:STEP]
                        [--samples DIR]

Reads weather_areas.dbf and conductors.dbf from the samples of the source tree (or --samples
DIR) and writes the chart to --out (default: sag_chart.png in the current folder; a PNG, as its
name should end). A bad argument or input is answered with one line on standard error, status 2
for the command line and 1 for the data.
"""

import argparse
import math
import pathlib
import sys

SAMPLES = pathlib.Path(__file__).resolve().parents[2] / "samples"
PROG = "sag_chart.py"


class Refused(Exception):
    """A command line or an input that cannot be used; its message is the whole answer."""

    def __init__(self, message, status=1):
        super().__init__(message)
        self.status = status


class Parser(argparse.ArgumentParser):
    def error(self, message):
        raise Refused(f"{message} (see --help)", 2)


def span_range(text):
    """FROM:TO:STEP in metres, 0 <= FROM <= TO, STEP > 0, at most 100,000 spans."""
    parts = text.split(":")
    if len(parts) != 3:
        raise argparse.ArgumentTypeError(f"{text!r}: expected FROM:TO:STEP")
    try:
        start, stop, step = (float(p) for p in parts)
    except ValueError:
        raise argparse.ArgumentTypeError(f"{text!r}: FROM, TO and STEP must be numbers") from None
    if not all(math.isfinite(v) for v in (start, stop, step)):
        raise argparse.ArgumentTypeError(f"{text!r}: FROM, TO and STEP must be finite")
    if not 0 <= start <= stop:
        raise argparse.ArgumentTypeError(f"{text!r}: expected 0 <= FROM <= TO")
    if not step > 0 or (stop - start) / step > 100_000:
        raise argparse.ArgumentTypeError(f"{text!r}: STEP must be above 0, with at most "
                                         "100,000 spans")
    return start, stop, step


def arguments(argv):
    parser = Parser(prog=PROG, description=__doc__.splitlines()[0])
    parser.add_argument("out_path", nargs="?", metavar="OUT.png",
                        help="the same as --out (kept for older command lines)")
    parser.add_argument("--out", type=pathlib.Path,
                        help="PNG to write (default: sag_chart.png in the current folder)")
    parser.add_argument("--samples", type=pathlib.Path, default=SAMPLES,
                        help="folder of weather_areas.dbf and conductors.dbf")
    parser.add_argument("--area", default="典型气象区Ⅵ")
    parser.add_argument("--conductor", default="JL/G1A-240/30")
    parser.add_argument("--spans", type=span_range, default=span_range("10:600:1"),
                        help="FROM:TO:STEP in m (default 10:600:1)")
    args = parser.parse_args(argv)
    if args.out is not None and args.out_path is not None:
        raise Refused("give the output once, as --out", 2)
    args.out = args.out or pathlib.Path(args.out_path or "sag_chart.png")
    if args.out.suffix.lower() != ".png":
        raise Refused(f"--out {args.out}: the chart is a PNG; name it *.png", 2)
    return args


def cjk_font(font_manager):
    """A font with the Chinese condition names, so the legend shows them (Debian:
    fonts-noto-cjk); matplotlib's default has none of them."""
    # matplotlib names a .ttc collection after its first face: "Noto Sans CJK JP" on Debian,
    # which holds the simplified Chinese characters too.
    for name in ("Noto Sans CJK SC", "Noto Sans CJK JP", "Noto Serif CJK SC", "Noto Serif CJK JP",
                 "WenQuanYi Zen Hei"):
        if any(f.name == name for f in font_manager.fontManager.ttflist):
            return name
    return None


def pick(library, name, what, path):
    try:
        return library[name]
    except KeyError:
        names = ", ".join(item.name for item in library)
        raise Refused(f"{path}: no {what} {name!r}; there are: {names}") from None


def draw(args):
    try:
        import matplotlib
        matplotlib.use("Agg")  # files only, no display
        import matplotlib.pyplot as plt
        import numpy as np
        from matplotlib import font_manager

        import varnel
    except ImportError as e:
        raise Refused(f"needs {e.name or e} (scripts/install_python.sh installs what it needs)")

    areas_path = args.samples / "weather_areas.dbf"
    conductors_path = args.samples / "conductors.dbf"
    try:
        areas = varnel.load_weather_areas(areas_path)
        conductors = varnel.load_conductors(conductors_path)
    except (OSError, varnel.TableError) as e:
        raise Refused(str(e)) from None
    area = pick(areas, args.area, "weather area", areas_path)
    conductor = pick(conductors, args.conductor, "conductor", conductors_path)
    start, stop, step = args.spans
    spans = np.arange(start, stop + step / 2, step)

    try:
        table = varnel.sag_table(conductor, area, spans, frame=False)
        critical = varnel.critical_spans(conductor, area)
    except ValueError as e:
        raise Refused(f"{args.conductor} in {args.area}: {e}") from None

    font = cjk_font(font_manager)
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
    try:
        fig.savefig(args.out, dpi=110)
    except OSError as e:
        raise Refused(f"{args.out}: {e.strerror or e}") from None
    print(f"{args.out}: {len(spans)} spans, critical spans "
          f"{', '.join(f'{b:.1f}' for b in critical.boundaries) or 'none'} m")


def main(argv=None):
    try:
        draw(arguments(sys.argv[1:] if argv is None else argv))
    except Refused as e:
        print(f"{PROG}: {e}", file=sys.stderr)
        return e.status
    return 0


if __name__ == "__main__":
    sys.exit(main())
