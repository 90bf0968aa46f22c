"""The profile's three inputs read as ``varnel profile`` reads them.

A path goes to the command's own reader (tools/profile_inputs.cpp, compiled into the module):
the same columns, encodings, size limit and refusals, word for word. A DataFrame is written out
as the CSV text of that file (a header line naming its columns, a line per row, the index left
out) and read by the same reader, so it is refused where the file would be and in the same
words: ``towers: line 3, column 2 (station_m): ...`` is the DataFrame's first row (line 1 holds
the column names). Its cells are written as they are typed: a number as the shortest text that
reads back to it, a missing value (None, NaN, pandas.NA) as an empty cell, a text as it is; a
truth value is written ``True``/``False`` and so refused where a number is wanted, as the
command refuses that cell. In a column that holds numbers, a text that spells one (``"400"``)
is refused rather than read as that number: the DataFrame says that cell is not a number like
the others. A column of texts alone (read with ``dtype=str``, or one where pandas met a cell
that is no number) is the file's text, and the reader reads or refuses it as the file's.
"""

from __future__ import annotations

import datetime
import math
import numbers
import os
import re
from typing import Any, Optional

import numpy as np

from . import _args, _core

# The columns of figures in each input (as tools/profile_inputs.h names them), and the pattern
# of a swing limit in a named condition.
_NUMBERS = {
    "terrain": {"station_m", "elevation_m"},
    "towers": {"station_m", "arm_height_m", "insulator_length_m", "insulator_weight_N",
               "ground_elevation_m", "angle_deg", "max_swing_deg", "insulator_area_m2",
               "max_angle_deg"},
    "crossings": {"station_m", "elevation_m", "clearance_m", "offset_m"},
}
_SWING_IN = re.compile(r"max_swing_.+_deg")
# The reader's limit on a file: a text past it is no profile.
_MAX_BYTES = 1 << 26


def _missing(value: Any) -> bool:
    if value is None or value is getattr(_pandas_module(), "NA", object()):
        return True
    if isinstance(value, (float, np.floating)) and math.isnan(value):
        return True
    return isinstance(value, (np.datetime64, np.timedelta64)) and np.isnat(value)


_PANDAS: Any = None


def _pandas_module() -> Any:
    global _PANDAS
    if _PANDAS is None:
        try:
            import pandas

            _PANDAS = pandas
        except ImportError:  # DataFrames cannot be handed in without it
            _PANDAS = False
    return _PANDAS


def _number_text(value: Any) -> str:
    if isinstance(value, numbers.Integral):
        return str(int(value))
    return repr(float(value))


def _quoted(text: str) -> str:
    return '"' + text.replace('"', '""') + '"'


def _spells_a_number(text: str) -> bool:
    try:
        return math.isfinite(float(text))
    except ValueError:
        return False


def _holds_numbers(column: Any) -> bool:
    return any(_args.is_real(v) and not _missing(v) for v in column)


def _cell(value: Any, numeric: bool, where: str) -> str:
    if _missing(value):
        return ""
    if isinstance(value, (bool, np.bool_)):
        return "True" if value else "False"
    if _args.is_real(value):
        return _number_text(value)
    if numeric:
        if isinstance(value, str) and _spells_a_number(value):
            raise ValueError(f"{where}: {_core.quoted_text(value)} is a text, not a number")
        if isinstance(value, (complex, np.complexfloating, datetime.date, datetime.time,
                              datetime.timedelta, np.datetime64, np.timedelta64)):
            raise ValueError(f"{where}: {value!r} is not a number")
    if isinstance(value, bytes):
        raise ValueError(f"{where}: {value!r} is bytes, not a text")
    return _quoted(str(value))


def frame_text(frame: Any, label: str, what: str) -> str:
    """The CSV text of ``frame`` as the input ``what`` (terrain, towers, crossings) reads it."""
    names = [str(c) for c in frame.columns]
    numeric = [(n in _NUMBERS[what] or (what == "towers" and bool(_SWING_IN.fullmatch(n))))
               and _holds_numbers(frame.iloc[:, c]) for c, n in enumerate(names)]
    lines = [",".join(_quoted(n) for n in names)]
    size = len(lines[0])
    for r, row in enumerate(frame.itertuples(index=False, name=None)):
        cells = []
        for c, value in enumerate(row):
            cells.append(_cell(value, numeric[c],
                               f"{label}: line {r + 2}, column {c + 1} ({names[c]})"))
        line = ",".join(cells)
        size += len(line) + 1
        if size > _MAX_BYTES:
            raise ValueError(f"{label}: larger than 64 MB")
        lines.append(line)
    return "\n".join(lines) + "\n"


def source(table: Any, what: str) -> tuple[Optional[str], str]:
    """(text, label) for a DataFrame, (None, path) for a file, as _core.read_profile takes
    them."""
    if isinstance(table, (str, bytes, os.PathLike)):
        path = os.fsdecode(table)
        if "\0" in path:
            raise ValueError(f"{what}: embedded null byte in {table!r}")
        return None, path
    pandas = _pandas_module()
    if pandas and isinstance(table, pandas.DataFrame):
        return frame_text(table, what, what), what
    raise TypeError(f"{what} must be a DataFrame or the path of a CSV file, not "
                    f"{_args.describe(table)}")


def read(terrain: Any, towers: Any, crossings: Any, condition_names: list[str]) -> Any:
    """The line's inputs (a _core.ProfileInputs): the terrain, the towers (their
    max_swing_<CONDITION>_deg columns naming ``condition_names``) and the crossings."""
    return _core.read_profile(source(terrain, "terrain"), source(towers, "towers"),
                              None if crossings is None else source(crossings, "crossings"),
                              condition_names)
