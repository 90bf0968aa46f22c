"""Tables and libraries: the sample tables against an independent DBF reader (pyshp), tables
written by it, and tables the reader must refuse, with the check's reason."""

import importlib.util
import os
import pathlib
import pickle

import pytest

import varnel
from conftest import SAMPLES

shapefile = pytest.importorskip("shapefile")  # Debian's python3-pyshp


def pyshp_table(path):
    with open(path, "rb") as f:
        reader = shapefile.Reader(dbf=f, encoding="gbk")
        fields = reader.fields[1:]  # after the deletion flag
        return fields, [list(r) for r in reader.records()]


@pytest.mark.parametrize("name", ["weather_areas", "load_case_areas", "conductors", "hb_lines",
                                  "insulators"])
def test_read_table_agrees_with_pyshp(name):
    fields, rows = pyshp_table(SAMPLES / f"{name}.dbf")
    table = varnel.read_table(SAMPLES / name)  # ".dbf" supplied
    assert table.fields == tuple(f[0] for f in fields)
    assert len(table) == len(rows) > 0
    for ours, theirs in zip(table, rows):
        for (_, kind, _, _), text, value in zip(fields, ours, theirs):
            if kind == "C":
                assert text.strip() == value
            else:
                assert float(text) == value
    frame = table.to_pandas() if importlib.util.find_spec("pandas") else None
    if frame is not None:
        assert list(frame.columns) == list(table.fields) and frame.shape == (len(rows),
                                                                            len(fields))


def test_libraries_carry_the_tables_names_and_figures():
    _, rows = pyshp_table(SAMPLES / "weather_areas.dbf")
    areas = varnel.load_weather_areas(SAMPLES / "weather_areas.dbf")
    assert areas.names() == [r[0] for r in rows]
    assert "典型气象区Ⅲ" in areas.names()
    third = areas["典型气象区Ⅲ"]
    assert [c.name for c in third] == ["低温", "大风", "年平", "覆冰", "高温", "校验", "安装",
                                       "外过", "内过"]
    # Columns: 2 low temperature, 8 high wind speed, 13 ice thickness, 14 annual average.
    row = rows[areas.names().index("典型气象区Ⅲ")]
    assert (third["低温"].temperature_c, third["大风"].wind_ms, third["覆冰"].ice_mm,
            third["年平"].temperature_c) == (row[2], row[8], row[13], row[14])
    english = varnel.load_weather_areas(SAMPLES / "weather_areas.dbf", english=True)
    assert english[0].conditions[2].name == "Avg. ann"

    _, rows = pyshp_table(SAMPLES / "conductors.dbf")
    conductors = varnel.load_conductors(SAMPLES / "conductors.dbf")
    for a, r in zip(conductors, rows, strict=True):
        assert (a.name, a.area_mm2, a.diameter_mm, a.unit_mass_kg_per_km, a.elastic_modulus,
                a.rated_strength_n, a.column9_number, a.column10_text) == (
                    r[0], r[1], r[2], r[3], r[5], r[8], r[9], r[10])
        assert a.expansion_coeff == r[6] * 1e-6

    _, rows = pyshp_table(SAMPLES / "insulators.dbf")
    insulators = varnel.load_insulators(SAMPLES / "insulators.dbf")
    assert [(i.column0_value, i.name, i.column11_text, i.column24_text) for i in insulators] == [
        (r[0], r[5], r[11], r[24]) for r in rows]
    hb = varnel.load_hb_lines(SAMPLES / "hb_lines.dbf")
    assert hb["JL/G1A-240/30"].column10_text.startswith("钢芯铝绞线")


def test_a_table_written_by_pyshp_loads_with_its_gbk_names(tmp_path):
    path = tmp_path / "导线.dbf"
    writer = shapefile.Writer(dbf=str(path), encoding="gbk")
    for name in ("NAME", "AREA", "DIAM", "MASS", "C4", "E", "ALPHA", "C7", "TS"):
        writer.field(name, "C" if name == "NAME" else "N", 20, 0 if name == "NAME" else 4)
    writer.field("C9", "N", 5, 0)
    writer.field("TEXT", "C", 60)
    writer.record("铝绞线甲", 425.24, 26.8, 1349.0, 0, 65000, 20.5, 0, 123000, 54, "测试用")
    writer.record("LGJ-150/25", 173.11, 17.1, 601.0, 0, 76000, 18.9, 0, 54110, 26, "")
    writer.close()
    found = varnel.load_conductors(path)
    assert found.names() == ["铝绞线甲", "LGJ-150/25"]
    assert found[0].column10_text == "测试用" and found["LGJ-150/25"].rated_strength_n == 54110


SAMPLE = (SAMPLES / "conductors.dbf").read_bytes()


def patched(offset, data):
    return SAMPLE[:offset] + data + SAMPLE[offset + len(data):]


@pytest.mark.parametrize("content, refusal, figures, words", [
    (SAMPLE[:-10], "Truncated", (996, 1005), "9 short of the 1005"),
    (patched(0, b"\x83"), "UnsupportedVersion", (0x83, 0), "0x83"),
    (SAMPLE[:20], "ShorterThanHeader", (20, 32), "20 bytes"),
    (patched(8, (20).to_bytes(2, "little")), "HeaderLength", (20, 33), "header length 20"),
    (patched(4, b"\xff\xff\xff\xff"), "NegativeRecordCount", (-1, 0), "-1"),
    (patched(32 + 16, b"\x00"), "ZeroWidthField", (1, 11), '"NAME"'),
])
def test_hostile_tables_are_refused_with_the_reason(tmp_path, content, refusal, figures, words):
    path = tmp_path / "bad.dbf"
    path.write_bytes(content)
    for read in (varnel.read_table, varnel.load_conductors):
        with pytest.raises(varnel.TableError) as caught:
            read(path)
        err = caught.value
        assert isinstance(err, ValueError)
        assert (err.refusal, (err.value, err.limit)) == (refusal, figures)
        assert words in err.reason and str(err) == f"{path}: {err.reason}"


def test_a_table_of_another_library_is_refused_by_its_field_count():
    with pytest.raises(varnel.TableError, match="15 fields, not the 11") as caught:
        varnel.load_conductors(SAMPLES / "weather_areas.dbf")
    assert caught.value.refusal == "FieldCount"
    # It crosses process boundaries (multiprocessing pickles a worker's exception) whole.
    again = pickle.loads(pickle.dumps(caught.value))
    assert type(again) is varnel.TableError and str(again) == str(caught.value)
    assert vars(again) == vars(caught.value)
    with pytest.raises(varnel.TableError, match="11 fields, not the 10"):
        varnel.load_weather_areas(SAMPLES / "conductors.dbf", load_case=True)


def test_a_folder_is_not_a_table(tmp_path):
    (tmp_path / "folder.dbf").mkdir()
    with pytest.raises(varnel.TableError, match="not a regular file"):
        varnel.read_table(tmp_path / "folder.dbf")


@pytest.mark.parametrize("load", [varnel.read_table, varnel.load_weather_areas,
                                  varnel.load_conductors, varnel.load_hb_lines,
                                  varnel.load_insulators])
def test_a_missing_file_is_file_not_found_naming_it(tmp_path, load):
    missing = tmp_path / "无此表"
    with pytest.raises(FileNotFoundError) as caught:
        load(missing)
    assert caught.value.filename == str(missing) + ".dbf"
    assert str(missing) in str(caught.value)


CORPUS = os.environ.get("VARNEL_DBF_CORPUS")
needs_corpus = pytest.mark.skipif(not CORPUS, reason="VARNEL_DBF_CORPUS names no DBF corpus")


@needs_corpus
@pytest.mark.parametrize("name", ["tmontaigu__cp936.dbf", "OSGeo__mpatch3.dbf",
                                  "yellowfeather__dbase_03.dbf"])
def test_real_world_tables_read_as_pyshp_reads_them(name):
    path = pathlib.Path(CORPUS) / name
    with open(path, "rb") as f:
        reader = shapefile.Reader(dbf=f, encoding="gbk", encodingErrors="replace")
        kinds = [k for _, k, _, _ in reader.fields[1:]]
        rows = [list(r) for r in reader.iterRecords()]
    table = varnel.read_table(path)
    assert len(table) == len(rows) > 0
    for ours, theirs in zip(table, rows):
        assert [t.strip() for t, k in zip(ours, kinds) if k == "C"] == [
            v for v, k in zip(theirs, kinds) if k == "C"]
    if name == "tmontaigu__cp936.dbf":
        assert table.rows == [("测试中文",)]


@needs_corpus
@pytest.mark.parametrize("name, refusal, words", [
    ("infused__dbase_02.dbf", "UnsupportedVersion", "0x02"),
    ("infused__dbase_8b.dbf", "UnsupportedVersion", "0x8B"),
    ("infused__dbase_31.dbf", "UnsupportedVersion", "0x31"),
    ("tmontaigu__stations_with_deleted.dbf", "RecordLength", "record length 1016"),
])
def test_real_world_tables_the_reader_refuses(name, refusal, words):
    with pytest.raises(varnel.TableError, match=words) as caught:
        varnel.read_table(pathlib.Path(CORPUS) / name)
    assert caught.value.refusal == refusal
