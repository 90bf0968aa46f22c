"""Varnel for Python: the mechanical design of overhead power lines.

The module binds the library's own C++ code, the same sources as libvarnel.so and varnel.dll,
built with the same floating-point flags, so every figure is the exports' figure to the bit.

Units: ice and diameters in mm, areas in mm², unit mass in kg/km, modulus and stresses in N/mm²,
strength in N, specific loads in N/(m·mm²), lengths and heights in m, wind speed in m/s,
temperatures in °C, loads in kN, moments in kN·m. Names are str; the tables hold them in GBK.
"""

from ._core import Condition, Conductor, __version__
from ._calc import (
    Check,
    ControlResult,
    PoleWind,
    Trial,
    conductor_wind,
    control,
    insulator_wind,
    pole_wind,
    sag_table,
    specific_load,
    state_stress,
)
from ._curve import SpanCurve, catenary_state_stress, span_curve
from ._design import (
    ControlRange,
    CriticalPair,
    CriticalSpans,
    RulingSpan,
    SectionDesign,
    SpanSags,
    critical_spans,
    design_section,
    ruling_span,
    stringing_table,
)
from ._thermal import HeatBalance, ampacity, conductor_temperature
from ._profile import ProfileCheck, TemperatureLimit, check_profile
from ._tables import (
    HBLine,
    Insulator,
    Records,
    Table,
    TableError,
    WeatherArea,
    load_conductors,
    load_hb_lines,
    load_insulators,
    load_weather_areas,
    read_table,
)

__all__ = [
    "Check",
    "Condition",
    "Conductor",
    "ControlRange",
    "ControlResult",
    "CriticalPair",
    "CriticalSpans",
    "HBLine",
    "HeatBalance",
    "Insulator",
    "PoleWind",
    "ProfileCheck",
    "Records",
    "RulingSpan",
    "SectionDesign",
    "SpanCurve",
    "SpanSags",
    "Table",
    "TableError",
    "TemperatureLimit",
    "Trial",
    "WeatherArea",
    "__version__",
    "ampacity",
    "catenary_state_stress",
    "check_profile",
    "conductor_temperature",
    "conductor_wind",
    "control",
    "critical_spans",
    "design_section",
    "insulator_wind",
    "load_conductors",
    "load_hb_lines",
    "load_insulators",
    "load_weather_areas",
    "pole_wind",
    "read_table",
    "ruling_span",
    "sag_table",
    "span_curve",
    "specific_load",
    "state_stress",
    "stringing_table",
]

# Shown as varnel.X in reprs and tracebacks, where the user meets them.
for _name in __all__:
    _obj = globals()[_name]
    if isinstance(_obj, type) and _obj.__module__.startswith("varnel._"):
        try:
            _obj.__module__ = "varnel"
        except (AttributeError, TypeError):
            pass
del _name, _obj
