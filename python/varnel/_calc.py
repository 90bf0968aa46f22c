"""The calculations: specific load, state equation, controlling condition, sag tables, wind."""

from __future__ import annotations

import collections.abc
import dataclasses
import importlib.util
import math
from typing import Any, Iterable, NamedTuple, Optional, Sequence, Union

import numpy as np

from . import _args, _core
from ._core import Condition, Conductor
from ._tables import WeatherArea

Conditions = Union[WeatherArea, Iterable[Condition]]
ArrayLike = Union[float, Sequence[float], np.ndarray]


def _conditions(conditions: Conditions) -> list[Condition]:
    return _args.condition_list(conditions)


def _finite(value: float, what: str, low: float, high: float = math.inf, *, low_open=False,
            high_open=False) -> float:
    v = _args.real(value, what)
    ok = math.isfinite(v) and (v > low if low_open else v >= low)
    ok = ok and (v < high if high_open else v <= high)
    if not ok:
        lo = "above" if low_open else "at least"
        hi = "" if high == math.inf else f" and {'below' if high_open else 'at most'} {high:g}"
        raise ValueError(f"{what} = {v!r}: must be a finite number {lo} {low:g}{hi}")
    return v


def _design_model(value: str) -> str:
    """The design models: "parabola" (the state equation, the exports' numbers) or "catenary"
    (each span hung as an exact catenary, every condition strung by its change of state)."""
    if not isinstance(value, str):
        raise TypeError(f"model must be a str, not {_args.describe(value)}")
    if value not in ("parabola", "catenary"):
        raise ValueError(f"model = {value!r}: the design models are 'parabola' and 'catenary'")
    return value


def _factors(cos: float, avg_ratio: float, strength_factor: float,
             safety: float) -> tuple[float, float, float, float]:
    return (
        _finite(cos, "cos", 0, 1, low_open=True),
        _finite(avg_ratio, "avg_ratio", 0, 1, low_open=True),
        _finite(strength_factor, "strength_factor", 0, 1, low_open=True),
        _finite(safety, "safety", 0, low_open=True),
    )


def specific_load(condition: Condition, conductor: Conductor) -> float:
    """Resultant specific load of a conductor in a condition, N/(m·mm²): own weight and ice
    combined with the wind on the iced conductor, over the area."""
    return _core.specific_load(_args.condition(condition), _args.conductor(conductor))


def state_stress(span: ArrayLike, conductor: Conductor, known: Condition, sought: Condition,
                 known_stress: ArrayLike, cos: ArrayLike = 1.0) -> Union[float, np.ndarray]:
    """Horizontal stress (N/mm²) in ``sought`` of a conductor at ``known_stress`` (N/mm²) in
    ``known``, for a span (m) with the cosine of its height-difference angle.

    ``span``, ``known_stress`` and ``cos`` broadcast against each other as numpy arrays do; the
    result has their shape, or is a float when all three are scalars. NaN or infinity where the
    state equation has no finite answer (as StateEquationGetForce returns false). Raises
    ValueError for a negative or non-finite span, a cosine outside (0, 1] or a stress that is
    not a finite number above 0, naming the first such element.
    """
    _args.conductor(conductor)
    _args.condition(known, "known")
    _args.condition(sought, "sought")
    arrays = [_args.reals(x, what) for x, what in ((span, "span"), (cos, "cos"),
                                                    (known_stress, "known_stress"))]
    shape = np.broadcast_shapes(*(a.shape for a in arrays))
    if math.prod(shape) == 0:
        return np.empty(shape)
    # Inputs of the full shape go through as they are; a single value stays one value.
    flat = [a.reshape(-1) if a.size == 1 or a.shape == shape else
            np.broadcast_to(a, shape).reshape(-1) for a in arrays]
    out = _core.state_stress(flat[0], flat[1], flat[2], conductor, known, sought)
    if shape == ():
        return float(out[0])
    return out.reshape(shape)


def _lf(x: float) -> str:
    """C's %lf: six decimals, and glibc's words for infinity and NaN."""
    if math.isnan(x):
        return "-nan" if math.copysign(1.0, x) < 0 else "nan"
    return "%f" % x


@dataclasses.dataclass(frozen=True)
class Check:
    """One condition checked in a trial: its stress from the state equation, its limit (both
    N/mm²) and whether it exceeded it (a NaN stress or limit counts as exceeding)."""

    index: int
    condition: Condition
    stress: float
    limit: float
    exceeded: bool

    def __str__(self) -> str:
        line = f"验算[{self.condition.name}]工况，应力为{_lf(self.stress)}N/mm^2。"
        return line + ("超限!" if self.exceeded else "不超限!\n")


@dataclasses.dataclass(frozen=True)
class Trial:
    """A condition tried as the controlling one, strung to ``stress`` (N/mm²); the checks stop
    at the first exceedance. ``controlling`` when every other condition held."""

    assumed: int
    condition: Condition
    stress: float
    checks: tuple[Check, ...]
    controlling: bool

    def __str__(self) -> str:
        text = f"\n假设[{self.condition.name}]为控制工况，水平应力为{_lf(self.stress)}\n"
        text += "".join(str(c) for c in self.checks)
        return text + (f"[{self.condition.name}]是控制工况。\n\n" if self.controlling else "\n")


@dataclasses.dataclass(frozen=True)
class ControlResult:
    """The controlling-condition search of a span: ``index`` into the conditions (-1 when none
    qualifies), that ``condition`` (None then) and every ``trial`` in order. ``str()`` gives the
    search's account as the host application shows it, as text."""

    index: int
    condition: Optional[Condition]
    trials: tuple[Trial, ...]
    #: The model every condition was strung by from the controlling one, and with it the
    #: horizontal stress (N/mm²) and sag (m: at mid-span for the parabola, the largest for the
    #: catenary) in each condition, in the conditions' order (empty when none qualifies).
    model: str = "parabola"
    stress: tuple[float, ...] = ()
    sag: tuple[float, ...] = ()
    #: m, the height difference the catenary hung the span with (None for the parabola)
    height_difference: Optional[float] = None
    #: N/mm², the stress each condition is held to (σA for the annual average, σN for the
    #: others), and whether its stress holds it (to a relative 5e-13)
    limit: tuple[float, ...] = ()
    holds: tuple[bool, ...] = ()
    #: The library's search's pick (the trials'), which with the catenary may differ from
    #: ``index``, the catenary's own: the first condition whose limit keeps every other within
    #: its own, each strung as a catenary.
    search_index: int = -1

    def __str__(self) -> str:
        return "".join(str(t) for t in self.trials)


def control(span: float, conductor: Conductor, conditions: Conditions, *, cos: float = 1.0,
            avg_ratio: float = 0.25, strength_factor: float = 0.95,
            safety: float = 2.5, model: str = "parabola",
            height_difference: Optional[float] = None) -> ControlResult:
    """The controlling condition of a span (m): the first condition which, strung to its
    allowable stress, keeps every other within its limit. Normal allowable stress
    strength_factor × rated strength / safety / area; annual average (年平 or "Avg. ann", else
    the third of nine or six conditions; ValueError when none can be told)
    avg_ratio × rated strength × strength_factor / area. The same search as
    StateEquationGetControl, which prints this account instead of returning it but knows the
    annual average by its Chinese name alone.

    Every condition is then strung from the controlling one by ``model``: "parabola" (the state
    equation) or "catenary" (the single span's catenary change of state, each sag the
    curve's largest), as ``varnel control --model``. With the catenary the controlling condition
    (``index``) is the catenary's own, the first whose limit keeps every other within its own
    as catenaries; ``search_index`` and the trials are the library's parabolic search.
    ``height_difference`` (m, the far support above the near one) replaces ``cos`` by
    l/√(l² + h²); without it the catenary hangs the span with l·tan β."""
    _args.conductor(conductor)
    found = _conditions(conditions)
    span = _finite(span, "span", 0)
    model = _design_model(model)
    height = None
    if height_difference is not None:
        if cos != 1.0:
            raise ValueError("give cos or height_difference, not both")
        height = _finite(height_difference, "height_difference", -math.inf)
        cos = span / math.hypot(span, height) if span > 0 else 1.0
    if model == "catenary" and not span > 0:
        raise ValueError(f"span = {span!r}: the catenary needs a span longer than 0 m")
    factors = _factors(cos, avg_ratio, strength_factor, safety)
    if model == "catenary" and height is None:
        height = span * math.sqrt((1 - factors[0]) * (1 + factors[0])) / factors[0]
    index, trials, stress, sag, limit, holds, search = _core.control(
        span, *factors, conductor, found, model, height)
    strung = index >= 0
    return ControlResult(
        index,
        found[index] if index >= 0 else None,
        tuple(
            Trial(a, found[a], s,
                  tuple(Check(j, found[j], cs, lim, ex) for j, cs, lim, ex in checks), ok)
            for a, s, checks, ok in trials),
        model,
        tuple(stress) if strung else (),
        tuple(sag) if strung else (),
        height if model == "catenary" else None,
        tuple(limit) if strung else (),
        tuple(holds) if strung else (),
        search,
    )


def _pandas_present() -> bool:
    return importlib.util.find_spec("pandas") is not None


def _condition_sets(conditions: Any, n: int) -> list[list[Condition]]:
    """One list of conditions for every span, or one per span: a sequence of weather areas or
    of condition lists, as long as the spans."""
    if isinstance(conditions, (WeatherArea, Condition)) or isinstance(conditions, (str, bytes)):
        return [_conditions(conditions)]
    items = list(conditions) if isinstance(conditions, collections.abc.Iterable) else [conditions]
    if not items or isinstance(items[0], Condition):
        return [_conditions(items)]
    sets = [_args.condition_list(c, f"conditions[{i}]") for i, c in enumerate(items)]
    if len(sets) != n:
        raise ValueError(f"conditions: {len(sets)} condition sets for {n} spans; give one set "
                         "for all spans or one per span")
    names = [c.name for c in sets[0]]
    for i, found in enumerate(sets):
        if [c.name for c in found] != names:
            raise ValueError(f"conditions[{i}]: the names {[c.name for c in found]} differ from "
                             f"those of conditions[0], {names}; the columns are named by them")
    return sets


def sag_table(conductor: Conductor, conditions: Any, spans: ArrayLike, *,
              cos: ArrayLike = 1.0, avg_ratio: float = 0.25, strength_factor: float = 0.95,
              safety: float = 2.5, frame: Optional[bool] = None,
              model: str = "parabola") -> Any:
    """The stress (N/mm²) and sag (m, at mid-span) in every condition for each span (m), each
    span strung from its own controlling condition, as the varnel command's sag table.

    ``cos`` is the cosine of each span's height-difference angle: one value for all spans or an
    array with one per span. ``conditions`` is one set of conditions for all spans (a weather
    area or a sequence of Condition) or one set per span (a sequence of weather areas or of
    condition lists, as long as ``spans``, every set with the same condition names in the same
    order), for a line that crosses from one weather area into another.

    Columns: ``span``, ``control`` (index, -1 when none qualifies), ``controlling`` (its name,
    None then), then ``stress_<name>`` and ``sag_<name>`` per condition (NaN where none
    qualifies), the area's ice without wind last where its ice condition has wind (named
    覆冰无风, or "Ice, no wind" in an English area: a candidate for the largest sag the design
    practice takes, never controlling; NaN for spans whose area has none). A pandas DataFrame
    when ``frame`` is true, or when it is None and pandas is installed; otherwise a dict of
    numpy arrays.

    ``model="catenary"`` strings every condition by the single span's catenary change of state
    from the catenary's own controlling condition (the first whose limit keeps every other
    within its own), each span hung with the height difference l·tan β of its cosine (a
    condition with wind in the plane of its load), and gives each sag as the curve's largest
    (``varnel sag-table --model catenary``); its spans must be longer than 0 m.
    """
    _args.conductor(conductor)
    model = _design_model(model)
    s = np.ascontiguousarray(_args.reals(spans, "spans").reshape(-1))
    sets = _condition_sets(conditions, len(s))
    names = [c.name for c in sets[0]]
    if len(set(names)) != len(names):
        raise ValueError(f"conditions: names must differ to name the columns: {names}")
    _, ratio, factor, safe = _factors(1.0, avg_ratio, strength_factor, safety)
    c = _args.reals(cos, "cos").reshape(-1)
    if c.size not in (1, len(s)):
        raise ValueError(f"cos has {c.size} values for {len(s)} spans: give one or one per span")
    bad = ~(np.isfinite(s) & (s >= 0))
    if bad.any():
        i = int(np.argmax(bad))
        raise ValueError(f"spans[{i}] = {s[i]!r}: a span is a finite length of at least 0 m")
    if model == "catenary" and len(s) and not (s > 0).all():
        i = int(np.argmax(~(s > 0)))
        raise ValueError(f"spans[{i}] = {s[i]!r}: the catenary needs spans longer than 0 m")
    bad = ~((c > 0) & (c <= 1))
    if bad.any():
        i = int(np.argmax(bad))
        at = f"cos[{i}]" if c.size > 1 else "cos"
        raise ValueError(f"{at} = {c[i]!r}: a cosine of a height-difference angle is above 0 "
                         "and at most 1")
    c = np.ascontiguousarray(np.broadcast_to(c, s.shape)) if c.size > 1 else c
    derived = [_core.ice_without_wind(found) for found in sets]
    extra = next((d[0] for d in derived if d is not None), None)
    rows = len(names) + (extra is not None)
    if len(sets) == 1:
        index, stress, sag, _ = _core.sag_table(s, conductor, sets[0], c, ratio, factor, safe,
                                                model)
    else:
        index = np.empty(len(s), dtype=np.int32)
        stress = np.full((rows, len(s)), np.nan)
        sag = np.full((rows, len(s)), np.nan)
        groups: dict[tuple[Condition, ...], list[int]] = {}
        for i, found in enumerate(sets):
            groups.setdefault(tuple(found), []).append(i)
        for found_set, where in groups.items():
            at = np.array(where)
            ci = c if c.size == 1 else np.ascontiguousarray(c[at])
            index[at], st, sg, _ = _core.sag_table(
                np.ascontiguousarray(s[at]), conductor, list(found_set), ci, ratio, factor, safe,
                model)
            stress[:st.shape[0], at], sag[:sg.shape[0], at] = st, sg
    if extra is not None:
        names = names + [extra]
    labels = np.array(names[:len(sets[0])] + [None], dtype=object)
    table: dict[str, np.ndarray] = {"span": s, "control": index, "controlling": labels[index]}
    for j, n in enumerate(names):
        table[f"stress_{n}"] = stress[j]
    for j, n in enumerate(names):
        table[f"sag_{n}"] = sag[j]
    if frame is None:
        frame = _pandas_present()
    if frame:
        import pandas as pd

        return pd.DataFrame(table)
    return table


class PoleWind(NamedTuple):
    force_kn: float
    moment_knm: float  # about the ground


def pole_wind(condition: Condition, top_diameter_mm: float, top_height_m: float, taper: float,
              bottom_height_m: float = 0.0) -> PoleWind:
    """Wind force (kN) on a tapered ring-section pole body from ``top_height_m`` down to
    ``bottom_height_m`` and its moment about the ground (kN·m). ``taper`` is N of 1:N: the
    diameter grows by 1 mm for every N mm downwards (75 is usual for concrete poles)."""
    _args.condition(condition)
    d = _finite(top_diameter_mm, "top_diameter_mm", 0, low_open=True)
    top = _finite(top_height_m, "top_height_m", 0, low_open=True)
    n = _finite(taper, "taper", 10)
    bottom = _finite(bottom_height_m, "bottom_height_m", 0, top, high_open=True)
    return PoleWind(*_core.pole_wind(condition, d, top, n, bottom))


def conductor_wind(condition: Condition, conductor: Conductor, span_m: float, height_m: float,
                   wind_angle_deg: float = 90.0) -> float:
    """Wind load (kN) on ``span_m`` of conductor at ``height_m`` above ground, the wind at
    ``wind_angle_deg`` to the conductor."""
    _args.condition(condition)
    _args.conductor(conductor)
    return _core.conductor_wind(condition, conductor, _finite(span_m, "span_m", 0),
                                _finite(height_m, "height_m", 0),
                                _finite(wind_angle_deg, "wind_angle_deg", 0, 180))


def insulator_wind(condition: Condition, height_m: float, area_m2: float) -> float:
    """Wind load (kN) on an insulator string at ``height_m`` with ``area_m2`` exposed."""
    _args.condition(condition)
    return _core.insulator_wind(condition, _finite(height_m, "height_m", 0),
                                _finite(area_m2, "area_m2", 0))


__all__ = [
    "Check",
    "ControlResult",
    "PoleWind",
    "Trial",
    "conductor_wind",
    "control",
    "insulator_wind",
    "pole_wind",
    "sag_table",
    "specific_load",
    "state_stress",
]
