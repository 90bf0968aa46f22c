"""Type stubs of the compiled module varnel._core. Use the package's own functions: these take
checked arguments from it."""

from typing import Any, Optional, Tuple

import numpy as np
import numpy.typing as npt

__version__: str

class Condition:
    """A design weather condition: name, radial ice (mm), wind speed (m/s), temperature (°C)."""

    def __init__(self, name: str, ice_mm: float, wind_ms: float, temperature_c: float) -> None: ...
    @property
    def name(self) -> str: ...
    @property
    def name_gbk(self) -> bytes: ...
    @property
    def ice_mm(self) -> float: ...
    @property
    def wind_ms(self) -> float: ...
    @property
    def temperature_c(self) -> float: ...
    def __eq__(self, other: object) -> bool: ...
    def __hash__(self) -> int: ...

class Conductor:
    """A conductor type: area mm², diameter mm, unit mass kg/km, modulus N/mm², expansion 1/°C,
    rated strength N; aluminium and steel areas, aluminium wires and stranding carried along."""

    def __init__(
        self,
        name: str,
        area_mm2: float,
        diameter_mm: float,
        unit_mass_kg_per_km: float,
        elastic_modulus: float,
        expansion_coeff: float,
        rated_strength_n: float,
        *,
        aluminium_area_mm2: Optional[float] = None,
        steel_area_mm2: Optional[float] = None,
        aluminium_wires: Optional[int] = None,
        stranding: Optional[str] = None,
        column4_value: Optional[float] = None,
        column7_value: Optional[float] = None,
        column9_number: Optional[int] = None,
        column10_text: Optional[str] = None,
    ) -> None: ...
    @property
    def name(self) -> str: ...
    @property
    def name_gbk(self) -> bytes: ...
    @property
    def area_mm2(self) -> float: ...
    @property
    def diameter_mm(self) -> float: ...
    @property
    def unit_mass_kg_per_km(self) -> float: ...
    @property
    def elastic_modulus(self) -> float: ...
    @property
    def expansion_coeff(self) -> float: ...
    @property
    def rated_strength_n(self) -> float: ...
    @property
    def aluminium_area_mm2(self) -> float: ...
    @property
    def steel_area_mm2(self) -> float: ...
    @property
    def aluminium_wires(self) -> int: ...
    @property
    def stranding(self) -> str: ...
    @property
    def column4_value(self) -> float: ...
    @property
    def column7_value(self) -> float: ...
    @property
    def column9_number(self) -> int: ...
    @property
    def column10_text(self) -> str: ...
    def __eq__(self, other: object) -> bool: ...
    def __hash__(self) -> int: ...

_Doubles = npt.NDArray[np.float64]

def _holds_record(record: object) -> bool: ...
def table_path(path: bytes) -> bytes: ...
def check_table(path: bytes, expected_fields: int = -1) -> dict[str, Any]: ...
def read_table(path: bytes) -> Optional[tuple[list[bytes], list[list[bytes]]]]: ...
def load_weather_areas(
    path: bytes, load_case: bool, english: bool
) -> Optional[list[tuple[str, list[Condition]]]]: ...
def load_conductors(path: bytes) -> Optional[list[Conductor]]: ...
def load_hb_lines(path: bytes) -> Optional[list[dict[str, object]]]: ...
def load_insulators(path: bytes) -> Optional[list[dict[str, object]]]: ...
def specific_load(condition: Condition, conductor: Conductor) -> float: ...
def state_stress(
    span: _Doubles,
    cos: _Doubles,
    known_stress: _Doubles,
    conductor: Conductor,
    known: Condition,
    sought: Condition,
) -> _Doubles: ...
def _state_stress_loop(
    span: _Doubles,
    cos: _Doubles,
    known_stress: _Doubles,
    conductor: Conductor,
    known: Condition,
    sought: Condition,
) -> _Doubles: ...
def control(
    span: float,
    cos: float,
    avg_ratio: float,
    strength_factor: float,
    safety: float,
    conductor: Conductor,
    conditions: list[Condition],
    model: str = ...,
    height_difference: Optional[float] = ...,
) -> tuple[int, list[tuple[int, float, list[tuple[int, float, float, bool]], bool]], list[float],
           list[float], list[float], list[bool], int]: ...
def sag_table(
    spans: _Doubles,
    conductor: Conductor,
    conditions: list[Condition],
    cos: _Doubles | float,
    avg_ratio: float,
    strength_factor: float,
    safety: float,
    model: str = ...,
) -> tuple[npt.NDArray[np.int32], _Doubles, _Doubles, list[float]]: ...
def pole_wind(
    condition: Condition, top_diameter_mm: float, top_height_m: float, taper: float,
    bottom_height_m: float
) -> tuple[float, float]: ...
def conductor_wind(
    condition: Condition, conductor: Conductor, span_m: float, height_m: float,
    wind_angle_deg: float
) -> float: ...
def insulator_wind(condition: Condition, height_m: float, area_m2: float) -> float: ...
def critical_spans(
    conductor: Conductor,
    conditions: list[Condition],
    cos: float,
    avg_ratio: float,
    strength_factor: float,
    safety: float,
    model: str = ...,
    height_difference: Optional[float] = ...,
) -> tuple[list[int], list[tuple[int, int, Optional[float]]], list[tuple[int, float, Optional[float]]]]: ...
def ice_without_wind(
    conditions: list[Condition],
) -> Optional[tuple[str, float, float, float]]: ...
def ruling_span(spans: list[tuple[float, float]]) -> tuple[float, float]: ...
def design_section(
    conductor: Conductor,
    conditions: list[Condition],
    spans: list[tuple[float, float]],
    avg_ratio: float,
    strength_factor: float,
    safety: float,
    temperatures: Optional[tuple[float, float, float]],
    compensation: float,
    model: str = ...,
) -> tuple[object, ...]: ...
def _thermal_batch(
    ampacity: bool,
    rows: int,
    columns: dict[str, _Doubles],
    sun_position: bool,
    atmosphere: str,
    strand_mm: float,
    core_mm: float,
    frequency: float,
    model: str,
    raise_: bool,
) -> Tuple[Tuple[_Doubles, ...], list[Tuple[int, str]]]: ...
def span_curve(
    model: str, span: float, height_difference: float, stress: float, load: float,
    horizontal_load: float = ...
) -> dict[str, Any]: ...
def span_curve_at(
    model: str,
    span: float,
    height_difference: float,
    stress: float,
    load: float,
    what: str,
    x: _Doubles,
    horizontal_load: float = ...,
) -> _Doubles: ...
def catenary_state_stress(
    span: _Doubles,
    height_difference: _Doubles,
    known_stress: _Doubles,
    conductor: Conductor,
    known: Condition,
    sought: Condition,
    wind_plane: bool = ...,
) -> _Doubles: ...
