"""The line over the ground: clearances to the ground and to crossings, tower spans and loads."""

from __future__ import annotations

import math
import os
import re
import warnings
from typing import Any, Optional, Union

import numpy as np

from . import _args, _core
from ._calc import Conditions, _conditions, _factors, _pandas_present
from ._core import Conductor

Table = Any  # a pandas DataFrame, or a path to a CSV file with a header line

_TERRAIN = ("station_m", "elevation_m")
_TOWERS = ("name", "station_m", "kind", "arm_height_m", "insulator_length_m",
           "insulator_weight_N")
_CROSSINGS = ("name", "station_m", "elevation_m", "clearance_m")
_SWING_IN = re.compile(r"max_swing_(.+)_deg")
# m: a tower's ground elevation this far from the terrain's at its station is warned of.
_GROUND_MISMATCH = 5.0


def _pandas():
    if not _pandas_present():
        raise ImportError("check_profile takes and gives DataFrames: install pandas")
    import pandas

    return pandas


def _frame(table: Table, what: str, needed: tuple[str, ...]):
    pd = _pandas()
    if isinstance(table, (str, bytes, os.PathLike)):
        path = os.fsdecode(table)
        try:
            frame = pd.read_csv(path, encoding="utf-8-sig", dtype={"name": str})
        except UnicodeDecodeError:
            frame = pd.read_csv(path, encoding="gbk", dtype={"name": str})
    elif isinstance(table, pd.DataFrame):
        frame = table
    else:
        raise TypeError(f"{what} must be a DataFrame or the path of a CSV file, not "
                        f"{_args.describe(table)}")
    missing = [c for c in needed if c not in frame.columns]
    if missing:
        raise ValueError(f"{what}: no column {', '.join(missing)} (it has "
                         f"{', '.join(map(str, frame.columns))})")
    return frame


def _column(frame, name: str, what: str) -> np.ndarray:
    values = np.asarray(frame[name], dtype=float)
    if not np.all(np.isfinite(values)):
        row = int(np.flatnonzero(~np.isfinite(values))[0])
        raise ValueError(f"{what}: row {row + 1}, {name}: not a finite number")
    return values


def _optional(frame, name: str) -> list[Optional[float]]:
    if name not in frame.columns:
        return [None] * len(frame)
    return [None if v is None or (isinstance(v, float) and math.isnan(v)) else float(v)
            for v in frame[name].tolist()]


class TemperatureLimit:
    """What ``check_profile(..., solve="max_temperature")`` found: the highest conductor
    temperature (still air, no ice) at which every clearance of the line holds.

    - ``temperature``: °C, the least of the requirements' own; ``-inf`` when one falls short
      already at the lowest temperature searched, ``inf`` when all hold at the highest;
    - ``searched``: the range searched, ``(-40.0, 250.0)`` °C;
    - ``limiting``: the requirement that sets it, a row of ``items`` (a pandas Series), or None
      when every one holds at the highest temperature;
    - ``items``: a DataFrame, one row per requirement (every span's ground clearance when one is
      required, then every crossing): ``kind`` (``ground`` or ``crossing``), ``span``
      (``"FROM-TO"``), ``crossing`` (its name, or None), ``required_m``, ``temperature_degC``
      (its own; ±inf beyond the range) and ``station_m`` (where the clearance is least there).

    The current that holds the conductor at ``temperature`` is ``varnel.ampacity(conductor,
    line.solve.temperature, ambient=..., wind_speed=..., solar=..., resistance=...)``.
    """

    def __init__(self, solved: tuple, tower_names: list[str], crossing_names: list[str]) -> None:
        pd = _pandas()
        low, high, temperature, limiting, items = solved
        self.searched: tuple[float, float] = (low, high)
        self.temperature: float = temperature
        self.items = pd.DataFrame(
            [{"kind": kind, "span": f"{tower_names[span]}-{tower_names[span + 1]}",
              "crossing": None if crossing is None else crossing_names[crossing],
              "required_m": required, "temperature_degC": own, "station_m": station}
             for kind, span, crossing, required, own, station in items],
            columns=["kind", "span", "crossing", "required_m", "temperature_degC", "station_m"])
        self.limiting = None if limiting is None else self.items.iloc[limiting]

    def __repr__(self) -> str:
        if self.limiting is None:
            return f"TemperatureLimit(every clearance holds up to {self.searched[1]:g} °C)"
        what = (f"the ground under {self.limiting['span']}" if self.limiting["crossing"] is None
                else f"{self.limiting['crossing']} over {self.limiting['span']}")
        if self.temperature == -math.inf:
            return (f"TemperatureLimit({what} falls short already at {self.searched[0]:g} °C)")
        return f"TemperatureLimit({self.temperature:.2f} °C, set by {what})"


class ProfileCheck:
    """The checked line. Tables (pandas DataFrames), units in their column names:

    - ``sections``: one row per strain section: its towers, ruling span, controlling condition,
      the horizontal stress in every condition (``stress_<condition>_N_per_mm2``) and the
      condition of the largest sag;
    - ``spans``: one row per span: its towers and stations, length, height difference, the
      largest sag and its condition, the smallest clearance to ground and where, the required
      clearance, the stress at the supports and its allowable value, ``ok``;
    - ``towers``: one row per tower per condition: horizontal and vertical spans, vertical and
      horizontal loads (N), swing angle (degrees; NaN for a strain tower and where the string is
      pulled up), the condition's α of the clearance, the allowed swing where it is checked
      (NaN elsewhere), ``uplift_load_N`` (the net upward load where a string is pulled up, NaN
      elsewhere), ``uplift`` (the tower's), ``ok``;
    - ``violations``: kind (``ground``, ``crossing``, ``swing``, ``uplift``,
      ``suspension_point``), where, station, figure and limit, condition, ``load_N`` (an
      uplift's net upward load);
    - ``wind``: one row per condition: the speed at 10 m and at 15 m (the wind routines take
      it), the towers' α, the clearances' α (the strings' swing and the conductor beside the
      line) and whether the swing is checked in it.

    ``conditions`` names the conditions in their order; ``model`` is the span model;
    ``wind_height`` the height (m) the area's speeds are given at and ``terrain_class`` the
    wind's terrain (B); ``solve`` what ``solve="max_temperature"`` found (a
    :class:`TemperatureLimit`), else None.
    """

    def __init__(self, profile: Any, conditions: list[str], towers, crossings,
                 solved: Optional[tuple] = None) -> None:
        pd = _pandas()
        self._profile = profile
        self.model: str = profile.model
        self.conditions: tuple[str, ...] = tuple(conditions)
        self.wind_height: float = profile.wind_height
        self.terrain_class: str = "B"
        names = [str(n) for n in towers["name"]]
        self._tower_names = names

        rows = []
        for first, last, ruling, controlling, control_stress, stress, largest in \
                profile.sections():
            row = {"from": names[first], "to": names[last], "spans": last - first,
                   "ruling_span_m": ruling, "controlling": conditions[controlling],
                   "control_stress_N_per_mm2": control_stress,
                   "max_sag_condition": conditions[largest]}
            for name, s in zip(conditions, stress):
                row[f"stress_{name}_N_per_mm2"] = s
            rows.append(row)
        self.sections = pd.DataFrame(rows)

        crossing_names = [str(n) for n in crossings["name"]] if crossings is not None else []
        rows = []
        self._spans = profile.spans()
        for i, s in enumerate(self._spans):
            (section, near, far, near_z, far_z, span, h, largest, sag, low, clearance,
             clearance_at, required, checks, support, allowable, ok) = s
            rows.append({
                "from": names[i], "to": names[i + 1], "section": section,
                "near_station_m": near, "far_station_m": far,
                "near_attachment_m": near_z, "far_attachment_m": far_z, "span_m": span,
                "height_difference_m": h, "max_sag_condition": conditions[largest],
                "max_sag_m": sag, "low_point_station_m": low, "min_clearance_m": clearance,
                "min_clearance_station_m": clearance_at,
                "required_clearance_m": math.nan if required is None else required,
                "crossings": "; ".join(
                    f"{crossing_names[c[0]]}: {c[1]:.2f} m (needs {c[3]:g} m)" for c in checks),
                "crossings_ok": all(c[4] for c in checks),
                "support_stress_N_per_mm2": support,
                "support_allowable_N_per_mm2": allowable, "ok": ok})
        self.spans = pd.DataFrame(rows)

        rows = []
        kinds = [str(k) for k in towers["kind"]]
        stations = _column(towers, "station_m", "towers")
        for i, t in enumerate(profile.towers()):
            (ground, attachment, wind_span, weight_span, vertical, horizontal, swing, uplift,
             ok, limit, upward, _) = t
            for k, name in enumerate(conditions):
                rows.append({
                    "name": names[i], "station_m": float(stations[i]), "kind": kinds[i],
                    "condition": name, "ground_elevation_m": ground,
                    "attachment_m": attachment, "horizontal_span_m": wind_span,
                    "vertical_span_m": weight_span[k], "vertical_load_N": vertical[k],
                    "horizontal_load_N": horizontal[k],
                    "swing_angle_deg": swing[k] if swing else math.nan,
                    "alpha_clearance": profile.clearance_alpha[k],
                    "swing_limit_deg": math.nan if limit[k] is None else limit[k],
                    "uplift_load_N": math.nan if upward[k] is None else upward[k],
                    "uplift": uplift, "ok": ok})
        self.towers = pd.DataFrame(rows)

        self.violations = pd.DataFrame(
            [{"kind": kind, "where": where, "station_m": station, "value": value,
              "limit": limit, "condition": None if k is None else conditions[k],
              "load_N": math.nan if load is None else load}
             for kind, _, where, station, value, limit, k, load in profile.violations()],
            columns=["kind", "where", "station_m", "value", "limit", "condition", "load_N"])

        self.solve: Optional[TemperatureLimit] = (
            None if solved is None else TemperatureLimit(solved, names, crossing_names))

        self.wind = pd.DataFrame({
            "condition": conditions, "wind_10m_m_per_s": profile.wind_at_10m,
            "wind_15m_m_per_s": profile.wind_at_15m, "alpha_loads": profile.load_alpha,
            "alpha_clearance": profile.clearance_alpha, "swing_checked": profile.swing_checked})

    def _condition(self, condition: Union[int, str]) -> int:
        if isinstance(condition, str):
            if condition not in self.conditions:
                raise ValueError(f"no condition {condition!r}; there are "
                                 f"{', '.join(self.conditions)}")
            return self.conditions.index(condition)
        if isinstance(condition, (bool, np.bool_)) or not isinstance(condition,
                                                                     (int, np.integer)):
            raise TypeError(f"condition must be a name or an index, not "
                            f"{_args.describe(condition)}")
        if not 0 <= condition < len(self.conditions):
            raise IndexError(f"condition {condition}: there are {len(self.conditions)}")
        return int(condition)

    def curve(self, span_index: int, condition: Union[int, str, None] = None,
              points: int = 200):
        """The conductor of span ``span_index`` (0 for the first) in ``condition`` (a name or
        an index; the span's largest-sag condition when None), at ``points`` evenly spaced
        stations from tower to tower: a DataFrame of ``station_m`` and ``elevation_m``."""
        pd = _pandas()
        if isinstance(span_index, (bool, np.bool_)) or not isinstance(span_index,
                                                                      (int, np.integer)):
            raise TypeError(f"span_index must be an int, not {_args.describe(span_index)}")
        if not 0 <= span_index < len(self._spans):
            raise IndexError(f"span {span_index}: the line has {len(self._spans)}")
        if isinstance(points, (bool, np.bool_)) or not isinstance(points, (int, np.integer)) \
                or points < 2:
            raise ValueError(f"points must be an int of at least 2, not {points!r}")
        k = self._spans[span_index][7] if condition is None else self._condition(condition)
        near, far = self._spans[span_index][1], self._spans[span_index][2]
        stations = np.linspace(near, far, int(points))
        elevations = np.array(self._profile.curve(int(span_index), k, stations.tolist()))
        return pd.DataFrame({"station_m": stations, "elevation_m": elevations})


def check_profile(terrain: Table, towers: Table, conductor: Conductor, conditions: Conditions,
                  *, crossings: Optional[Table] = None, ground_clearance: Optional[float] = None,
                  max_temperature: Optional[float] = None, model: str = "catenary",
                  avg_ratio: float = 0.25, strength_factor: float = 0.95, safety: float = 2.5,
                  suspension_safety: float = 2.25, wind_height: float = 10,
                  alpha_loads: Optional[float] = None,
                  alpha_clearance: Optional[float] = None,
                  solve: Optional[str] = None) -> ProfileCheck:
    """Checks a line over its ground, as ``varnel profile`` does.

    ``terrain``: columns ``station_m, elevation_m``; ``towers``: ``name, station_m, kind``
    (``strain`` or ``suspension``), ``arm_height_m, insulator_length_m, insulator_weight_N``
    and optionally ``ground_elevation_m, angle_deg, max_swing_deg, insulator_area_m2``;
    ``crossings``: ``name, station_m, elevation_m, clearance_m`` and optionally ``offset_m``.
    Each a DataFrame or the path of a CSV file (UTF-8 or GBK). ``conditions``: a weather area
    or a list of conditions. ``ground_clearance`` (m) judges the clearances; without it they
    are reported only. ``max_temperature`` (°C) adds a still-air condition for the largest sag.
    ``model``: ``"catenary"`` or ``"parabola"``. ``wind_height`` (10 or 15 m): the height at
    which the area's wind speeds are given (10: raised to 15 m for the wind loads, terrain B).
    ``alpha_loads``, ``alpha_clearance``: fixed wind pressure non-uniformity factors in place of
    GB 50545-2010 Table 10.1.18-1's two rows by the speed at 10 m (towers' loads; swing and
    crossings beside the line), e.g. α from a table by the wind span. ``solve="max_temperature"``
    also finds the highest conductor temperature (still air, no ice, −40 to 250 °C) at which
    every clearance holds, and what sets it: ``line.solve``, a :class:`TemperatureLimit`; it
    needs ``ground_clearance`` or a crossing, and is refused with ``max_temperature`` (which
    fixes the temperature it finds). ValueError for a line that cannot be checked; a
    UserWarning for a tower's ground elevation more than 5 m from the terrain's.

    Example::

        import varnel
        area = varnel.load_weather_areas("samples/weather_areas.dbf")[5]
        conductor = varnel.load_conductors("samples/conductors.dbf")[0]
        line = varnel.check_profile("samples/profile/terrain.csv",
                                    "samples/profile/towers.csv", conductor, area,
                                    crossings="samples/profile/crossings.csv",
                                    ground_clearance=7)
        line.violations        # the swing at N8 (72.1° in 大风) and the ground at N14-N15
        line.curve(13)         # the conductor over the second hill
        hot = varnel.check_profile("samples/profile/terrain.csv",
                                   "samples/profile/towers.csv", conductor, area,
                                   ground_clearance=3, solve="max_temperature")
        hot.solve              # TemperatureLimit(62.43 °C, set by the ground under N14-N15)
    """
    _args.conductor(conductor)
    found = _conditions(conditions)
    _, ratio, factor, safe = _factors(1.0, avg_ratio, strength_factor, safety)
    if not isinstance(model, str):
        raise TypeError(f"model must be a str, not {_args.describe(model)}")
    ground = None if ground_clearance is None else _args.real(ground_clearance,
                                                              "ground_clearance")
    hot = None if max_temperature is None else _args.real(max_temperature, "max_temperature")
    hanging = _args.real(suspension_safety, "suspension_safety")
    height = _args.real(wind_height, "wind_height")
    if height not in (10, 15):
        raise ValueError(f"wind_height = {height!r}: the area's speeds are given at 10 or 15 m")
    fixed = [None if a is None else _args.real(a, name)
             for a, name in ((alpha_loads, "alpha_loads"), (alpha_clearance, "alpha_clearance"))]
    if solve is not None:
        if solve != "max_temperature":
            raise ValueError(f"solve = {solve!r}: the check solves for \"max_temperature\"")
        if hot is not None:
            raise ValueError("max_temperature fixes the conductor's temperature, which "
                             "solve=\"max_temperature\" finds: give one or the other")

    t = _frame(terrain, "terrain", _TERRAIN)
    points = list(zip(_column(t, "station_m", "terrain").tolist(),
                      _column(t, "elevation_m", "terrain").tolist()))
    w = _frame(towers, "towers", _TOWERS)
    n = len(w)
    ground_at, swing = _optional(w, "ground_elevation_m"), _optional(w, "max_swing_deg")
    angle = [0.0 if a is None else a for a in _optional(w, "angle_deg")]
    area = [0.0 if a is None else a for a in _optional(w, "insulator_area_m2")]
    columns = {c: _column(w, c, "towers").tolist() for c in _TOWERS[3:]}
    stations = _column(w, "station_m", "towers").tolist()
    max_angle = _optional(w, "max_angle_deg")
    limits = [(m.group(1), _optional(w, c)) for c in map(str, w.columns)
              if (m := _SWING_IN.fullmatch(c))]
    tower_rows = [(str(w["name"].iloc[i]), stations[i], str(w["kind"].iloc[i]).strip(),
                   columns["arm_height_m"][i], columns["insulator_length_m"][i],
                   columns["insulator_weight_N"][i], ground_at[i], angle[i], swing[i], area[i],
                   max_angle[i], [(name, v[i]) for name, v in limits if v[i] is not None])
                  for i in range(n)]

    c = None if crossings is None else _frame(crossings, "crossings", _CROSSINGS)
    crossing_rows = []
    if c is not None:
        values = {k: _column(c, k, "crossings").tolist() for k in _CROSSINGS[1:]}
        offset = _optional(c, "offset_m")
        crossing_rows = [(str(c["name"].iloc[i]), values["station_m"][i],
                          values["elevation_m"][i], values["clearance_m"][i], offset[i])
                         for i in range(len(c))]
    if solve is not None and ground is None and not crossing_rows:
        raise ValueError("solve=\"max_temperature\": no clearance to hold; give "
                         "ground_clearance or a crossing")
    names = [x.name for x in found]
    if hot is not None:
        names.append("max temperature")
    profile = _core.check_profile(conductor, found, names, points, tower_rows, crossing_rows,
                                  ground, hot, model, ratio, factor, safe, hanging, height,
                                  fixed[0], fixed[1])
    # The line checked (the terrain's stations increase): a tower's ground far from the
    # terrain's is more likely a typing error, or another datum, than a tower on a cliff.
    stations_t = [p[0] for p in points]
    elevations_t = [p[1] for p in points]
    for row in tower_rows:
        if row[6] is None:
            continue
        on_terrain = float(np.interp(row[1], stations_t, elevations_t))
        if abs(row[6] - on_terrain) > _GROUND_MISMATCH:
            warnings.warn(f"tower {row[0]} stands at {row[6]:g} m (ground_elevation_m), "
                          f"{abs(row[6] - on_terrain):.2f} m from the terrain's {on_terrain:.2f} m "
                          f"at its station {row[1]:g} m", UserWarning, stacklevel=2)
    solved = None if solve is None else _core.max_temperature_for_clearances(
        profile, conductor, found, points, crossing_rows)
    # The check's own list: the area's ice without wind follows its conditions.
    return ProfileCheck(profile, list(profile.conditions), w, c, solved)


__all__ = ["ProfileCheck", "TemperatureLimit", "check_profile"]
