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


# CIGRE TB 601's Annex E examples A and B (Drake-like, 28.1 mm, at 100 °C): the brochure's
# convection (within 0.1 W/m: it rounds its air properties as it goes), radiation and solar terms
# (W/m, to their printed digits) and currents (A; B's printed 1054 transposes 1504, which its own
# terms give).
BROCHURE_R = ((25, 0.07283), (75, 0.08688))


@pytest.mark.parametrize("kwargs,terms,digits,current", [
    (dict(strand_diameter=4.4, emissivity=0.8, absorptivity=0.8, ambient=40, wind_speed=0.61,
          wind_angle=60, elevation=0, latitude=30, day=161, hour=11, azimuth=90, clearness=1,
          albedo=0.1), (77.6, 39.1, 27.2), (0.2, 0.1, 0.1), 976),
    (dict(strand_diameter=2.2, emissivity=0.9, absorptivity=0.9, ambient=20, wind_speed=1.66,
          wind_angle=80, elevation=500, latitude=50, day=276, hour=14, azimuth=0, clearness=0.5,
          albedo=0.15), (172.1, 54, 13.7), (0.2, 1, 0.1), 1504),
])
def test_cigre601_brochure_examples(kwargs, terms, digits, current):
    r = varnel.ampacity(28.1, 100, resistance=BROCHURE_R, model="cigre601", **kwargs)
    for got, want, digit in zip((r.convection, r.radiation, r.solar), terms, digits):
        assert abs(got - want) <= digit / 2 + 1e-9, (got, want)
    assert abs(r.current - current) < 1


def test_skin_effect_needs_the_core_and_raises_the_resistance():
    common = dict(ambient=40, wind_speed=0.5, solar=1000, resistance=0.0459, model="cigre601")
    dc = varnel.ampacity(33.8, 80, **common)
    ac = varnel.ampacity(33.8, 80, core_diameter=8.43, **common)
    hot = varnel.ampacity(33.8, 80, core_diameter=8.43, frequency=400, **common)
    assert dc.resistance < ac.resistance < hot.resistance
    assert ac.resistance / dc.resistance < 1.02
    assert hot.current < ac.current < dc.current
    # The cooling does not see the resistance.
    assert (ac.convection, ac.radiation, ac.solar) == (dc.convection, dc.radiation, dc.solar)


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
    (lambda: varnel.ampacity(28.14, 100, clearness=0.5, **EXAMPLE), "clearness is cigre601's"),
    (lambda: varnel.ampacity(21.6, 70, ambient=25, wind_speed=1, core_diameter=7.2, **CHINESE),
     "core_diameter is cigre601's"),
    (lambda: varnel.ampacity(21.6, 70, ambient=25, wind_speed=1, clearness=0.5,
                             **dict(CHINESE, model="cigre601")), "clearness needs the sun"),
    (lambda: varnel.ampacity(21.6, 70, ambient=25, wind_speed=1, frequency=60,
                             **dict(CHINESE, model="cigre601")), "needs core_diameter"),
    (lambda: varnel.ampacity(21.6, 70, ambient=25, wind_speed=1, core_diameter=30,
                             **dict(CHINESE, model="cigre601")), "below the conductor's diameter"),
    (lambda: varnel.ampacity(28.1, 100, clearness=1.5, resistance=BROCHURE_R, model="cigre601",
                             ambient=40, wind_speed=1, latitude=30, day=161, hour=11, azimuth=0),
     "clearness ratio must be from 0 to 1"),
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
