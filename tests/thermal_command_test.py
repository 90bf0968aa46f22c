"""varnel thermal end to end: IEEE 738-2012's worked example through --json, the sample
conductors with their resistances from samples/conductor_resistance.csv, and the refusals.

Run by ctest with VARNEL (the program) and VARNEL_ROOT (the source tree) in the environment.
"""
import csv
import json
import math
import os
import re
import shutil
import subprocess

import pytest

VARNEL = os.path.abspath(os.environ["VARNEL"])
SAMPLES = os.path.join(os.environ["VARNEL_ROOT"], "samples")
CONDUCTORS = os.path.join(SAMPLES, "conductors.dbf")

# The example: Drake, 100 °C, 40 °C air, 0.61 m/s across the line, 30° N on 10 June at 11:00.
EXAMPLE = ["--diameter", "28.14", "--ambient", "40", "--wind", "0.61", "--wind-angle", "90",
           "--elevation", "0", "--latitude", "30", "--day", "161", "--hour", "11",
           "--azimuth", "90", "--atmosphere", "clear", "--emissivity", "0.8",
           "--absorptivity", "0.8", "--resistance", "25:0.07283,75:0.08688"]
KEYS = ["model", "temperature_degC", "current_A", "resistance_ohm_per_m", "joule_W_per_m",
        "solar_W_per_m", "convection_W_per_m", "forced_W_per_m", "natural_W_per_m",
        "radiation_W_per_m"]


def run(args):
    p = subprocess.run([VARNEL, "thermal"] + args, capture_output=True, timeout=60)
    return p.returncode, p.stdout.decode("utf-8"), p.stderr.decode("utf-8", "replace")


def balance(args):
    status, out, err = run(args + ["--json"])
    assert status == 0, err
    assert err == ""
    doc = json.loads(out)
    assert list(doc) == KEYS
    return doc


def test_ieee738_example_ampacity():
    doc = balance(EXAMPLE + ["--max-temperature", "100"])
    assert doc["model"] == "ieee738"
    assert doc["temperature_degC"] == 100
    assert abs(doc["forced_W_per_m"] / 81.93 - 1) < 0.002
    assert doc["convection_W_per_m"] == doc["forced_W_per_m"]
    assert round(doc["radiation_W_per_m"], 1) == 39.1
    assert abs(doc["solar_W_per_m"] / 22.44 - 1) < 0.006
    assert abs(doc["resistance_ohm_per_m"] - 9.390e-5) <= 0.5001e-8
    assert abs(doc["current_A"] - 1025) < 1
    # The balance closes.
    heating = doc["joule_W_per_m"] + doc["solar_W_per_m"]
    cooling = doc["convection_W_per_m"] + doc["radiation_W_per_m"]
    assert heating == pytest.approx(cooling, rel=1e-9)


def test_ieee738_example_temperature_for_its_current():
    doc = balance(EXAMPLE + ["--current", "1025"])
    assert doc["current_A"] == 1025
    assert abs(doc["temperature_degC"] - 100) < 0.1


@pytest.mark.parametrize("model", ["ieee738", "cigre601"])
def test_text_shows_the_json_figures(model):
    status, out, err = run(EXAMPLE + ["--max-temperature", "100", "--model", model])
    assert status == 0 and err == ""
    doc = balance(EXAMPLE + ["--max-temperature", "100", "--model", model])
    assert f"({model})" in out
    assert f"current      {doc['current_A']:.1f} A" in out
    assert f"radiation    {doc['radiation_W_per_m']:.2f} W/m" in out
    assert f"forced {doc['forced_W_per_m']:.2f}, natural {doc['natural_W_per_m']:.2f}" in out


# CIGRE TB 601's example B (Annex E): Drake-like, 100 °C, 20 °C air, 1.66 m/s at 80° to a
# north-south line at 50° N and 500 m, 3 October at 14:00 under a sky of clearness 0.5. The
# brochure prints P_c = 172.1, P_r = 54, P_s = 13.7 W/m and (transposed) 1054 for 1504 A.
def test_cigre601_brochure_example_b():
    doc = balance(["--diameter", "28.1", "--strand-diameter", "2.2", "--max-temperature", "100",
                   "--ambient", "20", "--wind", "1.66", "--wind-angle", "80", "--elevation", "500",
                   "--latitude", "50", "--day", "276", "--hour", "14", "--azimuth", "0",
                   "--clearness", "0.5", "--albedo", "0.15", "--emissivity", "0.9",
                   "--absorptivity", "0.9", "--resistance", "25:0.07283,75:0.08688",
                   "--model", "cigre601"])
    assert abs(doc["convection_W_per_m"] - 172.1) <= 0.1
    assert round(doc["radiation_W_per_m"]) == 54
    assert round(doc["solar_W_per_m"], 1) == 13.7
    assert abs(doc["current_A"] - 1504) < 1


def tube_skin_factor(rdc, core_ratio, frequency):
    """R_ac / R_dc of a tube (bore `core_ratio` of its outer diameter) from the closed form of the
    current's diffusion: J(u) = K1(qa) I0(qu) + I1(qa) K0(qu), q² = j x², J'(a) = 0."""
    mpmath = pytest.importorskip("mpmath")
    mpmath.mp.dps = 30
    a = mpmath.mpf(core_ratio)
    x2 = 2 * frequency * 4e-7 * mpmath.pi / (rdc * (1 - a * a))
    q = mpmath.sqrt(1j * x2)
    j1 = mpmath.besselk(1, q * a) * mpmath.besseli(0, q) + mpmath.besseli(1, q * a) * mpmath.besselk(0, q)
    dj1 = q * (mpmath.besselk(1, q * a) * mpmath.besseli(1, q) - mpmath.besseli(1, q * a) * mpmath.besselk(1, q))
    if core_ratio == 0:  # K1(0) is infinite: the solid conductor's J = I0(qu)
        j1, dj1 = mpmath.besseli(0, q), q * mpmath.besseli(1, q)
    return float(mpmath.re(1j * x2 * (1 - a * a) * j1 / (2 * dj1)))


@pytest.mark.parametrize("diameter,core,r20,frequency,temperature", [
    ("28.1", "10.4", "0.0718", "50", "100"),   # Drake-like: under 1 %
    ("33.8", "8.43", "0.0459", "60", "80"),    # JL/G1A-630/45
    ("33.8", "8.43", "0.0459", "400", "80"),   # a strong effect
    ("21.6", "0", "0.1181", "1000", "70"),      # a solid conductor
])
def test_skin_effect_agrees_with_the_tubes_closed_form(diameter, core, r20, frequency,
                                                        temperature):
    doc = balance(["--diameter", diameter, "--core-diameter", core, "--frequency", frequency,
                   "--r20", r20, "--max-temperature", temperature, "--model", "cigre601"])
    rdc = float(r20) / 1000 * (1 + 0.00403 * (float(temperature) - 20))
    k = tube_skin_factor(rdc, float(core) / float(diameter), float(frequency))
    assert doc["resistance_ohm_per_m"] / rdc == pytest.approx(k, rel=1e-7)
    assert k > 1


def read_csv(name):
    with open(os.path.join(SAMPLES, name), encoding="utf-8", newline="") as f:
        return {row["NAME"]: row for row in csv.DictReader(f)}


def test_resistance_sample_agrees_with_the_conductor_sources():
    table = read_csv("conductor_resistance.csv")
    hb = read_csv(os.path.join("src", "hb_lines.csv"))
    conductors = read_csv(os.path.join("src", "conductors.csv"))
    assert set(table) == set(conductors)
    for name, row in table.items():
        assert row["R20"] == hb[name]["RESISTANCE"]
        # "钢芯铝绞线 24/3.60+7/2.40 ...": the aluminium wires are the outer layer's.
        stranding = conductors[name]["STRANDING"].split()[1]
        assert row["STRAND_DIAMETER"] == stranding.split("+")[0].split("/")[1]


# Hard-drawn aluminium's resistivity at 20 °C (IEC 60889, GB/T 17048), Ω·mm²/m. The steel core's
# conductance (0.19157 Ω·mm²/m over some 30 to 45 mm²: about 6 Ω/km) is left out, as the
# conductor standard's resistance table leaves it out.
ALUMINIUM_RESISTIVITY = 0.028264


def test_resistance_sample_follows_from_the_aluminium_area():
    """R20 = ρ k / A_al: each aluminium wire is a helix, longer than the conductor by the factor
    k = √(1 + (π D_m / L)²) of its layer (D_m the layer's mean diameter, L = m D its lay length,
    m the lay ratio on the layer's outer diameter D, from 10 to 16 for aluminium layers). So k lies
    between the innermost layer's at m = 16 and the outermost's at m = 10."""
    table = read_csv("conductor_resistance.csv")
    conductors = read_csv(os.path.join("src", "conductors.csv"))
    for name, row in table.items():
        c = conductors[name]
        aluminium, steel = c["STRANDING"].split()[1].split("+")
        al_wire = float(aluminium.split("/")[1])
        st_wires, st_wire = steel.split("/")
        assert float(c["AL_AREA"]) == pytest.approx(
            int(aluminium.split("/")[0]) * math.pi / 4 * al_wire ** 2, rel=2e-4)
        core = 3 * float(st_wire) if st_wires == "7" else float(st_wire)
        outer = float(c["DIAMETER"])

        def factor(layer_outer, lay_ratio):
            return math.sqrt(1 + (math.pi * (layer_outer - al_wire) / (lay_ratio * layer_outer)) ** 2)

        lowest = factor(core + 2 * al_wire, 16)
        highest = factor(outer, 10)
        k = float(row["R20"]) / (ALUMINIUM_RESISTIVITY / float(c["AL_AREA"]) * 1000)
        assert lowest < k < highest, (name, lowest, k, highest)


@pytest.mark.parametrize("name,diameter,r20,strand", [
    ("JL/G1A-240/30", "21.6", "0.1181", "3.60"),
    ("JL/G1A-630/45", "33.8", "0.0459", "4.22"),
])
@pytest.mark.parametrize("model", ["ieee738", "cigre601"])
def test_sample_conductor_takes_its_resistance_from_the_sample(name, diameter, r20, strand, model):
    common = ["--max-temperature", "70", "--ambient", "40", "--wind", "0.5", "--solar", "1000",
              "--model", model]
    from_table = balance(["--conductors", CONDUCTORS, "--conductor", name] + common)
    typed = balance(["--diameter", diameter, "--r20", r20, "--strand-diameter", strand] + common)
    assert from_table == typed
    # R20 scaled to 70 °C with aluminium's 0.00403/°C.
    assert from_table["resistance_ohm_per_m"] == pytest.approx(
        float(r20) / 1000 * (1 + 0.00403 * 50), rel=1e-12)


def test_typed_resistance_overrides_the_sample():
    args = ["--conductors", CONDUCTORS, "--conductor", "JL/G1A-240/30", "--max-temperature", "70"]
    assert balance(args + ["--r20", "0.2"])["current_A"] < balance(args)["current_A"]


@pytest.mark.parametrize("args,needle", [
    (["--diameter", "28", "--r20", "0.1", "--current", "-5"], "--current: \"-5\" must be at least 0"),
    (["--diameter", "28", "--r20", "0.1", "--current", "500", "--wind", "-1"], "--wind"),
    (["--diameter", "-28", "--r20", "0.1", "--current", "500"], "--diameter"),
    (["--diameter", "28", "--r20", "0.1", "--max-temperature", "30", "--ambient", "40"],
     "above the ambient 40"),
    (["--diameter", "28", "--r20", "0.1", "--max-temperature", "40", "--ambient", "40"],
     "above the ambient 40"),
    (["--diameter", "28", "--r20", "0.1", "--current", "500", "--emissivity", "1.5"],
     "--emissivity"),
    (["--diameter", "28", "--r20", "0.1", "--current", "500", "--absorptivity", "-0.1"],
     "--absorptivity"),
    (["--diameter", "28", "--r20", "0.1", "--current", "500", "--solar", "900", "--latitude",
      "30"], "--solar"),
    (["--diameter", "28", "--r20", "0.1", "--current", "500", "--latitude", "30", "--day", "161"],
     "needs all of --latitude, --day, --hour and --azimuth"),
    (["--diameter", "28", "--r20", "0.1", "--current", "500", "--latitude", "30", "--day",
      "161.5", "--hour", "11", "--azimuth", "0"], "--day"),
    (["--diameter", "28", "--r20", "0.1", "--current", "500", "--model", "ieee"],
     "--model: the model must be ieee738 or cigre601"),
    (["--diameter", "28", "--resistance", "25:0.07", "--current", "500"], "--resistance"),
    # Below absolute zero: no temperature.
    (["--diameter", "28", "--resistance=-300:0.05,25:0.07", "--current", "500"],
     "--resistance: \"-300\" must be at least -273.15"),
    (["--diameter", "28", "--resistance", "25:0.07,25:0.08", "--current", "500"],
     "same temperature"),
    (["--diameter", "28", "--current", "500"], "the resistance is needed"),
    (["--diameter", "28", "--r20", "0.1"], "--current A (the temperature) or --max-temperature"),
    (["--r20", "0.1", "--current", "500"], "the conductor is needed"),
    (["--diameter", "28", "--r20", "0.1", "--current", "500", "--max-temperature", "70"],
     "--current"),
    (["--diameter", "28", "--r20", "0.1", "--current", "500", "--atmosphere", "industrial"],
     "--atmosphere, --albedo and --clearness need the sun's position"),
    ([a for a in EXAMPLE if a not in ("--atmosphere", "clear")] +
     ["--current", "500", "--clearness", "0.5"], "--clearness is cigre601's"),
    (EXAMPLE + ["--current", "500", "--clearness", "0.5", "--model", "cigre601"], "--clearness"),
    (["--diameter", "28", "--r20", "0.1", "--current", "500", "--core-diameter", "10"],
     "--core-diameter is cigre601's"),
    (["--diameter", "28", "--r20", "0.1", "--current", "500", "--core-diameter", "28",
      "--model", "cigre601"], "below the conductor's diameter"),
    (["--diameter", "28", "--r20", "0.1", "--current", "500", "--strand-diameter", "20"],
     "--strand-diameter: \"20\" must be below half the conductor's diameter, 14 mm"),
    (["--diameter", "28", "--r20", "0.1", "--current", "500", "--frequency", "60",
      "--model", "cigre601"], "--frequency requires --core-diameter"),
    (["--diameter", "28", "--r20", "0.1", "--current", "500", "--latitude", "30", "--day", "161",
      "--hour", "11", "--azimuth", "0", "--clearness", "1.5", "--model", "cigre601"],
     "--clearness"),
])
def test_refusals_are_one_line_and_status_2(args, needle):
    status, out, err = run(args)
    assert status == 2, err
    assert out == ""
    lines = err.splitlines()
    assert len(lines) == 1, err
    assert lines[0].startswith("varnel: ")
    assert needle in lines[0]


def test_unknown_sample_conductor_fails_the_work():
    status, out, err = run(["--conductors", CONDUCTORS, "--conductor", "JL/G1A-999/99",
                            "--current", "500"])
    assert status == 1 and out == ""
    assert len(err.splitlines()) == 1 and "JL/G1A-999/99" in err


def test_help_has_examples_and_plain_hints():
    status, out, err = run(["--help"])
    assert status == 0 and err == ""
    assert "varnel thermal" in out.split("Example")[1]
    # Options that are alternatives, or whose absence means "unknown", show no default.
    blocks = re.split(r"\n  (?=--)", out.split("Options:")[1])
    for option in ["--diameter", "--current", "--max-temperature", "--latitude", "--day",
                   "--hour", "--azimuth", "--strand-diameter", "--r20"]:
        block = next(b for b in blocks if b.startswith(option + " "))
        assert "(default" not in block, block
    assert "(default 0)" in next(b for b in blocks if b.startswith("--elevation "))
    assert "FLOAT" not in out and "TEXT" not in out


@pytest.mark.parametrize("row,needle", [
    ("JL/G1A-240/30,0.1x,3.60", 'line 2: R20: "0.1x" is not a number'),
    ("JL/G1A-240/30,0.1181", "line 2: expected NAME,R20,STRAND_DIAMETER"),
])
def test_a_resistance_row_that_does_not_read_fails_the_work(tmp_path, row, needle):
    shutil.copy(CONDUCTORS, tmp_path / "conductors.dbf")
    (tmp_path / "conductor_resistance.csv").write_text("NAME,R20,STRAND_DIAMETER\n" + row + "\n",
                                                       encoding="utf-8")
    status, out, err = run(["--conductors", str(tmp_path / "conductors.dbf"), "--conductor",
                            "JL/G1A-240/30", "--current", "500"])
    assert status == 1 and out == ""
    assert len(err.splitlines()) == 1
    assert "conductor_resistance.csv: " + needle in err


def test_without_the_resistance_file_the_resistance_is_asked_for(tmp_path):
    shutil.copy(CONDUCTORS, tmp_path / "conductors.dbf")
    status, out, err = run(["--conductors", str(tmp_path / "conductors.dbf"), "--conductor",
                            "JL/G1A-240/30", "--current", "500"])
    assert status == 2 and out == ""
    assert "the resistance is needed: --r20 or --resistance" in err


def test_a_current_below_the_rating_has_a_steady_temperature():
    """Without radiation the rating peaks (here near 590 °C) and falls again; a current just below
    the rating at a temperature is held below it, not refused as beyond 2,000 °C."""
    case = ["--diameter", "28.14", "--resistance", "25:0.02,75:0.1", "--wind", "10",
            "--solar", "0", "--emissivity", "0"]
    rating = balance(case + ["--max-temperature", "590"])["current_A"]
    held = balance(case + ["--current", str(rating - 1)])
    assert 40 < held["temperature_degC"] < 590
    heating = held["joule_W_per_m"]
    assert heating == pytest.approx(held["convection_W_per_m"], rel=1e-6)
    status, _, err = run(case + ["--current", str(rating * 1.01)])
    assert status == 2 and "no steady temperature" in err and "highest rating" in err
