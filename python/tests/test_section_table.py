"""design_section(...).table: spans × conditions, named and in the area's order, holding what
`varnel section --json` gives, and sags that are the parabola's γl²/(8σ) worked out here."""

import json
import math
import os
import pathlib
import subprocess

import pytest

import varnel

pd = pytest.importorskip("pandas")

ROOT = pathlib.Path(__file__).resolve().parents[2]
SAMPLES = ROOT / "samples"
AREA = "典型气象区Ⅵ"
CONDUCTOR = "JL/G1A-240/30"


def command_doc(*args):
    program = os.environ.get("VARNEL") or str(ROOT / "build" / "release" / "bin" / "varnel")
    if not os.access(program, os.X_OK):
        pytest.skip("no varnel command built (set VARNEL)")
    out = subprocess.run([program, *args, "--areas", str(SAMPLES / "weather_areas.dbf"),
                          "--area", AREA, "--conductors", str(SAMPLES / "conductors.dbf"),
                          "--conductor", CONDUCTOR, "--json"], capture_output=True, check=True)
    return json.loads(out.stdout)


@pytest.fixture(scope="module")
def design(areas, conductors):
    return conductors[CONDUCTOR], areas[AREA]


@pytest.mark.parametrize("model", ["parabola", "catenary"])
def test_the_table_is_the_commands_section(design, model):
    conductor, area = design
    doc = command_doc("section", "--section", str(SAMPLES / "section.csv"), "--model", model)
    spans = [(s["span_m"], s["height_difference_m"]) for s in doc["spans"]]
    table = varnel.design_section(conductor, area, spans, model=model).table
    names = [c["name"] for c in doc["conditions"]]
    # The area's order, then the ice without wind; never sorted by name.
    assert list(table.columns.get_level_values("condition").unique()) == names
    assert names[:len(area.conditions)] == [c.name for c in area.conditions]
    assert list(table.index.get_level_values("span")) == list(range(1, len(spans) + 1))
    assert list(table.index.get_level_values("span_m")) == [s[0] for s in spans]
    sags = table.xs("sag_m", axis=1, level="quantity")
    support = table.xs("support_stress_N_per_mm2", axis=1, level="quantity")
    for i, theirs in enumerate(doc["spans"]):
        assert list(sags.iloc[i]) == theirs["sag_m"]
        assert list(support.iloc[i]) == theirs["higher_support_stress_N_per_mm2"]
    for k, c in enumerate(doc["conditions"]):
        assert (table[(c["name"], "stress_N_per_mm2")] == c["stress_N_per_mm2"]).all()


def test_level_parabola_sags_by_hand(design):
    """Level spans, parabola: f = γ·l²/(8σ) with γ the condition's load and σ its stress."""
    conductor, area = design
    spans = [250.0, 400.0, 310.0]
    got = varnel.design_section(conductor, area, spans)
    table = got.table
    for k, name in enumerate(got.conditions):
        gamma = got.load[k]
        sigma = table[(name, "stress_N_per_mm2")].iloc[0]
        for i, length in enumerate(spans):
            expected = gamma * length ** 2 / (8 * sigma)
            assert table[(name, "sag_m")].iloc[i] == pytest.approx(expected, rel=1e-12)
    # One condition's columns by its name.
    assert list(table["年平"].columns) == ["stress_N_per_mm2", "sag_m",
                                          "support_stress_N_per_mm2"]


def test_duplicate_names_are_refused_by_the_table(design):
    conductor, area = design
    twice = list(area.conditions) + [varnel.Condition(area.conditions[0].name, 0, 0, 30)]
    got = varnel.design_section(conductor, twice, [300.0])
    with pytest.raises(ValueError, match="two are named"):
        got.table
    assert math.isfinite(got.stress[0])
