"""varnel.check_profile on the sample line: the same figures as `varnel profile --json`, curves
that are the catenary worked out here from the section's stress, and the refusals."""

import json
import math
import os
import pathlib
import subprocess

import numpy as np
import pytest

import varnel

pd = pytest.importorskip("pandas")

ROOT = pathlib.Path(__file__).resolve().parents[2]
SAMPLES = ROOT / "samples"
PROFILE = SAMPLES / "profile"
AREA = "典型气象区Ⅵ"
CONDUCTOR = "JL/G1A-240/30"


def command():
    """The varnel command of this tree: $VARNEL, else the first one built under build/."""
    given = os.environ.get("VARNEL")
    if given:
        return given
    for preset in ("release", "native"):
        path = ROOT / "build" / preset / "bin" / "varnel"
        if path.is_file():
            return str(path)
    return None


@pytest.fixture(scope="module")
def inputs():
    area = next(a for a in varnel.load_weather_areas(str(SAMPLES / "weather_areas.dbf"))
                if a.name == AREA)
    conductor = next(c for c in varnel.load_conductors(str(SAMPLES / "conductors.dbf"))
                     if c.name == CONDUCTOR)
    return area, conductor


@pytest.fixture(scope="module")
def line(inputs):
    area, conductor = inputs
    return varnel.check_profile(str(PROFILE / "terrain.csv"), str(PROFILE / "towers.csv"),
                                conductor, area, crossings=str(PROFILE / "crossings.csv"),
                                ground_clearance=7)


def test_the_command_gives_the_same_figures(line):
    program = command()
    if program is None:
        pytest.skip("no varnel command built (set VARNEL)")
    p = subprocess.run(
        [program, "profile", "--terrain", str(PROFILE / "terrain.csv"),
         "--towers", str(PROFILE / "towers.csv"), "--crossings", str(PROFILE / "crossings.csv"),
         "--areas", str(SAMPLES / "weather_areas.dbf"), "--area", AREA,
         "--conductors", str(SAMPLES / "conductors.dbf"), "--conductor", CONDUCTOR,
         "--ground-clearance", "7", "--json"], capture_output=True, timeout=120)
    assert p.returncode == 0, p.stderr.decode("utf-8", "replace")
    doc = json.loads(p.stdout.decode("utf-8"))
    assert doc["model"] == line.model == "catenary"
    assert len(doc["sections"]) == len(line.sections) == 5
    for mine, theirs in zip(line.sections.itertuples(), doc["sections"]):
        assert (mine._1, mine.to) == (theirs["from"], theirs["to"])
        assert mine.controlling == theirs["controlling"]["name"]
        assert mine.max_sag_condition == theirs["max_sag_condition"]["name"]
    assert len(doc["spans"]) == len(line.spans)
    for (_, mine), theirs in zip(line.spans.iterrows(), doc["spans"]):
        for key in ("span_m", "max_sag_m", "min_clearance_m", "min_clearance_station_m",
                    "low_point_station_m"):
            assert mine[key] == pytest.approx(theirs[key], rel=1e-9, abs=1e-9), key
        assert bool(mine["ok"]) == theirs["ok"]
    names = [c["name"] for c in doc["conditions"]]
    assert list(line.conditions) == names
    towers = line.towers.set_index(["name", "condition"])
    for t in doc["towers"]:
        for key in ("vertical_span_m", "vertical_load_N", "horizontal_load_N", "swing_angle_deg"):
            for condition, value in zip(names, t.get(key) or []):
                if value is not None:
                    assert towers.loc[(t["name"], condition), key] == \
                        pytest.approx(value, rel=1e-9, abs=1e-9), (t["name"], key, condition)
    assert [(v.kind, v.where) for v in line.violations.itertuples()] == \
        [(v["kind"], v["where"]) for v in doc["violations"]]
    for mine, theirs in zip(line.violations.itertuples(), doc["violations"]):
        assert mine.value == pytest.approx(theirs["value"], rel=1e-9)


def catenary_height(l, h, p, x):
    """Height above the near support at x of a catenary of parameter p over span l, rise h."""
    a = l / 2 - p * math.asinh(h / (2 * p * math.sinh(l / (2 * p))))
    return p * (math.cosh((x - a) / p) - math.cosh(a / p))


@pytest.mark.parametrize("span", [0, 7, 9, 13, 18])
def test_curve_is_the_catenary_of_the_section_stress(line, inputs, span):
    _, conductor = inputs
    # Still air, no ice: the conductor's own weight per m and mm².
    gamma = conductor.unit_mass_kg_per_km * 9.80665e-3 / conductor.area_mm2
    s = line.spans.iloc[span]
    section = line.sections.iloc[int(s["section"])]
    condition = s["max_sag_condition"]
    p = section[f"stress_{condition}_N_per_mm2"] / gamma
    curve = line.curve(span, condition, points=101)
    assert len(curve) == 101
    assert curve["station_m"].iloc[0] == s["near_station_m"]
    assert curve["station_m"].iloc[-1] == s["far_station_m"]
    # The attachments as the sample's files give them: ground + arm (− string when suspended).
    towers = pd.read_csv(PROFILE / "towers.csv")
    terrain = pd.read_csv(PROFILE / "terrain.csv")

    def attachment(i):
        t = towers.iloc[i]
        z = np.interp(t["station_m"], terrain["station_m"], terrain["elevation_m"])
        return z + t["arm_height_m"] - (t["insulator_length_m"] if t["kind"] == "suspension"
                                        else 0)

    z0, z1 = attachment(span), attachment(span + 1)
    l = s["far_station_m"] - s["near_station_m"]
    for station, elevation in zip(curve["station_m"], curve["elevation_m"]):
        expected = z0 + catenary_height(l, z1 - z0, p, station - s["near_station_m"])
        assert elevation == pytest.approx(expected, abs=1e-6)
    # The lowest clearance of the span is no larger than any sampled one, and close to them.
    ground = np.interp(curve["station_m"], terrain["station_m"], terrain["elevation_m"])
    sampled = (curve["elevation_m"] - ground).min()
    assert s["min_clearance_m"] <= sampled + 1e-9
    assert s["min_clearance_m"] > sampled - 0.05


def test_dataframes_and_paths_agree(line, inputs):
    area, conductor = inputs
    frames = [pd.read_csv(PROFILE / name) for name in ("terrain.csv", "towers.csv",
                                                       "crossings.csv")]
    again = varnel.check_profile(frames[0], frames[1], conductor, area, crossings=frames[2],
                                 ground_clearance=7)
    pd.testing.assert_frame_equal(again.spans, line.spans)
    pd.testing.assert_frame_equal(again.towers, line.towers)
    pd.testing.assert_frame_equal(again.violations, line.violations)


def test_sample_fails_where_it_is_meant_to(line):
    assert sorted(line.violations["kind"]) == ["ground", "swing"]
    swing = line.violations[line.violations["kind"] == "swing"].iloc[0]
    assert swing["where"] == "N8" and swing["value"] > swing["limit"] == 55
    ground = line.violations[line.violations["kind"] == "ground"].iloc[0]
    assert ground["where"] == "N14-N15" and ground["value"] < 7


@pytest.mark.parametrize("change,error", [
    (lambda t, w: (t, w.assign(kind=w["kind"].replace("strain", "deadend"))), ValueError),
    (lambda t, w: (t, w.drop(columns=["arm_height_m"])), ValueError),
    (lambda t, w: (t.iloc[::-1], w), ValueError),
    (lambda t, w: (t, w.iloc[[0]]), ValueError),
    (lambda t, w: (42, w), TypeError),
])
def test_refusals(inputs, change, error):
    area, conductor = inputs
    terrain, towers = change(pd.read_csv(PROFILE / "terrain.csv"),
                             pd.read_csv(PROFILE / "towers.csv"))
    with pytest.raises(error):
        varnel.check_profile(terrain, towers, conductor, area)


def test_curve_refuses_what_is_not_there(line):
    with pytest.raises(IndexError):
        line.curve(len(line.spans))
    with pytest.raises(ValueError):
        line.curve(0, "no such condition")
    with pytest.raises(ValueError):
        line.curve(0, points=1)


def test_wind_at_15_m_and_the_design_codes_alpha(line, inputs):
    """N2 in 大风 carries the library's own wind routines at 15 m: 23.5·√1.14 m/s."""
    area, conductor = inputs
    assert line.wind_height == 10 and line.terrain_class == "B"
    strong = line.wind.set_index("condition").loc["大风"]
    v15 = 23.5 * math.sqrt(1.14)
    assert strong["wind_15m_m_per_s"] == pytest.approx(v15, rel=1e-15)
    assert strong["alpha_loads"] == 0.85 and strong["swing_checked"]
    assert list(line.wind["swing_checked"]) == [n in ("大风", "外过", "内过")
                                                for n in line.conditions]
    at15 = varnel.Condition("大风", 0, strong["wind_15m_m_per_s"], -5)
    n2 = line.towers.set_index(["name", "condition"]).loc[("N2", "大风")]
    expected = 1000 * (varnel.conductor_wind(at15, conductor, 385, 24)
                       + varnel.insulator_wind(at15, 24, 0))
    assert n2["horizontal_load_N"] == pytest.approx(expected, rel=1e-15)
    # The swing's α is GB 50545-2010 Table 10.1.18-1's row for the electrical clearance, by the
    # speed alone: 0.75 at 23.5 m/s in place of the routine's 0.85. N8 swings 72.1°, held by
    # half its 520 N string and the conductor's weight over its weight span.
    assert list(line.wind["alpha_clearance"]) == [0.75 if n == "大风" else 1.0
                                                  for n in line.conditions]
    n8 = line.towers.set_index(["name", "condition"]).loc[("N8", "大风")]
    push = 1000 * varnel.conductor_wind(at15, conductor, 382.5, 21) * 0.75 / 0.85
    down = 260 + conductor.unit_mass_kg_per_km * 9.80665e-3 * n8["vertical_span_m"]
    assert n8["swing_angle_deg"] == pytest.approx(math.degrees(math.atan(push / down)), abs=1e-9)
    assert round(n8["swing_angle_deg"], 1) == 72.1 and n8["alpha_clearance"] == 0.75
    # Given at 15 m, the speeds are taken as they are.
    same = varnel.check_profile(str(PROFILE / "terrain.csv"), str(PROFILE / "towers.csv"),
                                conductor, area, wind_height=15, alpha_loads=0.5)
    assert same.wind.set_index("condition").loc["大风", "wind_15m_m_per_s"] == 23.5
    assert list(same.wind["alpha_loads"]) == [0.5] * len(same.conditions)
    with pytest.raises(ValueError, match="10 or 15"):
        varnel.check_profile(str(PROFILE / "terrain.csv"), str(PROFILE / "towers.csv"),
                             conductor, area, wind_height=12)


def test_uplift_limits_per_condition_kinds_and_warnings(inputs):
    area, conductor = inputs
    terrain = pd.DataFrame({"station_m": [0, 426, 914], "elevation_m": [100, 10, 100]})
    towers = pd.DataFrame({
        "name": ["A", "B", "C"], "station_m": [0, 426, 914], "kind": ["耐张", "直线", "耐张"],
        "arm_height_m": [30, 32.5, 30], "insulator_length_m": [0, 2.5, 0],
        "insulator_weight_N": [600, 600, 600], "ground_elevation_m": [100, None, 107],
        "max_swing_外过_deg": [None, 1, None]})
    with pytest.warns(UserWarning, match="tower C stands at 107 m .* 7.00 m from the terrain"):
        sunk = varnel.check_profile(terrain, towers, conductor, area)
    b = sunk.towers[sunk.towers["name"] == "B"]
    lifted = b[b["uplift_load_N"].notna()]
    assert len(lifted) > 0
    assert lifted["swing_angle_deg"].isna().all()
    weight = conductor.unit_mass_kg_per_km * 9.80665e-3  # N/m; 低温 has no ice
    cold = lifted[lifted["condition"] == "低温"].iloc[0]
    assert cold["uplift_load_N"] == pytest.approx(-(weight * cold["vertical_span_m"] + 300),
                                                  rel=1e-12)
    v = sunk.violations[sunk.violations["kind"] == "uplift"].iloc[0]
    assert v["load_N"] > 0 and v["value"] < 0
    assert list(b["swing_limit_deg"].notna()) == [n == "外过" for n in sunk.conditions]
    with pytest.raises(ValueError, match="name"):
        varnel.check_profile(terrain, towers.assign(name=["A", "B", "A"]), conductor, area)
    with pytest.raises(ValueError, match="大雨"):
        varnel.check_profile(terrain, towers.rename(columns={"max_swing_外过_deg":
                                                             "max_swing_大雨_deg"}),
                             conductor, area)


LEVEL = 420.0  # m, one span between two strain towers over flat ground
ARM = 24.0     # m


def level_span():
    terrain = pd.DataFrame({"station_m": [-10, LEVEL + 10], "elevation_m": [100, 100]})
    towers = pd.DataFrame({"name": ["A", "B"], "station_m": [0, LEVEL], "kind": ["strain"] * 2,
                           "arm_height_m": [ARM] * 2, "insulator_length_m": [0, 0],
                           "insulator_weight_N": [600, 600]})
    return terrain, towers


def test_solve_max_temperature_against_the_state_equation_by_hand(inputs):
    """The level span's middle keeps 8.5 m up to the temperature at which the parabolic state
    equation, linear in t, gives the stress of a sag of 24 − 8.5 m: solved for t by hand."""
    area, conductor = inputs
    terrain, towers = level_span()
    line = varnel.check_profile(terrain, towers, conductor, area, ground_clearance=8.5,
                                model="parabola", solve="max_temperature")
    e, alpha = conductor.elastic_modulus, conductor.expansion_coeff
    section = line.sections.iloc[0]
    k = line.conditions.index(section["controlling"])
    known = area.conditions[k]
    known_gamma = varnel.specific_load(known, conductor)
    sm, tm = section["control_stress_N_per_mm2"], known.temperature_c
    bare = conductor.unit_mass_kg_per_km * 9.80665e-3 / conductor.area_mm2
    sigma = bare * LEVEL ** 2 / (8 * (ARM - 8.5))
    by_hand = tm + ((sm - e * known_gamma ** 2 * LEVEL ** 2 / (24 * sm ** 2))
                    - (sigma - e * bare ** 2 * LEVEL ** 2 / (24 * sigma ** 2))) / (alpha * e)
    solve = line.solve
    assert isinstance(solve, varnel.TemperatureLimit)
    assert 40 < by_hand < 250
    assert solve.temperature == pytest.approx(by_hand, abs=2e-6)
    assert solve.searched == (-40.0, 250.0)
    assert list(solve.items.columns) == ["kind", "span", "crossing", "required_m",
                                         "temperature_degC", "station_m"]
    assert solve.limiting["kind"] == "ground" and solve.limiting["span"] == "A-B"
    assert solve.limiting["station_m"] == pytest.approx(LEVEL / 2, abs=1e-6)
    assert repr(solve) == f"TemperatureLimit({by_hand:.2f} °C, set by the ground under A-B)"
    # Without solve there is none.
    assert varnel.check_profile(terrain, towers, conductor, area, ground_clearance=8.5).solve \
        is None


def test_solve_on_the_sample_line_is_the_commands_and_its_current_varnel_ampacity(inputs):
    area, conductor = inputs
    line = varnel.check_profile(str(PROFILE / "terrain.csv"), str(PROFILE / "towers.csv"),
                                conductor, area, crossings=str(PROFILE / "crossings.csv"),
                                ground_clearance=3, solve="max_temperature")
    solve = line.solve
    assert (solve.limiting["span"], solve.limiting["kind"]) == ("N14-N15", "ground")
    assert len(solve.items) == len(line.spans) + 3
    assert list(solve.items["crossing"].dropna()) == ["river (highest navigable level)",
                                                      "road S214", "farm building"]
    assert solve.temperature == solve.items["temperature_degC"].min()
    assert (solve.items["temperature_degC"] == math.inf).any()  # some hold at 250 °C
    program = command()
    if program is None:
        pytest.skip("no varnel command built (set VARNEL)")
    p = subprocess.run(
        [program, "profile", "--terrain", str(PROFILE / "terrain.csv"),
         "--towers", str(PROFILE / "towers.csv"), "--crossings", str(PROFILE / "crossings.csv"),
         "--areas", str(SAMPLES / "weather_areas.dbf"), "--area", AREA,
         "--conductors", str(SAMPLES / "conductors.dbf"), "--conductor", CONDUCTOR,
         "--ground-clearance", "3", "--solve", "max-temperature", "--ambient", "40", "--json"],
        capture_output=True, timeout=120)
    assert p.returncode == 0, p.stderr
    command_solve = json.loads(p.stdout)["solve"]
    assert command_solve["temperature_degC"] == solve.temperature
    # The current for it: varnel.ampacity with the command's default weather (0.5 m/s across
    # the line, 1000 W/m²) and the sample's R20 of 0.1181 Ω/km.
    current = varnel.ampacity(conductor, solve.temperature, ambient=40, wind_speed=0.5,
                              solar=1000, resistance=0.1181, strand_diameter=3.60)
    assert float(current.current) == pytest.approx(command_solve["current_A"], rel=1e-12)


def test_solve_beyond_the_range_and_refusals(inputs):
    area, conductor = inputs
    terrain, towers = level_span()
    fails = varnel.check_profile(terrain, towers, conductor, area, ground_clearance=ARM + 1,
                                 solve="max_temperature").solve
    assert fails.temperature == -math.inf and fails.limiting["kind"] == "ground"
    assert repr(fails) == ("TemperatureLimit(the ground under A-B falls short already at "
                           "-40 °C)")
    holds = varnel.check_profile(terrain, towers, conductor, area, ground_clearance=2,
                                 solve="max_temperature").solve
    assert holds.temperature == math.inf and holds.limiting is None
    assert repr(holds) == "TemperatureLimit(every clearance holds up to 250 °C)"
    with pytest.raises(ValueError, match="solves for \"max_temperature\""):
        varnel.check_profile(terrain, towers, conductor, area, ground_clearance=7,
                             solve="max-temp")
    with pytest.raises(ValueError, match="max_temperature fixes the conductor's temperature"):
        varnel.check_profile(terrain, towers, conductor, area, ground_clearance=7,
                             max_temperature=80, solve="max_temperature")
    with pytest.raises(ValueError, match="no clearance to hold"):
        varnel.check_profile(terrain, towers, conductor, area, solve="max_temperature")
