"""Strain-section design: critical spans, ruling span, section sags and the stringing table."""

from __future__ import annotations

import dataclasses
import math
from collections.abc import Mapping
from typing import Any, Iterable, Optional, Sequence, Union

import numpy as np

from . import _args, _core
from ._calc import Conditions, _conditions, _design_model, _factors, _finite, _pandas_present
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
                   safety: float = 2.5, model: str = "parabola",
                   height_difference: Optional[float] = None) -> CriticalSpans:
    """Which condition controls a span of which length, with the critical spans between them.

    ``model="catenary"``: each condition strung by the catenary change of state of a single
    span, of height difference l·tan β from ``cos``, or ``height_difference`` (m) whatever its
    length; critical spans are sought from 0.1 m to 20 km, as ``varnel critical --model
    catenary``."""
    _args.conductor(conductor)
    found = _conditions(conditions)
    model = _design_model(model)
    height = None
    if height_difference is not None:
        if model != "catenary":
            raise ValueError("height_difference: only the catenary takes one; the parabola "
                             "takes cos")
        height = _finite(height_difference, "height_difference", -math.inf)
    candidates, pairs, ranges = _core.critical_spans(
        conductor, found, *_factors(cos, avg_ratio, strength_factor, safety), model, height)
    return CriticalSpans(tuple(candidates), tuple(CriticalPair(*p) for p in pairs),
                         tuple(ControlRange(*r) for r in ranges))


def _geometry(spans: Any) -> list[tuple[float, float]]:
    """(length, height difference) per span from lengths, pairs, an (n, 2) array or a table
    with the columns span_m and height_difference_m (samples/section.csv read by pandas)."""
    columns = getattr(spans, "columns", None)
    if columns is not None and hasattr(spans, "to_numpy"):
        names = [str(c) for c in columns]
        if "span_m" in names:
            length = _args.reals(spans["span_m"], "spans['span_m']")
            height = (_args.reals(spans["height_difference_m"], "spans['height_difference_m']")
                      if "height_difference_m" in names else np.zeros_like(length))
        elif len(names) in (1, 2):
            table = _args.reals(spans.to_numpy(), "spans")
            length = table[:, 0]
            height = table[:, 1] if len(names) == 2 else np.zeros_like(length)
        else:
            raise ValueError(f"spans: a table of spans has the columns span_m and "
                             f"height_difference_m (or just two columns), not {names}")
        return list(zip(length.tolist(), height.tolist()))
    if isinstance(spans, np.ndarray) or hasattr(spans, "to_numpy"):
        array = _args.reals(spans, "spans")
        if array.ndim == 1:
            return [(float(x), 0.0) for x in array]
        if array.ndim == 2 and array.shape[1] in (1, 2):
            return [(float(r[0]), float(r[1]) if len(r) == 2 else 0.0) for r in array]
        raise ValueError(f"spans: an array of shape {array.shape}; lengths are 1-D, "
                         "(length, height) pairs an (n, 2) array")
    if isinstance(spans, (str, bytes, bytearray)) or isinstance(spans, Mapping):
        raise TypeError(f"spans must be a sequence of lengths or (length, height) pairs, not "
                        f"{_args.describe(spans)}")
    if _args.is_real(spans):
        raise TypeError(f"spans must be a sequence of lengths (a section has spans), not "
                        f"{_args.describe(spans)}: put it in a list")
    try:
        items = list(spans)
    except TypeError:
        raise TypeError(f"spans must be a sequence of lengths or (length, height) pairs, not "
                        f"{_args.describe(spans)}") from None
    out = []
    for i, s in enumerate(items):
        if _args.is_real(s):
            out.append((float(s), 0.0))
        elif isinstance(s, (str, bytes, bytearray)) or isinstance(s, Mapping):
            raise TypeError(f"spans[{i}] must be a length or a (length, height) pair, not "
                            f"{_args.describe(s)}")
        else:
            pair = _args.reals(s, f"spans[{i}]")
            if pair.shape != (2,):
                raise ValueError(f"spans[{i}] = {s!r}: a span is a length or a (length, "
                                 "height) pair")
            out.append((float(pair[0]), float(pair[1])))
    return out


@dataclasses.dataclass(frozen=True)
class RulingSpan:
    span: float  # m
    cos: float  # of its height-difference angle


def ruling_span(spans: Any) -> RulingSpan:
    """The ruling span of a section: ``spans`` are lengths (m, level spans) or pairs
    (length, height of the far support above the near one), as a sequence, an (n, 2) array or
    a DataFrame with the columns ``span_m`` and ``height_difference_m`` (as
    ``pandas.read_csv("samples/section.csv")`` gives). ValueError for an empty section or a
    span that is not a positive finite length; TypeError for texts, mappings and the like."""
    return RulingSpan(*_core.ruling_span(_geometry(spans)))


@dataclasses.dataclass(frozen=True)
class SpanSags:
    """The sags (m, at mid-span; with the catenary the largest) of one span of a section per
    condition, along the condition's load (a wind condition's swung), the stress at its higher
    support (N/mm², along the conductor) and the condition of the largest sag among those
    without wind (the highest temperature, or ice without wind)."""

    sag: tuple[float, ...]
    higher_support_stress: tuple[float, ...]
    largest: int


@dataclasses.dataclass(frozen=True)
class SectionDesign:
    """A strain section strung as one span of its ruling length: the controlling condition
    there (-1 when none qualifies), its allowable stress, the specific load and horizontal
    stress per condition, and each span's sags (empty without a controlling condition).

    The conditions are the area's, then ``extra``, named: the area's ice without wind
    (覆冰无风, or "Ice, no wind" in an English area) where its ice condition has wind, a
    candidate for the largest sag that never controls. ``limit`` is the stress each is held to
    (N/mm²: σA for the annual average, σN for the others) and ``vertical_load`` the vertical
    part of its load (N/(m·mm²)); ``parabola_controlling`` the parabola's search at the ruling
    span, which the catenary's own controlling condition may differ from."""

    ruling: RulingSpan
    controlling: int
    control_stress: float
    load: tuple[float, ...]
    stress: tuple[float, ...]
    spans: tuple[SpanSags, ...]
    limit: tuple[float, ...] = ()
    vertical_load: tuple[float, ...] = ()
    extra: tuple[str, ...] = ()
    parabola_controlling: int = -1
    conditions: tuple[str, ...] = ()
    geometry: tuple[tuple[float, float], ...] = ()

    @property
    def table(self) -> Any:
        """The section as a pandas DataFrame, a row per span and a column group per condition
        in the area's order (then ``extra``): rows indexed by ``span`` (1 for the first),
        ``span_m`` and ``height_difference_m``; columns by ``condition`` and ``quantity``:
        ``stress_N_per_mm2`` (the section's horizontal stress), ``sag_m`` and
        ``support_stress_N_per_mm2`` (at the higher support). ``table["大风"]`` is one
        condition's; ``table.xs("sag_m", axis=1, level="quantity")`` the sag table of spans ×
        conditions. Without a controlling condition the sags and support stresses are NaN."""
        try:
            import pandas as pd
        except ImportError:
            raise ImportError("SectionDesign.table is a DataFrame: install pandas") from None
        for i, name in enumerate(self.conditions):
            if name in self.conditions[:i]:
                raise ValueError(f"conditions: two are named {name!r}; the table names its "
                                 "columns by them")
        quantities = ("stress_N_per_mm2", "sag_m", "support_stress_N_per_mm2")
        columns = pd.MultiIndex.from_tuples(
            [(c, q) for c in self.conditions for q in quantities],
            names=["condition", "quantity"])
        rows = []
        for i in range(len(self.geometry)):
            row = []
            for k in range(len(self.conditions)):
                span = self.spans[i] if self.spans else None
                row += [self.stress[k], span.sag[k] if span else math.nan,
                        span.higher_support_stress[k] if span else math.nan]
            rows.append(row)
        index = pd.MultiIndex.from_tuples(
            [(i + 1, length, height) for i, (length, height) in enumerate(self.geometry)],
            names=["span", "span_m", "height_difference_m"])
        return pd.DataFrame(rows, index=index, columns=columns, dtype=float)

    @property
    def holds(self) -> tuple[bool, ...]:
        """Whether each condition's stress holds its limit (to a relative 5e-13)."""
        return tuple(s <= lim or s - lim <= 5e-13 * lim
                     for s, lim in zip(self.stress, self.limit))


def _section(conductor, conditions, spans, avg_ratio, strength_factor, safety, temperatures,
             compensation, model, geometry=None):
    _args.conductor(conductor)
    found = _conditions(conditions)
    model = _design_model(model)
    _, ratio, factor, safe = _factors(1.0, avg_ratio, strength_factor, safety)
    return _core.design_section(conductor, found, geometry or _geometry(spans), ratio, factor,
                                safe, temperatures, _args.real(compensation, "compensation"),
                                model)


def design_section(conductor: Conductor, conditions: Conditions, spans: SpanList, *,
                   avg_ratio: float = 0.25, strength_factor: float = 0.95,
                   safety: float = 2.5, model: str = "parabola") -> SectionDesign:
    """The design of a strain section; ``spans`` as for ruling_span. ``model="catenary"``
    hangs every span as an exact catenary (a condition with wind in the plane of its load): the
    controlling condition is the catenary's own, the first whose limit keeps every other
    within its own by the whole section's catenary change of state, every condition's stress
    solves that change of state, each sag is the curve's largest and the support stress the
    catenary's, as ``varnel section --model catenary``. ValueError where the change of state
    has no answer.

    ``.table`` is the section as a DataFrame of spans × conditions (stress, sag, support
    stress), the conditions named in the area's order; ``.conditions`` their names."""
    geometry = _geometry(spans)
    (ruling, control, stress0, load, stress, sags, _, limit, vertical, extra,
     parabola) = _section(conductor, conditions, spans, avg_ratio, strength_factor, safety, None,
                          0.0, model, geometry)
    names = tuple(c.name for c in _conditions(conditions)) + tuple(extra)
    return SectionDesign(RulingSpan(*ruling), control, stress0, tuple(load), tuple(stress),
                         tuple(SpanSags(tuple(s), tuple(h), k) for s, h, k in sags),
                         tuple(limit), tuple(vertical), tuple(extra), parabola, names,
                         tuple(geometry))


def stringing_table(conductor: Conductor, conditions: Conditions, spans: SpanList,
                    temperatures: tuple[float, float, float] = (-20.0, 40.0, 5.0), *,
                    compensation: float = 0.0, avg_ratio: float = 0.25,
                    strength_factor: float = 0.95, safety: float = 2.5,
                    frame: Optional[bool] = None, model: str = "parabola") -> Any:
    """The stringing table of a section: at each installation temperature (from, to, step in
    °C, at most 1,000 of them; -20 to 40 by 5 as the varnel command) without wind or ice, the horizontal stress (N/mm²) and each
    span's sag (m), strung from the controlling condition; ``compensation`` (°C) strings as at
    t − Δt for the conductor's initial elongation. Columns ``temperature``, ``stress``,
    ``sag_1`` ... ``sag_n``; a DataFrame as for sag_table. ValueError when no condition
    controls the section or the range is not finite and rising. ``model="catenary"``: each row
    solves the section's catenary change of state, each sag the curve's largest."""
    if isinstance(temperatures, (str, bytes)) or _args.is_real(temperatures):
        raise TypeError(f"temperatures must be (from, to, step) in °C, not "
                        f"{_args.describe(temperatures)}")
    t = tuple(_args.reals(temperatures, "temperatures").reshape(-1).tolist())
    if len(t) != 3:
        raise ValueError("temperatures: (from, to, step) in °C")
    rows = _section(conductor, conditions, spans, avg_ratio, strength_factor, safety, t,
                    compensation, model)[6]
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
