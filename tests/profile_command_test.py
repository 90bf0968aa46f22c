"""varnel profile end to end: random lines over random ground, checked against an evaluation of
the curves written here (the catenary's cosh, the inclined parabola) sampled every 0.1 m with
numpy; the tower spans, loads and swing angles from their formulas; and the refusals of bad
input files.

Run by ctest with VARNEL (the program) and VARNEL_ROOT (the source tree) in the environment.
"""
import csv
import json
import math
import os
import random
import subprocess

import numpy as np
import pytest

VARNEL = os.path.abspath(os.environ["VARNEL"])
SAMPLES = os.path.join(os.environ["VARNEL_ROOT"], "samples")
DESIGN = ["--areas", os.path.join(SAMPLES, "weather_areas.dbf"), "--area", "典型气象区Ⅵ",
          "--conductors", os.path.join(SAMPLES, "conductors.dbf"), "--conductor", "JL/G1A-240/30"]
G = 9.80665
UNIT_MASS = 922.2  # kg/km, JL/G1A-240/30 in the sample table
DIAMETER = 21.6    # mm
AREA = 275.96      # mm²
SWING_CONDITIONS = ("大风", "外过", "内过")  # where the practice checks the strings' swing

# The wind height coefficient μz of terrain B normalised to 15 m (the conductor's and the
# string's wind routines), and its 10 m table's 1.14 at 15 m.
MU_Z_HEIGHTS = [10, 15, 20, 30, 40, 50, 60, 70, 80, 90, 100, 150, 200, 250, 300, 350, 400, 450]
MU_Z_15 = [0.88, 1.00, 1.10, 1.25, 1.37, 1.47, 1.56, 1.64, 1.71, 1.77, 1.84, 2.09, 2.29, 2.46,
           2.61, 2.74, 2.74, 2.74]
AT_15 = math.sqrt(1.14)


def load_alpha(v10):
    """GB 50545-2010 Table 10.1.18-1, the row for the towers' loads."""
    return 1.0 if v10 < 20 else 0.85 if v10 < 27 else 0.75 if v10 < 31.5 else 0.70


def clearance_alpha(v10):
    """GB 50545-2010 Table 10.1.18-1, the row for the electrical clearance (swing)."""
    return 1.0 if v10 < 20 else 0.75 if v10 < 27 else 0.61


def conductor_wind(v10, ice, length, height, alpha):
    """The conductor's wind, N: μsc·μz·W0·α·L·d, W0 = v15²/1600 kN/m², at the arm's height."""
    shape = 1.2 if ice else (1.1 if DIAMETER >= 17 else 1.2)
    mu_z = float(np.interp(max(height, 1.0), MU_Z_HEIGHTS, MU_Z_15))
    ice_factor = 1.5 if ice >= 20 else 1.0
    return shape * mu_z * (v10 * AT_15) ** 2 / 1600 * alpha * ice_factor * length * DIAMETER


def run(args, area="典型气象区Ⅵ"):
    design = [area if a == "典型气象区Ⅵ" else a for a in DESIGN]
    p = subprocess.run([VARNEL, "profile"] + design + args, capture_output=True, timeout=120)
    return p.returncode, p.stdout.decode("utf-8"), p.stderr.decode("utf-8", "replace")


def write_csv(path, header, rows):
    with open(path, "w", newline="", encoding="utf-8") as f:
        w = csv.writer(f)
        w.writerow(header)
        w.writerows(rows)
    return str(path)


def grid(x):
    """Stations on a 0.1 m grid, so that sampling every 0.1 m meets every kink of the ground."""
    return round(x * 10) / 10


def random_line(tmp_path, seed, towers=10):
    rng = random.Random(seed)
    stations = [0.0]
    for _ in range(towers - 1):
        stations.append(grid(stations[-1] + rng.uniform(250, 550)))
    terrain, s, e = [], -20.0, 100.0
    while s < stations[-1] + 20:
        terrain.append((s, round(e, 3)))
        d = grid(rng.uniform(5, 60))
        s = grid(s + d)
        e += rng.uniform(-0.25, 0.25) * d
    terrain.append((s, round(e, 3)))
    rows = []
    for i, st in enumerate(stations):
        strain = i in (0, towers - 1) or i % 4 == 0
        rows.append([f"T{i + 1}", st, "strain" if strain else "suspension",
                     round(rng.uniform(24, 40), 2), 0 if strain else 2.5,
                     round(rng.uniform(300, 900)), "" if strain else 50])
    crossings = []
    for j in range(3):
        x = grid(rng.uniform(stations[0] + 1, stations[-1] - 1))
        ground = float(np.interp(x, [t[0] for t in terrain], [t[1] for t in terrain]))
        crossings.append([f"X{j + 1}", x, round(ground + rng.uniform(0, 8), 2), 6,
                          "" if j != 2 else 10])
    files = [
        "--terrain", write_csv(tmp_path / "terrain.csv", ["station_m", "elevation_m"], terrain),
        "--towers", write_csv(tmp_path / "towers.csv",
                              ["name", "station_m", "kind", "arm_height_m", "insulator_length_m",
                               "insulator_weight_N", "max_swing_deg"], rows),
        "--crossings", write_csv(tmp_path / "crossings.csv",
                                 ["name", "station_m", "elevation_m", "clearance_m", "offset_m"],
                                 crossings)]
    return files, np.array(terrain), rows


class Curve:
    """A span's conductor in the vertical plane, written from the textbook formulas."""

    def __init__(self, model, l, h, sigma, gamma):
        self.model, self.l, self.h = model, l, h
        p = sigma / gamma
        if model == "catenary":
            # y = p·(cosh((x − a)/p) − cosh(a/p)) through (0, 0) and (l, h)
            self.a = l / 2 - p * math.asinh(h / (2 * p * math.sinh(l / (2 * p))))
            self.p = p
        else:
            # the inclined parabola: k·x·(l − x) below the chord, k = γ/(2σ·cos β)
            self.k = 1 / (2 * p * (l / math.hypot(l, h)))
            self.a = l / 2 - h / (2 * self.k * l)

    def height(self, x):
        if self.model == "catenary":
            return self.p * (np.cosh((x - self.a) / self.p) - math.cosh(self.a / self.p))
        return self.h * x / self.l - self.k * x * (self.l - x)


def checked(tmp_path, seed, model):
    files, terrain, rows = random_line(tmp_path, seed)
    status, out, err = run(files + ["--json", "--model", model])
    assert status == 0, err
    assert err == ""
    return json.loads(out), terrain, rows


@pytest.mark.parametrize("model", ["catenary", "parabola"])
@pytest.mark.parametrize("seed", [1, 2, 3, 4])
def test_random_lines_against_sampled_curves(tmp_path, seed, model):
    doc, terrain, rows = checked(tmp_path, seed, model)
    assert doc["model"] == model
    conditions = doc["conditions"]
    # The vertical specific load: the conductor and its ice sleeve (0.9 g/cm³), per mm².
    for c in conditions:
        b = c["ice_mm"]
        own = (UNIT_MASS * G / 1000 + 0.9 * math.pi * G / 1000 * b * (DIAMETER + b)) / AREA
        assert c["vertical_load_N_per_m_mm2"] == pytest.approx(own, rel=1e-12)
    sections = doc["sections"]
    spans = doc["spans"]
    assert len(spans) == len(rows) - 1

    def curve(i, k):
        s = spans[i]
        return Curve(model, s["span_m"], s["height_difference_m"],
                     sections[s["section"]]["stress_N_per_mm2"][k],
                     conditions[k]["vertical_load_N_per_m_mm2"])

    for i, s in enumerate(spans):
        k = s["max_sag_condition"]["index"]
        c = curve(i, k)
        near = rows[i][1]
        x = np.arange(0, s["span_m"] + 0.05, 0.1)
        x[-1] = min(x[-1], s["span_m"])
        clearance = s["near_attachment_m"] + c.height(x) - np.interp(near + x, terrain[:, 0],
                                                                      terrain[:, 1])
        sampled = clearance.min()
        assert s["min_clearance_m"] <= sampled + 1e-9, (seed, i)
        assert s["min_clearance_m"] > sampled - 1e-3, (seed, i)
        assert s["low_point_station_m"] == pytest.approx(near + c.a, abs=1e-6)
        for x in s["crossings"]:
            if x["condition"]["index"] != k:
                continue  # swung out by a wind
            crossing = next(r for r in x_rows(tmp_path) if r["name"] == x["name"])
            if crossing["offset_m"]:
                continue
            top = float(crossing["elevation_m"])
            at = x["station_m"] - near
            assert x["clearance_m"] == pytest.approx(
                s["near_attachment_m"] + float(c.height(at)) - top, abs=1e-6)
            assert x["ok"] == (x["clearance_m"] >= x["required_m"])

    for t, tower in enumerate(doc["towers"]):
        insulator = float(rows[t][5])
        suspension = rows[t][2] == "suspension"
        for k, cond in enumerate(conditions):
            lv = 0.0
            if t > 0:
                c = curve(t - 1, k)
                lv += c.l - c.a
            if t + 1 < len(doc["towers"]):
                lv += curve(t, k).a
            assert tower["vertical_span_m"][k] == pytest.approx(lv, abs=1e-6), (t, k)
            weight = cond["vertical_load_N_per_m_mm2"] * AREA
            strings = 1 if suspension else (0.5 if t in (0, len(rows) - 1) else 1)
            assert tower["vertical_load_N"][k] == pytest.approx(weight * lv + strings * insulator,
                                                                rel=1e-9)
            # No string area and no line angle: the horizontal load is the conductor's wind over
            # the wind span at 15 m with the loads' α, the swing the same with the clearance's.
            v, ice = cond["wind_m_per_s"], cond["ice_mm"]
            arm, span = float(rows[t][3]), tower["horizontal_span_m"]
            assert tower["horizontal_load_N"][k] == pytest.approx(
                conductor_wind(v, ice, span, arm, load_alpha(v)), rel=1e-12, abs=1e-9)
            if suspension:
                push = conductor_wind(v, ice, span, arm, clearance_alpha(v))
                down = insulator / 2 + weight * lv
                phi = math.degrees(math.atan(push / down)) if down > 0 else None
                assert tower["swing_angle_deg"][k] == pytest.approx(phi, abs=1e-9)
            else:
                assert tower["swing_angle_deg"] is None
        if suspension:
            judged = [a for a, c in zip(tower["swing_angle_deg"], conditions)
                       if c["name"] in SWING_CONDITIONS and a is not None]
            swung = [v for v in doc["violations"] if v["kind"] == "swing" and v["where"] == rows[t][0]]
            assert len(swung) == (1 if max(judged) > 50 else 0)
            if swung:
                assert swung[0]["value"] == max(judged) and swung[0]["limit"] == 50
            pulled = [insulator / 2 + conditions[k]["vertical_load_N_per_m_mm2"] * AREA * lv <= 0
                      for k, lv in enumerate(tower["vertical_span_m"])]
            assert tower["uplift"] == any(pulled)
            assert tower["ok"] == (not swung and not tower["uplift"])

    if model == "catenary":
        # The stress along the conductor at a support, σ₀·cosh((x − a)/p), under the resultant
        # load in the plane of that load and the chord (span √(l² + h²·sin²η), height difference
        # h·cos η, cos η = γ_v/γ), the largest over both supports and every condition.
        allowable = doc["suspension_point_allowable_N_per_mm2"]
        for i, s in enumerate(spans):
            largest = 0
            for k, cond in enumerate(conditions):
                sigma = sections[s["section"]]["stress_N_per_mm2"][k]
                gamma = cond["specific_load_N_per_m_mm2"]
                cos_eta = cond["vertical_load_N_per_m_mm2"] / gamma
                l, h = s["span_m"], s["height_difference_m"]
                c = Curve(model, math.sqrt(l * l + h * h * (1 - cos_eta * cos_eta)), h * cos_eta,
                          sigma, gamma)
                reach = max(abs(c.a), abs(c.l - c.a))
                largest = max(largest, sigma * math.cosh(reach / c.p))
            assert s["support_stress_N_per_mm2"] == pytest.approx(largest, rel=1e-9)
            flagged = [v for v in doc["violations"] if v["kind"] == "suspension_point"
                       and v["where"] == f"{s['from']}-{s['to']}"]
            assert len(flagged) == (1 if largest > allowable else 0)


def x_rows(tmp_path):
    with open(tmp_path / "crossings.csv", encoding="utf-8") as f:
        return list(csv.DictReader(f))


def test_sunk_tower_is_pulled_up_and_flagged(tmp_path):
    terrain = write_csv(tmp_path / "t.csv", ["station_m", "elevation_m"],
                        [(0, 100), (426, 10), (914, 100)])
    towers = write_csv(tmp_path / "w.csv",
                       ["name", "station_m", "kind", "arm_height_m", "insulator_length_m",
                        "insulator_weight_N"],
                       [("A", 0, "strain", 30, 0, 600), ("B", 426, "suspension", 32.5, 2.5, 600),
                        ("C", 914, "strain", 30, 0, 600)])
    status, out, err = run(["--terrain", terrain, "--towers", towers, "--json",
                            "--csv", str(tmp_path / "out")])
    assert status == 0, err
    doc = json.loads(out)
    b = doc["towers"][1]
    assert b["uplift"] and b["vertical_span_m"][0] < 0  # the coldest, 低温 −20 °C
    assert [v["kind"] for v in doc["violations"]] == ["uplift"]
    v = doc["violations"][0]
    assert v["where"] == "B"
    # Pulled up where the conductor's weight over l_v and half the string's are not downward:
    # no swing angle, the net upward load instead.
    worst = None
    for k, c in enumerate(doc["conditions"]):
        down = c["vertical_load_N_per_m_mm2"] * AREA * b["vertical_span_m"][k] + 300
        if down <= 0:
            assert b["swing_angle_deg"][k] is None
            assert b["uplift_load_N"][k] == pytest.approx(-down, rel=1e-12)
            if worst is None or b["vertical_span_m"][k] < b["vertical_span_m"][worst]:
                worst = k
        else:
            assert b["uplift_load_N"][k] is None and 0 <= b["swing_angle_deg"][k] < 90
    assert v["condition"]["index"] == worst and v["value"] == b["vertical_span_m"][worst]
    assert v["load_N"] == b["uplift_load_N"][worst]
    with open(tmp_path / "out" / "towers.csv", encoding="utf-8-sig", newline="") as f:
        rows = [r for r in csv.DictReader(f) if r["name"] == "B"]
    for k, row in enumerate(rows):
        lifted = b["uplift_load_N"][k] is not None
        assert row["uplift"] == ("yes" if lifted else "no")
        assert (row["swing_angle_deg"] == "") == lifted
        assert (row["uplift_load_N"] == "") == (not lifted)
    status, out, err = run(["--terrain", terrain, "--towers", towers])
    assert status == 0 and out.endswith("1 violation\n")
    line = next(x for x in out.splitlines() if x.startswith("B "))
    assert " - " in line and "uplift" in line  # no swing; the upward load


def test_csv_folder_holds_the_same_figures(tmp_path):
    files, _, rows = random_line(tmp_path, 7)
    status, out, err = run(files + ["--json", "--ground-clearance", "12",
                                    "--csv", str(tmp_path / "out")])
    assert status == 0, err
    doc = json.loads(out)
    read = {}
    for name in ("spans", "towers", "violations"):
        with open(tmp_path / "out" / f"{name}.csv", encoding="utf-8-sig", newline="") as f:
            read[name] = list(csv.DictReader(f))
    assert len(read["spans"]) == len(doc["spans"])
    assert len(read["towers"]) == len(doc["towers"]) * len(doc["conditions"])
    assert len(read["violations"]) == len(doc["violations"]) > 0
    for row, span in zip(read["spans"], doc["spans"]):
        assert float(row["min_clearance_m"]) == span["min_clearance_m"]
        assert (row["ok"] == "yes") == span["ok"]
    for row, v in zip(read["violations"], doc["violations"]):
        assert (row["kind"], row["where"], float(row["value"])) == (v["kind"], v["where"],
                                                                     v["value"])


TERRAIN = "station_m,elevation_m\r\n0,100\r\n500,105\r\n1000,100\r\n"
TOWERS_HEADER = "name,station_m,kind,arm_height_m,insulator_length_m,insulator_weight_N\r\n"
GOOD_TOWERS = TOWERS_HEADER + "A,0,strain,30,0,600\r\nB,500,suspension,32,2.5,600\r\nC,1000,strain,30,0,600\r\n"


@pytest.mark.parametrize("which,text,line,reason", [
    ("terrain", "station_m,elevation_m\n0,1\n10,2\n5,3\n", 4, "stations must increase"),
    ("terrain", "station,elevation_m\n0,1\n", 1, "unknown column"),
    ("terrain", "elevation_m\n0\n", 1, "missing column station_m"),
    ("terrain", "station_m,elevation_m\n0,1\n10,x\n", 3, "is not a number"),
    ("towers", TOWERS_HEADER + "A,0,strain,30,0,600\nB,1200,strain,30,0,600\n", 3,
     "off the terrain"),
    ("towers", TOWERS_HEADER + "A,0,strain,30,0,600\nB,0,strain,30,0,600\n", 3,
     "stations must increase"),
    ("towers", TOWERS_HEADER + "A,0,strain,30,0,600\n", 2, "strain section of one tower"),
    ("towers", TOWERS_HEADER + "A,0,strain,30,0,600\nB,500,strain,-2,0,600\n", 3,
     "a negative height"),
    ("towers", TOWERS_HEADER + "A,0,strain,30,0,600\nB,500,tension,30,0,600\n", 3,
     "unknown kind"),
    ("towers", TOWERS_HEADER + "A,0,suspension,30,0,600\nB,500,strain,30,0,600\n", 2,
     "first tower must be a strain tower"),
    ("towers", TOWERS_HEADER + "A,0,strain,30,0,600\nB,500,suspension,30,0,600\n", 3,
     "last tower must be a strain tower"),
    ("towers", TOWERS_HEADER + "A,0,strain,30,0,600\nA,500,suspension,30,2.5,600\n"
     "C,1000,strain,30,0,600\n", 3, "named on line 2 already"),
    ("towers", TOWERS_HEADER.replace("\r\n", ",angle_deg\r\n") + "A,0,strain,30,0,600,0\n"
     "B,500,suspension,30,2.5,600,90\nC,1000,strain,30,0,600,0\n", 3,
     "no string takes 90 degrees"),
    ("towers", TOWERS_HEADER.replace("\r\n", ",angle_deg,max_angle_deg\r\n") +
     "A,0,strain,30,0,600,0,\nB,500,suspension,30,2.5,600,12,10\nC,1000,strain,30,0,600,0,\n", 3,
     "more than the 10 its type takes"),
    ("towers", TOWERS_HEADER.replace("\r\n", ",max_swing_大雨_deg\r\n") +
     "A,0,strain,30,0,600,\nB,500,suspension,30,2.5,600,40\nC,1000,strain,30,0,600,\n", 1,
     "the area has no condition \"大雨\"; its conditions are 低温, 大风, 年平"),
    ("towers", TOWERS_HEADER.replace("\r\n", ",max_swing_大风_deg\r\n") +
     "A,0,strain,30,0,600,\nB,500,suspension,30,2.5,600,95\nC,1000,strain,30,0,600,\n", 3,
     "at most 90 degrees"),
    ("towers", TOWERS_HEADER.replace("\r\n", ",max_swing_大风_deg,max_swing_大风_deg\r\n") +
     "A,0,strain,30,0,600,,\nB,500,suspension,30,2.5,600,40,50\nC,1000,strain,30,0,600,,\n", 1,
     "column 8: max_swing_大风_deg named twice"),
    ("crossings", "name,station_m,elevation_m,clearance_m\nroad,1500,100,7\n", 2,
     "off the line"),
    ("crossings", "name,station_m,elevation_m\nroad,500,100\n", 1, "missing column clearance_m"),
])
def test_bad_input_files(tmp_path, which, text, line, reason):
    paths = {}
    for name, content in (("terrain", TERRAIN), ("towers", GOOD_TOWERS),
                          ("crossings", "name,station_m,elevation_m,clearance_m\n")):
        path = tmp_path / f"{name}.csv"
        path.write_bytes((text if name == which else content).encode("utf-8"))
        paths[name] = str(path)
    status, out, err = run(["--terrain", paths["terrain"], "--towers", paths["towers"],
                            "--crossings", paths["crossings"]])
    assert status == 1
    assert out == ""
    assert err.count("\n") == 1 and err.startswith("varnel: ")
    assert f"{paths[which]}: line {line}" in err
    assert reason in err


def test_gbk_names_crlf_and_a_bom(tmp_path):
    terrain = tmp_path / "terrain.csv"
    terrain.write_bytes(b"\xef\xbb\xbf" + TERRAIN.encode())
    towers = tmp_path / "towers.csv"
    towers.write_bytes(GOOD_TOWERS.replace("B,", "\u5854B,").encode("gbk"))  # 塔B
    status, out, err = run(["--terrain", str(terrain), "--towers", str(towers), "--json"])
    assert status == 0, err
    assert [t["name"] for t in json.loads(out)["towers"]] == ["A", "\u5854B", "C"]


def test_bad_command_line_is_status_2(tmp_path):
    status, out, err = run(["--terrain", "t.csv", "--towers", "w.csv", "--model", "spline"])
    assert status == 2 and out == ""
    status, out, err = run(["--terrain", "t.csv", "--towers", "w.csv", "--ground-clearance",
                            "-1"])
    assert status == 2 and out == ""


def three_towers(tmp_path):
    terrain = write_csv(tmp_path / "t.csv", ["station_m", "elevation_m"], [(0, 100), (900, 100)])
    towers = write_csv(tmp_path / "w.csv",
                       ["name", "station_m", "kind", "arm_height_m", "insulator_length_m",
                        "insulator_weight_N"],
                       [("A", 0, "strain", 30, 0, 600), ("B", 420, "suspension", 32.5, 2.5, 600),
                        ("C", 900, "strain", 30, 0, 600)])
    return ["--terrain", terrain, "--towers", towers]


def test_max_temperature_is_a_condition_and_the_largest_sag_when_hot(tmp_path):
    status, out, err = run(three_towers(tmp_path) + ["--json", "--max-temperature", "80"])
    assert status == 0, err
    doc = json.loads(out)
    last = doc["conditions"][-1]
    assert (last["name"], last["temperature_degC"], last["ice_mm"], last["wind_m_per_s"]) == (
        "导线温度 80 °C", 80, 0, 0)
    assert doc["sections"][0]["max_sag_condition"]["index"] == len(doc["conditions"]) - 1
    # Cooler than the area's 40 °C, it is not the largest sag.
    status, out, err = run(three_towers(tmp_path) + ["--json", "--max-temperature", "10"])
    cool = json.loads(out)
    assert cool["sections"][0]["max_sag_condition"]["name"] != cool["conditions"][-1]["name"]
    assert doc["spans"][0]["max_sag_m"] > cool["spans"][0]["max_sag_m"]


def test_current_is_the_temperature_varnel_thermal_gives(tmp_path):
    weather = ["--ambient", "40", "--wind", "0.5", "--solar", "1000"]
    p = subprocess.run([VARNEL, "thermal"] + DESIGN[4:] + weather + ["--current", "700", "--json"],
                       capture_output=True, timeout=60)
    assert p.returncode == 0, p.stderr
    hot = json.loads(p.stdout)["temperature_degC"]
    status, out, err = run(three_towers(tmp_path) + weather + ["--current", "700", "--json"])
    assert status == 0, err
    doc = json.loads(out)
    assert doc["conditions"][-1]["temperature_degC"] == hot
    status, out, err = run(three_towers(tmp_path) + ["--json", "--max-temperature", repr(hot)])
    same = json.loads(out)
    assert same["towers"][1]["vertical_span_m"] == doc["towers"][1]["vertical_span_m"]


SAMPLE = ["--terrain", os.path.join(SAMPLES, "profile", "terrain.csv"),
          "--towers", os.path.join(SAMPLES, "profile", "towers.csv"),
          "--crossings", os.path.join(SAMPLES, "profile", "crossings.csv"),
          "--ground-clearance", "7"]


def wind(args):
    p = subprocess.run([VARNEL, "wind"] + args + ["--json"], capture_output=True, timeout=60)
    assert p.returncode == 0, p.stderr
    return json.loads(p.stdout)["load_kN"]


def test_sample_n2_takes_the_wind_commands_at_15_m(tmp_path):
    """N2's horizontal load in 大风 is `varnel wind conductor` + `wind insulator` at 15 m."""
    status, out, err = run(SAMPLE + ["--json"])
    assert status == 0, err
    doc = json.loads(out)
    assert doc["wind"]["reference_height_m"] == 10 and doc["wind"]["terrain_class"] == "B"
    strong = doc["conditions"][1]
    assert strong["name"] == "大风" and strong["wind_m_per_s"] == 23.5
    v15 = strong["wind_15m_m_per_s"]
    assert v15 == pytest.approx(23.5 * math.sqrt(1.14), rel=1e-15)  # 25.0911 m/s
    n2 = doc["towers"][1]
    conductor = wind(["conductor", "--wind", repr(v15), "--diameter", "21.6", "--length",
                      repr(n2["horizontal_span_m"]), "--height", "24"])
    insulator = wind(["insulator", "--wind", repr(v15), "--height", "24", "--area", "0"])
    # The library's α at 25.09 m/s (0.85) is the design code's at 23.5 m/s.
    assert n2["horizontal_load_N"][1] == pytest.approx(1000 * (conductor + insulator), rel=1e-15)
    # N8, in the valley: 72.1° in 大风 against its 55°, with the clearance's α 0.75 at 23.5 m/s
    # (1.1 × μz(21 m) 1.115 × 25.09²/1600 × 0.75 × 382.5 × 21.6 = 2,990.4 N over half its 520 N
    # string and the conductor's weight over its 78.2 m weight span).
    n8 = doc["towers"][7]
    lv = n8["vertical_span_m"][1]
    assert doc["conditions"][1]["alpha_clearance"] == 0.75
    push = conductor_wind(23.5, 0, 382.5, 21, 0.75)
    assert push == pytest.approx(2990.4, abs=0.05)
    expected = math.degrees(math.atan(push / (260 + UNIT_MASS * G / 1000 * lv)))
    assert n8["swing_angle_deg"][1] == pytest.approx(expected, abs=1e-9)
    assert round(expected, 1) == 72.1
    status, out, err = run(SAMPLE)
    assert "the area's speeds at 10 m, terrain B" in out


def test_wind_height_and_fixed_alphas(tmp_path):
    base = three_towers(tmp_path)
    status, out, err = run(base + ["--json"], area="典型气象区Ⅰ")
    assert status == 0, err
    ten = json.loads(out)
    status, out, err = run(base + ["--json", "--wind-height", "15"], area="典型气象区Ⅰ")
    assert status == 0, err
    fifteen = json.loads(out)
    assert fifteen["wind"]["reference_height_m"] == 15
    b10, b15 = ten["towers"][1], fifteen["towers"][1]
    for k, (c10, c15) in enumerate(zip(ten["conditions"], fifteen["conditions"])):
        v = c10["wind_m_per_s"]
        assert c10["wind_15m_m_per_s"] == pytest.approx(v * math.sqrt(1.14), rel=1e-15)
        assert c15["wind_15m_m_per_s"] == v
        v10 = v / math.sqrt(1.14)
        assert c15["wind_10m_m_per_s"] == pytest.approx(v10, rel=1e-15)
        # 大风 of area I, 31.5 m/s: α 0.70 at 10 m; at 15 m it is 29.5 m/s at 10 m: 0.75.
        assert c15["alpha_loads"] == load_alpha(v10)
        assert b15["horizontal_load_N"][k] == pytest.approx(
            conductor_wind(v10, 0, 420 / 2 + 480 / 2, 32.5, load_alpha(v10)), rel=1e-12)
    assert (ten["conditions"][1]["alpha_loads"], fifteen["conditions"][1]["alpha_loads"]) == (
        0.70, 0.75)
    status, out, err = run(base + ["--json", "--alpha-loads", "0.5", "--alpha-clearance", "0.4"])
    assert status == 0, err
    fixed = json.loads(out)
    b = fixed["towers"][1]
    for k, c in enumerate(fixed["conditions"]):
        v, lv = c["wind_m_per_s"], b["vertical_span_m"][k]
        assert b["horizontal_load_N"][k] == pytest.approx(conductor_wind(v, c["ice_mm"], 450, 32.5,
                                                                         0.5), rel=1e-12)
        push = conductor_wind(v, c["ice_mm"], 450, 32.5, 0.4)
        assert b["swing_angle_deg"][k] == pytest.approx(
            math.degrees(math.atan(push / (300 + c["vertical_load_N_per_m_mm2"] * AREA * lv))),
            abs=1e-9)
    for bad in (["--wind-height", "12"], ["--alpha-loads", "0"], ["--alpha-clearance", "1.1"]):
        status, out, err = run(base + bad)
        assert status == 2 and out == "", bad


def test_kinds_in_chinese_per_condition_limits_and_a_ground_warning(tmp_path):
    terrain = tmp_path / "terrain.csv"
    terrain.write_text(TERRAIN, encoding="utf-8")
    towers = tmp_path / "towers.csv"
    towers.write_text("name,station_m,kind,arm_height_m,insulator_length_m,insulator_weight_N,"
                      "ground_elevation_m,max_swing_deg,max_swing_外过_deg\n"
                      "A,0,耐张,30,0,600,100,,\nB,500,直线,32,2.5,600,112,89,1\n"
                      "C,1000,耐张,30,0,600,,,\n", encoding="gbk")
    status, out, err = run(["--terrain", str(terrain), "--towers", str(towers), "--json"])
    assert status == 0, err
    doc = json.loads(out)
    assert [t["kind"] for t in doc["towers"]] == ["strain", "suspension", "strain"]
    # B stands 7 m above the terrain's 105 m: warned, both figures; A on it is not.
    assert err == ("varnel: warning: " + str(towers) + ": line 3: tower B stands at 112 m "
                   "(ground_elevation_m), 7.00 m from the terrain's 105.00 m at its station "
                   "500 m\n")
    b = doc["towers"][1]
    names = [c["name"] for c in doc["conditions"]]
    assert b["swing_limit_deg"] == [89 if n in ("大风", "内过") else 1 if n == "外过" else None
                                    for n in names]
    swing = [v for v in doc["violations"] if v["kind"] == "swing"]
    assert len(swing) == 1 and swing[0]["condition"]["name"] == "外过" and swing[0]["limit"] == 1


@pytest.mark.parametrize("model", ["catenary", "parabola"])
def test_crossing_beside_the_line_hangs_between_swung_clamps(tmp_path, model):
    """A house beside a steep span between suspension towers of unequal swing: the least distance
    to the conductor hung between the clamps moved by the strings (λ·sin φ aside, λ·(1 − cos φ)
    up), in the plane of its chord and its load (vectors here), sampled every 1 cm."""
    terrain = write_csv(tmp_path / "t.csv", ["station_m", "elevation_m"],
                        [(0, 100), (400, 100), (800, 160), (1200, 160)])
    towers = write_csv(tmp_path / "w.csv",
                       ["name", "station_m", "kind", "arm_height_m", "insulator_length_m",
                        "insulator_weight_N"],
                       [("A", 0, "strain", 30, 0, 600), ("B", 400, "suspension", 32.5, 2.5, 600),
                        ("C", 800, "suspension", 40, 3.5, 900),
                        ("D", 1200, "strain", 30, 0, 600)])
    crossings = write_csv(tmp_path / "x.csv",
                          ["name", "station_m", "elevation_m", "clearance_m", "offset_m"],
                          [("house", 590, 137, 5, 14)])
    status, out, err = run(["--terrain", terrain, "--towers", towers, "--crossings", crossings,
                            "--json", "--model", model])
    assert status == 0, err
    doc = json.loads(out)
    span = doc["spans"][1]
    sigma = doc["sections"][0]["stress_N_per_mm2"]
    lengths = {1: 2.5, 2: 3.5}
    least = math.inf
    for k, c in enumerate(doc["conditions"]):
        v, ice = c["wind_m_per_s"], c["ice_mm"]
        if v == 0 and k != span["max_sag_condition"]["index"]:
            continue
        gv = c["vertical_load_N_per_m_mm2"]
        # The conductor's wind on a metre of it, as on the towers (at 15 m's speed, μz at the
        # mean of the arms, 32.5 and 40 m), with the clearance's α, per mm².
        gh = conductor_wind(v, ice, 1, (32.5 + 40) / 2, clearance_alpha(v)) / AREA
        u = np.array([0.0, gh, -gv]) / math.hypot(gv, gh)  # the load's direction
        clamps = []
        for t, z in ((1, span["near_attachment_m"]), (2, span["far_attachment_m"])):
            phi = math.radians(doc["towers"][t]["swing_angle_deg"][k]) if v else 0.0
            lam = lengths[t]
            clamps.append(np.array([0.0, lam * math.sin(phi), z + lam * (1 - math.cos(phi))]))
        chord = clamps[1] - clamps[0]
        chord[0] = span["span_m"]
        rise = -float(chord @ u)  # against the load
        across = float(np.linalg.norm(chord + rise * u))
        curve = Curve(model, across, rise, sigma[k], math.hypot(gv, gh))
        t = np.linspace(0, 1, int(span["span_m"] / 0.01) + 1)
        sag = rise * t - curve.height(t * across)
        points = clamps[0] + np.outer(t, chord) + np.outer(sag, u)
        house = np.array([590 - 400, 14, 137])
        least = min(least, float(np.min(np.linalg.norm(points - house, axis=1))))
    got = span["crossings"][0]["clearance_m"]
    assert least - 1e-3 < got <= least + 1e-9


# --solve max-temperature: one level span between two strain towers over flat ground, the
# highest conductor temperature at which its middle keeps the ground clearance.
SOLVE_SPAN = 420.0  # m
SOLVE_ARM = 24.0    # m


def level_span(tmp_path, crossings=None):
    terrain = write_csv(tmp_path / "t.csv", ["station_m", "elevation_m"],
                        [(-10, 100), (SOLVE_SPAN + 10, 100)])
    towers = write_csv(tmp_path / "w.csv",
                       ["name", "station_m", "kind", "arm_height_m", "insulator_length_m",
                        "insulator_weight_N"],
                       [("A", 0, "strain", SOLVE_ARM, 0, 600),
                        ("B", SOLVE_SPAN, "strain", SOLVE_ARM, 0, 600)])
    files = ["--terrain", terrain, "--towers", towers]
    if crossings:
        files += ["--crossings", write_csv(tmp_path / "x.csv",
                                           ["name", "station_m", "elevation_m", "clearance_m"],
                                           crossings)]
    return files


def known_state(doc):
    """The section's controlling state as the check strung it: (γ, t, σ)."""
    section = doc["sections"][0]
    k = section["controlling"]["index"]
    c = doc["conditions"][k]
    return (c["specific_load_N_per_m_mm2"], c["temperature_degC"],
            section["control_stress_N_per_mm2"])


BARE = UNIT_MASS * G / 1000 / AREA  # N/(m·mm²), the conductor in still air without ice


def parabola_temperature(doc, sag):
    """The state equation solved for t (it is linear in t), the level span's mid-span sag
    γ·l²/(8σ) at `sag`: σ − E·γ²·l²/(24σ²) = σm − E·γm²·l²/(24σm²) − α·E·(t − tm)."""
    e = doc["conductor"]["elastic_modulus_N_per_mm2"]
    alpha = doc["conductor"]["expansion_per_degC"]
    gm, tm, sm = known_state(doc)
    l = SOLVE_SPAN
    sigma = BARE * l * l / (8 * sag)
    known = sm - e * gm * gm * l * l / (24 * sm * sm)
    sought = sigma - e * BARE * BARE * l * l / (24 * sigma * sigma)
    return tm + (known - sought) / (alpha * e)


def catenary_temperature(doc, sag):
    """In 40 digits: the stress whose catenary sags `sag` at mid-span, p·(cosh(l/2p) − 1), then
    the temperature at which the span's unstressed length ∫cosh z/(1 + α(t − 20) + (σ/E)cosh z)dx
    is the controlling state's."""
    mp = pytest.importorskip("mpmath")
    mp.mp.dps = 40
    e = mp.mpf(doc["conductor"]["elastic_modulus_N_per_mm2"])
    alpha = mp.mpf(doc["conductor"]["expansion_per_degC"])
    gm, tm, sm = (mp.mpf(x) for x in known_state(doc))
    l = mp.mpf(SOLVE_SPAN)

    def unstressed(sigma, gamma, t):
        p = sigma / gamma
        return mp.quad(lambda x: mp.cosh((x - l / 2) / p)
                       / (1 + alpha * (t - 20) + sigma / e * mp.cosh((x - l / 2) / p)), [0, l])

    p = mp.findroot(lambda q: q * (mp.cosh(l / (2 * q)) - 1) - sag, l * l / (8 * sag))
    target = unstressed(sm, gm, tm)
    sigma = p * mp.mpf(BARE)
    return float(mp.findroot(lambda t: unstressed(sigma, mp.mpf(BARE), t) - target, mp.mpf(60)))


def thermal_current(temperature, weather):
    p = subprocess.run([VARNEL, "thermal"] + DESIGN[4:] + weather +
                       ["--max-temperature", repr(temperature), "--json"],
                       capture_output=True, timeout=60)
    assert p.returncode == 0, p.stderr
    return json.loads(p.stdout)["current_A"]


@pytest.mark.parametrize("model", ["parabola", "catenary"])
def test_solve_max_temperature_against_the_state_equation_by_hand(tmp_path, model):
    weather = ["--ambient", "35", "--wind", "0.6", "--solar", "900"]
    required = 8.5
    status, out, err = run(level_span(tmp_path) + ["--model", model, "--ground-clearance",
                                                   repr(required), "--solve", "max-temperature",
                                                   "--json"] + weather)
    assert status == 0, err
    doc = json.loads(out)
    solve = doc["solve"]
    by_hand = (parabola_temperature if model == "parabola" else catenary_temperature)(
        doc, SOLVE_ARM - required)
    assert 40 < by_hand < 250  # hotter than the area's 高温, within the range searched
    assert solve["temperature_degC"] == pytest.approx(by_hand, abs=2e-6)
    assert solve["beyond"] is None and solve["searched_degC"] == [-40, 250]
    assert solve["limiting"] == 0 and len(solve["items"]) == 1
    item = solve["items"][0]
    assert (item["kind"], item["span"], item["crossing"], item["required_m"]) == (
        "ground", "A-B", None, required)
    assert item["station_m"] == pytest.approx(SOLVE_SPAN / 2, abs=1e-6)
    # The current that holds the conductor there: `varnel thermal` at that temperature, the same
    # weather, the resistance from the conductor's row beside the table.
    assert solve["current_asked"] and solve["current_note"] is None
    assert solve["current_A"] == pytest.approx(
        thermal_current(solve["temperature_degC"], weather), rel=1e-12)
    assert solve["heat_balance"]["temperature_degC"] == solve["temperature_degC"]
    # The text says the same, and the CSV.
    status, out, err = run(level_span(tmp_path) + ["--model", model, "--ground-clearance",
                                                   repr(required), "--solve", "max-temperature",
                                                   "--csv", str(tmp_path / "out")] + weather)
    assert status == 0, err
    assert (f"Limit: {solve['temperature_degC']:.2f} °C, set by the ground under A-B (8.5 m, "
            f"at station 210.0 m)") in out
    assert f"Current at {solve['temperature_degC']:.2f} °C: {solve['current_A']:.1f} A (ieee738; " \
           "air 35 °C, wind 0.6 m/s at 90° to the line, sun 900 W/m²)" in out
    assert out.endswith("0 violations\nCSV written to " + str(tmp_path / "out") +
                        " (spans.csv, towers.csv, violations.csv, solve.csv)\n")
    with open(tmp_path / "out" / "solve.csv", encoding="utf-8-sig", newline="") as f:
        rows = list(csv.DictReader(f))
    assert len(rows) == 1 and rows[0]["limiting"] == "yes" and rows[0]["span"] == "A-B"
    assert float(rows[0]["temperature_degC"]) == solve["temperature_degC"]


def test_solve_names_the_crossing_that_limits_and_the_limits_of_the_search(tmp_path):
    # A power line's top 100 m along at 112 m, to be cleared by 4 m: the conductor may sag 8 m
    # there, γ·x·(l − x)/(2σ) = 8, before the middle sags 24 − 6 = 18 m; the crossing limits.
    files = level_span(tmp_path, [("power line", 100, 112, 4)])
    status, out, err = run(files + ["--model", "parabola", "--ground-clearance", "6", "--solve",
                                    "max-temperature", "--json"])
    assert status == 0, err
    solve = json.loads(out)["solve"]
    doc = json.loads(out)
    at_crossing = parabola_temperature(doc, 8 * SOLVE_SPAN ** 2 / (4 * 100 * (SOLVE_SPAN - 100)))
    assert [i["kind"] for i in solve["items"]] == ["ground", "crossing"]
    assert solve["limiting"] == 1 and solve["items"][1]["crossing"] == "power line"
    assert solve["temperature_degC"] == pytest.approx(at_crossing, abs=2e-6)
    assert solve["items"][0]["temperature_degC"] == pytest.approx(
        parabola_temperature(doc, SOLVE_ARM - 6), abs=2e-6)
    # No heat balance options: no current asked, the text says how to ask.
    assert not solve["current_asked"] and solve["current_A"] is None
    status, out, err = run(files + ["--model", "parabola", "--ground-clearance", "6", "--solve",
                                    "max-temperature"])
    assert "set by power line over A-B (4 m, at station 100.0 m)" in out
    assert "Current: give the heat balance's options" in out

    # Above the arms the ground clearance fails at every temperature searched, -40 °C and up.
    status, out, err = run(files + ["--ground-clearance", "25", "--solve", "max-temperature",
                                    "--json", "--ambient", "40"])
    assert status == 0, err
    solve = json.loads(out)["solve"]
    assert solve["temperature_degC"] is None and solve["beyond"] == "below"
    assert solve["items"][solve["limiting"]]["kind"] == "ground"
    assert solve["current_A"] is None and "-40 °C keeps every clearance" in solve["current_note"]
    status, out, err = run(files + ["--ground-clearance", "25", "--solve", "max-temperature"])
    assert ("Limit: none from -40 °C: the ground under A-B falls short of 25 m already at the "
            "lowest temperature searched") in out
    # A 2 m clearance under 24 m arms, nothing crossed: it holds up to 250 °C.
    status, out, err = run(level_span(tmp_path) + ["--ground-clearance", "2", "--solve",
                                                   "max-temperature", "--json", "--ambient", "40"])
    assert status == 0, err
    solve = json.loads(out)["solve"]
    assert solve["temperature_degC"] is None and solve["beyond"] == "above"
    assert solve["limiting"] is None and solve["items"][0]["beyond"] == "above"
    assert solve["current_A"] is None and "up to 250 °C" in solve["current_note"]
    status, out, err = run(level_span(tmp_path) + ["--ground-clearance", "2", "--solve",
                                                   "max-temperature"])
    assert "Limit: none up to 250 °C: every clearance holds" in out


@pytest.mark.parametrize("extra,says", [
    (["--solve", "max-temperature", "--max-temperature", "80", "--ground-clearance", "7"],
     "--max-temperature fixes the conductor's temperature, which --solve max-temperature finds"),
    (["--solve", "max-temperature", "--current", "500", "--ground-clearance", "7"],
     "--current fixes the conductor's temperature"),
    (["--solve", "max-temperature"], "no clearance to hold; give --ground-clearance or a crossing"),
    (["--solve", "min-temperature", "--ground-clearance", "7"], "--solve"),
    (["--ambient", "30", "--ground-clearance", "7"],
     "--ambient describes the heat balance, which only --current or --solve needs"),
    (["--solve", "max-temperature", "--ground-clearance", "7", "--clearness", "0.5",
      "--latitude", "30", "--day", "161", "--hour", "11", "--azimuth", "90"], "--clearness"),
])
def test_solve_refusals(tmp_path, extra, says):
    status, out, err = run(level_span(tmp_path) + extra)
    assert status == 2 and out == ""
    assert err.count("\n") == 1 and err.startswith("varnel: ") and says in err, err


@pytest.mark.parametrize("failing", [
    ["--svg", "drawing.svg", "--from", "8000", "--to", "9000"],  # a window past the line's end
    ["--svg", os.path.join("no such folder", "drawing.svg")],    # a drawing that cannot be made
])
def test_failed_run_leaves_the_csv_folder_as_it_was(tmp_path, failing):
    out = tmp_path / "out"
    status, _, err = run(SAMPLE + ["--csv", str(out)])
    assert status == 0, err
    before = {p.name: p.read_bytes() for p in out.iterdir()}
    assert set(before) == {"spans.csv", "towers.csv", "violations.csv"}
    # Another clearance changes violations.csv: the run would rewrite it had it succeeded.
    other = [a if a != "7" else "12" for a in SAMPLE]
    failing = [str(tmp_path / a) if a.endswith(".svg") else a for a in failing]
    status, _, err = run(other + ["--csv", str(out)] + failing)
    assert status != 0 and err.count("\n") == 1, err
    assert {p.name: p.read_bytes() for p in out.iterdir()} == before  # nor a file left beside
    status, _, err = run(other + ["--csv", str(out)])
    assert status == 0 and (out / "violations.csv").read_bytes() != before["violations.csv"]


def test_span_over_5_km_warns(tmp_path):
    terrain = write_csv(tmp_path / "t.csv", ["station_m", "elevation_m"],
                        [(0, 100), (5600, 100), (11300, 100), (11600, 100)])
    towers = write_csv(tmp_path / "w.csv", ["name", "station_m", "kind", "arm_height_m",
                                            "insulator_length_m", "insulator_weight_N"],
                       [("A", 0, "strain", 300, 0, 600), ("B", 5600, "strain", 300, 0, 600),
                        ("C", 11300, "strain", 300, 0, 600), ("D", 11600, "strain", 30, 0, 600)])
    status, out, err = run(["--terrain", terrain, "--towers", towers])
    assert status == 0, err
    warnings = [x for x in err.splitlines() if "5 km" in x or "longer than" in x]
    assert warnings == [
        f"varnel: warning: {towers}: span A-B: a span of 5600 m is longer than 5 km; check that "
        "it is in metres",
        f"varnel: warning: {towers}: 1 more spans are longer than 5000 m"], err


def _towers_bytes(near, far, bom=b""):
    """The towers file of TERRAIN's line with the names of its two ends given as bytes."""
    return (bom + TOWERS_HEADER.encode() + near + b",0,strain,30,0,600\r\n"
            + "B,500,suspension,32,2.5,600\r\n".encode() + far + b",1000,strain,30,0,600\r\n")


@pytest.mark.parametrize("near,far,bom,names", [
    ("北塔".encode("gbk"), "南塔".encode("gbk"), b"", ("北塔", "南塔")),
    ("北塔".encode(), "南塔".encode(), b"\xef\xbb\xbf", ("北塔", "南塔")),
    ("北塔".encode(), "南塔".encode(), b"", ("北塔", "南塔")),
])
def test_a_file_in_one_encoding_keeps_its_names(tmp_path, near, far, bom, names):
    (tmp_path / "t.csv").write_text(TERRAIN)
    (tmp_path / "w.csv").write_bytes(_towers_bytes(near, far, bom))
    status, out, err = run(["--terrain", str(tmp_path / "t.csv"),
                            "--towers", str(tmp_path / "w.csv"), "--json"])
    assert status == 0, err
    towers = json.loads(out)["towers"]
    assert (towers[0]["name"], towers[-1]["name"]) == names


@pytest.mark.parametrize("near,far,bom,reason", [
    # GBK after UTF-8's byte order mark: the names came out as U+FFFD.
    ("北塔".encode("gbk"), b"C", b"\xef\xbb\xbf",
     "line 2: not UTF-8, though the file begins with UTF-8's byte order mark"),
    # A UTF-8 line and a GBK one: the UTF-8 names came out as GBK mojibake.
    ("北塔".encode(), "南塔".encode("gbk"), b"", "line 4: not UTF-8, though line 2 is"),
    ("南塔".encode("gbk"), "北塔".encode(), b"", "line 2: not UTF-8, though line 4 is"),
    # 0xFF starts no GBK character, nor does a lead byte at the end of a line.
    (b"A\xff", b"C", b"", "line 2: neither UTF-8 nor GBK"),
    (b"A", b"C\x81", b"", "line 4: neither UTF-8 nor GBK"),
])
def test_a_file_neither_utf8_nor_gbk_is_refused_where_it_breaks(tmp_path, near, far, bom,
                                                                  reason):
    (tmp_path / "t.csv").write_text(TERRAIN)
    path = tmp_path / "w.csv"
    path.write_bytes(_towers_bytes(near, far, bom))
    status, out, err = run(["--terrain", str(tmp_path / "t.csv"), "--towers", str(path)])
    assert (status, out) == (1, "")
    assert err.startswith(f"varnel: {path}: {reason}") and err.count("\n") == 1, err


HOSTILE = ["\x1b]0;owned\x07N1", "=HYPERLINK(\"http://x\",\"y\")", "-5"]


def _hostile_line(tmp_path):
    (tmp_path / "t.csv").write_text(TERRAIN)
    towers = [f'"{n}"'.replace('"=HYPERLINK("', '"=HYPERLINK(""').replace('","y")"', '"",""y"")"')
              for n in HOSTILE]
    (tmp_path / "w.csv").write_text(
        TOWERS_HEADER + f"{towers[0]},0,strain,30,0,600\r\n{towers[1]},500,suspension,32,2.5,600"
        f"\r\n{towers[2]},1000,strain,30,0,600\r\n", encoding="utf-8")
    (tmp_path / "c.csv").write_text("name,station_m,elevation_m,clearance_m\r\n"
                                    "+SUM(1+1),250,100,60\r\n@cmd,750,100,1\r\n")
    return ["--terrain", str(tmp_path / "t.csv"), "--towers", str(tmp_path / "w.csv"),
            "--crossings", str(tmp_path / "c.csv")]


def test_names_reach_the_terminal_with_their_controls_escaped(tmp_path):
    status, out, err = run(_hostile_line(tmp_path))
    assert status == 0, err
    assert "\x1b" not in out + err and "\x07" not in out + err
    assert "\\x1b]0;owned\\x07N1" in out
    # The JSON keeps the name itself, escaped as JSON escapes it.
    status, out, err = run(_hostile_line(tmp_path) + ["--json"])
    assert [t["name"] for t in json.loads(out)["towers"]] == HOSTILE


def test_csv_text_cells_that_a_spreadsheet_would_run_are_kept_as_text(tmp_path):
    status, _, err = run(_hostile_line(tmp_path) + ["--csv", str(tmp_path / "out")])
    assert status == 0, err
    with open(tmp_path / "out" / "spans.csv", encoding="utf-8-sig", newline="") as f:
        spans = list(csv.DictReader(f))
    # The tower named -5 is a number and stays one; the formula is text after an apostrophe.
    assert [(s["from"], s["to"]) for s in spans] == [
        ("\x1b]0;owned\x07N1", "'=HYPERLINK(\"http://x\",\"y\")"),
        ("'=HYPERLINK(\"http://x\",\"y\")", "-5")]
    with open(tmp_path / "out" / "violations.csv", encoding="utf-8-sig", newline="") as f:
        where = {v["where"] for v in csv.DictReader(f)}
    assert where == {"'+SUM(1+1)"}
    for name in ("spans", "towers", "violations"):
        for cell in (tmp_path / "out" / f"{name}.csv").read_text(encoding="utf-8-sig").split(","):
            assert not cell.lstrip('"').startswith(("=", "+", "@")), (name, cell)
