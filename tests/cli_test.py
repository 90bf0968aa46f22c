#!/usr/bin/env python3
"""End-to-end tests of the varnel command on the shipped samples.

Each command's standard output is compared with a file in tests/cli_expected (written once by
--update and reviewed by hand); the SVG is parsed as XML and its curves counted; every failure
case must give its one-line message on standard error and a non-zero status, with nothing on
standard output.

    cli_test.py VARNEL REPO_ROOT [--update]
"""
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

VARNEL, ROOT = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
UPDATE = "--update" in sys.argv[3:]
SAMPLES = os.path.join(ROOT, "samples")
EXPECTED = os.path.join(ROOT, "tests", "cli_expected")
AREAS = os.path.join(SAMPLES, "weather_areas.dbf")
CASES_TABLE = os.path.join(SAMPLES, "load_case_areas.dbf")
CONDUCTORS = os.path.join(SAMPLES, "conductors.dbf")
AREA3 = "典型气象区Ⅲ"
DESIGN = ["--areas", AREAS, "--area", AREA3, "--conductors", CONDUCTORS,
          "--conductor", "JL/G1A-240/30"]

failures = []


def run(args, cwd=None):
    p = subprocess.run([VARNEL] + args, capture_output=True, cwd=cwd)
    # Paths of this checkout are not part of the expected output.
    out = p.stdout.replace(SAMPLES.encode() + b"/", b"samples/")
    return p.returncode, out, p.stderr.decode("utf-8", "replace")


def expect_output(name, args, cwd=None):
    status, out, err = run(args, cwd)
    path = os.path.join(EXPECTED, name + ".txt")
    if status != 0:
        failures.append(f"{name}: status {status}, stderr {err!r}")
        return out
    if UPDATE:
        with open(path, "wb") as f:
            f.write(out)
        return out
    with open(path, "rb") as f:
        want = f.read()
    if out != want:
        got_lines, want_lines = out.decode().splitlines(), want.decode().splitlines()
        for i, (g, w) in enumerate(zip(got_lines, want_lines)):
            if g != w:
                failures.append(f"{name}: line {i + 1}\n  got:  {g}\n  want: {w}")
                break
        else:
            failures.append(f"{name}: {len(got_lines)} lines, expected {len(want_lines)}")
    return out


def expect_failure(name, args, message):
    status, out, err = run(args)
    if status == 0:
        failures.append(f"{name}: succeeded, expected a failure")
    if out:
        failures.append(f"{name}: printed {out[:80]!r} on standard output")
    lines = err.strip().splitlines()
    if len(lines) != 1 or message not in lines[0]:
        failures.append(f"{name}: stderr {err!r}, expected one line with {message!r}")


def check_svg(name, path, conditions, changes):
    try:
        root = ET.parse(path).getroot()
    except (ET.ParseError, OSError) as e:
        failures.append(f"{name}: {path} is not well-formed XML: {e}")
        return
    ns = "{http://www.w3.org/2000/svg}"
    panels = [g for g in root.iter(ns + "g") if g.get("class") == "panel"]
    if len(panels) != 2:
        failures.append(f"{name}: {len(panels)} panels, expected stress and sag")
    for g in panels:
        curves = [p.get("data-condition") for p in g.iter(ns + "path") if p.get("class") == "curve"]
        if curves != conditions:
            failures.append(f"{name}: panel {g.get('id')} curves {curves}, expected {conditions}")
        marks = [m for m in g.iter(ns + "line") if m.get("class") == "control-change"]
        if len(marks) != changes:
            failures.append(f"{name}: panel {g.get('id')} marks {len(marks)} changes of the "
                            f"controlling condition, expected {changes}")
        texts = "".join(t.text or "" for t in g.iter(ns + "text"))
        for label in ["span (m)"] + conditions:
            if label not in texts:
                failures.append(f"{name}: panel {g.get('id')} lacks the label {label!r}")


NINE = ["低温", "大风", "年平", "覆冰", "高温", "校验", "安装", "外过", "内过"]

expect_output("table_conductors", ["table", CONDUCTORS])
expect_output("table_conductors_csv", ["table", "--csv", CONDUCTORS])
status, raw, _ = run(["table", "--raw", "--csv", CONDUCTORS])
if "钢芯铝绞线".encode("gbk") not in raw:
    failures.append("table --raw: the GBK bytes are not passed through")
expect_output("areas", ["areas", AREAS])
expect_output("areas_load_case_english", ["areas", CASES_TABLE, "--load-case", "--english"])
expect_output("conductors", ["conductors", CONDUCTORS])
expect_output("control_300", ["control"] + DESIGN + ["--span", "300"])
expect_output("control_inclined", ["control"] + DESIGN + [
    "--span", "450", "--cos", "0.9", "--avg-ratio", "0.22", "--strength-factor", "0.9",
    "--safety", "2.25"])
status, raw, _ = run(["control"] + DESIGN + ["--span", "300", "--raw"])
if "是控制工况".encode("gbk") not in raw:
    failures.append("control --raw: the account is not passed through as GBK")
expect_output("wind_pole", ["wind", "pole", "--wind", "25", "--top-diameter", "190",
                            "--top-height", "12", "--taper", "0.075", "--bottom-height", "2"])
expect_output("wind_conductor", ["wind", "conductor", "--wind", "25", "--ice", "10",
                                 "--diameter", "21.6", "--length", "300", "--height", "20"])
expect_output("wind_insulator", ["wind", "insulator", "--wind", "20", "--height", "15",
                                 "--area", "2"])

with tempfile.TemporaryDirectory() as tmp:
    svg = os.path.join(tmp, "sag.svg")
    csv = os.path.join(tmp, "sag.csv")
    # Area VI: 低温 controls the shortest spans, then 年平, then 覆冰.
    area6 = ["--areas", AREAS, "--area", "典型气象区Ⅵ"] + DESIGN[4:]
    out = expect_output("sag_table", ["sag-table"] + area6 + [
        "--spans", "50:800:50", "--svg", "sag.svg", "--csv", "sag.csv"], cwd=tmp)
    check_svg("sag-table", svg, NINE, 2)
    with open(csv, encoding="utf-8") as f:
        rows = f.read().splitlines()
    if len(rows) != 17 or not rows[0].startswith("span_m,controlling,"):
        failures.append(f"sag-table: CSV has {len(rows)} lines, expected a header and 16 spans")

    demo_out = os.path.join(tmp, "demo")
    status, out, err = run(["demo", "--samples", SAMPLES, "--out", demo_out])
    if status != 0:
        failures.append(f"demo: status {status}: {err}")
    else:
        text = out.decode()
        for needle in ["是控制工况。", "Stress, N/mm²", "Sag, m", "SVG written to"]:
            if needle not in text:
                failures.append(f"demo: output lacks {needle!r}")
        check_svg("demo", os.path.join(demo_out, "sag_table.svg"), NINE, 2)

    # Failures: one line naming the file or argument and the reason.
    twelve = os.path.join(SAMPLES, "hb_lines.dbf")
    not_table = os.path.join(tmp, "not_a_table.dbf")
    with open(not_table, "wb") as f:
        f.write(b"this is not a table at all, just text")
    expect_failure("missing file", ["conductors", os.path.join(tmp, "missing.dbf")],
                   "missing.dbf: cannot open")
    expect_failure("not a table", ["table", not_table], "not_a_table.dbf: not a dBASE table")
    expect_failure("wrong field count", ["conductors", twelve],
                   "hb_lines.dbf: 12 fields; a conductor table has 11")
    expect_failure("areas as conductors", ["control", "--areas", CONDUCTORS, "--area", AREA3,
                                           "--conductors", CONDUCTORS, "--conductor", "x",
                                           "--span", "300"],
                   "conductors.dbf: 11 fields; a weather area table has 15")
    expect_failure("unknown area", ["control", "--areas", AREAS, "--area", "Ⅷ",
                                    "--conductors", CONDUCTORS, "--conductor", "JL/G1A-240/30",
                                    "--span", "300"],
                   "no weather area \"Ⅷ\"; there are: 典型气象区Ⅰ, 典型气象区Ⅱ")
    expect_failure("unknown conductor", ["control"] + DESIGN[:6] + ["--conductor", "ACSR",
                                                                     "--span", "300"],
                   "no conductor \"ACSR\"; there are: JL/G1A-240/30, JL/G1A-300/40")
    expect_failure("bad span", ["control"] + DESIGN + ["--span", "3x"],
                   "--span: \"3x\" is not a number")
    expect_failure("negative span", ["control"] + DESIGN + ["--span", "-1"],
                   "--span: \"-1\" must be at least 0")
    expect_failure("bad cosine", ["control"] + DESIGN + ["--span", "300", "--cos", "1.2"],
                   "--cos: \"1.2\" is above 1")
    expect_failure("bad spans", ["sag-table"] + DESIGN + ["--spans", "100:50:10"],
                   "--spans 100:50:10: TO is below FROM")
    expect_failure("spans not numbers", ["sag-table"] + DESIGN + ["--spans", "a:b"],
                   "--spans a:b: expected FROM:TO:STEP")
    expect_failure("zero taper", ["wind", "pole", "--wind", "25", "--top-diameter", "190",
                                  "--top-height", "12", "--taper", "0"],
                   "--taper: \"0\" must be above 0")
    expect_failure("unwritable svg", ["sag-table"] + DESIGN + [
        "--spans", "100:200:100", "--svg", os.path.join(tmp, "no", "such", "dir", "x.svg")],
        "x.svg: cannot write")

if failures:
    print("\n".join(failures))
    print(f"0 passed, {len(failures)} failed")
    sys.exit(1)
print("varnel command: all cases passed")
