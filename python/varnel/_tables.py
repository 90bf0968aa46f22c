"""DBF tables and the design data libraries loaded from them."""

from __future__ import annotations

import dataclasses
import errno
import operator
import os
from typing import Any, Iterator, NoReturn, Sequence, Union

from . import _core
from ._args import path_bytes
from ._core import Condition, Conductor

PathLike = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]

# Fields each library's table must have.
_FIELDS = {"areas": 15, "load_case_areas": 10, "conductors": 11, "hb_lines": 12, "insulators": 25}


class TableError(ValueError):
    """A table the reader refuses, with the reason the table check gives.

    ``reason`` is the check's one-line account with its figures (for example
    ``"version byte 0x83 is not one this reader reads (0x03, 0x30)"``), ``refusal`` the rule's
    name (``"UnsupportedVersion"``, ``"Truncated"``, ``"FieldCount"``, ...), ``path`` the file
    looked for (``.dbf`` supplied), and ``value`` and ``limit`` the figures themselves.
    """

    def __init__(self, path: str, refusal: str, reason: str, value: int = 0, limit: int = 0):
        super().__init__(f"{path}: {reason}")
        self.path = path
        self.refusal = refusal
        self.reason = reason
        self.value = value
        self.limit = limit

    def __reduce__(self):
        # Rebuilt from its own fields: the default would call __init__ with the message alone.
        return (type(self), (self.path, self.refusal, self.reason, self.value, self.limit))


def _native(path: PathLike) -> bytes:
    return path_bytes(path)


def _refuse(path: bytes, expected_fields: int = -1) -> NoReturn:
    check = _core.check_table(path, expected_fields)
    shown = os.fsdecode(check["path"] or path)
    if check["refusal"] == "NoFile":
        code = check["system_error"] or errno.ENOENT
        # OSError picks the subclass from the code: FileNotFoundError for ENOENT.
        raise OSError(code, check["reason"] or os.strerror(code), shown)
    if check["refusal"] == "OutOfMemory":
        raise MemoryError(f"{shown}: {check['reason']}")
    if check["refusal"] == "None":
        raise RuntimeError(f"{shown}: the table opens, but its rows could not be loaded")
    raise TableError(shown, check["refusal"], check["reason"], check["value"], check["limit"])


class Table:
    """The rows of a DBF table as the reader cuts them, decoded from GBK.

    ``fields`` holds the field names, ``field_types`` their type letters (``C`` text, ``N`` and
    ``F`` numbers, ``D`` dates, ``L`` truth values, ...), ``decimals`` their decimal counts,
    and ``rows`` one tuple of texts per live record, in file order. Texts are not converted to
    numbers: they are what a loader sees; ``to_pandas()`` converts them by their field's type.
    """

    def __init__(self, path: str, fields: Sequence[str], rows: Sequence[tuple[str, ...]],
                 field_types: Sequence[str] = (), decimals: Sequence[int] = ()):
        self.path = path
        self.fields = tuple(fields)
        self.rows = list(rows)
        self.field_types = tuple(field_types) or ("C",) * len(self.fields)
        self.decimals = tuple(decimals) or (0,) * len(self.fields)

    def __len__(self) -> int:
        return len(self.rows)

    def __iter__(self) -> Iterator[tuple[str, ...]]:
        return iter(self.rows)

    def __getitem__(self, index: int) -> tuple[str, ...]:
        return self.rows[index]

    def __repr__(self) -> str:
        return f"<varnel.Table {self.path!r}: {len(self.fields)} fields, {len(self.rows)} rows>"

    def to_pandas(self, convert: bool = True) -> Any:
        """The table as a pandas DataFrame, one column per field.

        With ``convert`` (the default) each column by its field's type: ``N`` and ``F`` as
        numbers (int64 when the field has no decimals and every row holds a whole number, else
        float64; a text that is no number, blank included, is NaN), ``D`` (YYYYMMDD) as
        datetime64 (NaT where blank or no date), ``L`` as bool (T/Y true, F/N false; the nullable
        ``boolean`` type with <NA> where a row holds ``?`` or nothing), every other type as str.
        Without ``convert``, every column is the texts as the reader cuts them."""
        import pandas as pd

        if not convert:
            return pd.DataFrame(self.rows, columns=list(self.fields), dtype=object)
        texts = list(zip(*self.rows)) if self.rows else [()] * len(self.fields)
        columns = {}
        for k, name in enumerate(self.fields):
            columns[k] = _column(pd, list(texts[k]), self.field_types[k], self.decimals[k])
        frame = pd.DataFrame(columns, index=pd.RangeIndex(len(self.rows)))
        frame.columns = list(self.fields)
        return frame


def _number(text: str) -> float:
    try:
        return float(text)
    except ValueError:
        return float("nan")


def _column(pd: Any, texts: list[str], kind: str, decimals: int) -> Any:
    if kind in ("N", "F"):
        values = [_number(t) for t in texts]
        whole = all(v == v and abs(v) < 2**63 and float(v).is_integer() for v in values)
        if decimals == 0 and whole:
            return pd.Series([int(v) for v in values], dtype="int64")
        return pd.Series(values, dtype="float64")
    if kind == "D":
        return pd.to_datetime(pd.Series(texts, dtype=object), format="%Y%m%d", errors="coerce")
    if kind == "L":
        truth = {"T": True, "t": True, "Y": True, "y": True,
                 "F": False, "f": False, "N": False, "n": False}
        values = [truth.get(t) for t in texts]
        if all(v is not None for v in values):
            return pd.Series(values, dtype=bool)
        return pd.Series(values, dtype="boolean")
    return pd.Series(texts, dtype=object)


def _field_types(path: str, count: int) -> tuple[list[str], list[int]]:
    """The type letters and decimal counts of a table's first ``count`` fields, from the
    descriptors the reader has just accepted (byte 11 the type, byte 17 the decimals)."""
    try:
        with open(path, "rb") as f:
            head = f.read(32 + 32 * count)
    except OSError:
        head = b""
    kinds, decimals = [], []
    for k in range(count):
        d = head[32 + 32 * k:64 + 32 * k]
        if len(d) < 32:
            kinds.append("C")
            decimals.append(0)
            continue
        kinds.append(chr(d[11]).upper() if 32 < d[11] < 127 else "C")
        decimals.append(d[17])
    return kinds, decimals


def _decode(raw: bytes) -> str:
    return raw.decode("gbk", "replace")


def read_table(path: PathLike) -> Table:
    """Reads any dBASE III or Visual FoxPro table (``.dbf`` is supplied without an extension).

    Raises FileNotFoundError naming the path, or TableError saying why the table is refused.
    """
    native = _native(path)
    found = _core.read_table(native)
    if found is None:
        _refuse(native)
    fields, rows = found
    shown = os.fsdecode(native)
    kinds, decimals = _field_types(_core.table_path(native), len(fields))
    return Table(
        shown,
        [_decode(f) for f in fields],
        [tuple(_decode(t) for t in row) for row in rows],
        kinds,
        decimals,
    )



class Records(list):
    """A list of library records that can also be indexed by name: ``conductors["JL/G1A-240/30"]``
    gives the first record of that name."""

    def __getitem__(self, key):  # type: ignore[override]
        if isinstance(key, str):
            for record in self:
                if record.name == key:
                    return record
            names = ", ".join(r.name for r in self)
            raise KeyError(f"{key!r} is not here; the names are: {names}")
        return super().__getitem__(key)

    def __contains__(self, key: object) -> bool:
        """A name is in when ``self[name]`` finds it; a record when an equal one is here."""
        if isinstance(key, str):
            return any(r.name == key for r in self)
        return super().__contains__(key)

    def names(self) -> list[str]:
        return [r.name for r in self]


@dataclasses.dataclass(frozen=True)
class WeatherArea:
    """A weather area and its design conditions, in the table's fixed order."""

    name: str
    conditions: tuple[Condition, ...]

    def __iter__(self) -> Iterator[Condition]:
        return iter(self.conditions)

    def __len__(self) -> int:
        return len(self.conditions)

    def __contains__(self, key: object) -> bool:
        """A condition's name (``'年平' in area``) or a Condition."""
        if isinstance(key, str):
            return any(c.name == key for c in self.conditions)
        return key in self.conditions

    def __getitem__(self, key: Union[int, str]) -> Condition:
        if isinstance(key, str):
            for c in self.conditions:
                if c.name == key:
                    return c
            raise KeyError(f"{key!r} is not a condition of {self.name}")
        return self.conditions[key]


def _alias(field: str, doc: str) -> Any:
    """A read-only name for one of a record's column fields."""
    return property(operator.attrgetter(field), doc=doc)


@dataclasses.dataclass(frozen=True)
class HBLine:
    """One row of an HB line table; column6_value is the table's figure × 1e-6."""

    name: str
    column1_value: float
    column2_value: float
    column3_value: float
    column4_value: float
    column5_value: float
    column6_value: float
    column7_value: float
    column8_value: float
    column9_number: int
    column10_text: str
    column11_value: float

    # The columns by what HB line tables hold in them (the samples' field names in brackets);
    # the fields above keep the record's column names.
    area_mm2 = _alias("column1_value", "Total cross-section, mm² (AREA)")
    diameter_mm = _alias("column2_value", "Outer diameter, mm (DIAMETER)")
    unit_mass_kg_per_km = _alias("column3_value", "Mass, kg/km (MASS)")
    aluminium_area_mm2 = _alias("column4_value", "Aluminium cross-section, mm² (AL_AREA)")
    elastic_modulus = _alias("column5_value", "Final modulus of elasticity, N/mm² (MODULUS)")
    expansion_coeff = _alias("column6_value",
                             "Coefficient of linear expansion, 1/°C (EXPANSION × 1e-6)")
    steel_area_mm2 = _alias("column7_value", "Steel cross-section, mm² (ST_AREA)")
    rated_strength_n = _alias("column8_value", "Rated tensile strength, N (STRENGTH)")
    aluminium_wires = _alias("column9_number", "Number of aluminium wires (AL_WIRES)")
    stranding = _alias("column10_text", "Kind, stranding and standard (STRANDING)")
    resistance_ohm_per_km = _alias("column11_value",
                                   "DC resistance at 20 °C, Ω/km (RESISTANCE)")


@dataclasses.dataclass(frozen=True)
class Insulator:
    """One row of an insulator table, its 25 columns by position. ``name`` is column 5, the type."""

    column0_value: float
    column1_value: float
    column2_value: float
    column3_value: float
    column4_value: float
    column5_text: str
    column6_number: int
    column7_value: float
    column8_value: float
    column9_number: int
    column10_value: float
    column11_text: str
    column12_value: float
    column13_number: int
    column14_value: float
    column15_value: float
    column16_number: int
    column17_value: float
    column18_text: str
    column19_value: float
    column20_value: float
    column21_value: float
    column22_value: float
    column23_number: int
    column24_text: str

    @property
    def name(self) -> str:
        return self.column5_text

    # The columns by what insulator tables hold in them (the samples' field names in brackets).
    voltage_kv = _alias("column0_value", "Nominal voltage of the line, kV (VOLTAGE)")
    length_m = _alias("column1_value", "Length of the string with fittings, m (LENGTH)")
    mass_kg = _alias("column2_value", "Mass of the strings with fittings, kg (MASS)")
    wind_area_m2 = _alias("column3_value", "Wind-exposed area of the string, m² (WIND_AREA)")
    unit_load_kn = _alias("column4_value", "Rated failing load of one unit, kN (UNIT_LOAD)")
    unit_type = _alias("column5_text", "Unit designation (UNIT_TYPE)")
    units = _alias("column6_number", "Units in one string (UNITS)")
    unit_height_mm = _alias("column7_value", "Structure height of a unit, mm (UNIT_H)")
    unit_diameter_mm = _alias("column8_value", "Diameter of a unit, mm (UNIT_D)")
    strings = _alias("column9_number", "Strings in parallel (STRINGS)")
    unit_creepage_mm = _alias("column10_value", "Creepage distance of a unit, mm (UNIT_CREEP)")
    arrangement = _alias("column11_text", "Arrangement of the string (ARRANGE)")
    unit_mass_kg = _alias("column12_value", "Mass of a unit, kg (UNIT_MASS)")
    min_units = _alias("column13_number", "Fewest units the design code asks for (MIN_UNITS)")
    rated_load_kn = _alias("column14_value", "Failing load of the string, kN (RATED)")
    max_working_load_kn = _alias("column15_value", "Largest working load, kN (MAX_WORK)")
    sheds = _alias("column16_number", "Sheds per unit (SHEDS)")
    fittings_length_m = _alias("column17_value", "Length of the fittings, m (FIT_LENGTH)")
    fittings = _alias("column18_text", "Fittings (FITTINGS)")
    fittings_mass_kg = _alias("column19_value", "Mass of the fittings, kg (FIT_MASS)")
    creepage_mm = _alias("column20_value", "Creepage distance of one string, mm (CREEPAGE)")
    creepage_mm_per_kv = _alias("column21_value",
                                "Creepage distance per kV of the highest voltage (CREEP_KV)")
    safety_factor = _alias("column22_value", "Mechanical safety factor of the units (SAFETY)")
    attachment_points = _alias("column23_number", "Attachment points at the support (HANGPOINTS)")
    standard = _alias("column24_text", "Standard of the unit and note (STANDARD)")


def _load(path: PathLike, kind: str, load, *args):
    native = _native(path)
    found = load(native, *args)
    if found is None:
        _refuse(native, _FIELDS[kind])
    return found


def load_weather_areas(path: PathLike, load_case: bool = False, english: bool = False) -> Records:
    """The weather areas of a table: 15 fields and nine conditions per area, or with
    ``load_case`` a 10-field load-case table and six conditions per area. Conditions are named
    in Chinese (低温 大风 年平 ...) or, with ``english``, "Lowest Temp", "Max. wind vel", ...;
    the calculations find the annual average condition by either name (年平, "Avg. ann")."""
    kind = "load_case_areas" if load_case else "areas"
    found = _load(path, kind, _core.load_weather_areas, bool(load_case), bool(english))
    return Records(WeatherArea(name, tuple(conditions)) for name, conditions in found)


def load_conductors(path: PathLike) -> Records:
    """The conductors of an 11-field table as Conductor objects. Each remembers its table, so
    that ampacity and conductor_temperature find its resistance beside it as the command does."""
    records = Records(_load(path, "conductors", _core.load_conductors))
    from . import _thermal

    # Absolute, so that a later change of the working directory does not lose the file beside it.
    _thermal.remember_table(records, os.path.abspath(os.fsdecode(_native(path))))
    return records


def load_hb_lines(path: PathLike) -> Records:
    """The rows of a 12-field HB line table."""
    return Records(HBLine(**d) for d in _load(path, "hb_lines", _core.load_hb_lines))


def load_insulators(path: PathLike) -> Records:
    """The rows of a 25-field insulator table."""
    return Records(Insulator(**d) for d in _load(path, "insulators", _core.load_insulators))


__all__ = [
    "Conductor",
    "Condition",
    "HBLine",
    "Insulator",
    "Records",
    "Table",
    "TableError",
    "WeatherArea",
    "load_conductors",
    "load_hb_lines",
    "load_insulators",
    "load_weather_areas",
    "read_table",
]
