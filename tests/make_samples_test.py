#!/usr/bin/env python3
"""scripts/make_samples.py on sources changed on purpose: what it refuses, and what --check
reports. Runs on a copy of samples/ in a temporary folder."""

import contextlib
import io
import shutil
import sys
import tempfile
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(REPO / "scripts"))
import make_samples  # noqa: E402


class Samples(unittest.TestCase):
    def setUp(self):
        self.dir = Path(tempfile.mkdtemp())
        self.addCleanup(shutil.rmtree, self.dir)
        shutil.copytree(REPO / "samples", self.dir / "samples")
        self.samples = self.dir / "samples"

    def edit(self, source, line, column, value):
        """Sets one cell of a source: line counts from 1 (the header), column from 0."""
        path = self.samples / "src" / source
        lines = path.read_text(encoding="utf-8").split("\n")
        cells = lines[line - 1].split(",")
        cells[column] = value
        lines[line - 1] = ",".join(cells)
        path.write_text("\n".join(lines), encoding="utf-8")

    def run_script(self, *args):
        err = io.StringIO()
        with contextlib.redirect_stderr(err), contextlib.redirect_stdout(io.StringIO()):
            rc = make_samples.main(["--samples", str(self.samples), *args])
        return rc, err.getvalue()

    def assertRefused(self, source, line, column, value, *words):
        self.edit(source, line, column, value)
        rc, err = self.run_script()
        self.assertEqual(rc, 1, err)
        for w in (source, f"line {line}", f"column {column}", *words):
            self.assertIn(w, err)

    def test_a_name_of_23_gbk_bytes_fits_and_24_do_not(self):
        name = "典型气象区" + "X" * 13  # 10 + 13 bytes
        self.edit("weather_areas.csv", 2, 0, name)
        self.assertEqual(self.run_script()[0], 0)
        data = (self.samples / "weather_areas.dbf").read_bytes()
        self.assertIn(name.encode("gbk") + b" ", data)
        self.assertRefused("weather_areas.csv", 2, 0, name + "X", "24 bytes", "at most 23")

    def test_texts_too_long_for_their_record_field(self):
        self.assertRefused("conductors.csv", 3, 10, "钢" * 34, "68 bytes", "at most 67")
        self.setUp()
        self.assertRefused("hb_lines.csv", 3, 10, "x" * 64, "at most 63")
        self.setUp()
        self.assertRefused("insulators.csv", 7, 24, "绝缘子" * 9, "54 bytes", "at most 51")

    def test_a_character_without_gbk_code(self):
        self.assertRefused("insulators.csv", 2, 5, "U70BL\u20a9", "GBK")

    def test_spaces_the_reader_would_strip(self):
        self.assertRefused("conductors.csv", 2, 0, "JL/G1A-240/30 ", "spaces")

    def test_numbers_that_would_not_read_back_as_written(self):
        for value in ("15", "15.7", "+15.75", "015.75", "", "1e1"):
            with self.subTest(value=value):
                self.setUp()
                self.assertRefused("weather_areas.csv", 2, 12, value, "2 decimals")

    def test_a_number_wider_than_its_field(self):
        self.assertRefused("conductors.csv", 2, 8, "12345678", "8 characters", "7 wide")

    def test_a_header_that_does_not_match_the_table(self):
        path = self.samples / "src" / "conductors.csv"
        path.write_text(path.read_text(encoding="utf-8").replace("AL_AREA,MODULUS",
                                                                 "MODULUS,AL_AREA", 1),
                        encoding="utf-8")
        rc, err = self.run_script()
        self.assertEqual(rc, 1)
        self.assertIn("conductors.csv: header is", err)

    def test_a_row_with_a_cell_missing(self):
        path = self.samples / "src" / "hb_lines.csv"
        lines = path.read_text(encoding="utf-8").split("\n")
        lines[2] = lines[2].rsplit(",", 1)[0]
        path.write_text("\n".join(lines), encoding="utf-8")
        rc, err = self.run_script()
        self.assertEqual(rc, 1)
        self.assertIn("hb_lines.csv, line 3: 11 cell(s)", err)

    def test_check_accepts_the_committed_tables(self):
        self.assertEqual(self.run_script("--check"), (0, ""))

    def test_check_names_a_table_that_differs(self):
        path = self.samples / "conductors.dbf"
        data = bytearray(path.read_bytes())
        data[-2] ^= 0x01
        path.write_bytes(bytes(data))
        rc, err = self.run_script("--check")
        self.assertEqual(rc, 1)
        self.assertIn("conductors.dbf differs", err)
        self.assertNotIn("insulators.dbf", err)
        self.assertEqual(path.read_bytes(), bytes(data), "--check wrote a table")

    def test_check_names_a_source_edited_without_regenerating(self):
        self.edit("weather_areas.csv", 8, 2, "-45")
        rc, err = self.run_script("--check")
        self.assertEqual(rc, 1)
        self.assertIn("weather_areas.dbf differs", err)
        self.assertIn("load_case_areas.dbf differs", err)  # the low temperature is in both
        self.assertNotIn("conductors.dbf", err)

    def test_check_names_a_missing_table(self):
        (self.samples / "hb_lines.dbf").unlink()
        rc, err = self.run_script("--check")
        self.assertEqual(rc, 1)
        self.assertIn("hb_lines.dbf is missing", err)

    def test_writing_reproduces_the_committed_bytes(self):
        before = {p.name: p.read_bytes() for p in self.samples.glob("*.dbf")}
        for p in self.samples.glob("*.dbf"):
            p.unlink()
        self.assertEqual(self.run_script()[0], 0)
        after = {p.name: p.read_bytes() for p in self.samples.glob("*.dbf")}
        self.assertEqual(after, before)


if __name__ == "__main__":
    unittest.main()
