"""The annual-average condition found whatever the area calls it: the loader's Chinese and
English names give one design, and an area where it cannot be told is refused."""

import pytest

import varnel
from conftest import SAMPLES

SECTION = [(150, 0), (320, 12), (410, -30), (260, 4)]


def areas(english, load_case=False):
    table = "load_case_areas.dbf" if load_case else "weather_areas.dbf"
    return varnel.load_weather_areas(SAMPLES / table, load_case=load_case, english=english)


@pytest.mark.parametrize("load_case", [False, True])
def test_chinese_and_english_names_give_the_same_design(load_case):
    conductors = varnel.load_conductors(SAMPLES / "conductors.dbf")
    for zh, en in zip(areas(False, load_case), areas(True, load_case)):
        assert en.conditions[2].name == "Avg. ann"
        for line in conductors:
            for span in (50, 150, 300, 600, 1200):
                a = varnel.control(span, line, zh.conditions)
                b = varnel.control(span, line, en.conditions)
                assert a.index == b.index, (zh.name, line.name, span)
                assert [t.stress for t in a.trials] == [t.stress for t in b.trials]
            assert varnel.critical_spans(line, zh.conditions) == \
                varnel.critical_spans(line, en.conditions)
            x = varnel.design_section(line, zh.conditions, SECTION)
            y = varnel.design_section(line, en.conditions, SECTION)
            assert (x.controlling, x.control_stress, x.stress) == \
                (y.controlling, y.control_stress, y.stress)


def test_english_names_keep_the_annual_average_limit():
    # Area VI at 150 m: the annual average controls; held to the normal limit instead, the
    # conductor would be strung some 60 % above what the annual average allows.
    line = varnel.load_conductors(SAMPLES / "conductors.dbf")[0]
    area = areas(True)[5]
    result = varnel.control(150, line, area.conditions)
    assert result.condition.name == "Avg. ann"
    assert result.trials[-1].stress == pytest.approx(0.25 * 0.95 * line.rated_strength_n
                                                     / line.area_mm2, rel=1e-15)


def test_an_area_without_a_recognisable_annual_average_is_refused():
    line = varnel.load_conductors(SAMPLES / "conductors.dbf")[0]
    conditions = [varnel.Condition(n, 0, 0, t) for n, t in (("cold", -20), ("mean", 10),
                                                            ("hot", 40))]
    with pytest.raises(ValueError, match="annual average"):
        varnel.control(300, line, conditions)
    with pytest.raises(ValueError, match="annual average"):
        varnel.critical_spans(line, conditions)
    with pytest.raises(ValueError, match="annual average"):
        varnel.sag_table(line, conditions, [100.0, 200.0])


def test_a_loaded_conductor_no_calculation_can_use_is_refused(tmp_path):
    # The loader takes an area of 0 as the table holds it; the calculations refuse it by name.
    data = bytearray((SAMPLES / "conductors.dbf").read_bytes())
    header_length = int.from_bytes(data[8:10], "little")
    area_at = header_length + 1 + 32  # first row: deletion flag, NAME (32), then AREA (7)
    data[area_at:area_at + 7] = b"      0"
    path = tmp_path / "conductors.dbf"
    path.write_bytes(bytes(data))
    line = varnel.load_conductors(path)[0]
    assert line.area_mm2 == 0
    conditions = areas(False)[5].conditions
    for call in (lambda: varnel.control(300, line, conditions),
                 lambda: varnel.critical_spans(line, conditions),
                 lambda: varnel.sag_table(line, conditions, [100.0]),
                 lambda: varnel.design_section(line, conditions, SECTION),
                 lambda: varnel.specific_load(conditions[0], line)):
        with pytest.raises(ValueError, match="conductor area = 0 mm"):
            call()
