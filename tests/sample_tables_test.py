#!/usr/bin/env python3
"""Reads the committed sample tables byte by byte, as a dBASE reader would, and compares every
cell with the readable sources in samples/src. Nothing here comes from scripts/make_samples.py:
the shapes below are those the library's loaders accept (field counts, which columns are read
with atoi, how long each text may be)."""

import csv
import math
import struct
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
SAMPLES = REPO / "samples"

# Per table: source, field count, columns read as whole numbers, text columns with the longest
# text (GBK bytes) that their record field holds.
TABLES = {
    "weather_areas.dbf": ("weather_areas.csv", 15, (), {0: 23}),
    "load_case_areas.dbf": ("weather_areas.csv", 10, (), {0: 23}),
    "conductors.dbf": ("conductors.csv", 11, (9,), {0: 31, 10: 67}),
    "hb_lines.dbf": ("hb_lines.csv", 12, (9,), {0: 31, 10: 63}),
    "insulators.dbf": ("insulators.csv", 25, (6, 9, 13, 16, 23), {5: 23, 11: 23, 18: 23, 24: 51}),
}

# Load-case column -> weather area column holding the same quantity: name, low temperature,
# high-wind temperature, annual average, ice temperature, installation temperature, high wind
# speed, ice wind speed, installation wind speed, ice thickness.
LOAD_CASE_FROM_WEATHER = (0, 2, 4, 14, 3, 5, 8, 9, 10, 13)


def read_dbf(path):
    """(fields, rows): fields as (name, type, width, decimals), rows as lists of raw bytes."""
    data = path.read_bytes()
    version, _, _, _, count, header_length, record_length = struct.unpack_from("<BBBBIHH", data)
    assert version == 0x03, f"{path.name}: version {version:#x}"
    assert data[29] == 0x4D, f"{path.name}: language driver {data[29]:#x}, not GBK"
    n = (header_length - 33) // 32
    assert header_length == 32 + 32 * n + 1, f"{path.name}: header length {header_length}"
    fields = []
    for i in range(n):
        slot = data[32 + 32 * i: 64 + 32 * i]
        assert slot[0] != 0x0D, f"{path.name}: terminator in descriptor slot {i}"
        raw_name, _, padding = slot[:11].partition(b"\0")
        assert raw_name and not padding.strip(b"\0"), f"{path.name}: field name {slot[:11]!r}"
        name = raw_name.decode("ascii")
        fields.append((name, chr(slot[11]), slot[16], slot[17]))
    assert data[32 + 32 * n] == 0x0D, f"{path.name}: no header terminator"
    assert record_length == 1 + sum(f[2] for f in fields), f"{path.name}: record length"
    assert len(data) == header_length + count * record_length + 1, f"{path.name}: file length"
    assert data[-1] == 0x1A, f"{path.name}: no end-of-file marker"
    rows = []
    for r in range(count):
        record = data[header_length + r * record_length: header_length + (r + 1) * record_length]
        assert record[0] == 0x20, f"{path.name}: record {r} flagged {record[0]:#x}"
        cells, at = [], 1
        for _, _, width, _ in fields:
            cells.append(record[at: at + width])
            at += width
        rows.append(cells)
    return fields, rows


def read_csv(name):
    with (SAMPLES / "src" / name).open(encoding="utf-8", newline="") as f:
        rows = list(csv.reader(f))
    return rows[0], rows[1:]


class TableBytes(unittest.TestCase):
    def check_table(self, name):
        source, count, whole, texts = TABLES[name]
        fields, rows = read_dbf(SAMPLES / name)
        header, expected = read_csv(source)
        if name == "load_case_areas.dbf":
            header = [header[c] for c in LOAD_CASE_FROM_WEATHER]
            expected = [[row[c] for c in LOAD_CASE_FROM_WEATHER] for row in expected]
        self.assertEqual(len(fields), count)
        self.assertEqual([f[0] for f in fields], header)
        self.assertEqual(len(rows), len(expected))
        for r, (cells, want) in enumerate(zip(rows, expected)):
            for c, (raw, (fname, kind, width, decimals)) in enumerate(zip(cells, fields)):
                where = f"{name} record {r} field {c} ({fname})"
                value = raw.decode("gbk").strip(" ")
                self.assertEqual(value, want[c], where)
                if c in texts:
                    self.assertEqual(kind, "C", where)
                    body = raw.rstrip(b" ")
                    self.assertEqual(raw, body.ljust(width, b" "), where)
                    self.assertLessEqual(len(body), texts[c], where)
                    # A pad byte always follows, so no double-byte character ends the field.
                    self.assertLess(len(body), width, where)
                    continue
                self.assertEqual(kind, "N", where)
                self.assertEqual(raw, raw.lstrip(b" ").rjust(width, b" "), where)
                point = value.find(".")
                self.assertEqual(decimals, 0 if point < 0 else len(value) - point - 1, where)
                self.assertTrue(math.isfinite(float(value)), where)
                if c in whole:
                    self.assertEqual(decimals, 0, where)
                    int(value)

    def test_weather_areas(self):
        self.check_table("weather_areas.dbf")

    def test_load_case_areas(self):
        self.check_table("load_case_areas.dbf")

    def test_conductors(self):
        self.check_table("conductors.dbf")

    def test_hb_lines(self):
        self.check_table("hb_lines.dbf")

    def test_insulators(self):
        self.check_table("insulators.dbf")


def numbers(name):
    """Rows of a source as dicts, numeric cells as floats."""
    header, rows = read_csv(name)
    out = []
    for row in rows:
        d = {}
        for key, value in zip(header, row):
            try:
                d[key] = float(value)
            except ValueError:
                d[key] = value
        out.append(d)
    return out


class SourceFigures(unittest.TestCase):
    """Relations that hold in real design data; they catch a figure in the wrong column or unit."""

    def test_weather_areas(self):
        areas = numbers("weather_areas.csv")
        self.assertEqual(len(areas), 7)
        for a in areas:
            name = a["AREA"]
            temps = [a[k] for k in ("T_LOW", "T_ICE", "T_WIND", "T_INSTALL", "T_AVERAGE")]
            self.assertEqual(a["T_LOW"], min(temps), name)
            self.assertGreater(a["T_HIGH"], max(temps + [a["T_EXT_OV"]]), name)
            self.assertEqual(a["T_INT_OV"], a["T_AVERAGE"], name)
            self.assertGreaterEqual(a["V_WIND"], 23.5, name)
            self.assertLess(a["V_ICE"], a["V_WIND"], name)
            self.assertEqual(a["V_INT_OV"], max(15.0, a["V_WIND"] / 2), name)
            self.assertIn(a["ICE"], (0, 5, 10), name)
        self.assertEqual([a["ICE"] for a in areas], [0, 5, 5, 5, 10, 10, 10])

    def test_conductors(self):
        for c in numbers("conductors.csv"):
            name = c["NAME"]
            self.assertAlmostEqual(c["AREA"], c["AL_AREA"] + c["ST_AREA"], delta=0.011, msg=name)
            bare = math.pi / 4 * c["DIAMETER"] ** 2
            self.assertTrue(0.70 < c["AREA"] / bare < 0.80, name)
            # kg/km from aluminium 2.703 and steel 7.78 g/cm3, plus a few percent of lay.
            solid = 2.703 * c["AL_AREA"] + 7.78 * c["ST_AREA"]
            self.assertTrue(1.0 < c["MASS"] / solid < 1.03, name)
            self.assertTrue(200 < c["STRENGTH"] / c["AREA"] < 300, name)  # N/mm2
            self.assertTrue(55000 <= c["MODULUS"] <= 80000, name)
            self.assertTrue(17 <= c["EXPANSION"] <= 23, name)  # table unit 1e-6/°C
            self.assertIn(f"{int(c['AL_WIRES'])}/", c["STRANDING"], name)

    def test_hb_lines_repeat_the_conductors(self):
        conductors = {c["NAME"]: c for c in numbers("conductors.csv")}
        for h in numbers("hb_lines.csv"):
            c = conductors[h["NAME"]]
            for key, value in c.items():
                self.assertEqual(h[key], value, f"{h['NAME']} {key}")
            # ohm/km at 20 °C from the aluminium's 28.264 nOhm.m, plus the lay.
            solid = 28.264 / h["AL_AREA"]
            self.assertTrue(1.0 < h["RESISTANCE"] / solid < 1.03, h["NAME"])

    def test_insulator_strings(self):
        highest_voltage = {110: 126, 220: 252, 330: 363, 500: 550, 750: 800}
        # Fewest 146 mm units per suspension string; tension strings one more up to 330 kV.
        fewest_units = {110: 7, 220: 13, 330: 17, 500: 25, 750: 32}
        for i, s in enumerate(numbers("insulators.csv")):
            units, strings = s["UNITS"], s["STRINGS"]
            self.assertAlmostEqual(s["LENGTH"], units * s["UNIT_H"] / 1000 + s["FIT_LENGTH"],
                                   delta=5e-4, msg=i)
            self.assertAlmostEqual(s["MASS"], units * strings * s["UNIT_MASS"] + s["FIT_MASS"],
                                   delta=0.05, msg=i)
            self.assertEqual(s["RATED"], s["UNIT_LOAD"] * strings, i)
            self.assertAlmostEqual(s["MAX_WORK"], s["RATED"] / s["SAFETY"], delta=0.005, msg=i)
            self.assertEqual(s["CREEPAGE"], units * s["UNIT_CREEP"], i)
            self.assertAlmostEqual(s["CREEP_KV"], s["CREEPAGE"] / highest_voltage[s["VOLTAGE"]],
                                   delta=0.005, msg=i)
            tension = "耐张" in s["ARRANGE"]
            self.assertEqual(s["MIN_UNITS"],
                             fewest_units[s["VOLTAGE"]] + (tension and s["VOLTAGE"] <= 330), i)
            self.assertGreaterEqual(units, s["MIN_UNITS"], i)
            self.assertEqual(s["HANGPOINTS"], 2 if s["ARRANGE"].startswith("V") else 1, i)
            self.assertTrue(0 < s["WIND_AREA"] / (units * strings) <= 0.04, i)  # m2 per unit


if __name__ == "__main__":
    unittest.main()
