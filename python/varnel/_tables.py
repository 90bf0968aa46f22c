"""DBF tables and the design data libraries loaded from them."""

from __future__ import annotations

import dataclasses
import errno
import os
from typing import Any, Iterator, NoReturn, Sequence, Union

from . import _core
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
    return os.fsencode(os.fspath(path))


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

    ``fields`` holds the field names and ``rows`` one tuple of texts per live record, in file
    order. Texts are not trimmed or converted to numbers: they are what a loader sees.
    """

    def __init__(self, path: str, fields: Sequence[str], rows: Sequence[tuple[str, ...]]):
        self.path = path
        self.fields = tuple(fields)
        self.rows = list(rows)

    def __len__(self) -> int:
        return len(self.rows)

    def __iter__(self) -> Iterator[tuple[str, ...]]:
        return iter(self.rows)

    def __getitem__(self, index: int) -> tuple[str, ...]:
        return self.rows[index]

    def __repr__(self) -> str:
        return f"<varnel.Table {self.path!r}: {len(self.fields)} fields, {len(self.rows)} rows>"

    def to_pandas(self) -> Any:
        """The table as a pandas DataFrame of strings, one column per field."""
        import pandas as pd

        return pd.DataFrame(self.rows, columns=list(self.fields), dtype=object)


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
    return Table(
        os.fsdecode(native),
        [_decode(f) for f in fields],
        [tuple(_decode(t) for t in row) for row in rows],
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

    def __getitem__(self, key: Union[int, str]) -> Condition:
        if isinstance(key, str):
            for c in self.conditions:
                if c.name == key:
                    return c
            raise KeyError(f"{key!r} is not a condition of {self.name}")
        return self.conditions[key]


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
    """The conductors of an 11-field table as Conductor objects."""
    return Records(_load(path, "conductors", _core.load_conductors))


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
