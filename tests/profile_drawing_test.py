"""varnel profile --svg on the sample profile: the drawing read back with a real XML parser.

The conductor drawn is held against the catenary worked out here from the stresses of
`--json` and the attachment heights of the sample's towers and terrain; every violation of
`--json` must stand in red with its figure; the caption names what was drawn; no two texts
overlap (their boxes estimated from font size and text length); a --from/--to window draws
nothing outside it.

Run by ctest with VARNEL (the program) and VARNEL_ROOT (the source tree) in the environment.
"""
import csv
import itertools
import json
import math
import os
import re
import subprocess
import unicodedata
import xml.etree.ElementTree as ET

import pytest

VARNEL = os.path.abspath(os.environ["VARNEL"])
SAMPLES = os.path.join(os.environ["VARNEL_ROOT"], "samples")
PROFILE = os.path.join(SAMPLES, "profile")
AREA = "典型气象区Ⅵ"
CONDUCTOR = "JL/G1A-240/30"
COMMON = ["--terrain", os.path.join(PROFILE, "terrain.csv"),
          "--towers", os.path.join(PROFILE, "towers.csv"),
          "--crossings", os.path.join(PROFILE, "crossings.csv"),
          "--areas", os.path.join(SAMPLES, "weather_areas.dbf"), "--area", AREA,
          "--conductors", os.path.join(SAMPLES, "conductors.dbf"), "--conductor", CONDUCTOR,
          "--ground-clearance", "7"]
# The conductor's own weight per m and mm², N/(m·mm²): 922.2 kg/km over 275.96 mm² (the
# sample's conductors.dbf); the largest sag comes in a condition without ice or wind.
GAMMA = 922.2 * 9.80665e-3 / 275.96
SVG_NS = "{http://www.w3.org/2000/svg}"
RED = "#d00000"

# (extra arguments, the window it should draw: None for the whole line)
CASES = [
    ([], None),
    (["--exaggeration", "4"], None),
    (["--from", "2000", "--to", "4500"], (2000.0, 4500.0)),
    (["--from", "4900", "--to", "6100", "--exaggeration", "20"], (4900.0, 6100.0)),
]


def read_csv(name):
    with open(os.path.join(PROFILE, name), encoding="utf-8", newline="") as f:
        return list(csv.DictReader(f))


def ground_at(station):
    rows = [(float(r["station_m"]), float(r["elevation_m"])) for r in read_csv("terrain.csv")]
    for (x0, z0), (x1, z1) in zip(rows, rows[1:]):
        if x0 <= station <= x1:
            return z0 + (z1 - z0) * (station - x0) / (x1 - x0)
    raise ValueError(station)


def attachments():
    """Each tower's station and the elevation its conductor hangs at, from the sample alone."""
    out = []
    for t in read_csv("towers.csv"):
        station = float(t["station_m"])
        z = ground_at(station) + float(t["arm_height_m"])
        if t["kind"] == "suspension":
            z -= float(t["insulator_length_m"])
        out.append((t["name"], station, z))
    return out


def catenary_height(l, h, p, x):
    """Height above the near support at x of a catenary of parameter p over span l, rise h."""
    a = l / 2 - p * math.asinh(h / (2 * p * math.sinh(l / (2 * p))))
    return p * (math.cosh((x - a) / p) - math.cosh(a / p))


@pytest.fixture(scope="module")
def profile_json():
    p = subprocess.run([VARNEL, "profile"] + COMMON + ["--json"], capture_output=True, timeout=120)
    assert p.returncode == 0, p.stderr.decode("utf-8", "replace")
    return json.loads(p.stdout.decode("utf-8"))


_drawings = {}


def drawing(tmp_path_factory, extra):
    key = tuple(extra)
    if key not in _drawings:
        path = tmp_path_factory.mktemp("profile") / "profile.svg"
        p = subprocess.run([VARNEL, "profile"] + COMMON + extra + ["--svg", str(path)],
                           capture_output=True, timeout=120)
        assert p.returncode == 0, p.stderr.decode("utf-8", "replace")
        _drawings[key] = ET.parse(path).getroot()
    return _drawings[key]


def plot_scale(root):
    g = root.find(f".//{SVG_NS}g[@id='profile']")
    assert g is not None
    return {k: float(g.get(k)) for k in ("data-station-left", "data-x-left", "data-px-per-m",
                                         "data-elevation-bottom", "data-y-bottom",
                                         "data-vertical-px-per-m")}


def to_world(s, x, y):
    station = s["data-station-left"] + (x - s["data-x-left"]) / s["data-px-per-m"]
    elevation = s["data-elevation-bottom"] + (s["data-y-bottom"] - y) / s["data-vertical-px-per-m"]
    return station, elevation


def path_points(d):
    return [(float(a), float(b)) for a, b in re.findall(r"[ML]\s*(-?[\d.]+),(-?[\d.]+)", d)]


def texts(root):
    return [t for t in root.iter(f"{SVG_NS}text")]


def text_of(t):
    return "".join(t.itertext())


def text_box(t, default_size):
    """The box a text covers, px: East Asian characters a square, others 0.6 of the size."""
    size = float(t.get("font-size", default_size))
    s = text_of(t)
    w = sum(size if unicode_wide(c) else 0.6 * size for c in s)
    x, y = float(t.get("x")), float(t.get("y"))
    anchor = t.get("text-anchor", "start")
    left = x - w if anchor == "end" else x - w / 2 if anchor == "middle" else x
    return (left, y - 0.8 * size, left + w, y + 0.2 * size)


def unicode_wide(c):
    return unicodedata.east_asian_width(c) in ("W", "F")


@pytest.mark.parametrize("extra,window", CASES)
def test_conductor_is_the_catenary_of_the_json_stresses(tmp_path_factory, profile_json, extra,
                                                        window):
    root = drawing(tmp_path_factory, extra)
    scale = plot_scale(root)
    towers = attachments()
    spans = profile_json["spans"]
    sections = profile_json["sections"]
    # Which section each span belongs to, by its towers.
    names = [t[0] for t in towers]
    section_of = {}
    for sec in sections:
        first, last = names.index(sec["from"]), names.index(sec["to"])
        for i in range(first, last):
            section_of[i] = sec
    drawn = root.findall(f".//{SVG_NS}path[@class='conductor']")
    assert drawn, "no conductor drawn"
    checked = 0
    for path in drawn:
        i = int(path.get("data-span"))
        condition = spans[i]["max_sag_condition"]
        assert path.get("data-condition") == condition["name"]
        stress = section_of[i]["stress_N_per_mm2"][condition["index"]]
        (_, x0, z0), (_, x1, z1) = towers[i], towers[i + 1]
        p = stress / GAMMA
        for x, y in path_points(path.get("d")):
            station, elevation = to_world(scale, x, y)
            assert x0 - 0.05 <= station <= x1 + 0.05
            expected = z0 + catenary_height(x1 - x0, z1 - z0, p, station - x0)
            # Two decimals of a px: 0.02 m along, 0.01 m up at the coarsest scale drawn here.
            assert elevation == pytest.approx(expected, abs=0.02), (i, station)
            checked += 1
    assert checked > 100


@pytest.mark.parametrize("extra,window", CASES)
def test_every_violation_in_the_window_is_red_with_its_figure(tmp_path_factory, profile_json,
                                                                extra, window):
    root = drawing(tmp_path_factory, extra)
    violations = profile_json["violations"]
    assert {v["kind"] for v in violations} >= {"ground", "swing"}, "the sample should fail twice"
    red = [text_of(t) for t in texts(root) if t.get("fill") == RED]
    lo, hi = window or (-math.inf, math.inf)
    for v in violations:
        inside = lo <= v["station_m"] <= hi
        found = [t for t in red if t.startswith(v["where"] + ":")]
        if not inside:
            assert not found, v
            continue
        assert found, v
        figures = [float(f) for t in found for f in re.findall(r"-?\d+(?:\.\d+)?", t)]
        assert any(abs(f - v["value"]) <= 0.051 for f in figures), (v, found)
        assert any(abs(f - v["limit"]) <= 0.051 for f in figures), (v, found)
    if window is None:
        assert f"{len(violations)} violation" in " ".join(text_of(t) for t in texts(root))
    # Where the ground rises above the clearance line, that span's line is red; elsewhere not.
    names = [t[0] for t in attachments()]
    low = {names.index(v["where"].split("-")[0]) for v in violations if v["kind"] == "ground"}
    lines = root.findall(f".//{SVG_NS}path[@class='clearance-line']")
    assert lines
    for path in lines:
        assert (path.get("stroke") == RED) == (int(path.get("data-span")) in low)


@pytest.mark.parametrize("extra,window", CASES)
def test_caption_names_what_is_drawn(tmp_path_factory, profile_json, extra, window):
    root = drawing(tmp_path_factory, extra)
    caption = " ".join(text_of(t) for t in texts(root) if t.get("class") == "caption")
    exaggeration = float(extra[extra.index("--exaggeration") + 1]) if "--exaggeration" in extra \
        else 10.0
    assert f"model: {profile_json['model']}" in caption
    assert AREA in caption and CONDUCTOR in caption
    assert f"vertical exaggeration {exaggeration:g}:1" in caption
    for condition in {s["max_sag_condition"]["name"] for s in profile_json["spans"]}:
        assert condition in caption
    scale = plot_scale(root)
    assert scale["data-vertical-px-per-m"] / scale["data-px-per-m"] == \
        pytest.approx(exaggeration, rel=1e-12)
    # The elevation axis says what the scale says: each value at its height.
    axis = [t for t in texts(root) if t.get("text-anchor") == "end" and
            re.fullmatch(r"-?\d+(\.\d+)?", text_of(t)) and float(t.get("x")) < scale["data-x-left"]]
    assert len(axis) >= 2
    for t in axis:
        _, elevation = to_world(scale, 0, float(t.get("y")) - 4)
        assert elevation == pytest.approx(float(text_of(t)), abs=0.01)


@pytest.mark.parametrize("extra,window", CASES)
def test_no_two_texts_overlap(tmp_path_factory, extra, window):
    root = drawing(tmp_path_factory, extra)
    size = float(root.get("font-size", 12))
    boxes = [(text_of(t), text_box(t, size)) for t in texts(root)
             if t.get("transform") is None and text_of(t)]
    assert len(boxes) > 40
    for (a, (ax0, ay0, ax1, ay1)), (b, (bx0, by0, bx1, by1)) in itertools.combinations(boxes, 2):
        assert ax1 <= bx0 or bx1 <= ax0 or ay1 <= by0 or by1 <= ay0, (a, b)
    # Every crossing in the window has its note, and nothing was left out.
    notes = " ".join(text_of(t) for t in texts(root))
    lo, hi = window or (-math.inf, math.inf)
    for c in read_csv("crossings.csv"):
        assert (c["name"] in notes) == (lo <= float(c["station_m"]) <= hi), c["name"]
    assert "left out" not in notes


@pytest.mark.parametrize("extra,window", [c for c in CASES if c[1]])
def test_window_draws_nothing_outside_it(tmp_path_factory, extra, window):
    root = drawing(tmp_path_factory, extra)
    scale = plot_scale(root)
    lo, hi = window
    for cls in ("conductor", "clearance-line", "ground"):
        for path in root.findall(f".//{SVG_NS}path[@class='{cls}']"):
            for x, y in path_points(path.get("d")):
                station, _ = to_world(scale, x, y)
                assert lo - 0.05 <= station <= hi + 0.05, (cls, station)
    inside = {t[0] for t in attachments() if lo <= t[1] <= hi}
    band = {text_of(t) for t in texts(root) if t.get("class") == "band tower"}
    assert band == inside


@pytest.mark.parametrize("extra,says", [
    (["--svg", "-"], "--svg"),
    (["--from", "8000", "--to", "9000"], "window"),
    (["--from", "3000", "--to", "2000"], "--to"),
    (["--exaggeration", "0"], "--exaggeration"),
    (["--exaggeration", "x"], "--exaggeration"),
    # A window this narrow is drawn at least 640 px wide, 123,163 px high: only a wider one
    # (11 m, as the advice says, is drawn) fits, not a narrower one.
    (["--from", "1000", "--to", "1001"], "widen the window to 11 m or more (it is 1 m)"),
])
def test_a_drawing_that_cannot_be_made_is_refused(tmp_path, extra, says):
    svg = tmp_path / "refused.svg"
    args = extra if "--svg" in extra else extra + ["--svg", str(svg)]
    p = subprocess.run([VARNEL, "profile"] + COMMON + args, capture_output=True, timeout=120)
    err = p.stderr.decode("utf-8", "replace")
    assert p.returncode == 2, err
    assert p.stdout == b""
    assert err.count("\n") == 1 and err.startswith("varnel: ") and says in err, err
    assert not svg.exists()
    assert list(tmp_path.iterdir()) == []


def test_the_advice_to_widen_a_window_is_true(tmp_path):
    # The width the refusal asks for draws.
    svg = tmp_path / "wide.svg"
    p = subprocess.run([VARNEL, "profile"] + COMMON + ["--from", "1000", "--to", "1011", "--svg",
                                                       str(svg)], capture_output=True, timeout=120)
    assert p.returncode == 0 and svg.exists(), p.stderr


def drawn(tmp_path, args):
    path = tmp_path / f"d{len(list(tmp_path.iterdir()))}.svg"
    p = subprocess.run([VARNEL, "profile"] + COMMON + args + ["--svg", str(path), "--json"],
                       capture_output=True, timeout=120)
    assert p.returncode == 0, p.stderr.decode("utf-8", "replace")
    return json.loads(p.stdout.decode("utf-8")), ET.parse(path).getroot()


def test_notes_at_one_tower_are_stacked_and_the_advice_to_narrow_is_true(tmp_path):
    # Held to a safety of 4 every span's support stress fails: N5, above both neighbours, takes
    # two at its own station (the spans on either side are higher there), drawn one over the
    # other on one leader.
    doc, root = drawn(tmp_path, ["--suspension-safety", "4", "--from", "1400", "--to", "1700"])
    at_n5 = [v for v in doc["violations"] if v["station_m"] == 1545]
    assert [v["where"] for v in at_n5] == ["N4-N5", "N5-N6"]
    red = [t for t in texts(root) if t.get("fill") == RED and t.get("class") == "note violation"]
    stacked = [t for t in red if text_of(t).startswith(("N4-N5:", "N5-N6:"))]
    assert len(stacked) == 2
    assert stacked[0].get("x") == stacked[1].get("x")
    assert abs(float(stacked[0].get("y")) - float(stacked[1].get("y"))) >= 15
    assert "(覆冰)" in text_of(stacked[0])  # the suspension point names its condition
    # The whole line: where notes are left out, the caption says to narrow the window, and a
    # window of the spans next to each left-out note shows it.
    doc, root = drawn(tmp_path, ["--suspension-safety", "4"])
    caption = " ".join(text_of(t) for t in texts(root) if t.get("class") == "caption")
    shown = " ".join(text_of(t) for t in texts(root))
    # The notes give a figure to a tenth without trailing zeros (a swing of 72.0° as 72°).
    missing = [v for v in doc["violations"] if not any(
        text_of(t).startswith(v["where"] + ":")
        and f"{v['value']:.1f}".rstrip("0").rstrip(".") in text_of(t) for t in texts(root))]
    assert bool(missing) == ("narrow the window" in caption)
    for v in missing:
        _, alone = drawn(tmp_path, ["--suspension-safety", "4", "--from",
                                    repr(v["station_m"] - 400), "--to", repr(v["station_m"] + 400)])
        assert any(text_of(t).startswith(v["where"] + ":") for t in texts(alone)), v
    assert shown


def test_caption_says_the_winds_height_and_terrain(tmp_path):
    _, root = drawn(tmp_path, [])
    caption = " ".join(text_of(t) for t in texts(root) if t.get("class") == "caption")
    assert "wind: the area's speeds at 10 m, terrain B" in caption
    # Both α from the table's two rows by the speed; no table by the wind span.
    assert ("loads GB 50545-2010 Table 10.1.18-1, tower loads, for swing and crossings its "
            "electrical clearance row") in caption
    assert "10.1.18-2" not in caption and "wind span" not in caption
    _, root = drawn(tmp_path, ["--wind-height", "15", "--alpha-clearance", "0.7"])
    caption = " ".join(text_of(t) for t in texts(root) if t.get("class") == "caption")
    assert "wind: the area's speeds at 15 m, terrain B" in caption and "fixed at 0.7" in caption
    _, root = drawn(tmp_path, ["--alpha-loads", "0.8"])
    caption = " ".join(text_of(t) for t in texts(root) if t.get("class") == "caption")
    assert ("loads fixed at 0.8, for swing and crossings GB 50545-2010 Table 10.1.18-1, "
            "electrical clearance") in caption
