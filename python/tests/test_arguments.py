"""Arguments as users hand them in: wrong types refused in the public functions' own terms,
records built without __init__, paths with a NUL, tables as pandas reads them, one cosine and
one condition set per span, and the records' fields by the names of what they hold."""

import csv
import datetime
import fractions
import pickle

import numpy as np
import pytest

import varnel
from conftest import SAMPLES


@pytest.fixture(scope="module")
def area(areas):
    return areas["典型气象区Ⅵ"]


@pytest.fixture(scope="module")
def line(conductors):
    return conductors["JL/G1A-240/30"]


def section_pairs():
    """samples/section.csv read by the csv module, not by pandas or the package."""
    with open(SAMPLES / "section.csv", newline="") as f:
        return [(float(r["span_m"]), float(r["height_difference_m"])) for r in csv.DictReader(f)]


WRONG_TYPES = [
    # Texts, bytes and mappings were unpacked element by element: "80" as the pair (8, 0).
    ("spans\\[0\\] must be a length", lambda a, c: varnel.ruling_span(["80", "95"])),
    ("not bytes", lambda a, c: varnel.ruling_span(b"PQ")),
    ("not dict", lambda a, c: varnel.ruling_span({80: 1, 95: 2})),
    ("spans\\[1\\]\\[1\\] must be a real number, not str", lambda a, c: varnel.ruling_span(
        [(80, 1), (95, "2")])),
    ("put it in a list", lambda a, c: varnel.ruling_span(300)),
    ("spans\\[0\\] must be a real number, not str", lambda a, c: varnel.sag_table(c, a, ["100"])),
    ("spans must be numbers, not bytes", lambda a, c: varnel.sag_table(c, a, b"12")),
    ("spans must be numbers in order, not dict", lambda a, c: varnel.sag_table(c, a, {1: 2})),
    ("span must be a real number, not str", lambda a, c: varnel.control("150", c, a)),
    ("safety must be a real number", lambda a, c: varnel.control(150, c, a, safety="2.5")),
    ("temperatures must be", lambda a, c: varnel.stringing_table(c, a, [300], "-20:40:5")),
    # Complex numbers lost their imaginary part with only a warning.
    ("complex", lambda a, c: varnel.state_stress(np.complex128(100 + 1j), c, a[0], a[1], 50.0)),
    ("complex", lambda a, c: varnel.control(np.complex128(150), c, a)),
    ("complex", lambda a, c: varnel.sag_table(c, a, np.array([100, 200], dtype=complex))),
    ("ice_mm must be a real number, not complex128",
     lambda a, c: varnel.Condition("x", np.complex128(1), 0, 0)),
    # Dates and durations were taken as numbers of days or nanoseconds.
    ("date or a duration", lambda a, c: varnel.sag_table(c, a, [datetime.timedelta(days=1)])),
    ("date or a duration", lambda a, c: varnel.sag_table(
        c, a, np.array(["2020-01-01"], dtype="datetime64[D]"))),
    ("date or a duration", lambda a, c: varnel.ruling_span([datetime.date(2020, 1, 1)])),
    ("truth value", lambda a, c: varnel.sag_table(c, a, [True, False])),
    # The records' constructors and the calculations' records, in the public names.
    ("ice_mm must be a real number, not str", lambda a, c: varnel.Condition("x", "1", 0, 0)),
    ("name must be a str, not bytes", lambda a, c: varnel.Condition(b"x", 0, 0, 0)),
    ("wind_ms must be a real number, not bool", lambda a, c: varnel.Condition("x", 0, True, 0)),
    ("area_mm2 must be a real number", lambda a, c: varnel.Conductor(
        "x", "275.96", 21.6, 922.2, 73000, 19.6e-6, 75190)),
    ("aluminium_wires must be a whole number", lambda a, c: varnel.Conductor(
        "x", 275.96, 21.6, 922.2, 73000, 19.6e-6, 75190, aluminium_wires=24.5)),
    ("give aluminium_area_mm2 or column4_value", lambda a, c: varnel.Conductor(
        "x", 275.96, 21.6, 922.2, 73000, 19.6e-6, 75190, aluminium_area_mm2=1,
        column4_value=1)),
    ("Condition\\(\\): missing a required argument: 'temperature_c'",
     lambda a, c: varnel.Condition("x", 0, 0)),
    ("Conductor\\(\\): got an unexpected keyword argument 'ice'", lambda a, c: varnel.Conductor(
        "x", 275.96, 21.6, 922.2, 73000, 19.6e-6, 75190, ice=3)),
    ("condition must be a varnel.Condition, not str", lambda a, c: varnel.specific_load("低温",
                                                                                         c)),
    ("conductor must be a varnel.Conductor, not str", lambda a, c: varnel.control(150, "JL", a)),
    ("conductor must be a varnel.Conductor", lambda a, c: varnel.sag_table(a, c, [100])),
    ("sought must be a varnel.Condition", lambda a, c: varnel.state_stress(100, c, a[0], None,
                                                                           50)),
    ("not one condition", lambda a, c: varnel.control(150, c, a[0])),
    ("conditions\\[1\\] must be a varnel.Condition", lambda a, c: varnel.critical_spans(
        c, [a[0], "大风"])),
    ("conditions must be a sequence of varnel.Condition, not str",
     lambda a, c: varnel.critical_spans(c, "低温")),
    ("condition must be a varnel.Condition", lambda a, c: varnel.pole_wind(None, 190, 12, 75)),
]


@pytest.mark.parametrize("words, call", WRONG_TYPES)
def test_wrong_types_are_refused_in_the_public_terms(area, line, words, call):
    with pytest.raises(TypeError, match=words) as caught:
        call(area, line)
    assert "_core" not in str(caught.value) and "incompatible" not in str(caught.value)


def test_real_numbers_of_every_kind_are_taken(area, line):
    plain = varnel.Condition("x", 0.5, 10, -5)
    assert varnel.Condition("x", fractions.Fraction(1, 2), np.int16(10), np.float32(-5)) == plain
    spans = [100, 250.5]
    expected = varnel.sag_table(line, area, spans, frame=False)
    for same in (np.array(spans), np.array(spans, dtype=object), [np.int64(100),
                                                                   fractions.Fraction(501, 2)]):
        got = varnel.sag_table(line, area, same, frame=False)
        assert np.array_equal(got["stress_覆冰"], expected["stress_覆冰"])


@pytest.mark.parametrize("load", [varnel.read_table, varnel.load_weather_areas,
                                  varnel.load_conductors, varnel.load_hb_lines,
                                  varnel.load_insulators])
def test_a_path_with_a_nul_is_refused_as_open_refuses_it(load):
    path = str(SAMPLES / "conductors.dbf") + "\0/etc/passwd"
    with pytest.raises(ValueError, match="embedded null byte"):
        open(path, "rb")
    with pytest.raises(ValueError, match="embedded null byte"):
        load(path)
    with pytest.raises(ValueError, match="embedded null byte"):
        load(path.encode())


@pytest.mark.parametrize("record", ["condition", "conductor"])
def test_records_compare_unequal_to_anything_else(area, line, record):
    r = area[0] if record == "condition" else line
    assert (r == None) is False and (r != None) is True  # noqa: E711
    assert r != "低温" and r != 0 and r != area  # noqa: SIM201
    assert r in [None, r] and [None, "x"].count(r) == 0
    assert (area[0] == line) is False


def test_a_record_made_by_new_alone_is_refused_at_every_use(area, line):
    cond = varnel.Condition.__new__(varnel.Condition)
    cable = varnel.Conductor.__new__(varnel.Conductor)
    # Zero-filled, not whatever the heap held.
    assert repr(cond) == "Condition('', ice_mm=0.0, wind_ms=0.0, temperature_c=0.0)"
    assert cable.area_mm2 == 0.0 and cable.name == ""
    uses = [
        lambda: varnel.specific_load(cond, line),
        lambda: varnel.specific_load(area[0], cable),
        lambda: varnel.state_stress(100, line, cond, area[0], 50),
        lambda: varnel.control(150, line, [area[0], cond]),
        lambda: varnel.control(150, cable, area),
        lambda: varnel.sag_table(line, [cond], [100]),
        lambda: varnel.critical_spans(cable, area),
        lambda: varnel.design_section(line, [area[0], cond], [300]),
        lambda: varnel.pole_wind(cond, 190, 12, 75),
        lambda: varnel.conductor_wind(area[1], cable, 300, 15),
        lambda: pickle.dumps(cond),
        lambda: pickle.dumps(cable),
    ]
    for use in uses:
        with pytest.raises(TypeError, match="without __init__"):
            use()
    # __init__ afterwards makes it a record like any other.
    cond.__init__("低温", 0, 0, -20)
    assert cond == varnel.Condition("低温", 0, 0, -20)
    assert varnel.specific_load(cond, line) == varnel.specific_load(area["低温"], line)


def test_membership_by_name_agrees_with_lookup(areas, conductors, area):
    for records in (areas, conductors, area):
        names = [r.name for r in records]
        for name in names:
            assert name in records and records[name].name == name
        assert "无此名" not in records
        with pytest.raises(KeyError):
            records["无此名"]
        assert records[0] in records and 3 not in records
    assert "年平" in area and "Avg. ann" not in area


def test_a_section_as_pandas_reads_samples_section_csv(area, line):
    pd = pytest.importorskip("pandas")
    pairs = section_pairs()
    frame = pd.read_csv(SAMPLES / "section.csv")
    expected = varnel.ruling_span(pairs)
    assert varnel.ruling_span(frame) == expected
    assert varnel.ruling_span(frame.to_numpy()) == expected
    assert varnel.ruling_span(pd.DataFrame(pairs)) == expected  # columns 0 and 1
    lengths = [p[0] for p in pairs]
    assert varnel.ruling_span(frame[["span_m"]]) == varnel.ruling_span(lengths)
    assert varnel.ruling_span(frame["span_m"]) == varnel.ruling_span(lengths)
    by_frame = varnel.stringing_table(line, area, frame, frame=False)
    by_pairs = varnel.stringing_table(line, area, pairs, frame=False)
    assert by_frame.keys() == by_pairs.keys() and len(by_frame) == 2 + len(pairs)
    for key in by_frame:
        assert np.array_equal(by_frame[key], by_pairs[key])
    with pytest.raises(ValueError, match="span_m and height_difference_m"):
        varnel.ruling_span(pd.DataFrame({"a": [1.0], "b": [2.0], "c": [3.0]}))


def test_stringing_table_defaults_to_the_commands_range(area, line):
    table = varnel.stringing_table(line, area, section_pairs(), frame=False)
    # The varnel command's --stringing default, -20:40:5.
    assert list(table["temperature"]) == list(range(-20, 41, 5))
    explicit = varnel.stringing_table(line, area, section_pairs(), (-20, 40, 5), frame=False)
    assert np.array_equal(table["stress"], explicit["stress"])


def test_sag_table_takes_one_cosine_per_span(area, line):
    spans = np.array([120.0, 260.0, 260.0, 480.0])
    cos = np.array([1.0, 0.97, 0.85, 0.9])
    table = varnel.sag_table(line, area, spans, cos=cos, frame=False)
    for i, (span, c) in enumerate(zip(spans, cos)):
        alone = varnel.sag_table(line, area, [span], cos=float(c), frame=False)
        for key, column in alone.items():
            assert table[key][i] == column[0], (key, i)
    # The same span under two cosines gives two rows, and the steeper span sags more.
    assert table["sag_高温"][2] > table["sag_高温"][1]
    # Each row is the search at that span and cosine.
    for i in range(len(spans)):
        assert table["control"][i] == varnel.control(spans[i], line, area, cos=cos[i]).index
    with pytest.raises(ValueError, match="cos has 2 values for 4 spans"):
        varnel.sag_table(line, area, spans, cos=[1.0, 0.9])
    with pytest.raises(ValueError, match="cos\\[1\\]"):
        varnel.sag_table(line, area, spans, cos=[1.0, 0.0, 1.0, 1.0])


def test_sag_table_takes_one_condition_set_per_span(areas, line):
    spans = [150.0, 150.0, 300.0, 90.0, 420.0]
    chosen = [areas[0], areas[5], areas[5], areas[2], areas[0]]
    table = varnel.sag_table(line, chosen, spans, cos=[1, 0.95, 1, 0.9, 1], frame=False)
    for i, (span, a) in enumerate(zip(spans, chosen)):
        alone = varnel.sag_table(line, a, [span], cos=[1, 0.95, 1, 0.9, 1][i], frame=False)
        for key, column in alone.items():
            assert table[key][i] == column[0], (key, i)
    # Lists of conditions do as areas do; the first two spans differ only by their area.
    lists = varnel.sag_table(line, [list(a) for a in chosen], spans,
                             cos=[1, 0.95, 1, 0.9, 1], frame=False)
    assert np.array_equal(lists["stress_覆冰"], table["stress_覆冰"])
    with pytest.raises(ValueError, match="2 condition sets for 5 spans"):
        varnel.sag_table(line, chosen[:2], spans)
    english = varnel.load_weather_areas(SAMPLES / "weather_areas.dbf", english=True)
    with pytest.raises(ValueError, match="conditions\\[1\\]: the names"):
        varnel.sag_table(line, [areas[0], english[0]], [100, 200])


def pyshp_rows(name):
    shapefile = pytest.importorskip("shapefile")  # Debian's python3-pyshp
    with open(SAMPLES / f"{name}.dbf", "rb") as f:
        reader = shapefile.Reader(dbf=f, encoding="gbk")
        names = [field[0] for field in reader.fields[1:]]
        return [dict(zip(names, r)) for r in reader.records()]


def test_conductor_fields_by_the_names_of_what_they_hold(conductors):
    rows = pyshp_rows("conductors")
    for a, r in zip(conductors, rows, strict=True):
        assert (a.aluminium_area_mm2, a.steel_area_mm2, a.aluminium_wires, a.stranding) == (
            r["AL_AREA"], r["ST_AREA"], r["AL_WIRES"], r["STRANDING"])
        # The record's column names still answer.
        assert (a.column4_value, a.column7_value, a.column9_number, a.column10_text) == (
            a.aluminium_area_mm2, a.steel_area_mm2, a.aluminium_wires, a.stranding)
        args = (a.name, a.area_mm2, a.diameter_mm, a.unit_mass_kg_per_km, a.elastic_modulus,
                a.expansion_coeff, a.rated_strength_n)
        by_name = varnel.Conductor(*args, aluminium_area_mm2=r["AL_AREA"],
                                   steel_area_mm2=r["ST_AREA"], aluminium_wires=r["AL_WIRES"],
                                   stranding=r["STRANDING"])
        by_column = varnel.Conductor(*args, column4_value=r["AL_AREA"],
                                     column7_value=r["ST_AREA"], column9_number=r["AL_WIRES"],
                                     column10_text=r["STRANDING"])
        assert by_name == by_column == a


def test_hb_line_and_insulator_fields_by_name():
    rows = pyshp_rows("hb_lines")
    lines = varnel.load_hb_lines(SAMPLES / "hb_lines.dbf")
    for h, r in zip(lines, rows, strict=True):
        assert (h.area_mm2, h.diameter_mm, h.unit_mass_kg_per_km, h.aluminium_area_mm2,
                h.elastic_modulus, h.steel_area_mm2, h.rated_strength_n, h.aluminium_wires,
                h.stranding, h.resistance_ohm_per_km) == (
                    r["AREA"], r["DIAMETER"], r["MASS"], r["AL_AREA"], r["MODULUS"],
                    r["ST_AREA"], r["STRENGTH"], r["AL_WIRES"], r["STRANDING"], r["RESISTANCE"])
        assert h.expansion_coeff == r["EXPANSION"] * 1e-6
    rows = pyshp_rows("insulators")
    insulators = varnel.load_insulators(SAMPLES / "insulators.dbf")
    named = {"voltage_kv": "VOLTAGE", "length_m": "LENGTH", "mass_kg": "MASS",
             "wind_area_m2": "WIND_AREA", "unit_load_kn": "UNIT_LOAD", "unit_type": "UNIT_TYPE",
             "units": "UNITS", "unit_height_mm": "UNIT_H", "unit_diameter_mm": "UNIT_D",
             "strings": "STRINGS", "unit_creepage_mm": "UNIT_CREEP", "arrangement": "ARRANGE",
             "unit_mass_kg": "UNIT_MASS", "min_units": "MIN_UNITS", "rated_load_kn": "RATED",
             "max_working_load_kn": "MAX_WORK", "sheds": "SHEDS",
             "fittings_length_m": "FIT_LENGTH", "fittings": "FITTINGS",
             "fittings_mass_kg": "FIT_MASS", "creepage_mm": "CREEPAGE",
             "creepage_mm_per_kv": "CREEP_KV", "safety_factor": "SAFETY",
             "attachment_points": "HANGPOINTS", "standard": "STANDARD"}
    assert len(named) == 25 == len(rows[0])
    for i, r in zip(insulators, rows, strict=True):
        assert {k: getattr(i, k) for k in named} == {k: r[f] for k, f in named.items()}


def test_to_pandas_converts_by_field_type(tmp_path):
    pd = pytest.importorskip("pandas")
    shapefile = pytest.importorskip("shapefile")
    path = tmp_path / "kinds.dbf"
    writer = shapefile.Writer(dbf=str(path), encoding="gbk")
    writer.field("NAME", "C", 10)
    writer.field("COUNT", "N", 5, 0)
    writer.field("LENGTH", "N", 8, 2)
    writer.field("RATIO", "F", 10, 4)
    writer.field("SINCE", "D")
    writer.field("ACTIVE", "L")
    writer.record("甲", 3, 12.5, 0.25, datetime.date(2024, 3, 1), True)
    writer.record("乙", None, None, 1.5, None, False)
    writer.record("丙", 7, -1.25, None, datetime.date(1999, 12, 31), None)
    writer.close()
    table = varnel.read_table(path)
    assert table.field_types == ("C", "N", "N", "F", "D", "L")
    frame = table.to_pandas()
    assert list(frame["NAME"]) == ["甲", "乙", "丙"]
    # A blank whole number makes the column float, with NaN there.
    assert frame["COUNT"].dtype == np.float64 and frame["COUNT"][0] == 3
    assert np.isnan(frame["COUNT"][1])
    assert list(frame["LENGTH"].fillna(0)) == [12.5, 0.0, -1.25]
    assert frame["SINCE"].dtype.kind == "M"
    assert frame["SINCE"][0] == pd.Timestamp(2024, 3, 1) and pd.isna(frame["SINCE"][1])
    assert str(frame["ACTIVE"].dtype) == "boolean"
    assert list(frame["ACTIVE"][:2]) == [True, False] and pd.isna(frame["ACTIVE"][2])
    texts = table.to_pandas(convert=False)
    assert all(texts[c].dtype == object for c in texts) and texts["COUNT"][0] == "3"


@pytest.mark.parametrize("name", ["conductors", "hb_lines", "insulators", "weather_areas"])
def test_to_pandas_gives_the_samples_numbers_as_pyshp_reads_them(name):
    rows = pyshp_rows(name)
    frame = varnel.read_table(SAMPLES / name).to_pandas()
    for column in frame:
        values = [r[column] for r in rows]
        if isinstance(values[0], str):
            assert frame[column].dtype == object
            assert [v.strip() for v in values] == list(frame[column])
        else:
            assert frame[column].dtype.kind in "if", column
            assert list(frame[column]) == values, column
