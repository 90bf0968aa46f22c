"""The conductor's steady heat balance (IEEE 738-2012, CIGRE TB 601): its temperature for a
current and its ampacity for a temperature, vectorised over the current (or the temperature),
the ambient temperature and the wind speed.
"""

from __future__ import annotations

import dataclasses
from typing import Any, Optional, Sequence, Tuple, Union

import numpy as np

from . import _args, _core
from ._core import Conductor

ArrayLike = Union[float, Sequence[float], np.ndarray]
Resistances = Union[float, Tuple[Tuple[float, float], Tuple[float, float]]]

# Hard-drawn aluminium's temperature coefficient of resistance at 20 °C, 1/°C.
ALUMINIUM_ALPHA20 = 0.00403


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


def _diameter(conductor_or_diameter_mm: Any) -> float:
    if isinstance(conductor_or_diameter_mm, Conductor):
        return float(_args.conductor(conductor_or_diameter_mm).diameter_mm)
    return _args.real(conductor_or_diameter_mm, "conductor_or_diameter_mm")


def _resistance(resistance: Optional[Resistances]) -> tuple[float, float, float, float]:
    if resistance is None:
        raise ValueError("resistance is needed: ((t1, r1), (t2, r2)) in °C and Ω/km, or R20 "
                         "in Ω/km alone")
    if _args.is_real(resistance):
        r20 = float(resistance)
        return 20.0, r20, 120.0, r20 * (1 + ALUMINIUM_ALPHA20 * 100)
    try:
        (t1, r1), (t2, r2) = resistance  # type: ignore[misc]
    except (TypeError, ValueError):
        raise TypeError("resistance must be ((t1, r1), (t2, r2)) in °C and Ω/km, or R20 in "
                        f"Ω/km alone, not {_args.describe(resistance)}") from None
    return (_args.real(t1, "resistance t1"), _args.real(r1, "resistance r1"),
            _args.real(t2, "resistance t2"), _args.real(r2, "resistance r2"))


def _sun(latitude, day, hour, azimuth, solar):
    position = (latitude, day, hour, azimuth)
    if solar is not None:
        if any(p is not None for p in position):
            raise ValueError("give either solar (W/m²) or the sun's position (latitude, day, "
                             "hour, azimuth), not both")
        return _args.real(solar, "solar"), None, None, None, None
    if all(p is None for p in position):
        raise ValueError("the sun is needed: solar (W/m², 0 for none) or latitude, day, hour "
                         "and azimuth")
    if any(p is None for p in position):
        raise ValueError("the sun's position needs all of latitude, day, hour and azimuth")
    if not (isinstance(day, (int, np.integer)) and not isinstance(day, bool)):
        raise TypeError(f"day must be a whole day of the year, not {_args.describe(day)}")
    return (None, _args.real(latitude, "latitude"), int(day), _args.real(hour, "hour"),
            _args.real(azimuth, "azimuth"))


def _text(value: Any, what: str) -> str:
    if not isinstance(value, str):
        raise TypeError(f"{what} must be a str, not {_args.describe(value)}")
    return value


def _balances(ampacity: bool, conductor_or_diameter_mm, values, what, *, ambient, wind_speed,
              wind_angle, elevation, latitude, day, hour, azimuth, atmosphere, albedo, solar,
              emissivity, absorptivity, strand_diameter, resistance, model, clearness=None,
              core_diameter=None, frequency=None) -> HeatBalance:
    diameter = _diameter(conductor_or_diameter_mm)
    arrays = [_args.reals(values, what), _args.reals(ambient, "ambient"),
              _args.reals(wind_speed, "wind_speed")]
    try:
        shaped = np.broadcast_arrays(*arrays)
    except ValueError:
        raise ValueError(f"{what}, ambient and wind_speed do not broadcast together: shapes "
                         f"{[a.shape for a in arrays]}") from None
    shape = shaped[0].shape
    flat = [np.ascontiguousarray(a.reshape(-1)) for a in shaped]
    t1, r1, t2, r2 = _resistance(resistance)
    sun_solar, lat, sun_day, sun_hour, sun_azimuth = _sun(latitude, day, hour, azimuth, solar)
    strand = 0.0 if strand_diameter is None else _args.real(strand_diameter, "strand_diameter")
    model = _text(model, "model")
    # Both are cigre601's alone: IEEE 738 has no clearness ratio and takes the resistances as AC
    # ones, so there they would be silently lost (or the skin effect counted twice).
    for given, name in ((clearness, "clearness"), (core_diameter, "core_diameter")):
        if given is not None and model != "cigre601":
            raise ValueError(f"{name} is cigre601's, not {model}'s")
    if clearness is not None and sun_solar is not None:
        raise ValueError("clearness needs the sun's position (latitude, day, hour, azimuth), "
                         "not solar")
    if frequency is not None and core_diameter is None:
        raise ValueError("frequency is for the skin effect: it needs core_diameter")
    sky = -1.0 if clearness is None else _args.real(clearness, "clearness")
    core = -1.0 if core_diameter is None else _args.real(core_diameter, "core_diameter")
    hz = 50.0 if frequency is None else _args.real(frequency, "frequency")
    if clearness is not None and sky < 0:
        raise ValueError(f"clearness must be from 0 to 1, not {sky}")
    if core_diameter is not None and core < 0:
        raise ValueError(f"core_diameter must be at least 0 mm, not {core}")
    terms = _core._thermal_balances(
        ampacity, flat[0], flat[1], flat[2], diameter, strand,
        _args.real(emissivity, "emissivity"), _args.real(absorptivity, "absorptivity"),
        t1, r1, t2, r2, _args.real(wind_angle, "wind_angle"), _args.real(elevation, "elevation"),
        sun_solar, lat, sun_day, sun_hour, sun_azimuth, _text(atmosphere, "atmosphere"),
        _args.real(albedo, "albedo"), model, sky, core, hz)
    if shape == ():
        shaped_terms = [float(t[0]) for t in terms]
    else:
        shaped_terms = [t.reshape(shape) for t in terms]
    return HeatBalance(model, *shaped_terms)


def conductor_temperature(conductor_or_diameter_mm: Union[Conductor, float], current: ArrayLike,
                          *, ambient: ArrayLike, wind_speed: ArrayLike, wind_angle: float = 90,
                          elevation: float = 0, latitude: Optional[float] = None,
                          day: Optional[int] = None, hour: Optional[float] = None,
                          azimuth: Optional[float] = None, atmosphere: str = "clear",
                          albedo: float = 0.1, solar: Optional[float] = None,
                          emissivity: float = 0.9, absorptivity: float = 0.9,
                          strand_diameter: Optional[float] = None,
                          resistance: Optional[Resistances] = None,
                          model: str = "ieee738", clearness: Optional[float] = None,
                          core_diameter: Optional[float] = None,
                          frequency: Optional[float] = None) -> HeatBalance:
    """The steady temperature of a conductor carrying ``current`` (A), solved to 1e-6 °C.

    ``conductor_or_diameter_mm``: a varnel.Conductor (its diameter is used) or a diameter in mm.
    ``current``, ``ambient`` (°C) and ``wind_speed`` (m/s) broadcast together: a year of hourly
    weather is one call. ``wind_angle``: degrees between the wind and the line (90 across it).
    ``elevation``: m. The sun: ``solar`` in W/m² falling square on the conductor, or its
    position from ``latitude`` (degrees north), ``day`` (of the year; 10 June is 161),
    ``hour`` (solar time) and the line's ``azimuth`` (degrees from north), with the
    ``atmosphere`` (``"clear"`` or ``"industrial"``) and, for cigre601, the ground's
    ``albedo``. ``strand_diameter``: the outer strands' diameter in mm (CIGRE's roughness).
    ``resistance``: ((t1, r1), (t2, r2)) in °C and Ω/km, or R20 in Ω/km alone (scaled with
    aluminium's 0.00403/°C). ``model``: ``"ieee738"`` or ``"cigre601"``. For cigre601 only:
    ``clearness``, the direct beam's clearness ratio (0 to 1) in place of the atmosphere;
    ``core_diameter``, the steel core's diameter in mm, which makes the resistances DC ones and
    adds the skin effect at ``frequency`` Hz (50 unless given).

    Raises ValueError for values no conductor has (a negative current or wind, an emissivity
    outside [0, 1], ...), naming the case within the arrays.
    """
    return _balances(False, conductor_or_diameter_mm, current, "current", ambient=ambient,
                     wind_speed=wind_speed, wind_angle=wind_angle, elevation=elevation,
                     latitude=latitude, day=day, hour=hour, azimuth=azimuth,
                     atmosphere=atmosphere, albedo=albedo, solar=solar, emissivity=emissivity,
                     absorptivity=absorptivity, strand_diameter=strand_diameter,
                     resistance=resistance, model=model, clearness=clearness,
                     core_diameter=core_diameter, frequency=frequency)


def ampacity(conductor_or_diameter_mm: Union[Conductor, float], max_temperature: ArrayLike, *,
             ambient: ArrayLike, wind_speed: ArrayLike, wind_angle: float = 90,
             elevation: float = 0, latitude: Optional[float] = None, day: Optional[int] = None,
             hour: Optional[float] = None, azimuth: Optional[float] = None,
             atmosphere: str = "clear", albedo: float = 0.1, solar: Optional[float] = None,
             emissivity: float = 0.9, absorptivity: float = 0.9,
             strand_diameter: Optional[float] = None, resistance: Optional[Resistances] = None,
             model: str = "ieee738", clearness: Optional[float] = None,
             core_diameter: Optional[float] = None,
             frequency: Optional[float] = None) -> HeatBalance:
    """The steady current (A) that holds a conductor at ``max_temperature`` (°C, above the
    ambient), with the heat terms there. The arguments are ``conductor_temperature``'s.

    Raises ValueError where the maximum is not above the ambient, or where the sun alone heats
    the conductor beyond it.
    """
    return _balances(True, conductor_or_diameter_mm, max_temperature, "max_temperature",
                     ambient=ambient, wind_speed=wind_speed, wind_angle=wind_angle,
                     elevation=elevation, latitude=latitude, day=day, hour=hour,
                     azimuth=azimuth, atmosphere=atmosphere, albedo=albedo, solar=solar,
                     emissivity=emissivity, absorptivity=absorptivity,
                     strand_diameter=strand_diameter, resistance=resistance, model=model,
                     clearness=clearness, core_diameter=core_diameter, frequency=frequency)
