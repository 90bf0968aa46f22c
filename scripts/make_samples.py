#!/usr/bin/env python3
"""Writes the sample design tables in samples/ from their readable sources in samples/src.

    scripts/make_samples.py           write samples/*.dbf from samples/src/*.csv
    scripts/make_samples.py --check   exit 1, naming the file, when a committed table is not
                                      what the sources give

The tables are dBASE III (version 0x03) files whose texts are GBK (code page 936) bytes, the
shape the library's loaders read: texts in 'C' fields, numbers in 'N' fields. Every field and
its width are declared below; the sources only hold values. A value that would not come back
out of the table exactly as it stands in its source (a text too long for its record field or
not representable in GBK, a number with other decimals than its field or wider than it) is
refused with the file, line and column that hold it. The header date is fixed, so the same
sources always give the same bytes.
"""

import argparse
import csv
import re
import struct
import sys
from dataclasses import dataclass
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
SAMPLES = REPO / "samples"

# Date of last update in every header (year, month, day): fixed, never today's.
TABLE_DATE = (2025, 1, 1)
LANGUAGE_DRIVER_GBK = 0x4D


class SampleError(Exception):
    """A source that cannot become a table; the message names the place."""


@dataclass(frozen=True)
class Field:
    name: str  # column name in the source and field name in the table
    kind: str  # 'C' text, 'N' number
    width: int  # bytes in the record
    decimals: int = 0

    @property
    def text_limit(self):
        # A text field is as wide as the host's record array, NUL included, so the longest text
        # that fits is one byte shorter and is always followed by at least one space.
        return self.width - 1


def text(name, width):
    return Field(name, "C", width)


def number(name, width, decimals=0):
    return Field(name, "N", width, decimals)


@dataclass(frozen=True)
class Table:
    output: str
    source: str
    fields: tuple
    # False: the source's header names exactly these fields in this order. True: the fields are
    # picked by name from a source that another table takes whole.
    picked: bool = False


# Column order is what the loaders take by position; see samples/README.md for the meanings.
AREA = text("AREA", 24)
TEMPERATURES = {name: number(name, 4) for name in (
    "T_HIGH", "T_LOW", "T_ICE", "T_WIND", "T_INSTALL", "T_EXT_OV", "T_INT_OV", "T_AVERAGE")}
V_WIND = number("V_WIND", 5, 1)
V_ICE = number("V_ICE", 4)
V_INSTALL = number("V_INSTALL", 4)
ICE = number("ICE", 4)

WEATHER_AREAS = Table("weather_areas.dbf", "weather_areas.csv", (
    AREA,
    TEMPERATURES["T_HIGH"], TEMPERATURES["T_LOW"], TEMPERATURES["T_ICE"],
    TEMPERATURES["T_WIND"], TEMPERATURES["T_INSTALL"], TEMPERATURES["T_EXT_OV"],
    TEMPERATURES["T_INT_OV"],
    V_WIND, V_ICE, V_INSTALL, number("V_EXT_OV", 4), number("V_INT_OV", 6, 2),
    ICE, TEMPERATURES["T_AVERAGE"],
))

LOAD_CASE_AREAS = Table("load_case_areas.dbf", "weather_areas.csv", (
    AREA,
    TEMPERATURES["T_LOW"], TEMPERATURES["T_WIND"], TEMPERATURES["T_AVERAGE"],
    TEMPERATURES["T_ICE"], TEMPERATURES["T_INSTALL"],
    V_WIND, V_ICE, V_INSTALL, ICE,
), picked=True)

CONDUCTOR_FIELDS = (
    text("NAME", 32),
    number("AREA", 7, 2),
    number("DIAMETER", 6, 2),
    number("MASS", 7, 1),
    number("AL_AREA", 7, 2),
    number("MODULUS", 6),
    number("EXPANSION", 5, 1),
    number("ST_AREA", 6, 2),
    number("STRENGTH", 7),
    number("AL_WIRES", 3),
)

CONDUCTORS = Table("conductors.dbf", "conductors.csv",
                   CONDUCTOR_FIELDS + (text("STRANDING", 68),))

HB_LINES = Table("hb_lines.dbf", "hb_lines.csv",
                 CONDUCTOR_FIELDS + (text("STRANDING", 64), number("RESISTANCE", 7, 4)))

INSULATORS = Table("insulators.dbf", "insulators.csv", (
    number("VOLTAGE", 4),
    number("LENGTH", 6, 3),
    number("MASS", 6, 1),
    number("WIND_AREA", 6, 3),
    number("UNIT_LOAD", 4),
    text("UNIT_TYPE", 24),
    number("UNITS", 3),
    number("UNIT_H", 4),
    number("UNIT_D", 4),
    number("STRINGS", 2),
    number("UNIT_CREEP", 5),
    text("ARRANGE", 24),
    number("UNIT_MASS", 5, 1),
    number("MIN_UNITS", 3),
    number("RATED", 5),
    number("MAX_WORK", 7, 2),
    number("SHEDS", 2),
    number("FIT_LENGTH", 6, 3),
    text("FITTINGS", 24),
    number("FIT_MASS", 6, 1),
    number("CREEPAGE", 6),
    number("CREEP_KV", 6, 2),
    number("SAFETY", 4, 1),
    number("HANGPOINTS", 2),
    text("STANDARD", 52),
))

TABLES = (WEATHER_AREAS, LOAD_CASE_AREAS, CONDUCTORS, HB_LINES, INSULATORS)

FIELD_NAME = re.compile(r"[A-Z][A-Z0-9_]{0,9}")


def check_layout(table):
    """Refuses a declared layout that is no valid dBASE III table."""
    names = [f.name for f in table.fields]
    if len(set(names)) != len(names):
        raise SampleError(f"{table.output}: a field name is declared twice")
    for f in table.fields:
        if not FIELD_NAME.fullmatch(f.name):
            raise SampleError(f"{table.output}: field name {f.name!r} is not 1 to 10 of "
                              "A-Z, 0-9 and _, starting with a letter")
        if f.kind == "C" and not 2 <= f.width <= 254:
            raise SampleError(f"{table.output}: text field {f.name} must be 2 to 254 bytes wide")
        if f.kind == "N" and not (1 <= f.width <= 19 and
                                  (f.decimals == 0 or f.decimals <= f.width - 2)):
            raise SampleError(f"{table.output}: number field {f.name} has width {f.width} "
                              f"and {f.decimals} decimals")


def number_pattern(decimals):
    fraction = rf"\.\d{{{decimals}}}" if decimals else ""
    return re.compile(rf"-?(0|[1-9]\d*){fraction}")


def encode_cell(value, field, where):
    """The bytes of one cell, padded to the field's width."""
    if field.kind == "C":
        if value != value.strip(" "):
            raise SampleError(f"{where}: text {value!r} has leading or trailing spaces, "
                              "which the reader strips")
        if any(ord(c) < 0x20 or ord(c) == 0x7F for c in value):
            raise SampleError(f"{where}: text {value!r} holds a control character")
        try:
            data = value.encode("gbk")
        except UnicodeEncodeError as e:
            raise SampleError(f"{where}: {value[e.start:e.end]!r} has no GBK code") from None
        if len(data) > field.text_limit:
            raise SampleError(f"{where}: text is {len(data)} bytes in GBK; "
                              f"the field holds at most {field.text_limit}")
        return data.ljust(field.width, b" ")
    if not number_pattern(field.decimals).fullmatch(value):
        raise SampleError(f"{where}: {value!r} is not a number written with exactly "
                          f"{field.decimals} decimals (no sign +, no leading zeros)")
    if len(value) > field.width:
        raise SampleError(f"{where}: {value!r} is {len(value)} characters; "
                          f"the field is {field.width} wide")
    return value.encode("ascii").rjust(field.width, b" ")


def read_source(path):
    """Header and rows of a source, each row with the line it starts on."""
    shown = relative(path)
    try:
        with path.open(encoding="utf-8", newline="") as f:
            reader = csv.reader(f, strict=True)
            header = next(reader, None)
            rows = []
            while True:
                line = reader.line_num + 1
                row = next(reader, None)
                if row is None:
                    break
                rows.append((line, row))
    except OSError as e:
        raise SampleError(f"{shown}: cannot be read ({e.strerror})") from None
    except (UnicodeDecodeError, csv.Error) as e:
        raise SampleError(f"{shown}: not a UTF-8 CSV file ({e})") from None
    if not header:
        raise SampleError(f"{shown}: no header row")
    if header[0].startswith("\ufeff"):
        raise SampleError(f"{shown}: starts with a byte order mark; save it as UTF-8 without one")
    for line, row in rows:
        if len(row) != len(header):
            raise SampleError(f"{shown}, line {line}: {len(row)} cell(s) where the header names "
                              f"{len(header)}")
    return header, rows


def table_records(table, source):
    """The encoded records of one table, from its source file."""
    check_layout(table)
    header, rows = read_source(source)
    shown = relative(source)
    names = [f.name for f in table.fields]
    if table.picked:
        missing = [n for n in names if n not in header]
        if missing:
            raise SampleError(f"{shown}: no column {', '.join(missing)}")
    elif header != names:
        raise SampleError(f"{shown}: header is {','.join(header)}; "
                          f"{table.output} takes {','.join(names)}")
    if len(rows) > 20:
        raise SampleError(f"{shown}: {len(rows)} rows; sample tables are kept to 20")
    records = []
    for line, row in rows:
        record = [b" "]  # not deleted
        for f in table.fields:
            column = header.index(f.name)
            where = f"{shown}, line {line}, column {column} ({f.name})"
            record.append(encode_cell(row[column], f, where))
        records.append(b"".join(record))
    return records


def table_bytes(table, records):
    n = len(table.fields)
    header_length = 32 + 32 * n + 1
    record_length = 1 + sum(f.width for f in table.fields)
    if record_length > 0xFFFF or header_length > 0xFFFF:
        raise SampleError(f"{table.output}: record or header too long for dBASE III")
    year, month, day = TABLE_DATE
    reserved = bytearray(20)
    reserved[29 - 12] = LANGUAGE_DRIVER_GBK
    out = bytearray(struct.pack("<BBBBIHH", 0x03, year - 1900, month, day, len(records),
                                header_length, record_length))
    out += reserved
    for f in table.fields:
        out += f.name.encode("ascii").ljust(11, b"\0")
        out += f.kind.encode("ascii")
        out += bytes(4)  # field data address: not used by readers of files
        out += struct.pack("<BB", f.width, f.decimals)
        out += bytes(14)
    out += b"\x0d"
    for record in records:
        assert len(record) == record_length
        out += record
    out += b"\x1a"
    return bytes(out)


def build(samples_dir):
    """Every table's name and bytes, in the order of TABLES."""
    src = samples_dir / "src"
    return {t.output: table_bytes(t, table_records(t, src / t.source)) for t in TABLES}


def relative(path):
    try:
        return path.resolve().relative_to(REPO)
    except ValueError:
        return path


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", action="store_true",
                        help="compare the committed tables with the sources; write nothing")
    parser.add_argument("--samples", type=Path, default=SAMPLES,
                        help="folder of the tables, with the sources in its src/ "
                             "(default: samples/ of this repository)")
    args = parser.parse_args(argv)

    try:
        tables = build(args.samples)
    except SampleError as e:
        print(f"make_samples: {e}", file=sys.stderr)
        return 1

    if args.check:
        stale = []
        for name, data in tables.items():
            path = args.samples / name
            try:
                current = path.read_bytes()
            except OSError:
                current = None
            if current != data:
                what = "is missing" if current is None else "differs from its source"
                print(f"make_samples: {relative(path)} {what}; "
                      "run scripts/make_samples.py and commit the result", file=sys.stderr)
                stale.append(name)
        return 1 if stale else 0

    for name, data in tables.items():
        path = args.samples / name
        path.write_bytes(data)
        print(f"wrote {relative(path)} ({len(data)} bytes)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
