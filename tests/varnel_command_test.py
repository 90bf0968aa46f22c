"""End-to-end tests of the varnel command on the shipped samples.

Run by ctest with VARNEL (the program) and VARNEL_ROOT (the source tree) in the environment.
Outputs are compared with files in tests/cli_expected, written once with
VARNEL_UPDATE_EXPECTED=1 and reviewed by hand; JSON and CSV are parsed and held against each
other and against the text; every failure must be one line on standard error naming the file or
option, with status 1 (the work failed) or 2 (the command line), and nothing on standard output.
"""
import csv
import io
import ctypes
import json
import math
import os
import re
import struct
import stat
import subprocess
import threading
import time
import xml.etree.ElementTree as ET

import pytest

VARNEL = os.path.abspath(os.environ["VARNEL"])
ROOT = os.environ["VARNEL_ROOT"]
UPDATE = os.environ.get("VARNEL_UPDATE_EXPECTED") == "1"
SAMPLES = os.path.join(ROOT, "samples")
EXPECTED = os.path.join(ROOT, "tests", "cli_expected")
AREAS = os.path.join(SAMPLES, "weather_areas.dbf")
CASES_TABLE = os.path.join(SAMPLES, "load_case_areas.dbf")
CONDUCTORS = os.path.join(SAMPLES, "conductors.dbf")
AREA3, AREA6 = "典型气象区Ⅲ", "典型气象区Ⅵ"
DESIGN = ["--areas", AREAS, "--area", AREA3, "--conductors", CONDUCTORS,
          "--conductor", "JL/G1A-240/30"]
DESIGN6 = ["--areas", AREAS, "--area", AREA6] + DESIGN[4:]
NINE = ["低温", "大风", "年平", "覆冰", "高温", "校验", "安装", "外过", "内过"]
# The sag table's: the area's nine, then its ice without wind (覆冰's ice and temperature).
TEN = NINE + ["覆冰无风"]


def run(args, cwd=None, timeout=60):
    p = subprocess.run([VARNEL] + args, capture_output=True, cwd=cwd, timeout=timeout)
    # Paths of this checkout are not part of the expected output.
    out = p.stdout.replace(SAMPLES.encode() + b"/", b"samples/")
    return p.returncode, out, p.stderr.decode("utf-8", "replace")


def succeed(args, cwd=None):
    status, out, err = run(args, cwd)
    assert status == 0, err
    assert err == ""
    return out


def succeed_warned(args, cwd=None):
    """The command succeeds, its only warnings that the two span models' largest sags differ
    by more than 0.3 m; returns the output and those lines."""
    status, out, err = run(args, cwd)
    assert status == 0, err
    lines = err.splitlines()
    for line in lines:
        assert line.startswith("varnel: warning: "), line
        assert line.endswith("the model matters here"), line
    return out, lines


def fail(args, status, *needles, cwd=None):
    """The command fails with `status`, one line on stderr holding every needle, no stdout."""
    got, out, err = run(args, cwd, timeout=20)
    assert got == status, f"status {got}, stderr {err!r}"
    assert out == b""
    lines = err.splitlines()
    assert len(lines) == 1, err
    assert lines[0].startswith("varnel: "), lines[0]
    for needle in needles:
        assert needle in lines[0]
    return lines[0]


# ---- outputs held against reviewed files ----

GOLDEN = {
    "table_conductors": ["table", CONDUCTORS],
    "table_conductors_csv": ["table", "--csv", CONDUCTORS],
    "areas": ["areas", AREAS],
    "areas_load_case_english": ["areas", CASES_TABLE, "--load-case", "--english"],
    "conductors": ["conductors", CONDUCTORS],
    "control_300": ["control"] + DESIGN + ["--span", "300"],
    "control_inclined": ["control"] + DESIGN + [
        "--span", "450", "--cos", "0.9", "--avg-ratio", "0.22", "--strength-factor", "0.9",
        "--safety", "2.25"],
    "wind_pole": ["wind", "pole", "--wind", "25", "--top-diameter", "190", "--top-height", "12",
                  "--taper", "75", "--bottom-height", "2"],
    "wind_conductor": ["wind", "conductor", "--wind", "25", "--ice", "10", "--diameter", "21.6",
                       "--length", "300", "--height", "20"],
    "wind_insulator": ["wind", "insulator", "--wind", "20", "--height", "15", "--area", "2"],
    "sag_table": ["sag-table"] + DESIGN6 + ["--spans", "50:800:50"],
    "section_parabola": ["section"] + DESIGN6 + [
        "--section", os.path.join(SAMPLES, "section.csv"), "--compensate", "20"],
}


@pytest.mark.parametrize("name", sorted(GOLDEN))
def test_output_matches_the_reviewed_file(name):
    out = succeed(GOLDEN[name])
    path = os.path.join(EXPECTED, name + ".txt")
    if UPDATE:
        with open(path, "wb") as f:
            f.write(out)
    with open(path, "rb") as f:
        assert out.decode() == f.read().decode()


def test_raw_passes_gbk_through():
    assert "钢芯铝绞线".encode("gbk") in succeed(["table", "--raw", "--csv", CONDUCTORS])
    assert "是控制工况".encode("gbk") in succeed(["control"] + DESIGN + ["--span", "300", "--raw"])


def test_taper_written_either_way_gives_the_same_pole():
    plain = GOLDEN["wind_pole"]
    ratio = [a if a != "75" else "1:75" for a in plain]
    assert succeed(plain) == succeed(ratio)
    # The library's worked case: 25 m/s, 190 mm, 12 m down to 2 m, 1:75.
    doc = json.loads(succeed(plain + ["--json"]))
    assert doc["force_kN"] == pytest.approx(0.739664, abs=5e-7)
    assert doc["moment_kN_m"] == pytest.approx(4.872663, abs=5e-7)


# ---- JSON ----

def test_control_json_agrees_with_the_text():
    doc = json.loads(succeed(["control"] + DESIGN + ["--span", "300", "--json"]))
    assert doc["area"] == AREA3 and doc["conductor"]["name"] == "JL/G1A-240/30"
    assert doc["controlling"]["name"] == "年平" and doc["controlling"]["index"] == 2
    assert [c["name"] for c in doc["conditions"]] == NINE
    text = succeed(["control"] + DESIGN + ["--span", "300"]).decode()
    for c in doc["conditions"]:
        row = re.search(r"^" + c["name"] + r"( \*)?\s+(\S+)\s+(\S+)\s+(\S+)\s+(\S+)\s+(yes|NO)$",
                        text, re.M)
        assert row, c["name"]
        assert float(row.group(2)) == pytest.approx(c["specific_load_N_per_m_mm2"], rel=1e-6)
        assert f"{c['stress_N_per_mm2']:.3f}" == row.group(3)
        assert f"{c['sag_m']:.3f}" == row.group(4)
        assert f"{c['limit_N_per_mm2']:.3f}" == row.group(5)
        assert c["holds"] == (row.group(6) == "yes")
        # The sag is the parabola's, γ·l²/(8σ) on a level span.
        assert c["sag_m"] == pytest.approx(
            c["specific_load_N_per_m_mm2"] * 300 ** 2 / (8 * c["stress_N_per_mm2"]), rel=1e-12)


def test_control_json_without_a_controlling_condition():
    # A safety factor so high that no condition can hold every other one.
    doc = json.loads(succeed(["control"] + DESIGN + ["--span", "300", "--safety", "1e6",
                                                     "--avg-ratio", "1", "--json"]))
    if doc["controlling"] is None:
        assert [c["name"] for c in doc["conditions"]] == NINE
        assert all(c["stress_N_per_mm2"] is None for c in doc["conditions"])


def test_areas_and_conductors_json():
    areas = json.loads(succeed(["areas", AREAS, "--json"]))["areas"]
    assert len(areas) == 7 and all(len(a["conditions"]) == 9 for a in areas)
    assert [c["name"] for c in areas[2]["conditions"]] == NINE
    cases = json.loads(succeed(["areas", CASES_TABLE, "--load-case", "--json"]))["areas"]
    assert all(len(a["conditions"]) == 6 for a in cases)
    conductors = json.loads(succeed(["conductors", CONDUCTORS, "--json"]))["conductors"]
    first = conductors[0]
    assert first["name"] == "JL/G1A-240/30" and first["area_mm2"] == 275.96
    assert first["expansion_per_degC"] == pytest.approx(19.6e-6, rel=1e-15)


def test_sag_table_json_csv_and_text_agree():
    spans = ["--spans", "50:800:50"]
    doc = json.loads(succeed(["sag-table"] + DESIGN6 + spans + ["--json"]))
    assert [c["name"] for c in doc["conditions"]] == TEN and len(doc["spans"]) == 16
    assert [c["derived"] for c in doc["conditions"]] == [False] * 9 + [True]
    rows = list(csv.reader(io.StringIO(succeed(["sag-table"] + DESIGN6 + spans
                                               + ["--csv", "-"]).decode())))
    assert rows[0][:2] == ["span_m", "controlling"] and len(rows) == 17
    assert rows[0][11] == "stress_覆冰无风_N_per_mm2" and rows[0][21] == "sag_覆冰无风_m"
    for row, span in zip(rows[1:], doc["spans"]):
        assert float(row[0]) == span["span_m"]
        assert row[1] == span["controlling"]["name"]
        assert row[2:12] == [f"{s:.4f}" for s in span["stress_N_per_mm2"]]
        assert row[12:22] == [f"{s:.4f}" for s in span["sag_m"]]
    # Area VI: 低温 controls the shortest spans, then 年平, then 覆冰.
    assert [s["controlling"]["name"] for s in doc["spans"][:4]] == ["低温", "年平", "年平", "覆冰"]


@pytest.mark.parametrize("design", [DESIGN, DESIGN6], ids=["III", "VI"])
def test_sag_table_gives_the_figures_of_control(design):
    # The table takes its stresses from the search's own trial; control asks the state equation
    # export again for each condition. Both must give the same doubles.
    spans = [35, 120, 260, 480, 750]
    table = json.loads(succeed(["sag-table"] + design + ["--cos", "0.93", "--spans",
                                                          "35:750:5", "--json"]))
    rows = {row["span_m"]: row for row in table["spans"]}
    for span in spans:
        doc = json.loads(succeed(["control"] + design + ["--cos", "0.93", "--span", str(span),
                                                         "--json"]))
        row = rows[span]
        assert row["controlling"] == doc["controlling"]
        # The area's conditions; the table's last is its ice without wind.
        assert row["stress_N_per_mm2"][:-1] == [c["stress_N_per_mm2"]
                                                for c in doc["conditions"]]
        assert row["sag_m"][:-1] == [c["sag_m"] for c in doc["conditions"]]


def test_a_full_disk_is_a_failure():
    with open("/dev/full", "wb") as full:
        p = subprocess.run([VARNEL, "sag-table"] + DESIGN6 + ["--spans", "100:110:1"],
                           stdout=full, capture_output=False, stderr=subprocess.PIPE, timeout=20)
    assert p.returncode == 1
    assert p.stderr.decode().splitlines() == [
        "varnel: standard output: cannot write: No space left on device"]


def test_csv_to_stdout_with_a_byte_order_mark():
    out = succeed(["sag-table"] + DESIGN6 + ["--spans", "100:300:100", "--csv", "-", "--bom"])
    assert out.startswith(b"\xef\xbb\xbfspan_m,controlling,stress_")
    assert out.count(b"\n") == 4 and b"Stress" not in out
    table = succeed(["table", CONDUCTORS, "--csv", "--bom"])
    assert table.startswith(b"\xef\xbb\xbf") and "钢芯铝绞线".encode() in table


# ---- files the command writes ----

def check_svg(path, changes):
    root = ET.parse(path).getroot()
    ns = "{http://www.w3.org/2000/svg}"
    panels = [g for g in root.iter(ns + "g") if g.get("class") == "panel"]
    assert [g.get("id") for g in panels] == ["stress", "sag"]
    points = []
    for g in panels:
        curves = [p for p in g.iter(ns + "path") if p.get("class") == "curve"]
        assert [p.get("data-condition") for p in curves] == TEN
        points += [p.get("d").count(",") for p in curves]
        marks = [m for m in g.iter(ns + "line") if m.get("class") == "control-change"]
        assert len(marks) == changes
        texts = "".join(t.text or "" for t in g.iter(ns + "text"))
        for label in ["span (m)"] + TEN:
            assert label in texts
    return max(points)


def test_sag_table_writes_csv_and_svg(tmp_path):
    out = succeed(["sag-table"] + DESIGN6 + ["--spans", "50:800:50", "--svg", "sag.svg",
                                             "--csv", "sag.csv"], cwd=tmp_path).decode()
    assert "CSV written to sag.csv" in out and "SVG written to sag.svg" in out
    assert check_svg(tmp_path / "sag.svg", 2) == 16
    assert len((tmp_path / "sag.csv").read_text(encoding="utf-8").splitlines()) == 17


def test_a_long_table_draws_a_bounded_chart_with_every_change(tmp_path):
    svg = tmp_path / "long.svg"
    succeed(["sag-table"] + DESIGN6 + ["--spans", "1:1500:0.05", "--svg", str(svg),
                                       "--csv", str(tmp_path / "long.csv")])
    assert check_svg(svg, 2) <= 2000
    assert len((tmp_path / "long.csv").read_text().splitlines()) == 1 + 29981


def test_demo_finds_the_samples_from_any_folder(tmp_path):
    out = succeed(["demo", "--out", "out"], cwd=tmp_path).decode()
    for needle in ["是控制工况。", "Stress, N/mm²", "Sag, m", "SVG written to", "taper 1:75",
                   "Controlling condition by span", "Stringing table"]:
        assert needle in out
    check_svg(tmp_path / "out" / "sag_table.svg", 2)
    assert (tmp_path / "out" / "stringing.svg").stat().st_size > 1000


def test_a_failed_run_leaves_no_output_file(tmp_path):
    fail(["sag-table"] + DESIGN6 + ["--spans", "50:800:50", "--csv", str(tmp_path / "t.csv"),
                                    "--svg", str(tmp_path / "no" / "t.svg")],
         1, "t.svg: cannot write")
    assert list(tmp_path.iterdir()) == []


# ---- conventions ----

def test_version_comes_from_the_project():
    with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
        version = re.search(r"project\(varnel VERSION (\S+)", f.read()).group(1)
    assert succeed(["--version"]).decode().strip() == "varnel " + version


@pytest.mark.parametrize("command", [["table"], ["areas"], ["conductors"], ["control"],
                                     ["sag-table"], ["critical"], ["section"], ["wind", "pole"], ["wind", "conductor"],
                                     ["wind", "insulator"], ["demo"]])
def test_help_has_an_example_and_plain_hints(command):
    text = succeed(command + ["--help"]).decode()
    assert "Example" in text and "varnel " + command[0] in text.split("Example")[1]
    assert not re.search(r"FLOAT|NUMBER [<>]=|TEXT:", text), text


@pytest.mark.parametrize("command", [["table"], ["areas"], ["conductors"], ["control"],
                                     ["sag-table"], ["critical"], ["section"], ["wind", "pole"],
                                     ["wind", "conductor"], ["wind", "insulator"], ["span"],
                                     ["thermal"], ["profile"], ["demo"], ["help"]])
def test_help_gives_each_default_once_and_none_where_an_option_left_out_means_otherwise(command):
    text = succeed(command + ["--help"]).decode()
    # An option's text runs to the next option; its defaults are counted in it.
    for option in re.split(r"\n(?=  -)", text):
        assert option.count("default") <= 1, option
        if "without it" in option or "in place of" in option:
            assert "(default 0)" not in option, option
    assert "sag table" not in text.split("Example")[0] or command == ["demo"], text


# ---- refusals: status 2 for the command line, nothing on stdout ----

POLE = ["wind", "pole", "--wind", "25", "--top-diameter", "190", "--top-height", "12",
        "--taper", "75"]
USAGE = [
    (["contrl"], 'unknown command "contrl"; did you mean "control"?'),
    (["wind", "insulatr"], 'unknown wind command "insulatr"; did you mean "insulator"?'),
    (["frobnicate"], 'unknown command "frobnicate"; the commands are: table, areas'),
    ([], "command"),
    (["control"] + DESIGN + ["--span", "300", "--cos", "abc"], '--cos: "abc" is not a number'),
    (["control"] + DESIGN + ["--span", "300", "--cos", "1e999"], '--cos: "1e999"'),
    (["control"] + DESIGN + ["--span", "300", "--cos", "nan"], '--cos: "nan" is not a finite'),
    (["control"] + DESIGN + ["--span", "3x"], '--span: "3x" is not a number'),
    (["control"] + DESIGN + ["--span", "-1"], '--span: "-1" must be at least 0'),
    (["control"] + DESIGN + ["--span", "300", "--cos", "1.2"], '--cos: "1.2" must be at most 1'),
    (["control"] + DESIGN + ["--span", "300", "--safety", "0"], '--safety: "0" must be above 0'),
    (["control"] + DESIGN + ["--span", "300", "--raw", "--json"], "--raw excludes --json"),
    (["sag-table"] + DESIGN + ["--spans", "1e999:2:1"],
     '--spans 1e999:2:1: "1e999" is not a finite number'),
    (["sag-table"] + DESIGN + ["--spans", "100:50:10"], "--spans 100:50:10: TO is below FROM"),
    (["sag-table"] + DESIGN + ["--spans", "a:b"], "--spans a:b: expected FROM:TO:STEP"),
    (["sag-table"] + DESIGN + ["--spans", "0:10:0"], "STEP must be above 0"),
    (["sag-table"] + DESIGN + ["--spans", "-5:10:1"], 'FROM: "-5" must be at least 0'),
    (["sag-table"] + DESIGN + ["--spans", "0:1e9:1"], "more than 10000000 spans"),
    (["sag-table"] + DESIGN + ["--spans", "1e16:1e16:1", "--svg", "o.svg"],
     "a step of 1 does not change a span of 1e+16"),
    (["sag-table"] + DESIGN + ["--spans", "0:10:1", "--json", "--csv", "-"], "--csv -"),
    (["sag-table"] + DESIGN + ["--spans", "0:10:1", "--bom"], "--bom requires --csv"),
    (POLE[:-2] + ["--taper", "0.075"], '--taper: "0.075" is steeper than 1:10'),
    (POLE[:-2] + ["--taper", "1:x"], '--taper: "x" is not a number'),
    (POLE + ["--bottom-height", "20"], "--bottom-height: 20 m is not below --top-height 12 m"),
    (POLE + ["--bottom-height", "12"], "--bottom-height: 12 m is not below --top-height 12 m"),
    (POLE[:2] + ["--wind", "-3"] + POLE[4:], '--wind: "-3" must be at least 0'),
    (["wind", "conductor", "--wind", "25", "--diameter", "21.6", "--length", "300",
      "--height", "20", "--angle", "400"], '--angle: "400" must be at most 180'),
    (["wind", "conductor", "--wind", "25", "--diameter", "0", "--length", "300",
      "--height", "20"], '--diameter: "0" must be above 0'),
]


@pytest.mark.parametrize("args,message", USAGE, ids=[" ".join(a[:1] + a[-2:]) for a, _ in USAGE])
def test_usage_errors(args, message, tmp_path):
    fail(args, 2, message, cwd=tmp_path)
    assert not (tmp_path / "o.svg").exists()


# ---- refusals: status 1 for the work, with the reason and its figures ----

def dbf(fields, rows=(), version=0x03, header_length=None, record_count=None, cut=0):
    """A dBASE III table: fields as (name, width), rows as lists of byte strings."""
    header_length = header_length or 32 + 32 * len(fields) + 1
    record_length = 1 + sum(w for _, w in fields)
    head = struct.pack("<B3BiHH20x", version, 126, 12, 7,
                       len(rows) if record_count is None else record_count,
                       header_length, record_length)
    descriptors = b"".join(struct.pack("<11sc4xBB14x", n if isinstance(n, bytes) else n.encode(), b"C", w, 0) for n, w in fields)
    body = b"".join(b" " + b"".join(v.ljust(w)[:w] for v, (_, w) in zip(r, fields)) for r in rows)
    data = head + descriptors + b"\r" + body + b"\x1a"
    return data[:len(data) - cut] if cut else data


FIVE = [("NAME", 10), ("A", 4), ("B", 4), ("C", 4), ("D", 4)]


@pytest.fixture
def tables(tmp_path):
    def write(name, data):
        path = tmp_path / name
        path.write_bytes(data)
        return str(path)
    return write


def test_a_table_that_is_fine_opens(tables):
    path = tables("fine.dbf", dbf(FIVE, [[b"x", b"1", b"2", b"3", b"4"]]))
    assert b"1 records" in succeed(["table", path])


def test_refusals_name_the_file_and_the_reason(tables, tmp_path):
    cases = [
        (tables("zero.dbf", dbf(FIVE[:1] + [("W", 0)], [[b"x", b""]] * 3)),
         ["zero.dbf", "field 2 of 2 (\"W\") is 0 bytes wide"]),
        (tables("gbk.dbf", dbf([("宽度".encode("gbk"), 0)], [[b""]])),
         ["gbk.dbf", 'field 1 of 1 ("宽度") is 0 bytes wide']),
        (tables("v83.dbf", dbf(FIVE, version=0x83)), ["v83.dbf", "0x83"]),
        (tables("cut.dbf", dbf(FIVE, [[b"x"] * 5] * 4, cut=30)), ["cut.dbf", "short"]),
        (tables("tiny.dbf", b"\x03abc"), ["tiny.dbf", "32"]),
    ]
    os.mkdir(tmp_path / "d.dbf")
    cases.append((str(tmp_path / "d.dbf"), ["d.dbf", "not a regular file"]))
    os.mkfifo(tmp_path / "p.dbf")
    cases.append((str(tmp_path / "p.dbf"), ["p.dbf", "not a regular file"]))
    long = str(tmp_path / ("x" * (260 - len(str(tmp_path)))) ) + ".dbf"
    cases.append((long, ["259"]))
    cases.append((str(tmp_path / "adir"), ["adir", "adir.dbf"]))
    reasons = set()
    for path, needles in cases:
        line = fail(["table", path], 1, *needles)
        reasons.add(line.split(": ", 2)[-1])
        # The loaders refuse the same files for the same reasons.
        fail(["conductors", path], 1, *needles)
    assert len(reasons) == len(cases), reasons


def test_field_count_and_names(tables):
    twelve = os.path.join(SAMPLES, "hb_lines.dbf")
    fail(["conductors", twelve], 1, "hb_lines.dbf: 12 fields; a conductor table has 11")
    fail(["control", "--areas", CONDUCTORS, "--area", AREA3, "--conductors", CONDUCTORS,
          "--conductor", "x", "--span", "300"], 1,
         "conductors.dbf: 11 fields; a weather area table has 15")
    fail(["control", "--areas", AREAS, "--area", "Ⅷ"] + DESIGN[4:] + ["--span", "300"], 1,
         'no weather area "Ⅷ"; there are: 典型气象区Ⅰ, 典型气象区Ⅱ')
    fail(["control"] + DESIGN[:6] + ["--conductor", "ACSR", "--span", "300"], 1,
         'no conductor "ACSR"; there are: JL/G1A-240/30, JL/G1A-300/40')


def test_chinese_file_names(tmp_path):
    path = tmp_path / "导线表.dbf"
    path.write_bytes(open(CONDUCTORS, "rb").read())
    assert b"4 conductors" in succeed(["conductors", str(path)])
    assert b"4 conductors" in succeed(["conductors", str(tmp_path / "导线表")])


# ---- a million spans in flat memory ----

@pytest.mark.skipif(os.environ.get("VARNEL_MILLION_SPANS") != "1",
                    reason="the optimised build runs it")
def test_a_million_spans_in_flat_memory(tmp_path):
    # The peak of the program's own memory, VmHWM, read while it runs: it only grows, so the last
    # reading is the peak of all but the last moments. (The children's ru_maxrss would count the
    # Python process that started it.)
    peak_kb = 0
    with open(tmp_path / "million.csv", "wb") as out:
        p = subprocess.Popen([VARNEL, "sag-table"] + DESIGN6 + ["--spans", "0:999999:1",
                                                                "--csv", "-"],
                             stdout=out, stderr=subprocess.PIPE)
        while p.poll() is None:
            try:
                with open(f"/proc/{p.pid}/status") as f:
                    hwm = re.search(r"VmHWM:\s+(\d+) kB", f.read())
                    peak_kb = max(peak_kb, int(hwm.group(1)) if hwm else 0)
            except OSError:
                pass
            time.sleep(0.05)
        assert p.wait(timeout=600) == 0, p.stderr.read()
    with open(tmp_path / "million.csv", "rb") as f:
        assert sum(1 for _ in f) == 1 + 1000000
    assert 0 < peak_kb < 50 * 1024, f"{peak_kb} KB"


# ---- critical spans ----

def test_critical_ranges_are_where_the_search_changes():
    doc = json.loads(succeed(["critical"] + DESIGN6 + ["--json"]))
    ranges = doc["ranges"]
    assert [r["controlling"]["name"] for r in ranges] == ["低温", "年平", "覆冰"]
    assert ranges[0]["from_m"] == 0 and ranges[-1]["to_m"] is None

    def controlling(span):
        return json.loads(succeed(["control"] + DESIGN6 + ["--span", repr(span), "--json"])
                          )["controlling"]["name"]

    # Bisection on the library's own search, through the command's control.
    for left, right in zip(ranges, ranges[1:]):
        lo, hi = left["from_m"] + 1e-3, right["to_m"] or right["from_m"] + 100
        assert controlling(lo) == left["controlling"]["name"]
        assert controlling(hi) == right["controlling"]["name"]
        while hi - lo > 1e-3:
            mid = (lo + hi) / 2
            if controlling(mid) == left["controlling"]["name"]:
                lo = mid
            else:
                hi = mid
        assert left["to_m"] == pytest.approx(hi, abs=2e-3)
    pairs = {(p["a"]["name"], p["b"]["name"]): p["span_m"] for p in doc["pairs"]}
    assert pairs[("大风", "年平")] is None  # the annual average dominates the wind
    assert pairs[("低温", "年平")] == pytest.approx(ranges[0]["to_m"], abs=1e-9)


# ---- strain sections ----

SECTION = os.path.join(SAMPLES, "section.csv")


class _Condition(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char * 24), ("ice", ctypes.c_double),
                ("wind", ctypes.c_double), ("temperature", ctypes.c_double)]


class _Conductor(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char * 32), ("area", ctypes.c_double),
                ("diameter", ctypes.c_double), ("unit_mass", ctypes.c_double),
                ("column4", ctypes.c_double), ("elastic_modulus", ctypes.c_double),
                ("expansion", ctypes.c_double), ("column7", ctypes.c_double),
                ("rated_strength", ctypes.c_double), ("column9", ctypes.c_int),
                ("column10", ctypes.c_char * 68)]


def library_force():
    """StateEquationGetForce of the library beside the command, through its C interface."""
    lib = ctypes.CDLL(os.path.join(os.path.dirname(VARNEL), "libvarnel.so"))
    f = lib.StateEquationGetForce
    f.restype = ctypes.c_bool
    f.argtypes = [ctypes.c_double, ctypes.c_double, ctypes.POINTER(_Conductor),
                  ctypes.POINTER(_Condition), ctypes.POINTER(_Condition), ctypes.c_double,
                  ctypes.POINTER(ctypes.c_double)]
    return f


@pytest.mark.skipif(os.environ.get("VARNEL_SANITIZED") == "1",
                    reason="a library built with the sanitizers cannot be loaded into Python")
def test_level_section_ruling_span_and_stringing_against_the_library(tmp_path):
    lengths = [250, 310, 365, 420, 280]
    path = tmp_path / "level.csv"
    path.write_text("span_m,height_difference_m\n" + "".join(f"{l},0\n" for l in lengths))
    doc = json.loads(succeed(["section"] + DESIGN6 + ["--section", str(path), "--json"]))
    ruling = math.sqrt(sum(l ** 3 for l in lengths) / sum(lengths))
    assert doc["ruling_span_m"] == pytest.approx(ruling, rel=1e-14)
    assert [t["temperature_degC"] for t in doc["stringing"]] == list(range(-20, 41, 5))

    area = next(a for a in json.loads(succeed(["areas", AREAS, "--json"]))["areas"]
                if a["name"] == AREA6)
    known = area["conditions"][doc["controlling"]["index"]]
    assert known["name"] == doc["controlling"]["name"]
    c = doc["conductor"]
    conductor = _Conductor(area=c["area_mm2"], diameter=c["diameter_mm"],
                           unit_mass=c["unit_mass_kg_per_km"],
                           elastic_modulus=c["elastic_modulus_N_per_mm2"],
                           expansion=c["expansion_per_degC"],
                           rated_strength=c["rated_strength_N"])
    known_c = _Condition(b"", known["ice_mm"], known["wind_m_per_s"], known["temperature_degC"])
    force = library_force()
    for row in doc["stringing"]:
        still = _Condition(b"", 0, 0, row["temperature_degC"])
        out = ctypes.c_double()
        assert force(doc["ruling_span_m"], 1.0, conductor, known_c, still,
                     doc["control_stress_N_per_mm2"], ctypes.byref(out))
        assert row["stress_N_per_mm2"] == pytest.approx(out.value, rel=1e-9)
        # Each span's sag at that stress: γ·l²/(8σ), γ the bare conductor's.
        gamma = c["unit_mass_kg_per_km"] * 9.80665e-3 / c["area_mm2"]
        for l, sag in zip(lengths, row["sag_m"]):
            assert sag == pytest.approx(gamma * l * l / (8 * row["stress_N_per_mm2"]), rel=1e-12)
    # Every span's largest sag is one of its sags, and the controlling stress is the allowable.
    for span in doc["spans"]:
        assert span["max_sag_m"] == max(span["sag_m"])
        assert span["sag_m"][span["max_sag_condition"]["index"]] == span["max_sag_m"]
    control = doc["conditions"][doc["controlling"]["index"]]
    assert control["stress_N_per_mm2"] == doc["control_stress_N_per_mm2"]


def test_sample_section_text_csv_and_chart(tmp_path):
    out = succeed(["section"] + DESIGN6 + ["--section", SECTION, "--compensate", "20",
                                           "--svg", "s.svg", "--csv", "s.csv"],
                  cwd=tmp_path).decode()
    for needle in ["Section of 8 spans", "ruling span", "Controlling condition at the ruling span",
                   "Stringing table", "compensated by 20 °C lower", "SVG written to s.svg"]:
        assert needle in out
    rows = list(csv.reader(open(tmp_path / "s.csv", encoding="utf-8")))
    assert rows[0][:3] == ["temperature_degC", "stress_N_per_mm2", "sag_span1_m"]
    assert len(rows) == 14
    root = ET.parse(tmp_path / "s.svg").getroot()
    ns = "{http://www.w3.org/2000/svg}"
    curves = [p for p in root.iter(ns + "path") if p.get("class") == "curve"]
    assert len(curves) == 8
    caption = [t.text for t in root.iter(ns + "text") if t.get("class") == "caption"][0]
    assert "20 °C lower" in caption
    # Compensation is the same as stringing 20 °C colder.
    a = json.loads(succeed(["section"] + DESIGN6 + ["--section", SECTION, "--compensate", "20",
                                                    "--json"]))
    b = json.loads(succeed(["section"] + DESIGN6 + ["--section", SECTION,
                                                    "--stringing", "-40:20:5", "--json"]))
    assert ([r["stress_N_per_mm2"] for r in a["stringing"]]
            == [r["stress_N_per_mm2"] for r in b["stringing"]])


@pytest.mark.parametrize("text,message", [
    ("", "empty; the first line must be span_m,height_difference_m"),
    ("span,h\n300,0\n", "line 1: the first line must be span_m,height_difference_m"),
    ("span_m,height_difference_m\n", "no spans after the header"),
    ("span_m,height_difference_m\n300,0\n0,5\n", "line 3: a span must be longer than 0 m"),
    ("span_m,height_difference_m\n300,x\n", 'line 2: "x" is not a number'),
    ("span_m,height_difference_m\n300\n", "line 2: expected two numbers"),
])
def test_section_file_refusals(tmp_path, text, message):
    path = tmp_path / "bad.csv"
    path.write_text(text)
    fail(["section"] + DESIGN6 + ["--section", str(path)], 1, "bad.csv: " + message)


def test_section_usage_errors():
    fail(["section"] + DESIGN6 + ["--section", SECTION, "--stringing", "40:-20:5"], 2,
         "--stringing 40:-20:5: TO is below FROM")
    fail(["section"] + DESIGN6 + ["--section", SECTION, "--compensate", "-5"], 2,
         '--compensate: "-5" must be at least 0')
    fail(["section"] + DESIGN6 + ["--section", SECTION, "--cos", "0.9"], 2, "--cos")


def range_condition(r):
    """The name of a critical range's controlling condition, given by name or as a record."""
    c = r["controlling"] if "controlling" in r else r["condition"]
    return c["name"] if isinstance(c, dict) else c


def test_sag_table_chart_marks_the_exact_critical_spans(tmp_path):
    svg = tmp_path / "sag.svg"
    succeed(["sag-table"] + DESIGN6 + ["--spans", "50:800:50", "--svg", str(svg)])
    critical = json.loads(succeed(["critical"] + DESIGN6 + ["--json"]))["ranges"]
    root = ET.parse(svg).getroot()
    ns = "{http://www.w3.org/2000/svg}"
    texts = [t.text or "" for t in root.iter(ns + "text")]
    for g in root.iter(ns + "g"):
        marks = [float(m.get("data-span")) for m in g.iter(ns + "line")
                 if m.get("class") == "control-change"]
        assert marks == [r["from_m"] for r in critical[1:]]
        values = [t.text for t in g.iter(ns + "text") if t.get("class") == "critical-span"]
        assert values == [f"{r['from_m']:.2f} m" for r in critical[1:]]
        names = [t.text for t in g.iter(ns + "text") if t.get("class") == "control-range"]
        # Named with "controls" where the range has room for it, by the condition alone where not.
        assert [n.removesuffix(" controls") for n in names] == [range_condition(r) for r in critical]
        assert names[-1].endswith(" controls")
    classes = [e.get("class") for e in root.iter()]
    assert "limit-normal" in classes and "limit-average" in classes
    # The curves' names, and the two allowable stresses' in the stress panel.
    assert classes.count("end-label") == 2 * len(TEN) + 2
    caption = [t.text for t in root.iter(ns + "text") if t.get("class") == "caption"][0]
    assert "safety factor 2.5" in caption
    # The span axis starts at the first span.
    assert "50" in texts


# ---- output files put in place only on success; charts that are well-formed and readable ----

FAILING_SVG = ["--svg", os.path.join("/no", "such", "folder", "x.svg")]
SAG_FAILING = ["sag-table"] + DESIGN6 + ["--spans", "50:800:50"]
SECTION_FAILING = ["section"] + DESIGN6 + ["--section", SECTION]


def leftovers(folder, keep):
    return sorted(set(os.listdir(folder)) - set(keep))


@pytest.mark.parametrize("command", [SAG_FAILING, SECTION_FAILING], ids=["sag-table", "section"])
def test_a_failed_run_leaves_an_existing_file_and_a_symlinks_target_as_they_were(
        command, tmp_path):
    kept = tmp_path / "kept.csv"
    kept.write_bytes(b"reviewed figures\n")
    os.chmod(kept, 0o640)
    target = tmp_path / "target.csv"
    target.write_bytes(b"the link's figures\n")
    link = tmp_path / "link.csv"
    link.symlink_to("target.csv")
    for out in (kept, link):
        fail(command + ["--csv", str(out)] + FAILING_SVG, 1, "x.svg: cannot write")
    assert kept.read_bytes() == b"reviewed figures\n"
    assert os.stat(kept).st_mode & 0o777 == 0o640
    assert link.is_symlink() and os.readlink(link) == "target.csv"
    assert target.read_bytes() == b"the link's figures\n"
    assert leftovers(tmp_path, ["kept.csv", "target.csv", "link.csv"]) == []


@pytest.mark.parametrize("command", [SAG_FAILING, SECTION_FAILING], ids=["sag-table", "section"])
def test_a_successful_run_replaces_the_file_and_writes_through_a_symlink(command, tmp_path):
    kept = tmp_path / "kept.csv"
    kept.write_bytes(b"old\n" * 10000)
    os.chmod(kept, 0o640)
    (tmp_path / "sub").mkdir()
    target = tmp_path / "sub" / "target.svg"
    target.write_bytes(b"old")
    link = tmp_path / "link.svg"
    link.symlink_to(os.path.join("sub", "target.svg"))
    status, _, err = run(command + ["--csv", str(kept), "--svg", str(link)])
    assert status == 0, err
    assert kept.read_text(encoding="utf-8").splitlines()[0].startswith(
        ("span_m,", "temperature_"))
    assert os.stat(kept).st_mode & 0o777 == 0o640
    assert link.is_symlink() and os.readlink(link) == os.path.join("sub", "target.svg")
    ET.parse(target)
    assert leftovers(tmp_path, ["kept.csv", "link.svg", "sub"]) == []
    assert os.listdir(tmp_path / "sub") == ["target.svg"]


def test_a_failed_run_leaves_a_device_node_alone(tmp_path):
    """The report's reproducer with a null device of the test's own rather than /dev/null."""
    node = tmp_path / "null"
    try:
        os.mknod(node, 0o666 | stat.S_IFCHR, os.makedev(1, 3))
    except (PermissionError, AttributeError) as e:
        pytest.skip(f"cannot make a device node here: {e}")
    for command in (SAG_FAILING, SECTION_FAILING):
        fail(command + ["--csv", str(node)] + FAILING_SVG, 1, "x.svg: cannot write")
        assert stat.S_ISCHR(os.stat(node).st_mode)
    # And a run that succeeds writes into it without replacing it.
    status, _, err = run(SAG_FAILING + ["--csv", str(node)])
    assert status == 0, err
    assert stat.S_ISCHR(os.stat(node).st_mode)
    assert leftovers(tmp_path, ["null"]) == []


def test_a_pipe_is_written_directly_and_left_alone(tmp_path):
    fifo = tmp_path / "pipe"
    os.mkfifo(fifo)
    got = {}

    def read():
        with open(fifo, "rb") as f:
            got["data"] = f.read()

    for command in (SAG_FAILING, SECTION_FAILING):
        reader = threading.Thread(target=read)
        reader.start()
        status, _, err = run(command + ["--csv", str(fifo)])
        reader.join(timeout=30)
        assert status == 0, err
        assert got["data"].splitlines()[0].startswith((b"span_m,", b"temperature_"))
        assert stat.S_ISFIFO(os.stat(fifo).st_mode)
    assert leftovers(tmp_path, ["pipe"]) == []


@pytest.mark.parametrize("command", [SAG_FAILING, SECTION_FAILING], ids=["sag-table", "section"])
def test_svg_to_standard_output_is_refused(command, tmp_path):
    fail(command + ["--svg", "-"], 2, "--svg -", cwd=tmp_path)
    assert list(tmp_path.iterdir()) == []


HUGE = [
    (["sag-table"] + DESIGN6 + ["--spans", "1e16:1e16:5"]),
    (["section"] + DESIGN6 + ["--section", SECTION, "--stringing", "1e16:1e16:1"]),
]


@pytest.mark.parametrize("args", HUGE, ids=["sag-table", "section"])
def test_charts_of_values_past_2_to_the_53_are_finished(args, tmp_path):
    # Before, the tick loop never ended (adding 1 to 1e16 leaves it as it was); a temperature
    # of 1e16 may instead be refused as a usage error, which is as good.
    status, _, err = run(args + ["--svg", str(tmp_path / "huge.svg")], timeout=60)
    assert status in (0, 2), err
    if status == 0:
        root = ET.parse(tmp_path / "huge.svg").getroot()
        assert len(list(root.iter("{http://www.w3.org/2000/svg}path"))) > 0


def patched_tables(tmp_path, area, conductor):
    """Copies of the sample tables with area VI and JL/G1A-240/30 renamed (same lengths)."""
    old_area, old_conductor = AREA6.encode("gbk"), b"JL/G1A-240/30"
    assert len(area) == len(old_area) and len(conductor) == len(old_conductor)
    areas, conductors = tmp_path / "areas.dbf", tmp_path / "conductors.dbf"
    areas.write_bytes(open(AREAS, "rb").read().replace(old_area, area))
    conductors.write_bytes(open(CONDUCTORS, "rb").read().replace(old_conductor, conductor))
    return ["--areas", str(areas), "--area", area.decode("latin-1"), "--conductors",
            str(conductors), "--conductor", conductor.decode("latin-1")]


def test_names_with_control_bytes_and_markup_give_well_formed_charts(tmp_path):
    area = b"A\x01<&>'\"\x1b\x7fB&C"
    conductor = b"JL\x02<&\"'>\x1f]]>x"
    design = patched_tables(tmp_path, area, conductor)
    ns = "{http://www.w3.org/2000/svg}"
    for command, svg in [(["sag-table", "--spans", "50:800:50"], "sag.svg"),
                         (["section", "--section", SECTION], "stringing.svg")]:
        status, _, err = run(command + design + ["--svg", str(tmp_path / svg)])
        assert status == 0, err
        root = ET.parse(tmp_path / svg).getroot()  # raises on what XML cannot hold
        title = [t.text for t in root.iter(ns + "text")][0]
        # Markup comes back as it was; control bytes other than tab, LF, CR as U+FFFD.
        assert "JL\ufffd<&\"'>\ufffd]]>x" in title
        if command[0] == "sag-table":
            assert "A\ufffd<&>'\"\ufffd\x7fB&C" in title


def test_a_sag_table_of_one_span_shows_a_point_per_condition(tmp_path):
    svg = tmp_path / "one.svg"
    succeed(["sag-table"] + DESIGN6 + ["--spans", "300:300:10", "--svg", str(svg)])
    ns = "{http://www.w3.org/2000/svg}"
    root = ET.parse(svg).getroot()
    for g in root.iter(ns + "g"):
        points = [c for c in g.iter(ns + "circle") if c.get("class") == "point"]
        curves = [p for p in g.iter(ns + "path") if p.get("class") == "curve"]
        assert len(points) == len(curves) == len(TEN)
        xs = {float(c.get("cx")) for c in points}
        assert len(xs) == 1 and all(math.isfinite(x) for x in xs)
        # 300 m controlled by 覆冰 in area VI, named above the plot.
        names = [t.text for t in g.iter(ns + "text") if t.get("class") == "control-range"]
        assert names == ["覆冰 controls"]


def curve_points(path):
    return [tuple(map(float, p.split(","))) for p in re.findall(r"-?[\d.]+,-?[\d.]+", path)]


def test_sag_chart_words_stay_off_the_curves(tmp_path):
    svg = tmp_path / "sag.svg"
    succeed(["sag-table"] + DESIGN6 + ["--spans", "50:800:5", "--svg", str(svg)])
    ns = "{http://www.w3.org/2000/svg}"
    root = ET.parse(svg).getroot()
    for g in root.iter(ns + "g"):
        curves = [p for p in g.iter(ns + "path") if p.get("class") == "curve"]
        points = [pt for p in curves for pt in curve_points(p.get("d"))]
        top = min(y for _, y in points)
        right = max(x for x, _ in points)
        band = [t for t in g.iter(ns + "text")
                if t.get("class") in ("control-range", "critical-span")]
        assert band and all(float(t.get("y")) < top for t in band)
        ends = [t for t in g.iter(ns + "text") if t.get("class") == "end-label"]
        assert all(float(t.get("x")) > right for t in ends)
        ys = sorted(float(t.get("y")) for t in ends)
        assert all(b - a >= 12 for a, b in zip(ys, ys[1:])), ys
        # Each name shows a sample of its curve: the same colour and dashes.
        swatches = [(s.get("stroke"), s.get("stroke-dasharray"))
                    for s in g.iter(ns + "line") if s.get("class") == "swatch"]
        for c in curves:
            assert (c.get("stroke"), c.get("stroke-dasharray")) in swatches
        # Range names over the ranges they name, in order of span.
        xs = [float(t.get("x")) for t in g.iter(ns + "text") if t.get("class") == "control-range"]
        marks = [float(m.get("x1")) for m in g.iter(ns + "line")
                 if m.get("class") == "control-change"]
        assert xs[0] < marks[0] < xs[1] < marks[1] < xs[2]


def test_stringing_chart_labels_carry_units_and_many_spans_stay_apart(tmp_path):
    section = tmp_path / "many.csv"
    section.write_text("span_m,height_difference_m\n" +
                       "".join(f"{300 + 10 * i},{(-1) ** i * i}\n" for i in range(23)))
    svg = tmp_path / "many.svg"
    succeed(["section"] + DESIGN6 + ["--section", str(section), "--svg", str(svg)])
    ns = "{http://www.w3.org/2000/svg}"
    root = ET.parse(svg).getroot()
    labels = [t.text for t in root.iter(ns + "text") if t.get("class") == "end-label"]
    assert labels[0] == "span 1: 300 m" and labels[3] == "span 4: 330 m, Δh = -3 m"
    looks = [(p.get("stroke"), p.get("stroke-dasharray")) for p in root.iter(ns + "path")
             if p.get("class") == "curve"]
    assert len(looks) == 23 and len(set(looks)) == 23


def test_an_output_with_the_longest_name_a_folder_allows(tmp_path):
    # The file written beside it must fit the same folder's limit on a name.
    name = "n" * (os.pathconf(tmp_path, "PC_NAME_MAX") - 4) + ".csv"
    out = tmp_path / name
    out.write_bytes(b"old\n")
    status, _, err = run(SAG_FAILING + ["--csv", str(out)])
    assert status == 0, err
    assert out.read_bytes().startswith(b"span_m,")
    assert os.listdir(tmp_path) == [name]


# ---- the wind commands' coefficients ----

# Figures worked by hand from the coefficient tables: W0 = v²/1600; α 0.85 from 20 m/s, ×1.5
# from 20 mm of ice; μsc 1.2 iced or under 17 mm, else 1.1; μz of terrain B normalised to 15 m
# (0.88 at 10 m, 1.00 at 15 m, 1.10 at 20 m).
@pytest.mark.parametrize("args,coefficients,load", [
    (["--wind", "25", "--ice", "10", "--diameter", "21.6", "--length", "300", "--height", "20"],
     {"basic_pressure_kN_per_m2": 0.390625, "alpha": 0.85, "mu_z": 1.10, "mu_sc": 1.2}, 2.8400625),
    (["--wind", "25", "--diameter", "21.6", "--length", "300", "--height", "15"],
     {"basic_pressure_kN_per_m2": 0.390625, "alpha": 0.85, "mu_z": 1.00, "mu_sc": 1.1}, 2.36671875),
    (["--wind", "20", "--ice", "20", "--diameter", "15", "--length", "100", "--height", "10"],
     {"basic_pressure_kN_per_m2": 0.25, "alpha": 1.275, "mu_z": 0.88, "mu_sc": 1.2}, 0.50490),
])
def test_conductor_wind_shows_its_coefficients(args, coefficients, load):
    doc = json.loads(succeed(["wind", "conductor"] + args + ["--json"]))
    assert doc["coefficients"]["wind_reference_height_m"] == 15
    for key, value in coefficients.items():
        assert doc["coefficients"][key] == pytest.approx(value, rel=1e-12), key
    assert doc["load_kN"] == pytest.approx(load, rel=1e-12)
    text = succeed(["wind", "conductor"] + args).decode()
    assert f"\u03b1 {coefficients['alpha']:g}," in text and "bare diameter" in text


def test_pole_and_insulator_wind_show_their_coefficients():
    pole = json.loads(succeed(POLE + ["--json"]))["coefficients"]
    # μs of W0·D² = 0.390625 × 0.19² = 0.0141015625 on the line from 1.2 at 0.002 to 0.7 at 0.015;
    # μz of terrain B normalised to 10 m at the top segment's middle, 11.94 m, and the bottom's.
    assert pole["wind_reference_height_m"] == 10
    assert pole["mu_s"] == pytest.approx(1.2 - 0.5 * (0.0141015625 - 0.002) / 0.013, rel=1e-12)
    assert pole["mu_z_top"] == pytest.approx(1.00 + 0.14 * 1.94 / 5, rel=1e-12)
    assert pole["mu_z_bottom"] == pytest.approx(1.00, rel=1e-12)
    insulator = json.loads(succeed(["wind", "insulator", "--wind", "20", "--height", "10",
                                    "--area", "1", "--json"]))
    assert insulator["coefficients"]["mu_z"] == pytest.approx(0.88, rel=1e-12)
    assert insulator["load_kN"] == pytest.approx(0.22, rel=1e-12)


@pytest.mark.parametrize("command,height", [(["pole"], 10), (["conductor"], 15),
                                            (["insulator"], 15)])
def test_wind_help_says_at_which_height_the_speed_is(command, height):
    text = succeed(["wind"] + command + ["--help"]).decode()
    assert f"Wind speed at {height} m above ground" in text


# ---- names, options and help as a new user types them ----

# Other spellings of 典型气象区Ⅵ and JL/G1A-240/30: Roman numerals in Latin letters or figures,
# another case, surrounding space, traditional characters, full-width letters.
@pytest.mark.parametrize("area,conductor", [
    ("典型气象区VI", "JL/G1A-240/30"),
    ("典型气象区6", "JL/G1A-240/30"),
    ("典型气象区vi", "jl/g1a-240/30"),
    ("典型气象区ⅵ", " JL/G1A-240/30 "),
    ("典型氣象區Ⅵ", "ＪＬ／Ｇ１Ａ-240/30"),
    (" 典型气象区Ⅵ\u3000", "Jl/g1A-240/30\t"),
])
def test_names_match_whatever_the_spelling(area, conductor):
    exact = succeed(["critical"] + DESIGN6)
    assert succeed(["critical", "--areas", AREAS, "--area", area, "--conductors", CONDUCTORS,
                    "--conductor", conductor]) == exact


def test_a_name_not_in_the_table_gets_the_nearest_when_there_is_one():
    fail(["critical"] + DESIGN[:6] + ["--conductor", "JL/G1A-240/3"], 1,
         'no conductor "JL/G1A-240/3" (did you mean "JL/G1A-240/30"?); there are: JL/G1A-240/30')
    fail(["critical"] + DESIGN[:6] + ["--conductor", "JL-G1A-630-45"], 1,
         '(did you mean "JL/G1A-630/45"?)')
    # Equally near to every area: no guess, the list.
    line = fail(["critical", "--areas", AREAS, "--area", "典型气象区8"] + DESIGN[4:], 1,
                'no weather area "典型气象区8"; there are: 典型气象区Ⅰ')
    assert "did you mean" not in line


def test_an_exact_name_wins_and_a_loose_one_that_fits_two_is_refused(tmp_path):
    # The sample conductors with the second one renamed to the first's name in lower case.
    data = bytearray(open(CONDUCTORS, "rb").read())
    header, record = struct.unpack_from("<HH", data, 8)
    width = data[32 + 16]
    name = data[header + 1:header + 1 + width]
    data[header + record + 1:header + record + 1 + width] = name.lower()
    path = tmp_path / "twins.dbf"
    path.write_bytes(bytes(data))
    design = ["critical", "--areas", AREAS, "--area", AREA6, "--conductors", str(path),
              "--conductor"]
    upper = succeed(design + ["JL/G1A-240/30"])
    lower = succeed(design + ["jl/g1a-240/30"])
    assert upper == succeed(["critical"] + DESIGN6) and lower != upper
    fail(design + ["Jl/G1A-240/30"], 1,
         'conductor "Jl/G1A-240/30" may be any of "JL/G1A-240/30", "jl/g1a-240/30"')


@pytest.mark.parametrize("args,message", [
    (["control"] + DESIGN + ["--span", "300", "--savety", "3"],
     'unknown control option "--savety"; did you mean "--safety"?'),
    (["control"] + DESIGN + ["--span", "300", "--savety=3"],
     'unknown control option "--savety"; did you mean "--safety"?'),
    (["section"] + DESIGN6 + ["--section", "s.csv", "--stringin", "0:10:5"],
     'unknown section option "--stringin"; did you mean "--stringing"?'),
    (["wind", "conductor", "--wnd", "25"],
     'unknown wind conductor option "--wnd"; did you mean "--wind"?'),
    (["control", "--frobnicate"], 'unknown control option "--frobnicate" (see varnel control'),
    (["--verison"], 'unknown option "--verison"; did you mean "--version"?'),
    (["wind", "cond"], 'unknown wind command "cond"; did you mean "conductor"?'),
    (["help", "contrl"], 'unknown command "contrl"; did you mean "control"?'),
    (["help", "control", "x"], 'help: varnel control has no command "x"'),
])
def test_unknown_options_are_named_with_the_nearest(args, message):
    fail(args, 2, message)


@pytest.mark.parametrize("words", [[], ["section"], ["wind"], ["wind", "conductor"]])
def test_help_command_gives_what_help_options_give(words):
    assert succeed(["help"] + words) == succeed(words + ["--help"])


def test_command_groups_have_their_own_examples():
    top = succeed(["--help"]).decode()
    assert "varnel help COMMAND" in top and "help " in top.split("Subcommands:")[1]
    wind = succeed(["wind", "--help"]).decode()
    assert "varnel demo" not in wind and "varnel wind conductor --wind" in wind


def test_demo_gives_the_conductor_the_areas_wind_at_15_m(tmp_path):
    # Area VI's high wind, 23.5 m/s at 10 m, at 15 m: the pressure grows by μz(15 m) = 1.14 of
    # the table normalised to 10 m, the speed by its root: 23.5 × √1.14 = 25.091 m/s.
    text = succeed(["demo", "--out", str(tmp_path)], cwd=tmp_path).decode()
    assert "23.5 m/s at 10 m, 25.09 m/s at 15 m" in text
    alone = succeed(["wind", "conductor", "--wind", "25.09", "--diameter", "21.6", "--length",
                     "300", "--height", "15"]).decode()
    assert alone.splitlines()[-1] in text.splitlines()

# A cell of the section file is quoted in the message shortened and with control bytes escaped.
@pytest.mark.parametrize("cell,shown", [
    (b"a\x00b", '"a\\x00b"'),
    (b"\x1b[31mred", '"\\x1b[31mred"'),
    (b"1\xff\xfe", '"1\\xff\\xfe"'),
    ("1\u009b2J".encode(), '"1\\u009B2J"'),
    (b"9" * 4_000_000 + b"x", '"' + "9" * 40 + '"\u2026 (4000001 bytes)'),
], ids=["NUL", "ESC", "not UTF-8", "C1 CSI", "4 MB"])
def test_section_file_cells_are_quoted_safely(tmp_path, cell, shown):
    path = tmp_path / "bad.csv"
    path.write_bytes(b"span_m,height_difference_m\n300," + cell + b"\n")
    p = subprocess.run([VARNEL, "section"] + DESIGN6 + ["--section", str(path)],
                       capture_output=True, timeout=60)
    assert p.returncode == 1 and p.stdout == b""
    err = p.stderr.decode("utf-8")
    assert err == f"varnel: {path}: line 2: {shown} is not a number\n"
    assert not re.search("[\x00-\x09\x0b-\x1f\x7f-\x9f]", err)


def test_long_spans_are_computed_with_a_warning(tmp_path):
    path = tmp_path / "long.csv"
    path.write_text("span_m,height_difference_m\n300,0\n6000,0\n7000,0\n")
    p = subprocess.run([VARNEL, "section"] + DESIGN6 + ["--section", str(path)],
                       capture_output=True, timeout=60)
    assert p.returncode == 0 and b"Section of 3 spans" in p.stdout
    # The long spans, and the two models' largest sags, metres apart there.
    lines = p.stderr.decode().splitlines()
    assert lines[:2] == [
        f"varnel: warning: {path}: line 3: a span of 6000 m is longer than 5 km; check that it is "
        "in metres",
        f"varnel: warning: {path}: 1 more spans are longer than 5000 m"]
    assert [l.split(": ")[3].split(" (")[0] for l in lines[2:]] == ["span 2", "span 3"]
    p = subprocess.run([VARNEL, "control"] + DESIGN6 + ["--span", "1e9"], capture_output=True)
    assert p.returncode == 0 and p.stdout
    assert p.stderr.decode() == ("varnel: warning: --span: a span of 1000000000 m is longer than "
                                 "5 km; check that it is in metres\n")
    p = subprocess.run([VARNEL, "sag-table"] + DESIGN6 + ["--spans", "4000:6000:1000"],
                       capture_output=True)
    assert p.returncode == 0 and "--spans 4000:6000:1000: a span of 6000 m" in p.stderr.decode()
    # 5 km itself is no warning.
    succeed(["control"] + DESIGN6 + ["--span", "5000"])


def test_a_section_of_one_span_says_span(tmp_path):
    path = tmp_path / "one.csv"
    path.write_text("span_m,height_difference_m\n300,0\n")
    assert b"\nSection of 1 span, 300.0 m in all" in succeed(
        ["section"] + DESIGN6 + ["--section", str(path)])


def test_critical_pairs_without_a_crossing_are_explained():
    text = succeed(["critical"] + DESIGN6).decode()
    pairs = text.split("Critical spans between")[1].split("Controlling condition by span")[0]
    assert re.search(r"  none\n", pairs)
    assert "none: the two conditions' limits do not cross at any real span" in pairs


SAG_CHART = os.path.join(ROOT, "examples", "python", "sag_chart.py")


def chart(args, cwd):
    import sys  # the interpreter running these tests, which the skips below asked
    return subprocess.run([sys.executable, SAG_CHART] + args, capture_output=True, cwd=cwd,
                          timeout=120)


@pytest.mark.parametrize("args,message", [
    (["--spans", "abc"], "'abc': expected FROM:TO:STEP"),
    (["--spans", "10:5:1"], "'10:5:1': expected 0 <= FROM <= TO"),
    (["--spans", "0:1e9:0.001"], "at most 100,000 spans"),
    (["--spans", "nan:1:1"], "must be finite"),
    (["--frobnicate"], "unrecognized arguments: --frobnicate"),
    (["--out", "chart.svg"], "the chart is a PNG"),
    (["a.png", "--out", "b.png"], "give the output once"),
])
def test_sag_chart_example_answers_bad_arguments_in_one_line(tmp_path, args, message):
    p = chart(args, tmp_path)
    assert p.returncode == 2 and p.stdout == b""
    lines = p.stderr.decode().splitlines()
    assert len(lines) == 1 and lines[0].startswith("sag_chart.py: ") and message in lines[0]
    assert list(tmp_path.iterdir()) == []


def test_sag_chart_example_writes_where_it_is_told(tmp_path):
    pytest.importorskip("matplotlib")
    pytest.importorskip("varnel")
    before = set(os.listdir(os.path.dirname(SAG_CHART)))
    p = chart(["--spans", "50:400:50"], tmp_path)
    assert p.returncode == 0, p.stderr
    assert (tmp_path / "sag_chart.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    p = chart(["--spans", "50:400:50", "--out", str(tmp_path / "out" / "x.png")], tmp_path)
    assert p.returncode == 1 and p.stderr.decode().count("\n") == 1
    p = chart(["--area", "典型气象区9"], tmp_path)
    assert p.returncode == 1 and "no weather area" in p.stderr.decode()
    assert set(os.listdir(os.path.dirname(SAG_CHART))) == before


# ---- records the design cannot use, and the annual average whatever its name ----

def conductors_with(tmp_path, field, text, row=0):
    """The sample conductor table with one numeric cell of one row replaced by `text`."""
    data = bytearray(open(CONDUCTORS, "rb").read())
    header_length, record_length = struct.unpack("<HH", data[8:12])
    offset = 1
    for at in range(32, header_length - 1, 32):
        name = data[at:at + 11].split(b"\0")[0].decode()
        width = data[at + 16]
        if name == field:
            start = header_length + row * record_length + offset
            data[start:start + width] = text.encode().rjust(width)[:width]
            path = tmp_path / f"conductors_{field.lower()}.dbf"
            path.write_bytes(bytes(data))
            return str(path)
        offset += width
    raise KeyError(field)


@pytest.mark.parametrize("field, text, needle", [
    ("AREA", "0", "conductor area = 0 mm²"),
    ("MODULUS", "-73000", "conductor elasticModulus = -73000 N/mm²"),
    ("STRENGTH", "0", "conductor ratedStrength = 0 N"),
    ("STRENGTH", "-5", "conductor ratedStrength = -5 N"),
    ("MODULUS", "abc", "conductor elasticModulus = 0 N/mm²"),
    ("EXPANSION", "nan", "conductor expansionCoeff = 0 1/°C"),
])
@pytest.mark.parametrize("command", [["critical"], ["sag-table", "--spans", "50:500:50"],
                                     ["control", "--span", "300"]])
def test_a_conductor_the_design_cannot_use_is_refused_by_field(tmp_path, field, text, needle,
                                                               command):
    path = conductors_with(tmp_path, field, text)
    args = [command[0], "--areas", AREAS, "--area", AREA6, "--conductors", path,
            "--conductor", "JL/G1A-240/30"] + command[1:]
    line = fail(args, 1, os.path.basename(path), "JL/G1A-240/30", needle)
    # Neither the weather-area table nor a missing controlling condition is blamed.
    assert "qualifies" not in line and "weather_areas" not in line


def test_an_infinite_ruling_span_is_refused_not_printed(tmp_path):
    path = tmp_path / "long.csv"
    path.write_text("span_m,height_difference_m\n1e200,0\n")
    line = fail(["section"] + DESIGN6 + ["--section", str(path)], 1,
                "long.csv: the section's ruling span = inf is not finite")
    assert "qualifies" not in line and "weather_areas" not in line


def test_a_span_whose_sag_overflows_is_refused_not_printed():
    fail(["control"] + DESIGN6 + ["--span", "1e300"], 1, "span of", "not finite")


# ---- JSON keys, section streaming, stringing options, suspension points ----

# A figure's key ends in its unit; these are the units the documents use (docs/json.md).
UNIT_SUFFIXES = ("_m", "_mm", "_mm2", "_m2", "_kg_per_km", "_N", "_kN", "_kN_m", "_N_per_mm2",
                 "_N_per_m_mm2", "_degC", "_per_degC", "_m_per_s", "_deg", "_kN_per_m2")
# Numbers without a unit: ratios, factors, counts and places.
DIMENSIONLESS = {"cos", "ruling_cos", "avg_ratio", "strength_factor", "safety",
                 "suspension_point_safety", "index", "aluminium_wires",
                 "alpha", "mu_s", "mu_z", "mu_z_top", "mu_z_bottom", "mu_sc"}


@pytest.fixture(scope="module")
def json_documents():
    """Every command's --json on the samples, by name."""
    runs = {
        "areas": ["areas", AREAS], "conductors": ["conductors", CONDUCTORS],
        "control": ["control"] + DESIGN + ["--span", "300"],
        "control-none": ["control"] + DESIGN + ["--span", "300", "--safety", "1e6",
                                                "--avg-ratio", "1"],
        "sag-table": ["sag-table"] + DESIGN6 + ["--spans", "0:800:100"],
        "critical": ["critical"] + DESIGN6,
        "section": ["section"] + DESIGN6 + ["--section", SECTION],
        "span": ["span", "--span", "300", "--height-difference", "8", "--stress", "161.5",
                 "--load", "0.089", "--points", "4"],
        "wind-pole": GOLDEN["wind_pole"], "wind-conductor": GOLDEN["wind_conductor"],
        "wind-insulator": GOLDEN["wind_insulator"],
    }
    return {name: json.loads(succeed(args + ["--json"])) for name, args in runs.items()}


def walk(value, path=""):
    """(key path, key, value) of every member of every object in a document."""
    if isinstance(value, dict):
        for k, v in value.items():
            yield path + "." + k, k, v
            yield from walk(v, path + "." + k)
    elif isinstance(value, list):
        for v in value:
            yield from walk(v, path + "[]")


def test_every_figure_has_its_unit_in_its_key(json_documents):
    for name, doc in json_documents.items():
        for where, key, value in walk(doc):
            figures = [value] if not isinstance(value, list) else value
            if any(isinstance(v, (int, float)) and not isinstance(v, bool) for v in figures):
                # A figure's places may be keyed under the figure's own unit-bearing key, as
                # section's support_stress_N_per_mm2: {"near": {condition: ...}, "far": ...}.
                ancestors = [part.removesuffix("[]") for part in where.split(".")[:-1]]
                assert (key.endswith(UNIT_SUFFIXES) or key in DIMENSIONLESS
                        or any(a.endswith(UNIT_SUFFIXES) for a in ancestors)), f"{name}: {where}"
            # Text keys and figures of unknown meaning (column4 ...) have no place here.
            assert not re.fullmatch(r"column\d+", key), f"{name}: {where}"


def test_a_condition_is_referred_to_by_index_and_name_everywhere(json_documents):
    docs = json_documents
    seen = 0
    for name, doc in docs.items():
        names = [c["name"] for c in doc.get("conditions", [])]
        for where, key, value in walk(doc):
            if key not in ("controlling", "max_sag_condition", "a", "b") or value is None:
                continue
            assert isinstance(value, dict) and list(value) == ["index", "name"], f"{name}: {where}"
            if names:
                assert names[value["index"]] == value["name"], f"{name}: {where}"
            seen += 1
    for doc in (docs["control"], docs["control-none"], docs["section"]):
        stress = doc["control_stress_N_per_mm2"]
        if doc["controlling"] is None:
            assert stress is None
        else:
            assert doc["conditions"][doc["controlling"]["index"]]["stress_N_per_mm2"] == stress
    assert seen > 30
    for c in docs["critical"]["candidates"]:
        assert list(c) == ["index", "name"]


def read_dbf_rows(path):
    """Field names and text cells of a dBASE III table, read here from its bytes."""
    data = open(path, "rb").read()
    count, header, length = struct.unpack("<IHH", data[4:12])
    fields = []
    for at in range(32, header - 1, 32):
        fields.append((data[at:at + 11].split(b"\0")[0].decode(), data[at + 16]))
    rows = []
    for r in range(count):
        at = header + r * length + 1
        row = {}
        for field, width in fields:
            row[field] = data[at:at + width].decode("gbk").strip()
            at += width
        rows.append(row)
    return rows


def test_conductors_json_names_the_fields_of_the_table():
    rows = read_dbf_rows(CONDUCTORS)
    conductors = json.loads(succeed(["conductors", CONDUCTORS, "--json"]))["conductors"]
    assert len(conductors) == len(rows)
    for c, row in zip(conductors, rows):
        assert c["name"] == row["NAME"]
        assert c["aluminium_area_mm2"] == float(row["AL_AREA"])
        assert c["steel_area_mm2"] == float(row["ST_AREA"])
        assert c["aluminium_wires"] == int(row["AL_WIRES"])
        assert c["stranding"] == row["STRANDING"]
    control = json.loads(succeed(["control"] + DESIGN + ["--span", "300", "--json"]))
    assert control["conductor"] == conductors[0]
    text = succeed(["conductors", CONDUCTORS]).decode().splitlines()[0]
    assert "column" not in text and "stranding" in text


def test_text_shows_derived_figures_without_noise_digits(tmp_path):
    # 20.9e-6 read from the table, times 1e6, is 20.899999999999995.
    design = DESIGN6[:-1] + ["JL/G1A-630/45"]
    out = succeed(["control"] + design + ["--span", "300"]).decode()
    assert "α 20.9e-6/°C" in out
    # Temperatures stepped by 0.1 are 0.30000000000000004 and the like.
    text = succeed(["section"] + DESIGN6 + ["--section", SECTION, "--stringing", "0:1:0.1"])
    temperatures = re.findall(r"^ *(-?\d\S*) +\d+\.\d\d +\d", text.decode().split(
        "Stringing table")[1], re.M)
    assert temperatures == [f"{t / 10:.1f}" for t in range(11)]
    rows = list(csv.reader(io.StringIO(succeed(["section"] + DESIGN6 + [
        "--section", SECTION, "--stringing", "0:1:0.1", "--csv", "-"]).decode())))
    assert [r[0] for r in rows[1:]] == temperatures
    doc = json.loads(succeed(["section"] + DESIGN6 + ["--section", SECTION, "--stringing",
                                                      "0:1:0.1", "--json"]))
    # JSON keeps the doubles as they are: FROM + STEP × i.
    assert [r["temperature_degC"] for r in doc["stringing"]] == [0 + 0.1 * i for i in range(11)]


def test_streamed_section_rows_are_the_whole_tables_rows():
    whole = json.loads(succeed(["section"] + DESIGN6 + ["--section", SECTION, "--json",
                                                        "--stringing", "-20:40:5"]))
    rows = {r["temperature_degC"]: r for r in whole["stringing"]}
    assert len(rows) == 13
    for start in ("-20", "5", "40"):
        part = json.loads(succeed(["section"] + DESIGN6 + ["--section", SECTION, "--json",
                                                           "--stringing", start + ":40:5"]))
        for r in part["stringing"]:
            assert r == rows[r["temperature_degC"]]
    text = succeed(["section"] + DESIGN6 + ["--section", SECTION]).decode()
    table = text.split("Stringing table")[1].splitlines()[3:]
    assert len(table) == 13
    for line, r in zip(table, whole["stringing"]):
        cells = line.split()
        assert cells[1] == f"{r['stress_N_per_mm2']:.2f}"
        assert cells[2:] == [f"{f:.2f}" for f in r["sag_m"]]


@pytest.mark.parametrize("args,message", [
    (["--stringing", "-1000:0:5"], '--stringing -1000:0:5: FROM: "-1000" must be at least -100'),
    (["--stringing", "0:1e300:1"], '--stringing 0:1e300:1: TO: "1e300" must be at most 200'),
    (["--stringing", "1e17:1e17:1"], "must be at most 200"),
    # 999.9999999995 steps: the design layer counts 1001 temperatures, one past its limit.
    (["--stringing", "0:99.99999999995:0.1"], "more than 1000 temperatures"),
    (["--stringing", "0:200:1e-300"], "more than 1000 temperatures"),
    (["--stringing", "100:100:1e-15"], "a step of 1e-15 does not change a temperature of 100"),
    (["--stringing", "0:nan:1"], '"nan" is not a finite number'),
    (["--compensate", "1e308"], '--compensate: "1e308" must be at most 100'),
    (["--compensate", "-5"], '--compensate: "-5" must be at least 0'),
    (["--suspension-safety", "0"], '--suspension-safety: "0" must be above 0'),
])
def test_stringing_options_are_checked_up_front(args, message):
    fail(["section"] + DESIGN6 + ["--section", SECTION] + args, 2, message)


def test_the_limits_of_the_stringing_options_are_accepted():
    doc = json.loads(succeed(["section"] + DESIGN6 + ["--section", SECTION, "--json",
                                                      "--stringing", "-100:200:0.3003",
                                                      "--compensate", "100"]))
    # (200 + 100) / 0.3003 = 999.0...: 1000 temperatures, the most there may be.
    assert len(doc["stringing"]) == 1000 and doc["compensation_degC"] == 100
    assert all(math.isfinite(r["stress_N_per_mm2"]) and r["stress_N_per_mm2"] > 0
               for r in doc["stringing"])


def steep_section(tmp_path):
    path = tmp_path / "steep.csv"
    path.write_text("span_m,height_difference_m\n320,0\n385,12.5\n300,1000\n")
    return path


def test_a_support_stress_above_the_suspension_points_allowable_is_flagged(tmp_path):
    path = steep_section(tmp_path)
    # A span rising 1000 m in 300: the two models' sags part by metres (the ruling span's
    # parabola strings this section far from the catenary's change of state).
    doc = json.loads(succeed_warned(["section"] + DESIGN6 + ["--section", str(path), "--json"])[0])
    c = doc["conductor"]
    # Worked by hand: 75190 N × 0.95 / 275.96 mm² / 2.25.
    allowable = c["rated_strength_N"] * 0.95 / c["area_mm2"] / 2.25
    assert allowable == pytest.approx(115.04, abs=5e-3)
    assert doc["suspension_point_allowable_N_per_mm2"] == pytest.approx(allowable, rel=1e-15)
    for span in doc["spans"]:
        assert span["max_support_stress_N_per_mm2"] == max(
            span["higher_support_stress_N_per_mm2"])
        assert span["suspension_point_ok"] == (span["max_support_stress_N_per_mm2"] <= allowable)
    # The steep span is over even the rated strength per area (272.5 N/mm²); the level ones hold.
    assert [s["suspension_point_ok"] for s in doc["spans"]] == [True, True, False]
    assert doc["spans"][2]["max_support_stress_N_per_mm2"] > c["rated_strength_N"] / c["area_mm2"]
    text = succeed_warned(["section"] + DESIGN6 + ["--section", str(path)])[0].decode()
    flagged = [l.split()[0] for l in text.splitlines() if re.match(r"^ +\d+ .* !$", l)]
    assert flagged == ["3"]
    assert "Allowable stress at a suspension point: 115.04 N/mm² (safety factor 2.25); " \
           "! 1 of 3 spans above it" in text
    # A factor low enough lets it pass; nothing is refused either way.
    doc = json.loads(succeed_warned(["section"] + DESIGN6 + ["--section", str(path), "--json",
                                                             "--suspension-safety", "0.5"])[0])
    assert all(s["suspension_point_ok"] for s in doc["spans"])


@pytest.mark.skipif(os.environ.get("VARNEL_MILLION_SPANS") != "1",
                    reason="the optimised build runs it")
def test_section_json_in_flat_memory(tmp_path):
    # 10,000 spans and 1,000 temperatures: a document of some 280 MB, written as it goes.
    path = tmp_path / "long.csv"
    path.write_text("span_m,height_difference_m\n"
                    + "".join(f"{300 + i % 150},{(i % 40) - 20}\n" for i in range(10000)))
    peak_kb = 0
    with open(os.devnull, "wb") as out:
        p = subprocess.Popen([VARNEL, "section"] + DESIGN6 + ["--section", str(path), "--json",
                                                              "--stringing", "-50:49.9:0.1"],
                             stdout=out, stderr=subprocess.PIPE)
        while p.poll() is None:
            try:
                with open(f"/proc/{p.pid}/status") as f:
                    hwm = re.search(r"VmHWM:\s+(\d+) kB", f.read())
                    peak_kb = max(peak_kb, int(hwm.group(1)) if hwm else 0)
            except OSError:
                pass
            time.sleep(0.05)
        assert p.wait(timeout=600) == 0, p.stderr.read()
    assert 0 < peak_kb < 50 * 1024, f"{peak_kb} KB"


# ---- the section hung as catenaries ----

def _gauss_legendre(n):
    """Nodes and weights of n-point Gauss–Legendre quadrature on [−1, 1], by Newton's method on
    Pₙ from the usual first guesses."""
    nodes, weights = [], []
    for i in range(1, n + 1):
        x = math.cos(math.pi * (i - 0.25) / (n + 0.5))
        for _ in range(100):
            p0, p1 = 1.0, x
            for k in range(2, n + 1):
                p0, p1 = p1, ((2 * k - 1) * x * p1 - (k - 1) * p0) / k
            dp = n * (x * p1 - p0) / (x * x - 1)
            step = p1 / dp
            x -= step
            if abs(step) < 1e-17:
                break
        p0, p1 = 1.0, x
        for k in range(2, n + 1):
            p0, p1 = p1, ((2 * k - 1) * x * p1 - (k - 1) * p0) / k
        dp = n * (x * p1 - p0) / (x * x - 1)
        nodes.append(x)
        weights.append(2 / ((1 - x * x) * dp * dp))
    return nodes, weights


_GL = _gauss_legendre(30)


def _in_plane(l, h, load, vertical):
    """A span in the plane of a load and its chord, swung η from the vertical, cos η = γv/γ:
    √(l² + h²·sin²η) and h·cos η."""
    c = vertical / load
    return math.sqrt(l * l + h * h * (1 - c * c)), h * c


def _catenary_unstressed_length(spans, stress, load, temperature, modulus, expansion,
                                vertical=None):
    """L₀ of a section whose spans share horizontal stress `stress`, worked out here from the
    curve: ∫ cosh z / (1 + α·(t − 20) + (σ₀/E)·cosh z) dx over each span, z = (x − a)/p, by
    Gauss–Legendre on 8 panels a span, each far narrower than the integrand's poles are
    distant, summed with math.fsum; each span in the plane of the load (`vertical` its vertical
    part, the whole load unless given)."""
    p = stress / load
    terms = []
    for l, h in (_in_plane(l, h, load, vertical or load) for l, h in spans):
        a = l / 2 - p * math.asinh(h / (2 * p * math.sinh(l / (2 * p))))
        for j in range(8):
            x0, x1 = l * j / 8, l * (j + 1) / 8
            for u, w in zip(*_GL):
                cz = math.cosh(((x1 - x0) / 2 * u + (x0 + x1) / 2 - a) / p)
                terms.append((x1 - x0) / 2 * w * cz
                             / (1 + expansion * (temperature - 20) + stress / modulus * cz))
    return math.fsum(terms)


@pytest.fixture(scope="module")
def catenary_section():
    return json.loads(succeed(["section"] + DESIGN6 + ["--section", SECTION, "--compensate", "20",
                                                       "--model", "catenary", "--json"]))


def test_catenary_section_keeps_the_unstressed_length_of_its_controlling_condition(
        catenary_section):
    doc = catenary_section
    c = doc["conductor"]
    E, alpha = c["elastic_modulus_N_per_mm2"], c["expansion_per_degC"]
    spans = [(s["span_m"], s["height_difference_m"]) for s in doc["spans"]]
    assert doc["model"] == "catenary"
    control = doc["conditions"][doc["controlling"]["index"]]
    assert control["stress_N_per_mm2"] == doc["control_stress_N_per_mm2"]
    kept = _catenary_unstressed_length(spans, control["stress_N_per_mm2"],
                                       control["specific_load_N_per_m_mm2"],
                                       control["temperature_degC"], E, alpha,
                                       control["vertical_load_N_per_m_mm2"])
    for cond in doc["conditions"]:
        got = _catenary_unstressed_length(spans, cond["stress_N_per_mm2"],
                                          cond["specific_load_N_per_m_mm2"],
                                          cond["temperature_degC"], E, alpha,
                                          cond["vertical_load_N_per_m_mm2"])
        assert got == pytest.approx(kept, rel=1e-12, abs=0), cond["name"]
    # The stringing table too, strung bare and compensated 20 °C.
    bare = c["unit_mass_kg_per_km"] * 9.80665e-3 / c["area_mm2"]
    for row in doc["stringing"]:
        got = _catenary_unstressed_length(spans, row["stress_N_per_mm2"], bare,
                                          row["temperature_degC"] - 20, E, alpha)
        assert got == pytest.approx(kept, rel=1e-12, abs=0), row["temperature_degC"]
    # The parabola's ruling span strings these gentle spans within a few per mille of it.
    parabola = json.load(open(os.path.join(EXPECTED, "section_parabola.json"), encoding="utf-8"))
    for cat, par in zip(doc["conditions"], parabola["conditions"]):
        assert cat["stress_N_per_mm2"] == pytest.approx(par["stress_N_per_mm2"], rel=5e-3)


def test_catenary_section_curves_and_support_checks(catenary_section):
    doc = catenary_section
    allowable = doc["suspension_point_allowable_N_per_mm2"]
    c = doc["conductor"]
    f = doc["factors"]
    assert allowable == pytest.approx(c["rated_strength_N"] * f["strength_factor"] / c["area_mm2"]
                                      / f["suspension_point_safety"], rel=1e-12)
    for span in doc["spans"]:
        l, h = span["span_m"], span["height_difference_m"]
        assert span["model"] == "catenary"
        # Keyed by condition name, in the order of the conditions.
        near = list(span["support_stress_N_per_mm2"]["near"].values())
        far = list(span["support_stress_N_per_mm2"]["far"].values())
        assert list(span["support_stress_N_per_mm2"]["far"]) == [
            cond["name"] for cond in doc["conditions"]]
        for k, cond in enumerate(doc["conditions"]):
            s0, g = cond["stress_N_per_mm2"], cond["specific_load_N_per_m_mm2"]
            gv = cond["vertical_load_N_per_m_mm2"]
            assert cond["swing_deg"] == pytest.approx(math.degrees(math.acos(gv / g)), abs=1e-9)
            # The curve in the plane of the condition's load: its x along the plane's span,
            # given horizontal (× l/l').
            lp, hp = _in_plane(l, h, g, gv)
            p = s0 / g
            a = lp / 2 - p * math.asinh(hp / (2 * p * math.sinh(lp / (2 * p))))
            assert span["low_point_m"][k] == pytest.approx(a * l / lp, rel=1e-12, abs=1e-9)
            assert near[k] == pytest.approx(s0 * math.cosh(a / p), rel=1e-12)
            assert far[k] == pytest.approx(s0 * math.cosh((lp - a) / p), rel=1e-12)
            assert far[k] - near[k] == pytest.approx(g * hp, abs=1e-12 * s0)
            assert span["length_m"][k] == pytest.approx(
                math.hypot(hp, 2 * p * math.sinh(lp / (2 * p))), rel=1e-12)
            # The largest sag is where the slope is the chord's: sinh((x − a)/p) = h'/l'.
            at = a + p * math.asinh(hp / lp)
            assert span["max_sag_at_m"][k] == pytest.approx(at * l / lp, rel=1e-9)
            sag = hp * at / lp - p * (math.cosh((at - a) / p) - math.cosh(a / p))
            assert span["sag_m"][k] == pytest.approx(sag, rel=1e-9)
            assert span["vertical_max_sag_m"][k] == pytest.approx(sag * gv / g, rel=1e-9)
            assert span["higher_support_stress_N_per_mm2"][k] == max(near[k], far[k])
        assert span["suspension_point_ok"] == (span["max_support_stress_N_per_mm2"] <= allowable)


def test_parabola_section_is_the_figures_it_always_was():
    pinned = json.load(open(os.path.join(EXPECTED, "section_parabola.json"), encoding="utf-8"))

    def same(old, new, where):
        if isinstance(old, dict):
            for key in old:
                same(old[key], new[key], where + "." + key)
        elif isinstance(old, list):
            # The per-condition lists have gained the area's ice without wind at their end.
            assert len(new) in (len(old), len(old) + 1), where
            for i, (o, n) in enumerate(zip(old, new)):
                same(o, n, f"{where}[{i}]")
        else:
            assert old == new, where

    for extra in [[], ["--model", "parabola"]]:
        doc = json.loads(succeed(["section"] + DESIGN6 + ["--section", SECTION, "--compensate",
                                                          "20", "--json"] + extra))
        same(pinned, doc, "")
        assert doc["conditions"][-1]["name"] == "覆冰无风" and doc["conditions"][-1]["derived"]
        assert doc["model"] == "parabola"
        for span in doc["spans"]:
            assert span["model"] == "parabola"
            for cond in doc["conditions"]:
                far = span["support_stress_N_per_mm2"]["far"][cond["name"]]
                near = span["support_stress_N_per_mm2"]["near"][cond["name"]]
                assert far - near == pytest.approx(
                    cond["specific_load_N_per_m_mm2"] * span["height_difference_m"],
                    abs=1e-12 * cond["stress_N_per_mm2"])


@pytest.mark.parametrize("model", ["catenary", "parabola"])
def test_section_chart_names_its_model(tmp_path, model):
    succeed(["section"] + DESIGN6 + ["--section", SECTION, "--model", model, "--svg", "s.svg"],
            cwd=tmp_path)
    root = ET.parse(tmp_path / "s.svg").getroot()
    ns = "{http://www.w3.org/2000/svg}"
    caption = [t.text for t in root.iter(ns + "text") if t.get("class") == "caption"][0]
    assert caption.startswith("model: " + model)


def test_sag_chart_names_its_model(tmp_path):
    succeed(["sag-table"] + DESIGN6 + ["--spans", "100:400:100", "--svg", "t.svg"], cwd=tmp_path)
    root = ET.parse(tmp_path / "t.svg").getroot()
    ns = "{http://www.w3.org/2000/svg}"
    caption = [t.text for t in root.iter(ns + "text") if t.get("class") == "caption"][0]
    assert "model: parabola" in caption


def test_section_model_is_checked():
    fail(SECTION_FAILING + ["--model", "hyperbola"], 2, "--model")


def vertical_load(conductor, ice_mm):
    """A condition's specific load without its wind, N/(m·mm²), from the conductor's JSON: its
    own weight and an ice sleeve of 0.9 g/cm³, π·0.9·9.80665/1000 N/m per mm² of (d + b)·b."""
    own = conductor["unit_mass_kg_per_km"] * 9.80665e-3
    ice = math.pi * 0.9 * 9.80665 / 1000 * (conductor["diameter_mm"] + ice_mm) * ice_mm
    return (own + ice) / conductor["area_mm2"]


def within(stress, limit):
    """design::withinLimit: at most the limit, to a relative 5e-13."""
    return stress <= limit * (1 + 5e-13)


@pytest.mark.parametrize("span,shape", [(300, ["--height-difference", "45"]),
                                        (800, ["--height-difference", "-260"]),
                                        (450, ["--cos", "0.9"])])
def test_catenary_control_strings_every_condition_as_a_catenary(span, shape):
    args = ["control"] + DESIGN + ["--span", str(span), "--json"] + shape
    doc = json.loads(succeed(args + ["--model", "catenary"]))
    c = doc["conductor"]
    E, alpha = c["elastic_modulus_N_per_mm2"], c["expansion_per_degC"]
    area = [a for a in json.loads(succeed(["areas", AREAS, "--json"]))["areas"]
            if a["name"] == AREA3][0]
    temperatures = [cond["temperature_degC"] for cond in area["conditions"]]
    verticals = [vertical_load(c, cond["ice_mm"]) for cond in area["conditions"]]
    if shape[0] == "--cos":
        h = span * math.sqrt(1 - 0.81) / 0.9
    else:
        h = float(shape[1])
        assert doc["factors"]["cos"] == pytest.approx(span / math.hypot(span, h), rel=1e-15)
    assert doc["model"] == "catenary"
    assert doc["height_difference_m"] == pytest.approx(h, rel=1e-15)
    k0 = doc["controlling"]["index"]
    control = doc["conditions"][k0]
    assert control["stress_N_per_mm2"] == doc["control_stress_N_per_mm2"]
    kept = _catenary_unstressed_length([(span, h)], control["stress_N_per_mm2"],
                                       control["specific_load_N_per_m_mm2"], temperatures[k0],
                                       E, alpha, verticals[k0])
    for k, cond in enumerate(doc["conditions"]):
        got = _catenary_unstressed_length([(span, h)], cond["stress_N_per_mm2"],
                                          cond["specific_load_N_per_m_mm2"], temperatures[k],
                                          E, alpha, verticals[k])
        assert got == pytest.approx(kept, rel=1e-12, abs=0), cond["name"]
        assert cond["holds"] and within(cond["stress_N_per_mm2"], cond["limit_N_per_mm2"])
    # The parabola's search, given the same cosine, is the one named beside; its account is the
    # one the catenary's text shows.
    parabola = json.loads(succeed(args))
    assert parabola["model"] == "parabola"
    assert parabola["controlling"] == doc["parabola_controlling"]
    text = ["control"] + DESIGN + ["--span", str(span)] + shape
    assert succeed(text + ["--model", "catenary"]).startswith(succeed(text).split(b"\nControlling")[0])


def test_control_height_difference_refusals():
    fail(["control"] + DESIGN + ["--span", "300", "--height-difference", "10", "--cos", "0.9"], 2,
         "--height-difference")
    fail(["control"] + DESIGN + ["--span", "0", "--model", "catenary"], 2, "--span")


def test_catenary_sag_table_strings_each_span_as_a_catenary(tmp_path):
    args = ["sag-table"] + DESIGN6 + ["--spans", "100:700:200", "--cos", "0.95", "--json"]
    doc = json.loads(succeed(args + ["--model", "catenary", "--svg", "t.svg"], cwd=tmp_path))
    parabola = json.loads(succeed(args))
    assert (doc["model"], parabola["model"]) == ("catenary", "parabola")
    c = doc["conductor"]
    E, alpha = c["elastic_modulus_N_per_mm2"], c["expansion_per_degC"]
    area = next(a for a in json.loads(succeed(["areas", AREAS, "--json"]))["areas"]
                if a["name"] == AREA6)
    temperatures = [cond["temperature_degC"] for cond in area["conditions"]]
    control = json.loads(succeed(["control"] + DESIGN6 + ["--span", "300", "--json"]))
    loads = [cond["specific_load_N_per_m_mm2"] for cond in control["conditions"]]
    limits = [cond["limit_N_per_mm2"] for cond in control["conditions"]]
    ice = [cond["ice_mm"] for cond in area["conditions"]]
    # The ice without wind last: 覆冰's ice and temperature, no wind.
    iced = NINE.index("覆冰")
    loads.append(vertical_load(c, ice[iced]))
    limits.append(limits[0])
    temperatures.append(temperatures[iced])
    ice.append(ice[iced])
    verticals = [vertical_load(c, b) for b in ice]
    for row, prow in zip(doc["spans"], parabola["spans"]):
        l = row["span_m"]
        h = l * math.sqrt(1 - 0.95 ** 2) / 0.95
        k0 = row["controlling"]["index"]
        assert row["stress_N_per_mm2"][k0] == limits[k0]
        kept = _catenary_unstressed_length([(l, h)], row["stress_N_per_mm2"][k0], loads[k0],
                                           temperatures[k0], E, alpha, verticals[k0])
        for k, s in enumerate(row["stress_N_per_mm2"]):
            got = _catenary_unstressed_length([(l, h)], s, loads[k], temperatures[k], E, alpha,
                                              verticals[k])
            assert got == pytest.approx(kept, rel=1e-12, abs=0), (l, k)
            assert within(s, limits[k]), (l, k)
    root = ET.parse(tmp_path / "t.svg").getroot()
    ns = "{http://www.w3.org/2000/svg}"
    caption = [t.text for t in root.iter(ns + "text") if t.get("class") == "caption"][0]
    assert "model: catenary" in caption
    fail(["sag-table"] + DESIGN6 + ["--spans", "0:700:100", "--model", "catenary"], 2, "--spans")


def test_catenary_section_strings_its_operating_condition_too():
    doc = json.loads(succeed(["section"] + DESIGN6 + ["--section", SECTION, "--model", "catenary",
                                                      "--max-temperature", "70", "--json"]))
    c = doc["conductor"]
    E, alpha = c["elastic_modulus_N_per_mm2"], c["expansion_per_degC"]
    spans = [(s["span_m"], s["height_difference_m"]) for s in doc["spans"]]
    control = doc["conditions"][doc["controlling"]["index"]]
    hot = doc["conditions"][doc["operating"]["condition"]["index"]]
    assert hot is doc["conditions"][-1] and hot["temperature_degC"] == 70
    lengths = [_catenary_unstressed_length(spans, k["stress_N_per_mm2"],
                                           k["specific_load_N_per_m_mm2"], k["temperature_degC"],
                                           E, alpha, k["vertical_load_N_per_m_mm2"])
               for k in (control, hot)]
    assert lengths[1] == pytest.approx(lengths[0], rel=1e-12, abs=0)
    for span in doc["spans"]:
        assert len(span["low_point_m"]) == len(doc["conditions"])
