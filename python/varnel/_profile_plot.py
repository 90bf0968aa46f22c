"""A checked line as a matplotlib figure: what ``varnel profile --svg`` draws, on axes a Python
user can add to, zoom and save in any format matplotlib writes."""

from __future__ import annotations

from typing import Any, Optional, Union

import numpy as np

from . import _args

_GROUND = "#8b5a2b"
_CONDUCTOR = "#1f5fa8"
_CLEARANCE = "#2a8a3a"
_CROSSING = "#7b3fa0"
_TOWER = "#333333"
_VIOLATION = "#d00000"
# Points per span drawn: a catenary of a few hundred metres is smooth at this.
_POINTS = 101


def _cjk_family(font_manager: Any) -> list[str]:
    """matplotlib's own font, then one with the Chinese names of the tables (Debian:
    fonts-noto-cjk; a .ttc collection is named after its first face), which matplotlib falls
    back on glyph by glyph."""
    known = {f.name for f in font_manager.fontManager.ttflist}
    for name in ("Noto Sans CJK SC", "Noto Sans CJK JP", "Noto Serif CJK SC", "Noto Serif CJK JP",
                 "WenQuanYi Zen Hei", "AR PL UMing CN"):
        if name in known:
            return ["DejaVu Sans", name]
    return ["DejaVu Sans"]


def plot_profile(line: Any, ax: Any, condition: Union[int, str, None],
                 exaggeration: Optional[float]) -> Any:
    try:
        import matplotlib.pyplot as plt
        from matplotlib import font_manager
    except ImportError:
        raise ImportError("plot() draws with matplotlib: install it (Debian: "
                          "python3-matplotlib)") from None
    # Texts take their font when made: only this figure's texts get the fallback.
    with plt.rc_context({"font.family": _cjk_family(font_manager)}):
        return _draw(plt, line, ax, condition, exaggeration)


def _draw(plt: Any, line: Any, ax: Any, condition: Union[int, str, None],
          exaggeration: Optional[float]) -> Any:
    if ax is None:
        figure, ax = plt.subplots(figsize=(12, 5))
    else:
        figure = ax.figure
    terrain = np.array(line._inputs.terrain)
    ax.fill_between(terrain[:, 0], terrain[:, 1], terrain[:, 1].min() - 5, color="#f3eadc",
                    zorder=0)
    ax.plot(terrain[:, 0], terrain[:, 1], color=_GROUND, linewidth=1, label="ground")

    spans = line.spans
    for i in range(len(spans)):
        curve = line.curve(i, condition, points=_POINTS)
        ax.plot(curve["station_m"], curve["elevation_m"], color=_CONDUCTOR, linewidth=1.2,
                label="conductor" if i == 0 else None)
        required = spans["required_clearance_m"].iloc[i]
        if np.isfinite(required):
            ax.plot(curve["station_m"], curve["elevation_m"] - required, color=_CLEARANCE,
                    linewidth=0.8, linestyle="--",
                    label=f"clearance {required:g} m" if i == 0 else None)

    for name, station, kind, ground, arm, string in line._inputs.towers:
        base = ground if ground is not None else float(np.interp(station, terrain[:, 0],
                                                                 terrain[:, 1]))
        ax.plot([station, station], [base, base + arm], color=_TOWER,
                linewidth=2 if kind == "strain" else 1)
        ax.annotate(name, (station, base + arm), textcoords="offset points", xytext=(0, 4),
                    ha="center", fontsize=8)

    for name, station, elevation, needed, _ in line._inputs.crossings:
        ax.plot([station, station], [elevation - 2, elevation], color=_CROSSING, linewidth=2)
        ax.annotate(name, (station, elevation), textcoords="offset points", xytext=(0, -12),
                    ha="center", fontsize=7, color=_CROSSING)

    bad = line.violations
    if len(bad):
        at = bad["station_m"].to_numpy(dtype=float)
        ax.scatter(at, np.interp(at, terrain[:, 0], terrain[:, 1]), marker="x",
                   color=_VIOLATION, zorder=5, label=f"violations ({len(bad)})")

    if exaggeration is not None:
        scale = _args.real(exaggeration, "exaggeration")
        if not scale > 0:
            raise ValueError(f"exaggeration = {scale!r}: must be above 0")
        ax.set_aspect(scale)
    ax.set_xlabel("station, m")
    ax.set_ylabel("elevation, m")
    title = " · ".join(t for t in (line._drawing["area"], line._drawing["conductor"],
                                  f"model: {line.model}") if t)
    ax.set_title(title)
    ax.legend(loc="best", fontsize=8)
    return figure
