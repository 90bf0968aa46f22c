"""The line over the ground: clearances to the ground and to crossings, tower spans and loads."""

from __future__ import annotations

import inspect
import math
import os
import tempfile
import warnings
from typing import Any, Optional, Union

import numpy as np

from . import _args, _core, _profile_inputs, _thermal
from ._calc import Conditions, _conditions, _factors, _pandas_present
from ._core import Conductor

Table = Any  # a pandas DataFrame, or a path to a CSV file with a header line

# The command's defaults for the heat balance of profile --current (thermal_options.h): 40 °C,
# 0.5 m/s across the line and 1000 W/m² of sun where no position is given.
_HEAT_DEFAULTS = {"ambient": 40.0, "wind_speed": 0.5}
_SUN_POSITION = ("latitude", "day", "hour", "azimuth")
# The heat balance's keywords check_profile passes on: varnel.conductor_temperature's own, its
# model named thermal_model (model= is the span model here).
_HEAT_KEYWORDS = tuple(
    name for name, p in inspect.signature(_thermal.conductor_temperature).parameters.items()
    if p.kind == inspect.Parameter.KEYWORD_ONLY and name != "model")
# °C: the conductor temperatures a sag is worked out for (profile --max-temperature's range).
_HOTTEST = 200.0
_COLDEST = -90.0


def _pandas():
    if not _pandas_present():
        raise ImportError("check_profile takes and gives DataFrames: install pandas")
    import pandas

    return pandas


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

    - ``ampacity``: with the heat balance's keywords given to check_profile (as ``profile
      --solve max-temperature --ambient ...``), the current that holds the conductor at
      ``temperature`` (a varnel.HeatBalance, ``varnel.ampacity``'s); None without them or when
      the temperature is not finite.
    """

    ampacity: Any = None

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
      clearance, whether its crossings hold (``crossings_ok``), the stress at the supports and
      its allowable value, ``ok``;
    - ``crossings``: one row per crossing checked: the ``span`` over it (``"FROM-TO"``), the
      ``crossing``'s name, its ``station_m`` and ``offset_m``, the ``clearance_m`` found and the
      ``required_m``, the ``condition`` that gives the least clearance, the conductor's swing
      there (``conductor_swing_deg``, 0 in still air) and ``ok``;
    - ``towers``: one row per tower per condition: horizontal and vertical spans, vertical and
      horizontal loads (N), swing angle (degrees; NaN for a strain tower and where the string is
      pulled up), the condition's α of the clearance, the allowed swing where it is checked
      (NaN elsewhere), ``uplift_load_N`` (the net upward load where a string is pulled up, NaN
      elsewhere), ``uplift`` (the tower's), ``ok``;
    - ``violations``: kind (``ground``, ``crossing``, ``swing``, ``uplift``,
      ``suspension_point``), where, station, figure and limit in their ``unit`` (``m``,
      ``deg``, ``N/mm²``), condition, ``load_N`` (an uplift's net upward load);
    - ``wind``: one row per condition: the speed at 10 m and at 15 m (the wind routines take
      it), the towers' α, the clearances' α (the strings' swing and the conductor beside the
      line) and whether the swing is checked in it.

    ``conditions`` names the conditions in their order (the area's, its ice without wind, then
    the conductor temperature's as the command names it: ``导线温度 80 °C`` for
    ``max_temperature=80``, ``载流 600 A (85.5 °C)`` for ``current=600``); ``model`` is the
    span model; ``wind_height`` the height (m) the area's speeds are given at and
    ``terrain_class`` the wind's terrain (B); ``solve`` what ``solve="max_temperature"`` found
    (a :class:`TemperatureLimit`), else None; ``operating`` the conductor's temperature from
    ``current=`` (a varnel.HeatBalance), else None; ``warnings`` the reader's warnings (also
    given as UserWarning).

    ``curve(i)`` is span i's conductor (``curve(-1)`` the last span's); ``to_svg()`` the
    command's drawing (``varnel profile --svg``); ``plot()`` a matplotlib figure of the same.
    """

    def __init__(self, profile: Any, inputs: Any, drawing: dict,
                 solved: Optional[tuple] = None) -> None:
        pd = _pandas()
        self._profile = profile
        self._inputs = inputs
        self._drawing = drawing
        conditions = list(profile.conditions)
        self.model: str = profile.model
        self.conditions: tuple[str, ...] = tuple(conditions)
        self.wind_height: float = profile.wind_height
        self.terrain_class: str = "B"
        self.operating: Any = None
        self.warnings: tuple[str, ...] = tuple(inputs.warnings)
        tower_rows = inputs.towers
        names = [t[0] for t in tower_rows]
        self._tower_names = names
        crossing_rows = inputs.crossings
        crossing_names = [c[0] for c in crossing_rows]

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

        rows, crossed = [], []
        self._spans = profile.spans()
        for i, s in enumerate(self._spans):
            (section, near, far, near_z, far_z, span, h, largest, sag, low, clearance,
             clearance_at, required, checks, support, allowable, ok) = s
            span_name = f"{names[i]}-{names[i + 1]}"
            rows.append({
                "from": names[i], "to": names[i + 1], "section": section,
                "near_station_m": near, "far_station_m": far,
                "near_attachment_m": near_z, "far_attachment_m": far_z, "span_m": span,
                "height_difference_m": h, "max_sag_condition": conditions[largest],
                "max_sag_m": sag, "low_point_station_m": low, "min_clearance_m": clearance,
                "min_clearance_station_m": clearance_at,
                "required_clearance_m": math.nan if required is None else required,
                "crossings_ok": all(c[4] for c in checks),
                "support_stress_N_per_mm2": support,
                "support_allowable_N_per_mm2": allowable, "ok": ok})
            for k, found, condition, needed, holds, swing, _, _ in checks:
                name, station, _, _, offset = crossing_rows[k]
                crossed.append({
                    "span": span_name, "crossing": name, "station_m": station,
                    "offset_m": math.nan if offset is None else offset,
                    "clearance_m": found, "required_m": needed,
                    "condition": conditions[condition], "conductor_swing_deg": swing,
                    "ok": holds})
        self.spans = pd.DataFrame(rows)
        self.crossings = pd.DataFrame(
            crossed, columns=["span", "crossing", "station_m", "offset_m", "clearance_m",
                              "required_m", "condition", "conductor_swing_deg", "ok"])

        rows = []
        for i, t in enumerate(profile.towers()):
            (ground, attachment, wind_span, weight_span, vertical, horizontal, swing, uplift,
             ok, limit, upward, _) = t
            for k, name in enumerate(conditions):
                rows.append({
                    "name": names[i], "station_m": tower_rows[i][1], "kind": tower_rows[i][2],
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

        units = {"swing": "deg", "suspension_point": "N/mm²"}
        self.violations = pd.DataFrame(
            [{"kind": kind, "where": where, "station_m": station, "value": value,
              "limit": limit, "unit": units.get(kind, "m"),
              "condition": None if k is None else conditions[k],
              "load_N": math.nan if load is None else load}
             for kind, _, where, station, value, limit, k, load in profile.violations()],
            columns=["kind", "where", "station_m", "value", "limit", "unit", "condition",
                     "load_N"])

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
        """The conductor of span ``span_index`` (0 for the first, -1 for the last, as Python
        indexes) in ``condition`` (a name or an index; the span's largest-sag condition when
        None), at ``points`` evenly spaced stations from tower to tower: a DataFrame of
        ``station_m`` and ``elevation_m``."""
        pd = _pandas()
        if isinstance(span_index, (bool, np.bool_)) or not isinstance(span_index,
                                                                      (int, np.integer)):
            raise TypeError(f"span_index must be an int, not {_args.describe(span_index)}")
        n = len(self._spans)
        if not -n <= span_index < n:
            raise IndexError(f"span {span_index}: the line has {n}")
        span_index = int(span_index) % n
        if isinstance(points, (bool, np.bool_)) or not isinstance(points, (int, np.integer)) \
                or points < 2:
            raise ValueError(f"points must be an int of at least 2, not {points!r}")
        k = self._spans[span_index][7] if condition is None else self._condition(condition)
        near, far = self._spans[span_index][1], self._spans[span_index][2]
        stations = np.linspace(near, far, int(points))
        elevations = np.array(self._profile.curve(span_index, k, stations.tolist()))
        return pd.DataFrame({"station_m": stations, "elevation_m": elevations})

    def to_svg(self, path: Any = None, *, exaggeration: float = 10,
               from_station: Optional[float] = None,
               to_station: Optional[float] = None) -> Optional[str]:
        """The command's drawing of the line (``varnel profile --svg``, the same code): the
        ground, the towers, the conductor in its condition of largest sag and the clearance
        line under it, the crossings and the violations. ``exaggeration``: the vertical scale
        over the horizontal (1 to 100, 10 as the command); ``from_station``, ``to_station``
        (m): the window drawn (``--from``, ``--to``). With ``path`` the SVG is written there
        (whole or not at all) and None returned; else the SVG text is returned."""
        scale = _args.real(exaggeration, "exaggeration")
        if not 1 <= scale <= 100:
            raise ValueError(f"exaggeration = {scale!r}: from 1 to 100")
        window = [None if v is None else _args.real(v, name)
                  for v, name in ((from_station, "from_station"), (to_station, "to_station"))]
        if None not in window and not window[1] > window[0]:
            raise ValueError("to_station: must be beyond from_station")
        d = self._drawing

        def draw(target: str) -> None:
            _core.draw_profile(self._profile, self._inputs, d["area"], d["conductor"], scale,
                               window[0], window[1], d["alpha_loads"], d["alpha_clearance"],
                               target)

        if path is not None:
            draw(os.fsdecode(_args.path_bytes(path)))
            return None
        with tempfile.TemporaryDirectory() as folder:
            target = os.path.join(folder, "profile.svg")
            draw(target)
            with open(target, encoding="utf-8") as f:
                return f.read()

    def plot(self, ax: Any = None, *, condition: Union[int, str, None] = None,
             exaggeration: Optional[float] = None) -> Any:
        """A matplotlib figure of the line: the ground, each span's conductor (in its
        largest-sag condition, or ``condition``), the clearance line ``required`` below it where
        a ground clearance is required, the towers, the crossings and the violations. On ``ax``
        when given (its figure is returned); ``exaggeration`` sets the axes' aspect (vertical
        over horizontal scale)."""
        from ._profile_plot import plot_profile

        return plot_profile(self, ax, condition, exaggeration)


def _heat_keywords(given: dict) -> dict:
    unknown = [k for k in given if k not in _HEAT_KEYWORDS and k != "thermal_model"]
    if unknown:
        raise TypeError(f"check_profile() got an unexpected keyword argument {unknown[0]!r} "
                        f"(the heat balance takes {', '.join(_HEAT_KEYWORDS)}, thermal_model)")
    heat = {k: v for k, v in given.items() if k != "thermal_model" and v is not None}
    if "thermal_model" in given:
        heat["model"] = given["thermal_model"]
    for k, v in _HEAT_DEFAULTS.items():
        heat.setdefault(k, v)
    if "solar" not in heat and not any(k in heat for k in _SUN_POSITION):
        heat["solar"] = 1000.0
    return heat


def _operating(conductor: Conductor, current: Any, max_temperature: Any,
               heat: Optional[dict]) -> tuple[Optional[float], str, Any]:
    """The conductor temperature's condition: (temperature or None, its name as the command
    names it, the heat balance of current= or None)."""
    short = _core.short_number
    if max_temperature is not None:
        t = _args.real(max_temperature, "max_temperature")
        if not _COLDEST <= t <= _HOTTEST:
            raise ValueError(f"max_temperature = {t!r}: from {_COLDEST:g} to {_HOTTEST:g} °C")
        return t, f"导线温度 {short(t)} °C", None
    if current is None:
        return None, "", None
    amps = _args.real(current, "current")
    if not (math.isfinite(amps) and amps >= 0):
        raise ValueError(f"current = {amps!r}: must be a finite number of at least 0 A")
    balance = _thermal.conductor_temperature(conductor, amps, **(heat or _heat_keywords({})))
    t = float(balance.temperature)
    if t > _HOTTEST:
        raise ValueError(f"current= {short(amps)} A heats the conductor to "
                         f"{_core.fixed_number(t, 1)} °C, beyond the {_HOTTEST:g} °C a sag is "
                         "worked out for")
    return t, f"载流 {short(amps)} A ({_core.fixed_number(t, 1)} °C)", balance


def check_profile(terrain: Table, towers: Table, conductor: Conductor, conditions: Conditions,
                  *, crossings: Optional[Table] = None, ground_clearance: Optional[float] = None,
                  max_temperature: Optional[float] = None, current: Optional[float] = None,
                  model: str = "catenary", avg_ratio: float = 0.25,
                  strength_factor: float = 0.95, safety: float = 2.5,
                  suspension_safety: float = 2.25, wind_height: float = 10,
                  alpha_loads: Optional[float] = None,
                  alpha_clearance: Optional[float] = None,
                  solve: Optional[str] = None, **heat_balance: Any) -> ProfileCheck:
    """Checks a line over its ground, as ``varnel profile`` does.

    ``terrain``: columns ``station_m, elevation_m``; ``towers``: ``name, station_m, kind``
    (``strain`` or ``suspension``), ``arm_height_m, insulator_length_m, insulator_weight_N``
    and optionally ``ground_elevation_m, angle_deg, max_swing_deg, insulator_area_m2,
    max_angle_deg`` and ``max_swing_<CONDITION>_deg``; ``crossings``: ``name, station_m,
    elevation_m, clearance_m`` and optionally ``offset_m``. Each a DataFrame or the path of a
    CSV file, read by the command's own reader: what the command refuses is refused here in the
    same words (ValueError ``FILE: line N, column C (NAME): reason``; a DataFrame is named
    ``terrain``, ``towers`` or ``crossings`` and its first row is line 2). ``conditions``: a
    weather area or a list of conditions, each named once. ``ground_clearance`` (m) judges the
    clearances; without it they are reported only. ``model``: ``"catenary"`` or
    ``"parabola"``. ``wind_height`` (10 or 15 m): the height at which the area's wind speeds
    are given (10: raised to 15 m for the wind loads, terrain B). ``alpha_loads``,
    ``alpha_clearance``: fixed wind pressure non-uniformity factors in place of GB 50545-2010
    Table 10.1.18-1's two rows by the speed at 10 m (towers' loads; swing and crossings beside
    the line), e.g. α from a table by the wind span.

    The conductor's temperature, as ``profile --max-temperature`` or ``--current``:
    ``max_temperature`` (°C, −90 to 200) adds a still-air condition for the largest sag, named
    ``导线温度 T °C``; ``current`` (A) finds that temperature by the heat balance
    (varnel.conductor_temperature) with the weather given as its keywords (``ambient``,
    ``wind_speed``, ``wind_angle``, ``solar`` or ``latitude``/``day``/``hour``/``azimuth``,
    ``emissivity``, ``resistance``, ...; ``thermal_model`` for its ``model``), the command's
    defaults where not given (40 °C, 0.5 m/s across the line, 1000 W/m² of sun), and names the
    condition ``载流 I A (T °C)``; ``line.operating`` is its heat balance.

    ``solve="max_temperature"`` also finds the highest conductor temperature (still air, no
    ice, −40 to 250 °C) at which every clearance holds, and what sets it: ``line.solve``, a
    :class:`TemperatureLimit`; with the heat balance's keywords, ``line.solve.ampacity`` is the
    current that holds the conductor there. It needs ``ground_clearance`` or a crossing, and is
    refused with ``max_temperature`` or ``current`` (which fix the temperature it finds).
    ValueError for a line that cannot be checked; a UserWarning for a tower's ground elevation
    more than 5 m from the terrain's.

    Example::

        import varnel
        area = varnel.load_weather_areas("samples/weather_areas.dbf")[5]
        conductor = varnel.load_conductors("samples/conductors.dbf")[0]
        line = varnel.check_profile("samples/profile/terrain.csv",
                                    "samples/profile/towers.csv", conductor, area,
                                    crossings="samples/profile/crossings.csv",
                                    ground_clearance=7)
        line.violations        # the swing at N8 (72.1° in 大风) and the ground at N14-N15
        line.crossings         # each crossing: its span, clearance, required, condition
        line.curve(13)         # the conductor over the second hill
        line.to_svg("profile.svg")
        hot = varnel.check_profile("samples/profile/terrain.csv",
                                   "samples/profile/towers.csv", conductor, area,
                                   ground_clearance=3, solve="max_temperature")
        hot.solve              # TemperatureLimit(62.43 °C, set by the ground under N14-N15)
    """
    _args.conductor(conductor)
    found = _conditions(conditions)
    names = [x.name for x in found]
    for i, name in enumerate(names):
        if name in names[:i]:
            raise ValueError(f"conditions: two are named {name!r}; each condition needs a name "
                             "of its own (the results are named by them)")
    _, ratio, factor, safe = _factors(1.0, avg_ratio, strength_factor, safety)
    if not isinstance(model, str):
        raise TypeError(f"model must be a str, not {_args.describe(model)}")
    ground = None if ground_clearance is None else _args.real(ground_clearance,
                                                              "ground_clearance")
    hanging = _args.real(suspension_safety, "suspension_safety")
    height = _args.real(wind_height, "wind_height")
    if height not in (10, 15):
        raise ValueError(f"wind_height = {height!r}: the area's speeds are given at 10 or 15 m")
    fixed = [None if a is None else _args.real(a, name)
             for a, name in ((alpha_loads, "alpha_loads"), (alpha_clearance, "alpha_clearance"))]
    if max_temperature is not None and current is not None:
        raise ValueError("current= and max_temperature= both fix the conductor's temperature: "
                         "give one or the other")
    if solve is not None:
        if solve != "max_temperature":
            raise ValueError(f"solve = {solve!r}: the check solves for \"max_temperature\"")
        for given, name in ((max_temperature, "max_temperature"), (current, "current")):
            if given is not None:
                raise ValueError(f"{name} fixes the conductor's temperature, which "
                                 "solve=\"max_temperature\" finds: give one or the other")
    heat = None
    if heat_balance:
        if current is None and solve is None:
            first = next(iter(heat_balance))
            if first in _HEAT_KEYWORDS or first == "thermal_model":
                raise ValueError(f"{first} describes the heat balance, which only current= or "
                                 "solve= needs")
        heat = _heat_keywords(heat_balance)
    hot, hot_name, balance = _operating(conductor, current, max_temperature, heat)

    # The names a max_swing_<CONDITION>_deg column may take, as the command's: the area's and
    # the conductor temperature's.
    inputs = _profile_inputs.read(terrain, towers, crossings,
                                  names + ([hot_name] if hot is not None else []))
    for warning in inputs.warnings:
        warnings.warn(warning, UserWarning, stacklevel=2)
    if solve is not None and ground is None and not inputs.crossings:
        raise ValueError("solve=\"max_temperature\": no clearance to hold; give "
                         "ground_clearance or a crossing")
    towers_label = (os.fsdecode(towers) if isinstance(towers, (str, bytes, os.PathLike))
                    else "towers")
    profile = _core.check_profile(conductor, found, names, inputs, ground, hot,
                                  hot_name or "max temperature", model, ratio, factor, safe,
                                  hanging, height, fixed[0], fixed[1], towers_label)
    solved = None if solve is None else _core.max_temperature_for_clearances(
        profile, conductor, found, inputs)
    drawing = {"area": getattr(conditions, "name", ""), "conductor": conductor.name,
               "alpha_loads": fixed[0], "alpha_clearance": fixed[1]}
    line = ProfileCheck(profile, inputs, drawing, solved)
    line.operating = balance
    if line.solve is not None and heat is not None and math.isfinite(line.solve.temperature):
        line.solve.ampacity = _thermal.ampacity(conductor, line.solve.temperature, **heat)
    return line


__all__ = ["ProfileCheck", "TemperatureLimit", "check_profile"]
