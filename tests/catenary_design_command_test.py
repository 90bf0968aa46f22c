"""End-to-end tests of the catenary in the design commands: varnel critical --model catenary.

Run by ctest in the same pytest session as varnel_command_test.py, whose helpers it uses.
"""
import csv
import json
import math
import os
import struct
import xml.etree.ElementTree as ET

import pytest

from varnel_command_test import (AREAS, DESIGN6, ROOT, _catenary_unstressed_length, fail, succeed,
                                 succeed_warned)


def _critical(*extra):
    return json.loads(succeed(["critical"] + DESIGN6 + list(extra) + ["--json"]))


@pytest.mark.parametrize("shape", [[], ["--cos", "0.9"]])
def test_catenary_critical_spans_are_the_parabolas_for_short_spans(shape):
    """Below 400 m the sags are a percent or two of the span: the parabola's critical spans are
    the catenary's to its own error; the same pairs, in the same order, either way. On inclined
    spans a condition with wind hangs in the plane of its load, where the span is longer and
    less steep than the parabola takes it: there its pairs part from the parabola's by far
    more."""
    parabola = _critical(*shape)
    catenary = _critical("--model", "catenary", *shape)
    assert parabola["model"] == "parabola" and catenary["model"] == "catenary"
    assert catenary["candidates"] == parabola["candidates"]
    assert [(p["a"], p["b"]) for p in catenary["pairs"]] == \
        [(p["a"], p["b"]) for p in parabola["pairs"]]
    windy = {"大风", "覆冰", "安装", "外过", "内过"}  # 典型气象区Ⅵ's conditions with wind
    compared = swung = 0
    for p, c in zip(parabola["pairs"], catenary["pairs"]):
        if p["span_m"] is not None and 10 < p["span_m"] < 400:
            if shape and {p["a"]["name"], p["b"]["name"]} & windy:
                assert abs(c["span_m"] / p["span_m"] - 1) > 0.01
                swung += 1
            else:
                assert c["span_m"] == pytest.approx(p["span_m"], rel=2e-3)
                compared += 1
    assert (swung >= 3) if shape else (compared >= 3)
    ranges = catenary["ranges"]
    assert ranges[0]["from_m"] == 0 and ranges[-1]["to_m"] is None
    assert all(a["to_m"] == b["from_m"] for a, b in zip(ranges, ranges[1:]))
    # Each boundary is where two conditions' limits cross: the critical span of the pair of
    # conditions either side of it.
    spans = {(p["a"]["index"], p["b"]["index"]): p["span_m"] for p in catenary["pairs"]}
    for a, b in zip(ranges, ranges[1:]):
        key = tuple(sorted((a["controlling"]["index"], b["controlling"]["index"])))
        if key in spans:
            assert spans[key] == b["from_m"]


def test_catenary_critical_with_a_fixed_height_difference():
    doc = _critical("--model", "catenary", "--height-difference", "60")
    assert doc["height_difference_m"] == 60
    level = _critical("--model", "catenary")
    # A height difference makes a span's conductor longer and its sag larger: the crossing moves.
    moved = [(a["span_m"], b["span_m"]) for a, b in zip(doc["pairs"], level["pairs"])
             if a["span_m"] and b["span_m"] and b["span_m"] > 50]
    assert moved and all(x != y for x, y in moved)


def test_height_difference_needs_the_catenary():
    fail(["critical"] + DESIGN6 + ["--height-difference", "60"], 2, "--height-difference")
    fail(["critical"] + DESIGN6 + ["--model", "catenary", "--height-difference", "60",
                                   "--cos", "0.9"], 2)


# ---- the catenary's own controlling condition, each condition against its limit ----

# Worked by hand for JL/G1A-240/30 (75190 N, 275.96 mm²): σA = 0.25 × 0.95 × T / S,
# σN = 0.95 × T / 2.5 / S.
SIGMA_A = 0.25 * 0.95 * 75190 / 275.96
SIGMA_N = 0.95 * 75190 / 2.5 / 275.96


def within(stress, limit):
    return stress <= limit * (1 + 5e-13)


def test_catenary_control_holds_every_limit_at_199_65_m():
    """199.65 m in 典型气象区Ⅵ: the library's search picks 覆冰 (the parabola's 年平–覆冰 critical
    span is 199.56 m), which strung as a catenary took 年平 to 64.719 > 64.711. The catenary's
    own controlling condition is 年平 (its critical span 199.742 m lies above)."""
    args = ["control"] + DESIGN6 + ["--span", "199.65", "--model", "catenary"]
    doc = json.loads(succeed(args + ["--json"]))
    assert doc["controlling"]["name"] == "年平"
    assert doc["parabola_controlling"]["name"] == "覆冰"
    assert doc["control_stress_N_per_mm2"] == pytest.approx(SIGMA_A, rel=1e-14)
    for c in doc["conditions"]:
        assert c["holds"] and within(c["stress_N_per_mm2"], c["limit_N_per_mm2"]), c["name"]
    text = succeed(args).decode()
    assert "Controlling condition by the catenary: 年平, strung to 64.711 N/mm²" in text
    assert "The library's search above rests on the parabola and picks 覆冰" in text
    assert "NO" not in text.split("Model: catenary")[1]


def test_catenary_sag_table_strings_from_the_catenarys_ranges(tmp_path):
    """Rows about the catenary's 年平–覆冰 critical span take the catenary's controlling
    condition, every condition within its limit; the chart marks the catenary's critical spans,
    not the parabola's."""
    args = ["sag-table"] + DESIGN6 + ["--spans", "150:260:0.5", "--model", "catenary"]
    doc = json.loads(succeed(args + ["--json", "--svg", "t.svg"], cwd=tmp_path))
    ranges = _critical("--model", "catenary")["ranges"]
    bound = next(r["from_m"] for r in ranges if r["controlling"]["name"] == "覆冰")
    assert 199.7 < bound < 199.8
    limits = [SIGMA_A if c["name"] == "年平" else SIGMA_N for c in doc["conditions"]]
    for row in doc["spans"]:
        want = "覆冰" if row["span_m"] > bound else "年平"
        assert row["controlling"]["name"] == want, row["span_m"]
        for s, limit in zip(row["stress_N_per_mm2"], limits):
            assert within(s, limit), row["span_m"]
    root = ET.parse(tmp_path / "t.svg").getroot()
    ns = "{http://www.w3.org/2000/svg}"
    marks = {float(m.get("data-span")) for m in root.iter(ns + "line")
             if m.get("class") == "control-change"}
    inside = {r["from_m"] for r in ranges[1:] if 150 < r["from_m"] < 260}
    assert marks == inside and bound in marks
    parabola = _critical()["ranges"]
    assert not marks & {r["from_m"] for r in parabola}


def section_of(tmp_path, rows, name="section.csv"):
    path = tmp_path / name
    path.write_text("span_m,height_difference_m\n" + "".join(f"{l},{h}\n" for l, h in rows))
    return str(path)


def test_catenary_section_finds_its_own_controlling_condition(tmp_path):
    path = section_of(tmp_path, [(199.65, 0)])
    catenary = json.loads(succeed(["section"] + DESIGN6 + ["--section", path, "--model",
                                                           "catenary", "--json"]))
    parabola = json.loads(succeed(["section"] + DESIGN6 + ["--section", path, "--json"]))
    assert catenary["controlling"]["name"] == "年平"
    assert catenary["parabola_controlling"]["name"] == "覆冰"
    assert parabola["controlling"]["name"] == parabola["parabola_controlling"]["name"] == "覆冰"
    for doc in (catenary, parabola):
        for c in doc["conditions"]:
            assert c["holds"] and within(c["stress_N_per_mm2"], c["limit_N_per_mm2"])
            assert c["limit_N_per_mm2"] == pytest.approx(
                SIGMA_A if c["name"] == "年平" else SIGMA_N, rel=1e-14)
    text = succeed(["section"] + DESIGN6 + ["--section", path, "--model", "catenary"]).decode()
    assert "Controlling condition of the whole section: 年平, strung to 64.711 N/mm²" in text
    assert "The parabola's search at the ruling span picks 覆冰" in text


def parabola_stress(l, cos, e, alpha, known, sigma_k, sought):
    """The state equation σ − E·c³·γ²·l²/(24σ²) = σk − E·c³·γk²·l²/(24σk²) − α·E·c·(t − tk),
    solved here by bisection: known and sought are (γ, t)."""
    gk, tk = known
    g, t = sought
    k = e * cos ** 3 * l * l / 24
    rhs = sigma_k - k * gk * gk / sigma_k ** 2 - alpha * e * cos * (t - tk)
    lo, hi = 1e-6, 1e4
    for _ in range(200):
        mid = (lo + hi) / 2
        (lo, hi) = (mid, hi) if mid - k * g * g / mid ** 2 < rhs else (lo, mid)
    return (lo + hi) / 2


@pytest.mark.parametrize("model", ["parabola", "catenary"])
def test_a_condition_above_its_limit_is_flagged(tmp_path, model):
    """A 60 m span strung from 低温 at σN, with an operating condition at −60 °C: the state
    equation by hand takes it to about 160 N/mm², far beyond σN; it is flagged, not refused."""
    path = section_of(tmp_path, [(60, 0)])
    args = ["section"] + DESIGN6 + ["--section", path, "--model", model,
                                    "--max-temperature", "-60"]
    doc = json.loads(succeed(args + ["--json"]))
    cold = doc["conditions"][-1]
    assert cold["temperature_degC"] == -60 and cold["derived"]
    gamma = 922.2 * 9.80665e-3 / 275.96
    by_hand = parabola_stress(60, 1, 73000, 19.6e-6, (gamma, -20), SIGMA_N, (gamma, -60))
    assert cold["stress_N_per_mm2"] == pytest.approx(by_hand, rel=3e-3 if model == "catenary"
                                                     else 1e-9)
    assert by_hand > 1.5 * SIGMA_N
    assert cold["holds"] is False and cold["limit_N_per_mm2"] == pytest.approx(SIGMA_N)
    assert all(c["holds"] for c in doc["conditions"][:-1])
    text = succeed(args).decode()
    assert "! 1 condition above its limit" in text
    row = next(l for l in text.splitlines() if l.startswith("导线温度 -60"))
    assert row.split()[-1] == "NO"


def area_with_ice(tmp_path, ice):
    """A copy of the sample areas whose 典型气象区Ⅵ has `ice` mm on its ice condition (覆冰, 10 m/s
    of wind at −5 °C): its ICE field rewritten in place."""
    data = bytearray(open(AREAS, "rb").read())
    count, header, record = struct.unpack("<IHH", data[4:12])
    fields, at = {}, 1
    for off in range(32, header - 1, 32):
        if data[off] == 0x0D:
            break
        fields[data[off:off + 11].split(b"\0")[0].decode()] = (at, data[off + 16])
        at += data[off + 16]
    start, width = fields["ICE"]
    for row in range(count):
        base = header + row * record
        if data[base + 1:base + 1 + fields["AREA"][1]].decode("gbk").strip() == "典型气象区Ⅵ":
            data[base + start:base + start + width] = f"{ice:>{width}d}".encode()
            path = tmp_path / "areas.dbf"
            path.write_bytes(bytes(data))
            return str(path)
    raise AssertionError("no 典型气象区Ⅵ in the sample areas")


def with_areas(args, path):
    return [path if a == AREAS else a for a in args]


@pytest.mark.parametrize("model", ["parabola", "catenary"])
def test_ice_without_wind_gives_the_largest_sag_under_20_mm_of_ice(tmp_path, model):
    """With 20 mm of ice, 覆冰 at 10 m/s controls the sample section: without its wind the
    conductor keeps most of that stress under a vertical load nearly three times the bare
    one, and its parameter σ₀/γv falls below 高温's (872 m against 878 m). Worked here: the
    loads from the ice's 0.9 g/cm³, the parabola's stresses by the state equation at the
    ruling span."""
    areas = area_with_ice(tmp_path, 20)
    args = with_areas(["section"] + DESIGN6, areas) + [
        "--section", os.path.join(ROOT, "samples", "section.csv"), "--model", model, "--json"]
    doc = json.loads(succeed_warned(args)[0])
    names = [c["name"] for c in doc["conditions"]]
    assert names[-1] == "覆冰无风"
    still = doc["conditions"][-1]
    own = 922.2 * 9.80665e-3
    ice = math.pi * 0.9 * 9.80665 / 1000 * (21.6 + 20) * 20
    gv = (own + ice) / 275.96
    assert still["vertical_load_N_per_m_mm2"] == pytest.approx(gv, rel=1e-13)
    assert still["specific_load_N_per_m_mm2"] == pytest.approx(gv, rel=1e-13)
    assert still["temperature_degC"] == -5 and still["derived"]
    assert doc["controlling"]["name"] == "覆冰"
    hot = doc["conditions"][names.index("高温")]
    if model == "parabola":
        iced = doc["conditions"][names.index("覆冰")]
        l, c = doc["ruling_span_m"], doc["ruling_cos"]
        known = (iced["specific_load_N_per_m_mm2"], -5)
        for cond in (still, hot):
            assert cond["stress_N_per_mm2"] == pytest.approx(parabola_stress(
                l, c, 73000, 19.6e-6, known, SIGMA_N,
                (cond["specific_load_N_per_m_mm2"], cond["temperature_degC"])), rel=1e-9)
    # σ₀/γv: the smaller gives the larger sag in every span.
    p_still = still["stress_N_per_mm2"] / gv
    p_hot = hot["stress_N_per_mm2"] / hot["vertical_load_N_per_m_mm2"]
    assert p_still < 0.995 * p_hot  # 872 m against 878 m
    for span in doc["spans"]:
        assert span["max_sag_condition"]["name"] == "覆冰无风"
        assert span["max_sag_m"] == span["sag_m"][-1] > span["sag_m"][names.index("高温")]
    # With the sample's 10 mm, 高温 stays the largest.
    plain = json.loads(succeed(["section"] + DESIGN6 + [
        "--section", os.path.join(ROOT, "samples", "section.csv"), "--model", model, "--json"]))
    assert {s["max_sag_condition"]["name"] for s in plain["spans"]} == {"高温"}


def test_ice_without_wind_in_the_sag_table_and_the_profile(tmp_path):
    areas = area_with_ice(tmp_path, 20)
    table = json.loads(succeed(with_areas(["sag-table"] + DESIGN6, areas)
                               + ["--spans", "300:500:100", "--json"]))
    assert table["conditions"][-1] == {"name": "覆冰无风", "derived": True}
    for row in table["spans"]:
        # The largest sag of the row is the one without wind under the ice.
        assert row["sag_m"][-1] == max(row["sag_m"][i] for i in (0, 2, 4, 5, 9))
    profile = ["profile", "--terrain", os.path.join(ROOT, "samples", "profile", "terrain.csv"),
               "--towers", os.path.join(ROOT, "samples", "profile", "towers.csv"), "--json"]
    doc = json.loads(succeed_warned(with_areas(profile + DESIGN6, areas))[0])
    assert doc["conditions"][9]["name"] == "覆冰无风"
    assert doc["conditions"][9]["ice_mm"] == 20 and doc["conditions"][9]["wind_m_per_s"] == 0
    assert {s["max_sag_condition"]["name"] for s in doc["sections"]} == {"覆冰无风"}
    for s in doc["sections"]:
        assert all(s["holds"]) and len(s["limit_N_per_mm2"]) == len(doc["conditions"])


# ---- where the model matters ----

def test_a_long_crossing_gives_the_other_models_sag_and_warns(tmp_path):
    """One 1500 m span: the parabola's largest sag, worked here by the state equation and
    γ·l²/(8σ), and the catenary's, whose stress keeps the unstressed length worked here by
    quadrature and whose sag is the catenary's own, differ by metres; each model's section
    gives the other's beside its own, and warns."""
    path = section_of(tmp_path, [(1500, 0)])
    docs, warnings = {}, {}
    for model in ("parabola", "catenary"):
        out, lines = succeed_warned(["section"] + DESIGN6 + ["--section", path, "--model", model,
                                                             "--json"])
        docs[model], warnings[model] = json.loads(out), lines
    p, c = docs["parabola"]["spans"][0], docs["catenary"]["spans"][0]
    assert p["other_model_max_sag_m"] == c["max_sag_m"]
    assert c["other_model_max_sag_m"] == p["max_sag_m"]
    gamma = 922.2 * 9.80665e-3 / 275.96
    # The parabola: 覆冰 controls at σN; 高温 sags the most.
    iced = docs["parabola"]["conditions"][3]
    hot = parabola_stress(1500, 1, 73000, 19.6e-6, (iced["specific_load_N_per_m_mm2"], -5),
                          SIGMA_N, (gamma, 40))
    assert p["max_sag_m"] == pytest.approx(gamma * 1500 ** 2 / (8 * hot), rel=1e-9)
    # The catenary: 高温's stress keeps 覆冰's unstressed length; its sag p·(cosh(l/2p) − 1).
    cat = docs["catenary"]["conditions"]
    control = cat[docs["catenary"]["controlling"]["index"]]
    kept = _catenary_unstressed_length([(1500, 0)], control["stress_N_per_mm2"],
                                       control["specific_load_N_per_m_mm2"], -5, 73000, 19.6e-6,
                                       control["vertical_load_N_per_m_mm2"])
    got = _catenary_unstressed_length([(1500, 0)], cat[4]["stress_N_per_mm2"], gamma, 40, 73000,
                                      19.6e-6)
    assert got == pytest.approx(kept, rel=1e-12)
    pc = cat[4]["stress_N_per_mm2"] / gamma
    assert c["max_sag_m"] == pytest.approx(pc * (math.cosh(750 / pc) - 1), rel=1e-12)
    assert c["max_sag_m"] - p["max_sag_m"] > 3
    for model, other in (("parabola", "catenary"), ("catenary", "parabola")):
        mine, theirs = docs[model]["spans"][0], docs[other]["spans"][0]
        assert warnings[model] == [
            f"varnel: warning: {path}: span 1 (1500 m): the {model}'s largest sag "
            f"{mine['max_sag_m']:.3f} m, the {other}'s {theirs['max_sag_m']:.3f} m; the model "
            "matters here"]
    text = succeed_warned(["section"] + DESIGN6 + ["--section", path])[0].decode()
    assert "catenary m" in text and f"{c['max_sag_m']:.2f}" in text
    # A short section: within 0.3 m, no warning.
    short = section_of(tmp_path, [(300, 0), (350, 10)], "short.csv")
    assert succeed(["section"] + DESIGN6 + ["--section", short])


def test_the_profile_gives_the_other_models_sag_and_warns(tmp_path):
    (tmp_path / "terrain.csv").write_text("station_m,elevation_m\n0,100\n1500,100\n")
    (tmp_path / "towers.csv").write_text(
        "name,station_m,kind,arm_height_m,insulator_length_m,insulator_weight_N\n"
        "A,0,strain,240,2,1000\nB,1500,strain,240,2,1000\n")
    args = ["profile"] + DESIGN6 + ["--terrain", str(tmp_path / "terrain.csv"),
                                    "--towers", str(tmp_path / "towers.csv")]
    section = json.loads(succeed_warned(
        ["section"] + DESIGN6 + ["--section", section_of(tmp_path, [(1500, 0)]), "--json"])[0])
    for model in ("catenary", "parabola"):
        out, lines = succeed_warned(args + ["--model", model, "--json", "--csv",
                                            str(tmp_path / model)])
        doc = json.loads(out)
        span = doc["spans"][0]
        other = "parabola" if model == "catenary" else "catenary"
        assert lines == [f"varnel: warning: span A-B (1500 m): the {model}'s largest sag "
                         f"{span['max_sag_m']:.3f} m, the {other}'s "
                         f"{span['other_model_max_sag_m']:.3f} m; the model matters here"]
        # The same section as varnel section strings it, with its ice without wind.
        assert span["max_sag_m" if model == "parabola" else "other_model_max_sag_m"] == \
            pytest.approx(section["spans"][0]["max_sag_m"], rel=1e-12)
        rows = list(csv.DictReader(open(tmp_path / model / "spans.csv", encoding="utf-8-sig")))
        assert float(rows[0]["other_model_max_sag_m"]) == span["other_model_max_sag_m"]
        assert doc["sections"][0]["holds"] == [True] * len(doc["conditions"])
