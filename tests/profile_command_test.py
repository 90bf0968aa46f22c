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


def run(args):
    p = subprocess.run([VARNEL, "profile"] + DESIGN + args, capture_output=True, timeout=120)
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
            if suspension:
                # No string area and no line angle: the horizontal load is the conductor's wind.
                wind = tower["horizontal_load_N"][k]
                phi = math.degrees(math.atan2(wind, insulator / 2 + weight * lv))
                assert tower["swing_angle_deg"][k] == pytest.approx(phi, abs=1e-9)
                assert (cond["wind_m_per_s"] == 0) == (wind == 0)
            else:
                assert tower["swing_angle_deg"] is None
        assert tower["uplift"] == (suspension and min(tower["vertical_span_m"]) < 0)
        if suspension:
            windy = [a for a, c in zip(tower["swing_angle_deg"], conditions) if c["wind_m_per_s"]]
            swung = [v for v in doc["violations"] if v["kind"] == "swing" and v["where"] == rows[t][0]]
            assert len(swung) == (1 if max(windy) > 50 else 0)
            if swung:
                assert swung[0]["value"] == max(windy) and swung[0]["limit"] == 50
            assert tower["ok"] == (not swung and not tower["uplift"])

    if model == "catenary":
        # The stress along the conductor at a support, σ₀·cosh((x − a)/p), under the resultant
        # load, the largest over both supports and every condition.
        allowable = doc["suspension_point_allowable_N_per_mm2"]
        for i, s in enumerate(spans):
            largest = 0
            for k, cond in enumerate(conditions):
                sigma = sections[s["section"]]["stress_N_per_mm2"][k]
                c = Curve(model, s["span_m"], s["height_difference_m"], sigma,
                          cond["specific_load_N_per_m_mm2"])
                reach = max(abs(c.a), abs(s["span_m"] - c.a))
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
    status, out, err = run(["--terrain", terrain, "--towers", towers, "--json"])
    assert status == 0, err
    doc = json.loads(out)
    b = doc["towers"][1]
    assert b["uplift"] and b["vertical_span_m"][0] < 0  # the coldest, 低温 −20 °C
    assert [v["kind"] for v in doc["violations"]] == ["uplift"]
    assert doc["violations"][0]["where"] == "B"
    status, out, err = run(["--terrain", terrain, "--towers", towers])
    assert status == 0 and out.endswith("1 violation\n")


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
