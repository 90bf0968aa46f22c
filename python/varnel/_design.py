"""Strain-section design: critical spans, ruling span, section sags and the stringing table."""

from __future__ import annotations

import dataclasses
from typing import Any, Iterable, Optional, Sequence, Union

import numpy as np

from . import _core
from ._calc import Conditions, _conditions, _factors, _pandas_present
from ._core import Conductor

SpanList = Iterable[Union[float, Sequence[float]]]


@dataclasses.dataclass(frozen=True)
class CriticalPair:
    """The critical span (m) of conditions ``a`` and ``b``; None when it has no real answer."""

    a: int
    b: int
    span: Optional[float]


@dataclasses.dataclass(frozen=True)
class ControlRange:
    """Spans from ``from_m`` up to ``to_m`` (None: without end) in which ``condition``
    controls; -1 where none qualifies."""

    condition: int
    from_m: float
    to_m: Optional[float]


@dataclasses.dataclass(frozen=True)
class CriticalSpans:
    """``candidates``: the conditions compared (annual average, coldest, iciest, windiest and
    any other that controls some span); ``pairs``: the critical span of each pair of them;
    ``ranges``: from span 0 on, where the search picks the same condition."""

    candidates: tuple[int, ...]
    pairs: tuple[CriticalPair, ...]
    ranges: tuple[ControlRange, ...]

    @property
    def boundaries(self) -> list[float]:
        """The spans (m) where the controlling condition changes."""
        return [r.from_m for r in self.ranges[1:]]


def critical_spans(conductor: Conductor, conditions: Conditions, *, cos: float = 1.0,
                   avg_ratio: float = 0.25, strength_factor: float = 0.95,
                   safety: float = 2.5) -> CriticalSpans:
    """Which condition controls a span of which length, with the critical spans between them."""
    found = _conditions(conditions)
    candidates, pairs, ranges = _core.critical_spans(
        conductor, found, *_factors(cos, avg_ratio, strength_factor, safety))
    return CriticalSpans(tuple(candidates), tuple(CriticalPair(*p) for p in pairs),
                         tuple(ControlRange(*r) for r in ranges))


def _geometry(spans: SpanList) -> list[tuple[float, float]]:
    out = []
    for s in spans:
        if isinstance(s, (int, float, np.number)):
            out.append((float(s), 0.0))
        else:
            length, height = s
            out.append((float(length), float(height)))
    return out


@dataclasses.dataclass(frozen=True)
class RulingSpan:
    span: float  # m
    cos: float  # of its height-difference angle


def ruling_span(spans: SpanList) -> RulingSpan:
    """The ruling span of a section: ``spans`` are lengths (m, level spans) or pairs
    (length, height of the far support above the near one). ValueError for an empty section
    or a span that is not a positive finite length."""
    return RulingSpan(*_core.ruling_span(_geometry(spans)))


@dataclasses.dataclass(frozen=True)
class SpanSags:
    """The sags (m, at mid-span) of one span of a section per condition, the stress at its
    higher support (N/mm², along the conductor) and the condition of the largest sag."""

    sag: tuple[float, ...]
    higher_support_stress: tuple[float, ...]
    largest: int


@dataclasses.dataclass(frozen=True)
class SectionDesign:
    """A strain section strung as one span of its ruling length: the controlling condition
    there (-1 when none qualifies), its allowable stress, the specific load and horizontal
    stress per condition, and each span's sags (empty without a controlling condition)."""

    ruling: RulingSpan
    controlling: int
    control_stress: float
    load: tuple[float, ...]
    stress: tuple[float, ...]
    spans: tuple[SpanSags, ...]


def _section(conductor, conditions, spans, avg_ratio, strength_factor, safety, temperatures,
             compensation):
    found = _conditions(conditions)
    _, ratio, factor, safe = _factors(1.0, avg_ratio, strength_factor, safety)
    return _core.design_section(conductor, found, _geometry(spans), ratio, factor, safe,
                                temperatures, float(compensation))


def design_section(conductor: Conductor, conditions: Conditions, spans: SpanList, *,
                   avg_ratio: float = 0.25, strength_factor: float = 0.95,
                   safety: float = 2.5) -> SectionDesign:
    """The design of a strain section; ``spans`` as for ruling_span."""
    ruling, control, stress0, load, stress, sags, _ = _section(
        conductor, conditions, spans, avg_ratio, strength_factor, safety, None, 0.0)
    return SectionDesign(RulingSpan(*ruling), control, stress0, tuple(load), tuple(stress),
                         tuple(SpanSags(tuple(s), tuple(h), k) for s, h, k in sags))


def stringing_table(conductor: Conductor, conditions: Conditions, spans: SpanList,
                    temperatures: tuple[float, float, float] = (-10.0, 40.0, 5.0), *,
                    compensation: float = 0.0, avg_ratio: float = 0.25,
                    strength_factor: float = 0.95, safety: float = 2.5,
                    frame: Optional[bool] = None) -> Any:
    """The stringing table of a section: at each installation temperature (from, to, step in
    °C, at most 1,000 of them) without wind or ice, the horizontal stress (N/mm²) and each
    span's sag (m), strung from the controlling condition; ``compensation`` (°C) strings as at
    t − Δt for the conductor's initial elongation. Columns ``temperature``, ``stress``,
    ``sag_1`` ... ``sag_n``; a DataFrame as for sag_table. ValueError when no condition
    controls the section or the range is not finite and rising."""
    t = tuple(float(x) for x in temperatures)
    if len(t) != 3:
        raise ValueError("temperatures: (from, to, step) in °C")
    *_, rows = _section(conductor, conditions, spans, avg_ratio, strength_factor, safety, t,
                        compensation)
    table = {"temperature": np.array([r[0] for r in rows]),
             "stress": np.array([r[1] for r in rows])}
    sags = np.array([r[2] for r in rows]).reshape(len(rows), -1)
    for k in range(sags.shape[1]):
        table[f"sag_{k + 1}"] = sags[:, k]
    if frame is None:
        frame = _pandas_present()
    if frame:
        import pandas as pd

        return pd.DataFrame(table)
    return table


__all__ = [
    "ControlRange",
    "CriticalPair",
    "CriticalSpans",
    "RulingSpan",
    "SectionDesign",
    "SpanSags",
    "critical_spans",
    "design_section",
    "ruling_span",
    "stringing_table",
]
