"""varnel.conductor_temperature and varnel.ampacity over every weather input: each input
broadcasts, each case of an array is the same case alone to the bit, a case without an answer is
NaN with its reason (errors="nan"), and a table conductor with the command's defaults gives the
command's own figures."""

import json
import os
import pathlib
import shutil
import subprocess

import numpy as np
import pytest

import varnel

ROOT = pathlib.Path(__file__).resolve().parents[2]
SAMPLES = ROOT / "samples"
NAME = "JL/G1A-240/30"
TERMS = ("temperature", "current", "resistance", "joule", "solar", "convection", "forced",
         "natural", "radiation")


def hourly_year(n=8760, seed=601):
    """A year of hours, every input moving: the sun by the hour and day, the wind's speed and
    direction, the air, the surface and the resistance."""
    rng = np.random.default_rng(seed)
    hours = np.arange(n)
    return dict(ambient=rng.uniform(-15, 38, n), wind_speed=rng.uniform(0, 12, n),
                wind_direction=rng.uniform(0, 360, n), azimuth=rng.uniform(0, 180, n),
                elevation=rng.uniform(0, 2500, n), latitude=rng.uniform(18, 50, n),
                day=(hours // 24) % 365 + 1, hour=(hours % 24) + 0.5,
                albedo=rng.uniform(0.05, 0.3, n), emissivity=rng.uniform(0.3, 0.95, n),
                absorptivity=rng.uniform(0.3, 0.95, n),
                resistance=rng.uniform(0.11, 0.125, n))


def one(kwargs, i):
    """Case i of the arrays in kwargs alone, as plain numbers."""
    return {k: (v[i].item() if isinstance(v, np.ndarray) else v) for k, v in kwargs.items()}


@pytest.mark.parametrize("model", ["ieee738", "cigre601"])
@pytest.mark.parametrize("function,values", [
    (varnel.ampacity, lambda rng, n: rng.uniform(60, 120, n)),
    (varnel.conductor_temperature, lambda rng, n: rng.uniform(0, 900, n)),
])
def test_every_input_varies_and_each_case_is_the_same_alone(model, function, values):
    n = 400
    weather = hourly_year(n)
    if model == "cigre601":
        weather["clearness"] = np.random.default_rng(1).uniform(0.5, 1, n)
    x = values(np.random.default_rng(2), n)
    many = function(21.6, x, model=model, strand_diameter=3.6, **weather)
    assert many.temperature.shape == (n,)
    assert np.all(np.isfinite(many.current))
    # The sun is down at night and up by day: the position moved with the hour.
    night = (weather["hour"] < 3) | (weather["hour"] > 21)
    midday = (weather["hour"] > 9) & (weather["hour"] < 15)
    assert np.all(many.solar[night] == 0) and np.all(many.solar[midday] > 0)
    for i in range(0, n, 23):
        alone = function(21.6, x[i], model=model, strand_diameter=3.6, **one(weather, i))
        for name in TERMS:
            assert getattr(many, name)[i] == getattr(alone, name), (i, name)


def test_shapes_broadcast_as_numpy_does():
    # Hours down, days across; the wind by the hour, the air by the day.
    hour = np.arange(24)[:, None] + 0.5
    day = np.array([15, 105, 196, 288])[None, :]
    r = varnel.ampacity(21.6, 70, latitude=30, day=day, hour=hour, azimuth=90,
                        wind_speed=np.linspace(0.5, 3, 24)[:, None],
                        ambient=np.array([5, 20, 35, 20]), resistance=0.1181)
    assert r.current.shape == r.solar.shape == (24, 4)
    assert np.all(r.solar[:5] == 0)  # before sunrise
    assert r.current[0, 1] == varnel.ampacity(21.6, 70, latitude=30, day=105, hour=0.5,
                                              azimuth=90, wind_speed=0.5, ambient=20,
                                              resistance=0.1181).current
    with pytest.raises(ValueError, match="do not broadcast together: shapes .*emissivity \\(3,\\)"):
        varnel.ampacity(21.6, [70, 80], emissivity=[0.5, 0.6, 0.7], resistance=0.1181)


@pytest.mark.parametrize("model", ["ieee738", "cigre601"])
def test_wind_direction_is_the_angle_to_the_line(model):
    # A line at 90° (east-west): a wind from 30° meets it at 60° (or 120°, the same), from 270°
    # runs along it, from 0° or 180° crosses it square.
    direction = np.array([30.0, 210, 270, 90, 0, 180, 135])
    angle = np.array([60.0, 60, 0, 0, 90, 90, 45])
    by_direction = varnel.ampacity(21.6, 80, wind_speed=2, wind_direction=direction, azimuth=90,
                                   resistance=0.1181, model=model)
    by_angle = varnel.ampacity(21.6, 80, wind_speed=2, wind_angle=angle, resistance=0.1181,
                               model=model)
    np.testing.assert_array_equal(by_direction.current, by_angle.current)
    with pytest.raises(ValueError, match="needs the line's azimuth"):
        varnel.ampacity(21.6, 80, wind_direction=30, resistance=0.1181)
    with pytest.raises(ValueError, match="not both"):
        varnel.ampacity(21.6, 80, wind_direction=30, wind_angle=60, azimuth=0,
                        resistance=0.1181)


BAD_ROWS = [  # (input, value at row 2, a piece of the reason)
    ("wind_speed", -1.0, "the wind speed must be"),
    ("emissivity", 1.5, "the emissivity must be from 0 to 1"),
    ("ambient", np.nan, "the ambient temperature must be"),
    ("day", 0, "the day of the year must be"),
    ("day", 100.5, "the day of the year must be a whole day"),
    ("clearness", 1.2, "the clearness ratio must be from 0 to 1"),
    ("resistance", -0.1, "the resistances must be finite numbers above 0"),
    ("value", 1e6, "no steady temperature"),
]


@pytest.mark.parametrize("name,bad,reason", BAD_ROWS, ids=[f"{b[0]}={b[1]}" for b in BAD_ROWS])
def test_a_case_without_an_answer_is_nan_with_its_reason(name, bad, reason):
    kwargs = dict(ambient=np.full(5, 25.0), wind_speed=np.full(5, 1.0), latitude=30,
                  day=np.full(5, 161), hour=11, azimuth=90, clearness=np.full(5, 0.9),
                  emissivity=np.full(5, 0.8), resistance=np.full(5, 0.1181), model="cigre601")
    current = np.array([300.0, 500, 700, 900, 1100])
    if name == "value":
        current[2] = bad
    else:
        kwargs[name] = kwargs[name].astype(float) if name == "day" else kwargs[name]
        kwargs[name][2] = bad
    r = varnel.conductor_temperature(21.6, current, errors="nan", **kwargs)
    assert r.reason.shape == (5,)
    assert reason in r.reason[2], r.reason[2]
    assert all(r.reason[i] == "" for i in (0, 1, 3, 4))
    for term in TERMS:
        values = getattr(r, term)
        assert np.isnan(values[2]) and np.all(np.isfinite(np.delete(values, 2))), term
    good = varnel.conductor_temperature(21.6, current[3], **one(kwargs, 3))
    assert r.temperature[3] == good.temperature
    with pytest.raises(ValueError, match="case 2: .*" + reason):
        varnel.conductor_temperature(21.6, current, **kwargs)


def test_errors_nan_on_one_case_and_on_none():
    r = varnel.ampacity(21.6, 30, ambient=40, resistance=0.1181, errors="nan")
    assert np.isnan(r.current) and "above the ambient 40" in r.reason
    fine = varnel.ampacity(21.6, [70, 80], resistance=0.1181, errors="nan")
    assert list(fine.reason) == ["", ""]
    assert varnel.ampacity(21.6, 70, resistance=0.1181).reason is None
    with pytest.raises(ValueError, match='errors must be "raise" or "nan"'):
        varnel.ampacity(21.6, 70, resistance=0.1181, errors="ignore")


def test_a_million_cases_in_one_call():
    n = 1_000_000
    rng = np.random.default_rng(6)
    r = varnel.ampacity(21.6, 70, ambient=rng.uniform(-10, 35, n),
                        wind_speed=rng.uniform(0, 10, n), resistance=0.1181)
    assert r.current.shape == (n,) and np.all(np.isfinite(r.current))


# The table conductor with the command's defaults.

def command():
    given = os.environ.get("VARNEL")
    if given:
        return given
    library = os.environ.get("VARNEL_LIBRARY")
    candidates = [pathlib.Path(library).parent / "varnel"] if library else []
    candidates += [ROOT / "build" / p / "bin" / "varnel" for p in ("release", "native")]
    return next((str(p) for p in candidates if p.is_file()), None)


def thermal_json(args):
    program = command()
    if program is None:
        pytest.skip("no varnel command built (set VARNEL)")
    p = subprocess.run([program, "thermal", "--json"] + args, capture_output=True, timeout=60)
    assert p.returncode == 0, p.stderr.decode("utf-8", "replace")
    return json.loads(p.stdout.decode("utf-8"))


@pytest.mark.parametrize("name", ["JL/G1A-240/30", "JL/G1A-630/45"])
@pytest.mark.parametrize("model", ["ieee738", "cigre601"])
@pytest.mark.parametrize("ask,value", [("--max-temperature", 70), ("--current", 600)])
def test_a_table_conductor_with_the_defaults_is_the_command(name, model, ask, value):
    conductor = varnel.load_conductors(SAMPLES / "conductors.dbf")[name]
    function = varnel.ampacity if ask == "--max-temperature" else varnel.conductor_temperature
    mine = function(conductor, value, model=model)
    theirs = thermal_json(["--conductors", str(SAMPLES / "conductors.dbf"), "--conductor", name,
                           ask, str(value), "--model", model])
    for term in TERMS:
        key = next(k for k in theirs if k.startswith(term + "_"))
        assert getattr(mine, term) == theirs[key], term


def test_a_table_conductor_in_the_sun_is_the_command():
    conductor = varnel.load_conductors(SAMPLES / "conductors.dbf")[NAME]
    mine = varnel.ampacity(conductor, 80, ambient=30, wind_speed=1.2, latitude=31, day=200,
                           hour=14, azimuth=45, model="cigre601")
    theirs = thermal_json(["--conductors", str(SAMPLES / "conductors.dbf"), "--conductor", NAME,
                           "--max-temperature", "80", "--ambient", "30", "--wind", "1.2",
                           "--latitude", "31", "--day", "200", "--hour", "14", "--azimuth", "45",
                           "--model", "cigre601"])
    assert mine.current == theirs["current_A"]
    assert mine.solar == theirs["solar_W_per_m"]


def test_a_table_conductor_without_its_row_asks_for_the_resistance(tmp_path):
    shutil.copy(SAMPLES / "conductors.dbf", tmp_path / "conductors.dbf")
    conductor = varnel.load_conductors(tmp_path / "conductors.dbf")[NAME]
    with pytest.raises(ValueError, match="conductor_resistance.csv beside the conductor table "
                                         "has no row for JL/G1A-240/30"):
        varnel.ampacity(conductor, 70)
    # Given, it is used; the strands then stay unknown (taken as rough).
    assert varnel.ampacity(conductor, 70, resistance=0.1181).current == \
        varnel.ampacity(21.6, 70, resistance=0.1181).current
    (tmp_path / "conductor_resistance.csv").write_text(
        "NAME,R20,STRAND_DIAMETER\nJL/G1A-240/30,0.1181,x\n", encoding="utf-8")
    with pytest.raises(ValueError, match='line 2: STRAND_DIAMETER: "x" is not a number'):
        varnel.ampacity(conductor, 70)


def test_resistance_as_two_points_in_a_list_or_r20_as_an_array():
    pairs = varnel.ampacity(21.6, 70, resistance=[(20, 0.1181), (120, 0.1181 * 1.403)])
    assert pairs.current == pytest.approx(varnel.ampacity(21.6, 70, resistance=0.1181).current,
                                          rel=1e-12)
    hourly = varnel.ampacity(21.6, 70, resistance=np.array([0.1181, 0.0739]))
    assert hourly.current[1] == varnel.ampacity(21.6, 70, resistance=0.0739).current
    r1 = np.array([0.07283, 0.08])
    varying = varnel.ampacity(28.14, 100, resistance=((25, r1), (75, 0.08688)))
    # R(100) = r1 + (r2 - r1) (100 - 25) / 50 = 1.5 r2 - 0.5 r1, in Ω/m.
    np.testing.assert_allclose(varying.resistance, (1.5 * 0.08688 - 0.5 * r1) / 1000, rtol=1e-14)
    assert varying.current[1] / varying.current[0] == pytest.approx(
        np.sqrt(varying.resistance[0] / varying.resistance[1]), rel=1e-12)


def test_the_table_is_found_from_another_working_directory(tmp_path, monkeypatch):
    monkeypatch.chdir(ROOT)
    conductor = varnel.load_conductors("samples/conductors.dbf")[NAME]
    monkeypatch.chdir(tmp_path)
    assert varnel.ampacity(conductor, 70).current == pytest.approx(442.0, abs=0.01)
