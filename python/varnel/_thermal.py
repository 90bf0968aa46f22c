"""The conductor's steady heat balance (IEEE 738-2012, CIGRE TB 601): its temperature for a
current and its ampacity for a temperature, vectorised over the current (or the temperature),
the ambient temperature and the wind speed.
"""

from __future__ import annotations

import dataclasses
import math
import os
import re
import weakref
from typing import Any, Optional, Sequence, Tuple, Union

import numpy as np

from . import _args, _core
from ._core import Conductor

ArrayLike = Union[float, Sequence[float], np.ndarray]
Resistances = Union[float, Tuple[Tuple[float, float], Tuple[float, float]]]

# Hard-drawn aluminium's temperature coefficient of resistance at 20 °C, 1/°C.
ALUMINIUM_ALPHA20 = 0.00403
# The command's weather where none is given: 40 °C air, 0.5 m/s across the line, and 1000 W/m²
# of sun square on the conductor (Chinese practice).
DEFAULT_AMBIENT = 40.0
DEFAULT_WIND_SPEED = 0.5
DEFAULT_SOLAR = 1000.0


@dataclasses.dataclass(frozen=True)
class HeatBalance:
    """The steady state of a conductor: arrays of the broadcast shape of the inputs (floats when
    every input was a number).

    Attributes:
        model: ``"ieee738"`` or ``"cigre601"``.
        temperature: conductor temperature, °C.
        current: current, A.
        resistance: resistance at that temperature, Ω/m.
        joule: Joule heating I²R, W/m.
        solar: solar heating, W/m.
        convection: convective cooling applied, the larger of ``forced`` and ``natural``, W/m.
        forced: forced convection, W/m.
        natural: natural convection, W/m.
        radiation: radiative cooling, W/m.
        reason: with ``errors="nan"``, why each case has no answer: an array of str of the same
            shape (a str for a single case), ``""`` where the case has one and its terms are
            NaN where it has none. None with ``errors="raise"``.

    >>> import varnel
    >>> r = varnel.ampacity(28.14, 100, ambient=40, wind_speed=0.61, latitude=30, day=161,
    ...                     hour=11, azimuth=90, emissivity=0.8, absorptivity=0.8,
    ...                     resistance=((25, 0.07283), (75, 0.08688)))
    >>> round(float(r.current))
    1025
    """

    model: str
    temperature: Any
    current: Any
    resistance: Any
    joule: Any
    solar: Any
    convection: Any
    forced: Any
    natural: Any
    radiation: Any
    reason: Any = None


# What the command reads beside a conductor table for the heat balance: NAME,R20,STRAND_DIAMETER
# (Ω/km, mm) under a header row, UTF-8.
THERMAL_ROWS_FILE = "conductor_resistance.csv"

# The table each conductor loaded by load_conductors came from, by the record's id while it
# lives: the records are the compiled module's and take no attributes of their own.
_TABLES: dict[int, str] = {}


def remember_table(records: Sequence[Conductor], path: str) -> None:
    """Notes that ``records`` were loaded from the conductor table at ``path``."""
    for record in records:
        key = id(record)
        _TABLES[key] = path
        weakref.finalize(record, _TABLES.pop, key, None)


def _table_of(conductor: Any) -> Optional[str]:
    return _TABLES.get(id(conductor)) if isinstance(conductor, Conductor) else None


_DECIMAL = re.compile(r"[+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?")


def _row_number(what: str, text: str, positive: bool) -> float:
    """A cell read as the command reads its numbers: a plain decimal, finite, in range."""
    if not _DECIMAL.fullmatch(text):
        raise ValueError(f'{what}: "{text}" is not a number')
    value = float(text)
    if not math.isfinite(value):
        raise ValueError(f'{what}: "{text}" is out of the range of numbers')
    if positive and not value > 0:
        raise ValueError(f'{what}: "{text}" must be above 0')
    if not positive and not value >= 0:
        raise ValueError(f'{what}: "{text}" must be at least 0')
    return value


def _thermal_row(table: str, name: str) -> Optional[tuple[float, float]]:
    """(R20 Ω/km, strand diameter mm) of ``name`` in the file beside ``table``; None when there
    is no such file or row. ValueError naming the file and line for a row that does not read."""
    path = os.path.join(os.path.dirname(table), THERMAL_ROWS_FILE)
    try:
        with open(path, "rb") as f:
            lines = f.read().split(b"\n")
    except OSError:
        return None
    for number, raw in enumerate(lines[1:], start=2):
        line = raw.decode("utf-8", "surrogateescape")
        if line.endswith("\r"):
            line = line[:-1]
        cells = line.split(",")
        if cells[0] != name:
            continue
        if len(cells) < 3:
            raise ValueError(f"{path}: line {number}: expected NAME,R20,STRAND_DIAMETER")
        try:
            return (_row_number("R20", cells[1], True),
                    _row_number("STRAND_DIAMETER", cells[2], False))
        except ValueError as e:
            raise ValueError(f"{path}: line {number}: {e}") from None
    return None


def _diameter(conductor_or_diameter_mm: Any) -> float:
    if isinstance(conductor_or_diameter_mm, Conductor):
        return float(_args.conductor(conductor_or_diameter_mm).diameter_mm)
    return _args.real(conductor_or_diameter_mm, "conductor_or_diameter_mm")


def _resistance(resistance: Optional[Resistances]) -> dict[str, Any]:
    """The resistance's two points as columns t1, r1, t2, r2 (°C, Ω/m): R20 alone (a number or
    an array) with aluminium's coefficient, or ((t1, r1), (t2, r2)) whose r1 and r2 may be
    arrays, each given in Ω/km."""
    if resistance is None:
        raise ValueError("resistance is needed: ((t1, r1), (t2, r2)) in °C and Ω/km, or R20 "
                         "in Ω/km alone")
    # A tuple or list is the two points, as it always was; a number or an array is R20.
    if not isinstance(resistance, (tuple, list)):
        # In Ω/m first, then scaled, as the command's resistanceFromR20 does: the same bits.
        r20 = _args.reals(resistance, "resistance") / 1000
        return dict(t1=20.0, r1=r20, t2=120.0, r2=r20 * (1 + ALUMINIUM_ALPHA20 * 100))
    try:
        (t1, r1), (t2, r2) = resistance
    except (TypeError, ValueError):
        raise TypeError("resistance must be ((t1, r1), (t2, r2)) in °C and Ω/km, or R20 in "
                        f"Ω/km alone, not {_args.describe(resistance)}") from None
    return dict(t1=_args.real(t1, "resistance t1"), r1=_args.reals(r1, "resistance r1") / 1000,
                t2=_args.real(t2, "resistance t2"), r2=_args.reals(r2, "resistance r2") / 1000)


def _days(day: Any) -> np.ndarray:
    """Days of the year as numbers; a single day that is not a whole number is a wrong type, as
    before arrays were taken. In an array the row with such a day has no answer."""
    if isinstance(day, (float, np.floating)) and not float(day).is_integer():
        raise TypeError(f"day must be a whole day of the year, not {_args.describe(day)}")
    return _args.reals(day, "day")


def _sun(latitude, day, hour, azimuth, solar, wind_direction) -> tuple[bool, dict[str, Any]]:
    """Whether the sun is placed from its position, and its columns. Neither a position nor
    ``solar``: 1000 W/m² falling square on the conductor, as the command takes it."""
    position = (latitude, day, hour)
    if solar is not None:
        if any(p is not None for p in position) or (azimuth is not None
                                                    and wind_direction is None):
            raise ValueError("give either solar (W/m²) or the sun's position (latitude, day, "
                             "hour, azimuth), not both")
        return False, dict(solar=_args.reals(solar, "solar"))
    if all(p is None for p in position):
        if azimuth is not None and wind_direction is None:
            raise ValueError("the sun's position needs all of latitude, day, hour and azimuth")
        return False, dict(solar=np.asarray(DEFAULT_SOLAR))
    if any(p is None for p in position) or azimuth is None:
        raise ValueError("the sun's position needs all of latitude, day, hour and azimuth")
    return True, dict(latitude=_args.reals(latitude, "latitude"), day=_days(day),
                      hour=_args.reals(hour, "hour"))


def _text(value: Any, what: str) -> str:
    if not isinstance(value, str):
        raise TypeError(f"{what} must be a str, not {_args.describe(value)}")
    return value


def _broadcast(columns: dict[str, Any]) -> tuple[tuple[int, ...], dict[str, np.ndarray]]:
    """The common shape of the columns and each as a 1-D float64 array of 1 value (the same for
    every row) or one per row, copied only where its own shape is neither."""
    arrays = {name: np.asarray(value, dtype=np.float64) for name, value in columns.items()}
    try:
        shape = np.broadcast_shapes(*(a.shape for a in arrays.values()))
    except ValueError:
        shown = ", ".join(f"{name} {a.shape}" for name, a in arrays.items() if a.ndim)
        raise ValueError(f"the inputs do not broadcast together: shapes {shown}") from None
    flat = {}
    for name, a in arrays.items():
        if a.size == 1:
            flat[name] = np.ascontiguousarray(a.reshape(1))
        elif a.shape == shape:
            flat[name] = np.ascontiguousarray(a).reshape(-1)
        else:
            flat[name] = np.ascontiguousarray(np.broadcast_to(a, shape)).reshape(-1)
    return shape, flat


def _balances(ampacity: bool, conductor_or_diameter_mm, values, what, *, ambient, wind_speed,
              wind_angle, wind_direction, elevation, latitude, day, hour, azimuth, atmosphere,
              albedo, solar, emissivity, absorptivity, strand_diameter, resistance, model,
              clearness, core_diameter, frequency, errors) -> HeatBalance:
    if errors not in ("raise", "nan"):
        raise ValueError(f'errors must be "raise" or "nan", not {errors!r}')
    diameter = _diameter(conductor_or_diameter_mm)
    model = _text(model, "model")
    strand = None if strand_diameter is None else _args.real(strand_diameter, "strand_diameter")
    table = _table_of(conductor_or_diameter_mm)
    if table is not None:
        # As the command does: what is given, else the conductor's row beside its table.
        row = _thermal_row(table, conductor_or_diameter_mm.name)
        if row is not None:
            resistance = row[0] if resistance is None else resistance
            strand = row[1] if strand is None else strand
        if resistance is None:
            raise ValueError(f"resistance is needed: ((t1, r1), (t2, r2)) in °C and Ω/km, or R20 "
                             f"in Ω/km alone ({THERMAL_ROWS_FILE} beside the conductor table "
                             f"has no row for {conductor_or_diameter_mm.name})")
    columns: dict[str, Any] = {"value": _args.reals(values, what),
                               "ambient": _args.reals(ambient, "ambient"),
                               "wind_speed": _args.reals(wind_speed, "wind_speed"),
                               "elevation": _args.reals(elevation, "elevation"),
                               "emissivity": _args.reals(emissivity, "emissivity"),
                               "absorptivity": _args.reals(absorptivity, "absorptivity"),
                               "diameter": np.asarray(diameter / 1000)}
    columns.update(_resistance(resistance))  # Ω/m, as the library takes it
    if wind_direction is not None:
        if wind_angle is not None:
            raise ValueError("give either wind_angle or wind_direction (with the line's "
                             "azimuth), not both")
        if azimuth is None:
            raise ValueError("wind_direction needs the line's azimuth")
        columns["wind_direction"] = _args.reals(wind_direction, "wind_direction")
    else:
        columns["wind_angle"] = _args.reals(90 if wind_angle is None else wind_angle,
                                            "wind_angle")
    if azimuth is not None:
        columns["azimuth"] = _args.reals(azimuth, "azimuth")
    sun_position, sun = _sun(latitude, day, hour, azimuth, solar, wind_direction)
    columns.update(sun)
    # Both are cigre601's alone: IEEE 738 has no clearness ratio and takes the resistances as AC
    # ones, so there they would be silently lost (or the skin effect counted twice).
    for given, name in ((clearness, "clearness"), (core_diameter, "core_diameter")):
        if given is not None and model != "cigre601":
            raise ValueError(f"{name} is cigre601's, not {model}'s")
    if clearness is not None and not sun_position:
        raise ValueError("clearness needs the sun's position (latitude, day, hour, azimuth), "
                         "not solar")
    if frequency is not None and core_diameter is None:
        raise ValueError("frequency is for the skin effect: it needs core_diameter")
    if sun_position:
        columns["albedo"] = _args.reals(albedo, "albedo")
        if clearness is not None:
            columns["clearness"] = _args.reals(clearness, "clearness")
    core = -1.0 if core_diameter is None else _args.real(core_diameter, "core_diameter")
    hz = 50.0 if frequency is None else _args.real(frequency, "frequency")
    if core_diameter is not None and core < 0:
        raise ValueError(f"core_diameter must be at least 0 mm, not {core}")
    shape, flat = _broadcast(columns)
    rows = int(np.prod(shape, dtype=np.int64))
    terms, failures = _core._thermal_batch(
        ampacity, rows, flat, sun_position, _text(atmosphere, "atmosphere"),
        0.0 if strand is None else strand, core, hz, model, errors == "raise")
    reasons = None
    if errors == "nan":
        reasons = np.full(rows, "", dtype=object)
        for row, reason in failures:
            reasons[row] = reason
    if shape == ():
        shaped_terms = [float(t[0]) for t in terms]
        reason = None if reasons is None else reasons[0]
    else:
        shaped_terms = [t.reshape(shape) for t in terms]
        reason = None if reasons is None else reasons.reshape(shape)
    return HeatBalance(model, *shaped_terms, reason=reason)


_COMMON_DOC = """
    Every input from ``ambient`` on broadcasts with ``{what}`` (numpy's rules): a year of hourly
    weather, each input an array, is one call.

    ``conductor_or_diameter_mm``: a varnel.Conductor (its diameter is used) or a diameter in mm.
    A conductor from ``load_conductors`` takes, as the command does, its resistance (R20) and
    outer strand diameter from the row of its name in ``conductor_resistance.csv`` beside its
    table, where ``resistance`` and ``strand_diameter`` are not given.
    ``ambient``: °C (40 unless given). ``wind_speed``: m/s (0.5). ``wind_angle``: degrees
    between the wind and the line, 0 to 180 (90, across it); or ``wind_direction``, where the
    wind blows from in degrees clockwise from north, with the line's ``azimuth``.
    ``elevation``: m. The sun: ``solar`` in W/m² falling square on the conductor (1000 unless a
    position is given), or its position from ``latitude`` (degrees north), ``day`` (of the
    year, whole; 10 June is 161), ``hour`` (solar time) and the line's ``azimuth`` (degrees from
    north), with the ``atmosphere`` (``"clear"`` or ``"industrial"``, one for the call) and, for
    cigre601, the ground's ``albedo``. ``emissivity`` and ``absorptivity`` (0.9 each).
    ``strand_diameter``: the outer strands' diameter in mm (CIGRE's roughness).
    ``resistance``: ((t1, r1), (t2, r2)) in °C and Ω/km (a tuple or list), r1 and r2 numbers or
    arrays, or R20 in Ω/km alone, a number or a numpy array (scaled with aluminium's
    0.00403/°C). ``model``:
    ``"ieee738"`` or ``"cigre601"``. For cigre601 only: ``clearness``, the direct beam's
    clearness ratio (0 to 1, broadcasting) in place of the atmosphere; ``core_diameter``, the
    steel core's diameter in mm, which makes the resistances DC ones and adds the skin effect at
    ``frequency`` Hz (50 unless given).

    ``errors``: a case without an answer (an input no conductor has, such as a negative wind or
    an emissivity above 1, a maximum temperature not above the air's, a current no temperature
    up to 2,000 °C holds) raises ValueError naming the case with ``"raise"`` (the default); with
    ``"nan"`` its terms are NaN, the other cases are solved all the same, and the result's
    ``reason`` says why, case by case. Arguments of the wrong type, or that contradict each
    other, raise whatever ``errors`` says.
"""


def conductor_temperature(conductor_or_diameter_mm: Union[Conductor, float], current: ArrayLike,
                          *, ambient: ArrayLike = DEFAULT_AMBIENT,
                          wind_speed: ArrayLike = DEFAULT_WIND_SPEED,
                          wind_angle: Optional[ArrayLike] = None,
                          wind_direction: Optional[ArrayLike] = None, elevation: ArrayLike = 0,
                          latitude: Optional[ArrayLike] = None, day: Optional[ArrayLike] = None,
                          hour: Optional[ArrayLike] = None, azimuth: Optional[ArrayLike] = None,
                          atmosphere: str = "clear", albedo: ArrayLike = 0.1,
                          solar: Optional[ArrayLike] = None, emissivity: ArrayLike = 0.9,
                          absorptivity: ArrayLike = 0.9, strand_diameter: Optional[float] = None,
                          resistance: Optional[Resistances] = None, model: str = "ieee738",
                          clearness: Optional[ArrayLike] = None,
                          core_diameter: Optional[float] = None,
                          frequency: Optional[float] = None,
                          errors: str = "raise") -> HeatBalance:
    return _balances(False, conductor_or_diameter_mm, current, "current", ambient=ambient,
                     wind_speed=wind_speed, wind_angle=wind_angle, wind_direction=wind_direction,
                     elevation=elevation, latitude=latitude, day=day, hour=hour, azimuth=azimuth,
                     atmosphere=atmosphere, albedo=albedo, solar=solar, emissivity=emissivity,
                     absorptivity=absorptivity, strand_diameter=strand_diameter,
                     resistance=resistance, model=model, clearness=clearness,
                     core_diameter=core_diameter, frequency=frequency, errors=errors)


def ampacity(conductor_or_diameter_mm: Union[Conductor, float], max_temperature: ArrayLike, *,
             ambient: ArrayLike = DEFAULT_AMBIENT, wind_speed: ArrayLike = DEFAULT_WIND_SPEED,
             wind_angle: Optional[ArrayLike] = None, wind_direction: Optional[ArrayLike] = None,
             elevation: ArrayLike = 0, latitude: Optional[ArrayLike] = None,
             day: Optional[ArrayLike] = None, hour: Optional[ArrayLike] = None,
             azimuth: Optional[ArrayLike] = None, atmosphere: str = "clear",
             albedo: ArrayLike = 0.1, solar: Optional[ArrayLike] = None,
             emissivity: ArrayLike = 0.9, absorptivity: ArrayLike = 0.9,
             strand_diameter: Optional[float] = None, resistance: Optional[Resistances] = None,
             model: str = "ieee738", clearness: Optional[ArrayLike] = None,
             core_diameter: Optional[float] = None, frequency: Optional[float] = None,
             errors: str = "raise") -> HeatBalance:
    return _balances(True, conductor_or_diameter_mm, max_temperature, "max_temperature",
                     ambient=ambient, wind_speed=wind_speed, wind_angle=wind_angle,
                     wind_direction=wind_direction, elevation=elevation, latitude=latitude,
                     day=day, hour=hour, azimuth=azimuth, atmosphere=atmosphere, albedo=albedo,
                     solar=solar, emissivity=emissivity, absorptivity=absorptivity,
                     strand_diameter=strand_diameter, resistance=resistance, model=model,
                     clearness=clearness, core_diameter=core_diameter, frequency=frequency,
                     errors=errors)


conductor_temperature.__doc__ = """The steady temperature of a conductor carrying ``current``
    (A), solved to 1e-6 °C, with every term of its heat balance (a HeatBalance).
""" + _COMMON_DOC.format(what="current")
ampacity.__doc__ = """The steady current (A) that holds a conductor at ``max_temperature`` (°C,
    above the ambient), with the heat terms there (a HeatBalance). Where the sun alone heats the
    conductor beyond the maximum, the case has no answer.
""" + _COMMON_DOC.format(what="max_temperature")
