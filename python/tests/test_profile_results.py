"""check_profile's results as the command gives them: the crossings as a table, the violations'
units, the conductor temperature's condition named as `varnel profile` names it (from
max_temperature= and from current= with the heat balance's options), curve(-1), and the
command's own drawing from to_svg(); plot() draws the same curves with matplotlib."""

import json
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
FILES = {"terrain": PROFILE / "terrain.csv", "towers": PROFILE / "towers.csv",
         "crossings": PROFILE / "crossings.csv"}


def command():
    given = os.environ.get("VARNEL")
    if given:
        return given
    for preset in ("release", "native"):
        path = ROOT / "build" / preset / "bin" / "varnel"
        if path.is_file():
            return str(path)
    pytest.skip("no varnel command built (set VARNEL)")


def run(*extra, check=True):
    p = subprocess.run(
        [command(), "profile", "--terrain", str(FILES["terrain"]), "--towers",
         str(FILES["towers"]), "--crossings", str(FILES["crossings"]),
         "--areas", str(SAMPLES / "weather_areas.dbf"), "--area", AREA,
         "--conductors", str(SAMPLES / "conductors.dbf"), "--conductor", CONDUCTOR, *extra],
        capture_output=True, timeout=120)
    if check:
        assert p.returncode == 0, p.stderr.decode("utf-8", "replace")
    return p


@pytest.fixture(scope="module")
def inputs():
    area = next(a for a in varnel.load_weather_areas(str(SAMPLES / "weather_areas.dbf"))
                if a.name == AREA)
    conductor = next(c for c in varnel.load_conductors(str(SAMPLES / "conductors.dbf"))
                     if c.name == CONDUCTOR)
    return area, conductor


def check(inputs, **options):
    area, conductor = inputs
    return varnel.check_profile(str(FILES["terrain"]), str(FILES["towers"]), conductor, area,
                                crossings=str(FILES["crossings"]), **options)


@pytest.fixture(scope="module")
def line(inputs):
    return check(inputs, ground_clearance=7)


def test_crossings_and_violations_are_the_commands(line):
    doc = json.loads(run("--ground-clearance", "7", "--json").stdout)
    theirs = [(f"{s['from']}-{s['to']}", c["name"], c["clearance_m"], c["required_m"],
               c["condition"]["name"], c["ok"]) for s in doc["spans"] for c in s["crossings"]]
    assert len(theirs) == 3
    mine = list(line.crossings[["span", "crossing", "clearance_m", "required_m", "condition",
                                "ok"]].itertuples(index=False, name=None))
    assert mine == theirs
    assert line.crossings["clearance_m"].dtype == float
    assert "crossings" not in line.spans.columns  # no text of figures left to parse
    assert list(line.violations["unit"]) == [v["unit"] for v in doc["violations"]]
    assert set(line.violations["unit"]) == {"m", "deg"}


@pytest.mark.parametrize("options,arguments", [
    ({"max_temperature": 80}, ["--max-temperature", "80"]),
    ({"max_temperature": 62.5}, ["--max-temperature", "62.5"]),
    ({"current": 600, "resistance": 0.1181}, ["--current", "600", "--r20", "0.1181"]),
    ({"current": 450, "resistance": 0.1181, "ambient": 25, "wind_speed": 1.2, "solar": 800},
     ["--current", "450", "--r20", "0.1181", "--ambient", "25", "--wind", "1.2",
      "--solar", "800"]),
])
def test_the_conductor_temperature_is_named_and_worked_as_the_commands(inputs, options,
                                                                        arguments):
    doc = json.loads(run("--ground-clearance", "7", "--json", *arguments).stdout)
    line = check(inputs, ground_clearance=7, **options)
    names = [c["name"] for c in doc["conditions"]]
    assert list(line.conditions) == names
    hot = doc["conditions"][-1]
    assert line.conditions[-1] == doc["operating"]["condition"]["name"] == hot["name"]
    if "current" in options:
        assert line.conditions[-1].startswith(f"载流 {options['current']} A (")
        assert float(line.operating.temperature) == doc["operating"]["temperature_degC"]
    else:
        assert line.conditions[-1] == f"导线温度 {options['max_temperature']:g} °C"
        assert line.operating is None
    for (_, mine), theirs in zip(line.spans.iterrows(), doc["spans"]):
        assert mine["max_sag_condition"] == theirs["max_sag_condition"]["name"]
        assert mine["max_sag_m"] == pytest.approx(theirs["max_sag_m"], rel=1e-12)


def test_heat_balance_options_need_a_current(inputs):
    with pytest.raises(ValueError, match="ambient describes the heat balance"):
        check(inputs, ambient=30)
    with pytest.raises(ValueError, match="give one or the other"):
        check(inputs, current=500, max_temperature=70)
    with pytest.raises(TypeError, match="ambeint"):
        check(inputs, current=500, ambeint=30)
    with pytest.raises(ValueError, match="beyond the 200 °C"):
        check(inputs, current=5000, resistance=0.1181)


def test_curve_counts_from_the_end_as_python_does(line):
    n = len(line.spans)
    pd.testing.assert_frame_equal(line.curve(-1), line.curve(n - 1))
    pd.testing.assert_frame_equal(line.curve(-n, "大风"), line.curve(0, "大风"))
    assert line.curve(-1)["station_m"].iloc[-1] == line.spans["far_station_m"].iloc[-1]
    with pytest.raises(IndexError):
        line.curve(-n - 1)


@pytest.mark.parametrize("options,arguments", [
    ({}, []),
    ({"exaggeration": 4, "from_station": 2000, "to_station": 4600},
     ["--exaggeration", "4", "--from", "2000", "--to", "4600"]),
])
def test_to_svg_is_the_commands_drawing(line, tmp_path, options, arguments):
    theirs = tmp_path / "theirs.svg"
    run("--ground-clearance", "7", "--svg", str(theirs), *arguments)
    mine = line.to_svg(**options)
    assert mine.startswith("<?xml") or mine.startswith("<svg")
    assert mine == theirs.read_text(encoding="utf-8")
    written = tmp_path / "mine.svg"
    assert line.to_svg(written, **options) is None
    assert written.read_bytes() == theirs.read_bytes()


def test_to_svg_refuses_a_window_as_the_command_does(line):
    p = run("--ground-clearance", "7", "--svg", os.devnull, "--from", "50000", "--to", "60000",
            check=False)
    said = p.stderr.decode("utf-8").strip().splitlines()[-1]
    assert p.returncode != 0
    with pytest.raises(ValueError) as refused:
        line.to_svg(from_station=50000, to_station=60000)
    assert said.endswith(str(refused.value))


def test_plot_draws_the_conductor_of_every_span(line):
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")
    figure = line.plot()
    ax = figure.axes[0]
    conductor = [l for l in ax.get_lines() if l.get_color() == "#1f5fa8"]
    assert len(conductor) == len(line.spans)
    last = line.curve(-1, points=101)
    x, y = conductor[-1].get_data()
    np.testing.assert_array_equal(np.asarray(x), last["station_m"].to_numpy())
    np.testing.assert_array_equal(np.asarray(y), last["elevation_m"].to_numpy())
    assert ax.get_xlabel() == "station, m"
    import matplotlib.pyplot as plt

    plt.close(figure)


def test_solve_with_the_heat_balance_gives_the_commands_current(inputs):
    doc = json.loads(run("--ground-clearance", "3", "--solve", "max-temperature", "--ambient",
                         "35", "--r20", "0.1181", "--json").stdout)["solve"]
    line = check(inputs, ground_clearance=3, solve="max_temperature", ambient=35,
                 resistance=0.1181)
    assert line.solve.temperature == doc["temperature_degC"]
    assert float(line.solve.ampacity.current) == pytest.approx(doc["current_A"], rel=1e-9)
    assert float(line.solve.ampacity.solar) == pytest.approx(
        doc["heat_balance"]["solar_W_per_m"], rel=1e-12)
    assert check(inputs, ground_clearance=3, solve="max_temperature").solve.ampacity is None
    with pytest.raises(ValueError, match="from -90 to 200"):
        check(inputs, max_temperature=250)
