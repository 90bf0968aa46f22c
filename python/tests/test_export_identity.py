"""The package against libvarnel.so's exports on the same inputs, bit for bit: the state
equation, the search and its account, the specific load, the wind loads and the loaders."""

import ctypes
import os
import struct
import tempfile

import numpy as np
import pytest

import varnel
from conftest import SAMPLES, WeatherCondition, WeatherConditionSeq, c_condition, c_conductor

RNG_SEED = 20261208


def bits(x: float) -> int:
    return struct.unpack("<q", struct.pack("<d", x))[0]


def all_conditions():
    found = []
    for english in (False, True):
        for area in varnel.load_weather_areas(SAMPLES / "weather_areas.dbf", english=english):
            found.extend(area.conditions)
    for area in varnel.load_weather_areas(SAMPLES / "load_case_areas.dbf", load_case=True):
        found.extend(area.conditions)
    return found


def random_condition(rng, name="年平"):
    return varnel.Condition(name, rng.uniform(0, 30), rng.uniform(0, 40), rng.uniform(-40, 40))


def random_conductor(rng):
    area = rng.uniform(30, 1200)
    return varnel.Conductor("随机", area, rng.uniform(5, 50), area * rng.uniform(2, 5),
                            rng.uniform(5e4, 2e5), rng.uniform(10e-6, 25e-6),
                            area * rng.uniform(150, 400))


@pytest.fixture(scope="module")
def triples(conductors):
    """(conductor, known, sought) cases: sample records, and records built at random."""
    rng = np.random.default_rng(RNG_SEED)
    conditions = all_conditions()
    cases = []
    for _ in range(30):
        cases.append((conductors[int(rng.integers(len(conductors)))],
                      conditions[int(rng.integers(len(conditions)))],
                      conditions[int(rng.integers(len(conditions)))]))
    for _ in range(10):
        cases.append((random_conductor(rng), random_condition(rng), random_condition(rng)))
    return cases


def test_state_stress_is_the_exports_force(libvarnel, triples):
    rng = np.random.default_rng(RNG_SEED + 1)
    compared = 0
    for conductor, known, sought in triples:
        n = 100
        span = rng.uniform(0, 1500, n)
        span[:3] = [0.0, 1.0, 1500.0]
        cos = np.where(rng.random(n) < 0.3, 1.0, rng.uniform(0.2, 1, n))
        stress = rng.uniform(15, 250, n)
        got = varnel.state_stress(span, conductor, known, sought, stress, cos=cos)
        a, k, s = c_conductor(conductor), c_condition(known), c_condition(sought)
        out = ctypes.c_double()
        for i in range(n):
            finite = libvarnel.StateEquationGetForce(span[i], cos[i], a, k, s, stress[i],
                                                     ctypes.byref(out))
            assert finite == np.isfinite(out.value)
            assert bits(got[i]) == bits(out.value), (conductor, known, sought, span[i], cos[i],
                                                     stress[i], got[i], out.value)
        # The scalar road gives the same bits as the array road.
        one = varnel.state_stress(float(span[5]), conductor, known, sought, float(stress[5]),
                                  cos=float(cos[5]))
        assert isinstance(one, float) and bits(one) == bits(got[5])
        compared += n
    assert compared >= 4000


def captured_accounts(libvarnel, calls):
    """Runs each call with file descriptor 1 on a temporary file; returns the return values
    and the bytes each call wrote there."""
    libc = ctypes.CDLL(None)
    results, offsets = [], [0]
    with tempfile.TemporaryFile() as spool:
        saved = os.dup(1)
        try:
            libc.fflush(None)
            os.dup2(spool.fileno(), 1)
            for call in calls:
                results.append(call())
                libc.fflush(None)
                offsets.append(os.lseek(1, 0, os.SEEK_CUR))
        finally:
            libc.fflush(None)
            os.dup2(saved, 1)
            os.close(saved)
        spool.seek(0)
        data = spool.read()
    return results, [data[offsets[i]:offsets[i + 1]] for i in range(len(calls))]


def test_control_is_the_exports_search_and_account(libvarnel, conductors):
    rng = np.random.default_rng(RNG_SEED + 2)
    groups = [list(a.conditions) for a in varnel.load_weather_areas(SAMPLES / "weather_areas.dbf")]
    groups += [list(a.conditions) for a in varnel.load_weather_areas(
        SAMPLES / "load_case_areas.dbf", load_case=True)]
    # English names are the same areas to control(), which finds their annual average, but not
    # to the export, whose contract goes by the Chinese name: test_annual_average.py has them.
    groups += [[random_condition(rng, n) for n in ("低温", "大风", "年平", "覆冰", "高温")]
               for _ in range(5)]
    cases = []
    for _ in range(2000):
        conductor = conductors[int(rng.integers(len(conductors)))]
        if rng.random() < 0.2:
            conductor = random_conductor(rng)
        cases.append((rng.uniform(0, 2000), 1.0 if rng.random() < 0.4 else rng.uniform(0.3, 1),
                      rng.uniform(0.15, 0.35), rng.uniform(0.85, 1), rng.uniform(2, 4),
                      conductor, groups[int(rng.integers(len(groups)))]))

    def export_call(span, cos, ratio, factor, safety, conductor, conditions):
        n = len(conditions)
        array = (WeatherCondition * n)(*[c_condition(c) for c in conditions])
        first = ctypes.cast(array, ctypes.POINTER(WeatherCondition))
        last = ctypes.cast(ctypes.addressof(array) + ctypes.sizeof(array),
                           ctypes.POINTER(WeatherCondition))
        seq = WeatherConditionSeq(0, first, last, last)
        line = c_conductor(conductor)
        # The records stay referenced by the closure until the call has run.
        return lambda: libvarnel.StateEquationGetControl(span, cos, ratio, line, seq, factor,
                                                         safety) + 0 * len(array)

    calls = [export_call(*c) for c in cases]
    indices, accounts = captured_accounts(libvarnel, calls)
    seen = set()
    for case, index, account in zip(cases, indices, accounts):
        span, cos, ratio, factor, safety, conductor, conditions = case
        result = varnel.control(span, conductor, conditions, cos=cos, avg_ratio=ratio,
                                strength_factor=factor, safety=safety)
        assert result.index == index, case
        assert str(result).splitlines() == account.decode("gbk").splitlines(), case
        assert str(result) == account.decode("gbk")
        seen.add(index)
    # The cases reach conditions all through the list, not only the first.
    assert len(seen) >= 4


def test_loads_and_wind_are_the_exports(libvarnel, conductors):
    rng = np.random.default_rng(RNG_SEED + 3)
    conditions = all_conditions() + [random_condition(rng) for _ in range(50)]
    f, m = ctypes.c_double(), ctypes.c_double()
    for _ in range(1000):
        c = conditions[int(rng.integers(len(conditions)))]
        a = conductors[int(rng.integers(len(conductors)))]
        cc, ca = c_condition(c), c_conductor(a)
        assert bits(varnel.specific_load(c, a)) == bits(libvarnel.CalcBZ(cc, ca))
        span, height, angle = rng.uniform(0, 800), rng.uniform(0, 120), rng.uniform(0, 180)
        assert bits(varnel.conductor_wind(c, a, span, height, angle)) == bits(
            libvarnel.CPLineWindHZ(cc, ca, span, height, angle))
        area = rng.uniform(0, 2)
        assert bits(varnel.insulator_wind(c, height, area)) == bits(
            libvarnel.CPInsuWindHZ(cc, height, area))
        top, diameter, taper = rng.uniform(5, 40), rng.uniform(100, 400), rng.uniform(10, 120)
        bottom = rng.uniform(0, top)
        force, moment = varnel.pole_wind(c, diameter, top, taper, bottom)
        libvarnel.CPBodyWindHZ(cc, diameter, top, taper, bottom, ctypes.byref(f), ctypes.byref(m))
        assert (bits(force), bits(moment)) == (bits(f.value), bits(m.value))


@pytest.mark.parametrize("table, load_case, english", [
    ("weather_areas.dbf", False, False),
    ("weather_areas.dbf", False, True),
    ("load_case_areas.dbf", True, False),
])
def test_areas_load_as_the_exports_load_them(libvarnel, table, load_case, english):
    path = str(SAMPLES / table).encode()
    clear, load, get = ((libvarnel.ClearHZWeatherAreaLib, libvarnel.LoadHZWeatherAreaFromDBF,
                         libvarnel.GetHZWeatherAreaLib) if load_case else
                        (libvarnel.ClearWeatherAreaLib, libvarnel.LoadWeatherAreaFromDBF,
                         libvarnel.GetWeatherAreaLib))
    clear()
    assert load(path, int(english)) == 1
    lib = get().contents
    count = (ctypes.addressof(lib.last.contents) - ctypes.addressof(lib.first.contents)) // \
        ctypes.sizeof(lib.first.contents)
    ours = varnel.load_weather_areas(SAMPLES / table, load_case=load_case, english=english)
    assert len(ours) == count > 0
    for i, area in enumerate(ours):
        theirs = lib.first[i]
        assert area.name.encode("gbk") == theirs.name
        n = len(area.conditions)
        assert ctypes.string_at(theirs.conditions.first, 48 * n) == b"".join(
            bytes(c_condition(c)) for c in area.conditions)
    clear()


def test_conductors_load_as_the_exports_load_them(libvarnel, conductors):
    libvarnel.ClearLineAttribLib()
    assert libvarnel.LoadLineAttribFromDBF(str(SAMPLES / "conductors.dbf").encode()) == 1
    lib = libvarnel.GetLineAttribLib().contents
    theirs = ctypes.string_at(lib.first, 168 * len(conductors))
    assert theirs == b"".join(bytes(c_conductor(a)) for a in conductors)
    libvarnel.ClearLineAttribLib()
