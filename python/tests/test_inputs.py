"""The Python layer itself: refused inputs, broadcasting, and the vectorised sag table and the
design functions against the scalar search and state equation."""

import math
import pickle

import numpy as np
import pytest

import varnel


@pytest.fixture(scope="module")
def area(areas):
    return areas["典型气象区Ⅲ"]


@pytest.fixture(scope="module")
def line(conductors):
    return conductors["JL/G1A-240/30"]


IMPOSSIBLE = [
    ("span", lambda a, c: varnel.state_stress(-1.0, c, a[0], a[1], 80.0)),
    ("span\\[1\\]", lambda a, c: varnel.state_stress([100.0, math.nan], c, a[0], a[1], 80.0)),
    ("cos\\[2\\]", lambda a, c: varnel.state_stress(100.0, c, a[0], a[1], 80.0, cos=[1, .5, 0])),
    ("cos", lambda a, c: varnel.state_stress(100.0, c, a[0], a[1], 80.0, cos=1.01)),
    ("known_stress", lambda a, c: varnel.state_stress(100.0, c, a[0], a[1], 0.0)),
    ("span", lambda a, c: varnel.control(-5, c, a)),
    ("cos", lambda a, c: varnel.control(100, c, a, cos=0)),
    ("avg_ratio", lambda a, c: varnel.control(100, c, a, avg_ratio=0)),
    ("strength_factor", lambda a, c: varnel.control(100, c, a, strength_factor=1.5)),
    ("safety", lambda a, c: varnel.control(100, c, a, safety=math.inf)),
    ("at least one condition", lambda a, c: varnel.control(100, c, [])),
    ("spans\\[2\\]", lambda a, c: varnel.sag_table(c, a, [1.0, 2.0, -3.0])),
    ("ice_mm", lambda a, c: varnel.Condition("低温", -1, 0, 0)),
    ("temperature_c", lambda a, c: varnel.Condition("低温", 0, 0, math.nan)),
    ("at most 23", lambda a, c: varnel.Condition("很长的名字超过二十三个字节了吧", 0, 0, 0)),
    ("GBK", lambda a, c: varnel.Condition("\U0001F600", 0, 0, 0)),
    ("area_mm2", lambda a, c: varnel.Conductor("x", 0, 21.6, 922, 73000, 19.6e-6, 75190)),
    ("1/°C", lambda a, c: varnel.Conductor("x", 275.96, 21.6, 922, 73000, 19.6, 75190)),
    ("span", lambda a, c: varnel.ruling_span([300, -1])),
    ("span", lambda a, c: varnel.ruling_span([])),
    ("bottom_height_m", lambda a, c: varnel.pole_wind(a[1], 190, 12, 75, 12)),
    ("taper", lambda a, c: varnel.pole_wind(a[1], 190, 12, 5)),
    ("wind_angle_deg", lambda a, c: varnel.conductor_wind(a[1], c, 300, 15, 181)),
    ("temperature", lambda a, c: varnel.stringing_table(c, a, [300], (40, -10, 5))),
]


@pytest.mark.parametrize("words, call", IMPOSSIBLE)
def test_impossible_inputs_raise_value_error(area, line, words, call):
    with pytest.raises(ValueError, match=words):
        call(area, line)


def test_state_stress_broadcasts_as_numpy_does(area, line):
    spans = np.array([80.0, 250.0, 600.0])
    cos = np.array([[1.0], [0.8]])
    got = varnel.state_stress(spans, line, area[1], area[0], 90.0, cos=cos)
    assert got.shape == (2, 3) and got.dtype == np.float64
    for (i, j), value in np.ndenumerate(got):
        assert value == varnel.state_stress(float(spans[j]), line, area[1], area[0], 90.0,
                                            cos=float(cos[i, 0]))
    # Lists, integers, non-contiguous views and 0-d arrays go the same way.
    assert np.array_equal(varnel.state_stress([80, 250, 600], line, area[1], area[0], 90),
                          got[0])
    strided = np.array([80.0, 0, 250.0, 0, 600.0])[::2]
    assert np.array_equal(varnel.state_stress(strided, line, area[1], area[0], 90.0), got[0])
    assert isinstance(varnel.state_stress(np.float64(250), line, area[1], area[0], 90.0), float)
    assert varnel.state_stress(np.empty((0, 2)), line, area[1], area[0], 90.0).shape == (0, 2)
    with pytest.raises(ValueError):
        varnel.state_stress(np.ones(3), line, area[1], area[0], np.ones(2))


def test_sag_table_rows_are_the_search_and_the_state_equation(area, line):
    spans = np.linspace(0, 1200, 97)
    frame = varnel.sag_table(line, area, spans, cos=0.95, frame=False)
    # The area's conditions, then its ice without wind: 覆冰's 5 mm and −5 °C in still air.
    names = [c.name for c in area] + ["覆冰无风"]
    assert list(frame) == ["span", "control", "controlling"] + [f"stress_{n}" for n in names] + [
        f"sag_{n}" for n in names]
    iced = next(c for c in area if c.name == "覆冰")
    still = varnel.Condition("覆冰无风", iced.ice_mm, 0, iced.temperature_c)
    for i in range(0, len(spans), 8):
        span = float(spans[i])
        result = varnel.control(span, line, area, cos=0.95)
        assert frame["control"][i] == result.index
        assert frame["controlling"][i] == result.condition.name
        strung = result.trials[-1].stress
        for j, c in enumerate(area):
            stress = strung if j == result.index else varnel.state_stress(
                span, line, result.condition, c, strung, cos=0.95)
            assert frame[f"stress_{c.name}"][i] == stress
            load = varnel.specific_load(c, line)
            assert frame[f"sag_{c.name}"][i] == load * span * span / (8 * stress) / 0.95
        if result.index >= 0:
            stress = varnel.state_stress(span, line, result.condition, still, strung, cos=0.95)
            assert frame["stress_覆冰无风"][i] == stress
            assert frame["sag_覆冰无风"][i] == (
                varnel.specific_load(still, line) * span * span / (8 * stress) / 0.95)


def test_sag_table_as_a_dataframe(area, line):
    pd = pytest.importorskip("pandas")
    spans = [100.0, 200.0, 400.0]
    df = varnel.sag_table(line, area, spans)
    assert isinstance(df, pd.DataFrame) and len(df) == 3
    arrays = varnel.sag_table(line, area, spans, frame=False)
    for key, column in arrays.items():
        assert list(df[key]) == list(column)


def test_critical_ranges_are_where_the_search_changes(areas, conductors):
    checked = 0
    for area in areas:
        for line in conductors:
            found = varnel.critical_spans(line, area)
            for r in found.ranges:
                end = r.to_m if r.to_m is not None else r.from_m + 500
                for span in (r.from_m + 1e-3, (r.from_m + end) / 2, end - 1e-3):
                    assert varnel.control(span, line, area).index == r.condition
                    checked += 1
            assert found.boundaries == [r.from_m for r in found.ranges[1:]]
    assert checked >= 3 * len(areas) * len(conductors)


def test_section_design_and_stringing(area, line):
    level = [300.0, 250.0, 400.0]
    ruling = varnel.ruling_span(level)
    # Level spans: √(Σl³ / Σl), cosine 1.
    assert ruling.cos == 1 and ruling.span == pytest.approx(
        math.sqrt(sum(s ** 3 for s in level) / sum(level)), rel=1e-15)
    assert varnel.ruling_span([(300.0, 40.0)]).cos == pytest.approx(300 / math.hypot(300, 40))
    design = varnel.design_section(line, area, level)
    assert design.controlling == varnel.control(ruling.span, line, area).index
    # The area's conditions and its ice without wind.
    assert len(design.spans) == 3 and len(design.stress) == len(area) + 1
    assert design.extra == ("覆冰无风",) and all(design.holds)
    table = varnel.stringing_table(line, area, level, (-10, 40, 10), frame=False)
    assert list(table["temperature"]) == [-10, 0, 10, 20, 30, 40]
    # Colder means tighter, and a longer span sags more.
    assert np.all(np.diff(table["stress"]) < 0)
    assert np.all(table["sag_3"] > table["sag_1"]) and np.all(table["sag_1"] > table["sag_2"])


def test_records_pickle_and_hash_as_their_bytes(areas, conductors):
    for record in list(conductors) + [c for a in areas for c in a]:
        copy = pickle.loads(pickle.dumps(record))
        assert copy == record and hash(copy) == hash(record)
        assert copy.name == record.name and copy.name_gbk == record.name_gbk
    # Two areas share condition names but not figures: equal names are not equal records.
    assert len({c for a in areas for c in a}) > len({c.name for a in areas for c in a})
    area = areas[0]
    assert pickle.loads(pickle.dumps(area)) == area
