"""varnel.conductor_temperature and varnel.ampacity: IEEE 738-2012's worked example, arrays
against the same cases one at a time, the inverse of each answer, and the refusals."""

import numpy as np
import pytest

import varnel

# Drake in IEEE 738-2012's worked example.
EXAMPLE = dict(ambient=40, wind_speed=0.61, wind_angle=90, elevation=0, latitude=30, day=161,
               hour=11, azimuth=90, atmosphere="clear", emissivity=0.8, absorptivity=0.8,
               resistance=((25, 0.07283), (75, 0.08688)))
CHINESE = dict(solar=1000, emissivity=0.9, absorptivity=0.9, resistance=0.1181)


def test_ieee738_example():
    r = varnel.ampacity(28.14, 100, **EXAMPLE)
    assert r.model == "ieee738"
    assert isinstance(r.current, float)
    assert abs(r.current - 1025) < 1
    assert abs(r.forced / 81.93 - 1) < 0.002
    assert r.convection == r.forced
    assert round(r.radiation, 1) == 39.1
    assert abs(r.solar / 22.44 - 1) < 0.006
    assert abs(r.resistance - 9.390e-5) <= 0.5001e-8
    assert r.joule == pytest.approx(r.current ** 2 * r.resistance, rel=1e-12)
    back = varnel.conductor_temperature(28.14, 1025, **EXAMPLE)
    assert abs(back.temperature - 100) < 0.1


def test_a_conductor_record_gives_its_diameter(conductors):
    c = conductors["JL/G1A-240/30"]
    by_record = varnel.ampacity(c, 70, ambient=40, wind_speed=0.5, **CHINESE)
    by_diameter = varnel.ampacity(21.6, 70, ambient=40, wind_speed=0.5, **CHINESE)
    assert by_record == by_diameter


@pytest.mark.parametrize("model", ["ieee738", "cigre601"])
def test_arrays_are_the_cases_one_at_a_time(model):
    rng = np.random.default_rng(738)
    current = rng.uniform(0, 1200, 50)
    ambient = rng.uniform(-20, 40, 50)
    wind = rng.uniform(0, 8, 50)
    many = varnel.conductor_temperature(28.14, current, ambient=ambient, wind_speed=wind,
                                        model=model, strand_diameter=4.44, **CHINESE)
    assert many.temperature.shape == (50,)
    for i in range(0, 50, 7):
        one = varnel.conductor_temperature(28.14, current[i], ambient=ambient[i],
                                           wind_speed=wind[i], model=model,
                                           strand_diameter=4.44, **CHINESE)
        for name in ("temperature", "current", "resistance", "joule", "solar", "convection",
                     "forced", "natural", "radiation"):
            assert getattr(many, name)[i] == getattr(one, name), name


def test_broadcasting_keeps_the_shape():
    r = varnel.ampacity(21.6, [[60], [70], [80]], ambient=[0, 20, 40], wind_speed=1, **CHINESE)
    assert r.current.shape == (3, 3)
    # Hotter allowed, more current; hotter air, less.
    assert np.all(np.diff(r.current, axis=0) > 0)
    assert np.all(np.diff(r.current, axis=1) < 0)


@pytest.mark.parametrize("model", ["ieee738", "cigre601"])
def test_temperature_of_the_ampacity_is_the_temperature(model):
    t = np.array([50.0, 70, 80, 90, 120])
    ambient = np.linspace(-10, 35, 10)[:, None]
    wind = np.linspace(0, 6, 10)[:, None]
    a = varnel.ampacity(26.82, t, ambient=ambient, wind_speed=wind, model=model, **CHINESE)
    back = varnel.conductor_temperature(26.82, a.current, ambient=ambient, wind_speed=wind,
                                        model=model, **CHINESE)
    assert np.max(np.abs(back.temperature - t)) < 0.01


def test_zero_current_is_sun_and_air_alone():
    r = varnel.conductor_temperature(21.6, 0, ambient=25, wind_speed=1, **CHINESE)
    assert r.joule == 0
    assert r.temperature > 25
    assert r.solar == pytest.approx(r.convection + r.radiation, abs=1e-4)
    dark = dict(CHINESE, solar=0)
    assert varnel.conductor_temperature(21.6, 0, ambient=25, wind_speed=1, **dark).temperature \
        == 25


@pytest.mark.parametrize("call,message", [
    (lambda: varnel.conductor_temperature(21.6, -1, ambient=25, wind_speed=1, **CHINESE),
     "current must be"),
    (lambda: varnel.conductor_temperature(21.6, [100, -1], ambient=25, wind_speed=1, **CHINESE),
     "case 1: the current must be"),
    (lambda: varnel.conductor_temperature(21.6, 100, ambient=25, wind_speed=-1, **CHINESE),
     "wind speed must be"),
    (lambda: varnel.conductor_temperature(-21.6, 100, ambient=25, wind_speed=1, **CHINESE),
     "diameter must be"),
    (lambda: varnel.ampacity(21.6, 20, ambient=25, wind_speed=1, **CHINESE),
     "above the ambient 25"),
    (lambda: varnel.ampacity(21.6, 70, ambient=25, wind_speed=1, **dict(CHINESE, emissivity=2)),
     "emissivity must be from 0 to 1"),
    (lambda: varnel.ampacity(21.6, 70, ambient=25, wind_speed=1, **dict(CHINESE, model="x")),
     "ieee738 or cigre601"),
    (lambda: varnel.ampacity(21.6, 70, ambient=25, wind_speed=1, latitude=30, **CHINESE),
     "not both"),
    (lambda: varnel.ampacity(21.6, 70, ambient=25, wind_speed=1, latitude=30, day=161,
                             resistance=0.1),
     "needs all of"),
    (lambda: varnel.ampacity(21.6, 70, ambient=25, wind_speed=1, solar=1000), "resistance is"),
    (lambda: varnel.ampacity(21.6, [70, 80], ambient=[1, 2, 3], wind_speed=1, **CHINESE),
     "do not broadcast"),
])
def test_refusals_name_the_fault(call, message):
    with pytest.raises(ValueError, match=message):
        call()


@pytest.mark.parametrize("kwargs,message", [
    (dict(ambient="25", wind_speed=1), "ambient must be numbers"),
    (dict(ambient=25, wind_speed=1, day=161.5, latitude=30, hour=11, azimuth=0,
          resistance=0.1), "day must be a whole day"),
    (dict(ambient=25, wind_speed=1, solar=1000, resistance="0.1"), "resistance must be"),
])
def test_wrong_types(kwargs, message):
    with pytest.raises(TypeError, match=message):
        varnel.ampacity(21.6, 70, **kwargs)
