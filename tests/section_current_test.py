"""varnel section --current / --max-temperature: the conductor's operating temperature as one
more condition of the sag table, its stress from the controlling condition, held against the
library's own state equation (its C entry StateEquationGetForce) and against varnel thermal.

Run by ctest with VARNEL (the program) and VARNEL_ROOT (the source tree) in the environment.
"""
import ctypes
import json
import math
import os
import struct
import subprocess

import pytest

VARNEL = os.path.abspath(os.environ["VARNEL"])
SAMPLES = os.path.join(os.environ["VARNEL_ROOT"], "samples")
AREAS = os.path.join(SAMPLES, "weather_areas.dbf")
CONDUCTORS = os.path.join(SAMPLES, "conductors.dbf")
SECTION_CSV = os.path.join(SAMPLES, "section.csv")
CONDUCTOR = "JL/G1A-240/30"
SECTION = ["section", "--areas", AREAS, "--area", "典型气象区Ⅵ", "--conductors", CONDUCTORS,
           "--conductor", CONDUCTOR, "--section", SECTION_CSV]
WEATHER = ["--ambient", "40", "--wind", "0.5", "--solar", "1000"]
G = 9.80665


def run(args):
    p = subprocess.run([VARNEL] + args, capture_output=True, timeout=60)
    return p.returncode, p.stdout.decode("utf-8"), p.stderr.decode("utf-8", "replace")


def succeed(args):
    status, out, err = run(args)
    assert status == 0, err
    return out


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


def library_stress(doc, temperature):
    """The stress at `temperature` without ice or wind from the controlling condition at the
    ruling span, by the library's StateEquationGetForce."""
    lib = ctypes.CDLL(os.path.join(os.path.dirname(VARNEL), "libvarnel.so"))
    force = lib.StateEquationGetForce
    force.restype = ctypes.c_bool
    force.argtypes = [ctypes.c_double, ctypes.c_double, ctypes.POINTER(_Conductor),
                      ctypes.POINTER(_Condition), ctypes.POINTER(_Condition), ctypes.c_double,
                      ctypes.POINTER(ctypes.c_double)]
    area = next(a for a in json.loads(succeed(["areas", AREAS, "--json"]))["areas"]
                if a["name"] == "典型气象区Ⅵ")
    known = area["conditions"][doc["controlling"]["index"]]
    c = doc["conductor"]
    conductor = _Conductor(area=c["area_mm2"], diameter=c["diameter_mm"],
                           unit_mass=c["unit_mass_kg_per_km"],
                           elastic_modulus=c["elastic_modulus_N_per_mm2"],
                           expansion=c["expansion_per_degC"],
                           rated_strength=c["rated_strength_N"])
    out = ctypes.c_double()
    assert force(doc["ruling_span_m"], doc["ruling_cos"], conductor,
                 _Condition(b"", known["ice_mm"], known["wind_m_per_s"],
                            known["temperature_degC"]),
                 _Condition(b"", 0, 0, temperature), doc["control_stress_N_per_mm2"],
                 ctypes.byref(out))
    return out.value


def spans_of_sample():
    with open(SECTION_CSV) as f:
        return [tuple(map(float, line.split(","))) for line in f.read().split()[1:]]


@pytest.mark.skipif(os.environ.get("VARNEL_SANITIZED") == "1",
                    reason="a library built with the sanitizers cannot be loaded into Python")
@pytest.mark.parametrize("temperature", [40, 70, 87.5])
def test_max_temperature_condition_against_the_state_equation(temperature):
    plain = json.loads(succeed(SECTION + ["--json"]))
    doc = json.loads(succeed(SECTION + ["--max-temperature", str(temperature), "--json"]))
    n = len(plain["conditions"])
    # The design conditions, the controlling one and their figures are untouched.
    assert doc["conditions"][:n] == plain["conditions"]
    assert doc["controlling"] == plain["controlling"]
    assert len(doc["conditions"]) == n + 1
    extra = doc["conditions"][n]
    assert doc["operating"] == {"condition": {"index": n, "name": extra["name"]},
                                "temperature_degC": temperature}
    assert extra["name"] == f"导线温度 {temperature:g} °C"
    c = doc["conductor"]
    gamma = c["unit_mass_kg_per_km"] * G / 1000 / c["area_mm2"]
    assert extra["specific_load_N_per_m_mm2"] == pytest.approx(gamma, rel=1e-12)
    sigma = library_stress(doc, temperature)
    assert extra["stress_N_per_mm2"] == pytest.approx(sigma, rel=1e-9)
    # Each span's sag γ·l²/(8σ·cos β) and its stress at the higher support.
    for (l, h), span, before in zip(spans_of_sample(), doc["spans"], plain["spans"]):
        cos = l / math.hypot(l, h)
        assert span["sag_m"][n] == pytest.approx(gamma * l * l / (8 * sigma * cos), rel=1e-9)
        vertical = sigma * abs(h) / l + gamma * l / (2 * cos)
        assert span["higher_support_stress_N_per_mm2"][n] == \
            pytest.approx(math.hypot(sigma, vertical), rel=1e-9)
        assert span["sag_m"][:n] == before["sag_m"]
        assert span["max_sag_m"] == max(span["sag_m"])
        assert span["sag_m"][span["max_sag_condition"]["index"]] == span["max_sag_m"]


def area_with_high_temperature(tmp_path, temperature):
    """A copy of the sample areas whose 典型气象区Ⅵ has its high-temperature condition (高温: no
    ice, no wind) at `temperature`: its T_HIGH field rewritten in place."""
    data = bytearray(open(AREAS, "rb").read())
    count, header, record = struct.unpack("<IHH", data[4:12])
    fields, at = {}, 1
    for off in range(32, header - 1, 32):
        if data[off] == 0x0D:
            break
        fields[data[off:off + 11].split(b"\0")[0].decode()] = (at, data[off + 16])
        at += data[off + 16]
    start, width = fields["T_HIGH"]
    for row in range(count):
        base = header + row * record
        if data[base + 1:base + 1 + fields["AREA"][1]].decode("gbk").strip() == "典型气象区Ⅵ":
            data[base + start:base + start + width] = f"{temperature:>{width}g}".encode()
            path = tmp_path / "areas.dbf"
            path.write_bytes(bytes(data))
            return str(path)
    raise AssertionError("no 典型气象区Ⅵ in the sample areas")


@pytest.mark.parametrize("temperature", [-10, 70, 95, 150])
def test_the_same_as_an_area_whose_condition_has_that_temperature(tmp_path, temperature):
    """The design layer works out 高温 of the rewritten area as any design condition; the
    operating condition at the same temperature must come out the same."""
    doc = json.loads(succeed(SECTION + ["--max-temperature", str(temperature), "--json"]))
    other = SECTION.copy()
    other[2] = area_with_high_temperature(tmp_path, temperature)
    area = json.loads(succeed(other + ["--json"]))
    assert area["controlling"] == doc["controlling"]
    high = next(i for i, c in enumerate(area["conditions"]) if c["name"] == "高温")
    n = len(doc["conditions"]) - 1
    for key in ["specific_load_N_per_m_mm2", "stress_N_per_mm2"]:
        assert doc["conditions"][n][key] == pytest.approx(area["conditions"][high][key],
                                                          rel=1e-12)
    for mine, theirs in zip(doc["spans"], area["spans"]):
        for key in ["sag_m", "higher_support_stress_N_per_mm2"]:
            assert mine[key][n] == pytest.approx(theirs[key][high], rel=1e-12)


def test_hot_conductor_has_the_largest_sag_and_a_cold_one_does_not():
    hot = json.loads(succeed(SECTION + ["--max-temperature", "120", "--json"]))
    n = len(hot["conditions"]) - 1
    assert all(s["max_sag_condition"]["index"] == n for s in hot["spans"])
    cold = json.loads(succeed(SECTION + ["--max-temperature", "-10", "--json"]))
    assert all(s["max_sag_condition"]["index"] != n for s in cold["spans"])


@pytest.mark.parametrize("current, model", [(400, "ieee738"), (645, "ieee738"),
                                            (645, "cigre601")])
def test_current_takes_the_temperature_of_varnel_thermal(current, model):
    thermal = json.loads(succeed(["thermal", "--conductors", CONDUCTORS, "--conductor", CONDUCTOR,
                                  "--current", str(current), "--model", model, "--json"]
                                 + WEATHER))
    t = thermal["temperature_degC"]
    doc = json.loads(succeed(SECTION + ["--current", str(current), "--thermal-model", model,
                                        "--json"] + WEATHER))
    n = len(doc["conditions"]) - 1
    assert doc["operating"] == {"condition": {"index": n, "name": f"载流 {current} A ({t:.1f} °C)"},
                                "temperature_degC": t, "current_A": current, "thermal_model": model}
    # The same condition as the temperature given directly.
    direct = json.loads(succeed(SECTION + ["--max-temperature", repr(t), "--json"]))
    assert doc["conditions"][n]["stress_N_per_mm2"] == direct["conditions"][n]["stress_N_per_mm2"]
    assert [s["sag_m"] for s in doc["spans"]] == [s["sag_m"] for s in direct["spans"]]


def test_text_names_the_condition_in_both_tables():
    out = succeed(SECTION + ["--current", "645"] + WEATHER)
    t = json.loads(succeed(["thermal", "--conductors", CONDUCTORS, "--conductor", CONDUCTOR,
                            "--current", "645", "--json"] + WEATHER))["temperature_degC"]
    name = f"载流 645 A ({t:.1f} °C)"
    stresses, sags = out.split("Horizontal stress")[1].split("Sag at mid-span")
    assert name in stresses and name in sags.split("\n")[1]
    assert "Controlling condition at the ruling span: 载流" not in out


@pytest.mark.parametrize("args, message", [
    (["--current", "600", "--max-temperature", "70"], "--current excludes --max-temperature"),
    (["--wind", "2"], "--wind describes the heat balance, which only --current needs"),
    (["--max-temperature", "70", "--thermal-model", "cigre601"], "--thermal-model describes"),
    (["--current", "600", "--thermal-model", "ieee"], "--thermal-model: "),
    (["--current", "-1"], '--current: "-1" must be at least 0'),
    (["--current", "5000"], "beyond the 200 °C"),
])
def test_refusals(args, message):
    status, out, err = run(SECTION + args)
    assert (status, out) == (2, "")
    assert err.startswith("varnel: ") and message in err and err.count("\n") == 1, err


def test_a_conductor_without_a_resistance_row_needs_one(tmp_path):
    for name in ["conductors.dbf", "weather_areas.dbf", "section.csv"]:
        (tmp_path / name).write_bytes(open(os.path.join(SAMPLES, name), "rb").read())
    args = ["section", "--areas", str(tmp_path / "weather_areas.dbf"), "--area", "典型气象区Ⅵ",
            "--conductors", str(tmp_path / "conductors.dbf"), "--conductor", CONDUCTOR,
            "--section", str(tmp_path / "section.csv"), "--current", "600", "--json"]
    status, out, err = run(args)
    assert (status, out) == (2, "") and "--r20 or --resistance" in err
    # Its resistance given: the sample's own row's figure gives the sample's temperature.
    given = json.loads(succeed(args + ["--r20", "0.1181"]))
    sample = json.loads(succeed(SECTION + ["--current", "600", "--json"]))
    # ieee738 has no use for the strands the row also gives.
    assert given["operating"] == sample["operating"]
