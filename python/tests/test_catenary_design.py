"""model= on the design calls: with "catenary" they give what the varnel command gives with
--model catenary (its --json, parsed by the json module), to the bit; with "parabola" (the
default) what they gave before, which the command's parabola also gives.

The command is found as VARNEL, else beside VARNEL_LIBRARY (build/release/bin/), else in this
tree's build folders; without it the comparisons skip.
"""

import json
import os
import pathlib
import subprocess

import numpy as np
import pytest

import varnel

ROOT = pathlib.Path(__file__).resolve().parents[2]
SAMPLES = ROOT / "samples"
AREA = "典型气象区Ⅵ"
CONDUCTOR = "JL/G1A-240/30"


def _command():
    candidates = [os.environ.get("VARNEL")]
    if os.environ.get("VARNEL_LIBRARY"):
        candidates.append(str(pathlib.Path(os.environ["VARNEL_LIBRARY"]).parent / "varnel"))
    candidates += [str(ROOT / "build" / p / "bin" / "varnel") for p in ("release", "native")]
    for c in candidates:
        if c and os.access(c, os.X_OK):
            return c
    pytest.skip("no varnel command: set VARNEL or VARNEL_LIBRARY, or build the release preset")


def _run(*args):
    out = subprocess.run([_command(), *args, "--areas", str(SAMPLES / "weather_areas.dbf"),
                          "--area", AREA, "--conductors", str(SAMPLES / "conductors.dbf"),
                          "--conductor", CONDUCTOR, "--json"],
                         capture_output=True, check=True)
    return json.loads(out.stdout)


@pytest.fixture(scope="module")
def design(areas, conductors):
    return conductors[CONDUCTOR], areas[AREA]


@pytest.mark.parametrize("model", ["parabola", "catenary"])
@pytest.mark.parametrize("span, height", [(300.0, None), (650.0, 80.0), (1200.0, -300.0)])
def test_control_is_the_commands(design, model, span, height):
    conductor, area = design
    extra = [] if height is None else ["--height-difference", repr(height)]
    doc = _run("control", "--span", repr(span), "--model", model, *extra)
    got = varnel.control(span, conductor, area, model=model, height_difference=height)
    assert got.model == doc["model"] == model
    assert got.index == doc["controlling"]["index"]
    assert list(got.stress) == [c["stress_N_per_mm2"] for c in doc["conditions"]]
    assert list(got.sag) == [c["sag_m"] for c in doc["conditions"]]
    assert list(got.limit) == [c["limit_N_per_mm2"] for c in doc["conditions"]]
    assert list(got.holds) == [c["holds"] for c in doc["conditions"]] == [True] * len(area)
    if model == "catenary":
        assert got.height_difference == doc["height_difference_m"]
        assert got.search_index == doc["parabola_controlling"]["index"]
    else:
        assert got.search_index == got.index


@pytest.mark.parametrize("model", ["parabola", "catenary"])
@pytest.mark.parametrize("cos", [1.0, 0.93])
def test_sag_table_is_the_commands(design, model, cos):
    conductor, area = design
    doc = _run("sag-table", "--spans", "50:1250:150", "--cos", repr(cos), "--model", model)
    spans = [row["span_m"] for row in doc["spans"]]
    got = varnel.sag_table(conductor, area, spans, cos=cos, model=model, frame=False)
    # The area's, then its ice without wind.
    names = [c["name"] for c in doc["conditions"]]
    assert names == [c.name for c in area] + ["覆冰无风"]
    for i, row in enumerate(doc["spans"]):
        assert got["control"][i] == row["controlling"]["index"]
        assert [got[f"stress_{n}"][i] for n in names] == row["stress_N_per_mm2"]
        assert [got[f"sag_{n}"][i] for n in names] == row["sag_m"]


@pytest.mark.parametrize("model, extra", [("parabola", []), ("catenary", []),
                                          ("catenary", ["--cos", "0.9"]),
                                          ("catenary", ["--height-difference", "60"])])
def test_critical_spans_are_the_commands(design, model, extra):
    conductor, area = design
    doc = _run("critical", "--model", model, *extra)
    kwargs = {}
    if extra and extra[0] == "--cos":
        kwargs["cos"] = float(extra[1])
    if extra and extra[0] == "--height-difference":
        kwargs["height_difference"] = float(extra[1])
    got = varnel.critical_spans(conductor, area, model=model, **kwargs)
    assert list(got.candidates) == [c["index"] for c in doc["candidates"]]
    assert [(p.a, p.b, p.span) for p in got.pairs] == \
        [(p["a"]["index"], p["b"]["index"], p["span_m"]) for p in doc["pairs"]]
    assert [(r.condition, r.from_m, r.to_m) for r in got.ranges] == \
        [(r["controlling"]["index"], r["from_m"], r["to_m"]) for r in doc["ranges"]]


@pytest.mark.parametrize("model", ["parabola", "catenary"])
def test_section_and_stringing_table_are_the_commands(design, model):
    conductor, area = design
    doc = _run("section", "--section", str(SAMPLES / "section.csv"), "--model", model,
               "--stringing", "-30:45:7.5", "--compensate", "10")
    spans = [(s["span_m"], s["height_difference_m"]) for s in doc["spans"]]
    got = varnel.design_section(conductor, area, spans, model=model)
    assert got.controlling == doc["controlling"]["index"]
    assert got.control_stress == doc["control_stress_N_per_mm2"]
    assert list(got.stress) == [c["stress_N_per_mm2"] for c in doc["conditions"]]
    assert list(got.limit) == [c["limit_N_per_mm2"] for c in doc["conditions"]]
    assert list(got.holds) == [c["holds"] for c in doc["conditions"]]
    assert list(got.vertical_load) == [c["vertical_load_N_per_m_mm2"] for c in doc["conditions"]]
    assert got.extra == ("覆冰无风",) and doc["conditions"][-1]["derived"]
    assert got.parabola_controlling == doc["parabola_controlling"]["index"]
    for mine, theirs in zip(got.spans, doc["spans"]):
        assert list(mine.sag) == theirs["sag_m"]
        assert list(mine.higher_support_stress) == theirs["higher_support_stress_N_per_mm2"]
    table = varnel.stringing_table(conductor, area, spans, (-30.0, 45.0, 7.5), compensation=10.0,
                                   model=model, frame=False)
    assert list(table["temperature"]) == [r["temperature_degC"] for r in doc["stringing"]]
    assert list(table["stress"]) == [r["stress_N_per_mm2"] for r in doc["stringing"]]
    for k in range(len(spans)):
        assert list(table[f"sag_{k + 1}"]) == [r["sag_m"][k] for r in doc["stringing"]]


def test_the_parabola_is_the_default_and_the_models_differ(design):
    """Without model= every call is the parabola's, to the bit; the catenary's figures differ
    from them, by little at these spans."""
    conductor, area = design
    spans = [(320.0, 0.0), (385.0, 12.5), (1100.0, -200.0)]
    assert varnel.design_section(conductor, area, spans) == \
        varnel.design_section(conductor, area, spans, model="parabola")
    p = varnel.design_section(conductor, area, spans)
    c = varnel.design_section(conductor, area, spans, model="catenary")
    assert c.stress != p.stress
    np.testing.assert_allclose(c.stress, p.stress, rtol=0.03)
    base = varnel.sag_table(conductor, area, [150.0, 700.0], frame=False)
    same = varnel.sag_table(conductor, area, [150.0, 700.0], frame=False, model="parabola")
    for key in base:
        np.testing.assert_array_equal(base[key], same[key])


@pytest.mark.parametrize("call", [
    lambda c, a: varnel.control(300.0, c, a, model="exact"),
    lambda c, a: varnel.sag_table(c, a, [300.0], model="flat"),
    lambda c, a: varnel.sag_table(c, a, [0.0, 300.0], model="catenary"),
    lambda c, a: varnel.critical_spans(c, a, height_difference=50.0),
    lambda c, a: varnel.control(300.0, c, a, cos=0.9, height_difference=50.0),
    lambda c, a: varnel.design_section(c, a, [300.0], model="Catenary"),
])
def test_refusals(design, call):
    with pytest.raises(ValueError):
        call(*design)
