// varnel._core: the records, the table reader and the design data libraries. The loaders fill
// sequences of their own here, not the module-wide libraries of the exports, so nothing a Python
// program loads is shared with a host of libvarnel.so in the same process.
#include <cmath>
#include <string>
#include <vector>

#include "calc/records/library_records.h"
#include "dbf/dbase.h"
#include "dbf/table_check.h"
#include "libraries/components/component_loaders.h"
#include "libraries/weather/weather_area_loader.h"
#include "python/src/core_bindings.h"

#ifndef VARNEL_VERSION
#error "VARNEL_VERSION is defined by setup.py from the project's version"
#endif

namespace varnel::python {

namespace {

// A library sequence released when it goes, with whatever its elements own.
template <class T>
struct OwnedSequence {
    Sequence<T> seq{};
    OwnedSequence() = default;
    OwnedSequence(const OwnedSequence&) = delete;
    OwnedSequence& operator=(const OwnedSequence&) = delete;
    ~OwnedSequence() { seq.release(); }
};

void requireFinite(double value, const char* what) {
    if (!std::isfinite(value)) throw py::value_error(std::string(what) + " must be finite");
}

void requirePositive(double value, const char* what) {
    if (!(std::isfinite(value) && value > 0)) {
        throw py::value_error(std::string(what) + " must be a finite number above 0, not " +
                              py::repr(py::float_(value)).cast<std::string>());
    }
}

void requireNonNegative(double value, const char* what) {
    if (!(std::isfinite(value) && value >= 0)) {
        throw py::value_error(std::string(what) + " must be a finite number of at least 0, not " +
                              py::repr(py::float_(value)).cast<std::string>());
    }
}

WeatherCondition makeCondition(const py::str& name, double ice, double wind, double temperature) {
    requireNonNegative(ice, "ice_mm");
    requireNonNegative(wind, "wind_ms");
    requireFinite(temperature, "temperature_c");
    WeatherCondition c{};
    encodeField(c.name, name, "name");
    c.iceThickness = ice;
    c.windSpeed = wind;
    c.temperature = temperature;
    return c;
}

LineAttrib makeConductor(const py::str& name, double area, double diameter, double unitMass,
                         double modulus, double expansion, double strength, double column4,
                         double column7, int column9, const py::str& column10) {
    requirePositive(area, "area_mm2");
    requirePositive(diameter, "diameter_mm");
    requirePositive(unitMass, "unit_mass_kg_per_km");
    requirePositive(modulus, "elastic_modulus");
    requirePositive(expansion, "expansion_coeff");
    // Metals expand by some 1e-5 per °C; a figure this large is the table's unit, 1e-6/°C.
    if (expansion >= 1e-3) {
        throw py::value_error(
            "expansion_coeff = " + py::repr(py::float_(expansion)).cast<std::string>() +
            " is in 1/°C: a table's 19.6 (1e-6/°C) is 19.6e-6");
    }
    requirePositive(strength, "rated_strength_n");
    requireFinite(column4, "column4_value");
    requireFinite(column7, "column7_value");
    LineAttrib a{};
    encodeField(a.name, name, "name");
    a.area = area;
    a.diameter = diameter;
    a.unitMass = unitMass;
    a.column4Value = column4;
    a.elasticModulus = modulus;
    a.expansionCoeff = expansion;
    a.column7Value = column7;
    a.ratedStrength = strength;
    a.column9Number = column9;
    encodeField(a.column10Text, column10, "column10_text");
    return a;
}

// Records pickle and hash as their bytes, which hold everything they are.
template <class Record>
py::bytes recordBytes(const Record& r) {
    return py::bytes(reinterpret_cast<const char*>(&r), sizeof r);
}

template <class Record>
Record recordFromBytes(const py::bytes& state) {
    const std::string bytes = state;
    if (bytes.size() != sizeof(Record)) throw py::value_error("not the state of this record");
    Record r;
    std::memcpy(static_cast<void*>(&r), bytes.data(), sizeof r);
    return r;
}

py::bytes fieldBytes(const char* field, std::size_t size) {
    return py::bytes(field, strnlen(field, size));
}

template <class Record, class Load>
py::object loadRecords(const std::string& path, Load load, py::object (*convert)(const Record&)) {
    OwnedSequence<Record> lib;
    int ok = 0;
    {
        py::gil_scoped_release release;
        ok = load(lib.seq, path.c_str());
    }
    if (ok != 1) return py::none();
    py::list out;
    for (const Record& r : lib.seq) out.append(convert(r));
    return out;
}

py::object areaTuple(const WeatherArea& area) {
    py::list conditions;
    for (const WeatherCondition& c : area.conditions) conditions.append(py::cast(c));
    return py::make_tuple(decodeField(area.name), conditions);
}

py::object conductorObject(const LineAttrib& a) {
    return py::cast(a);
}

#define VARNEL_FIELD(record, name, key) d[key] = record.name
#define VARNEL_TEXT(record, name, key) d[key] = decodeField(record.name)

py::object hbLineDict(const HBLineAttrib& r) {
    py::dict d;
    VARNEL_TEXT(r, name, "name");
    VARNEL_FIELD(r, column1Value, "column1_value");
    VARNEL_FIELD(r, column2Value, "column2_value");
    VARNEL_FIELD(r, column3Value, "column3_value");
    VARNEL_FIELD(r, column4Value, "column4_value");
    VARNEL_FIELD(r, column5Value, "column5_value");
    VARNEL_FIELD(r, column6Value, "column6_value");
    VARNEL_FIELD(r, column7Value, "column7_value");
    VARNEL_FIELD(r, column8Value, "column8_value");
    VARNEL_FIELD(r, column9Number, "column9_number");
    VARNEL_TEXT(r, column10Text, "column10_text");
    VARNEL_FIELD(r, column11Value, "column11_value");
    return d;
}

py::object insulatorDict(const InsulatorAttrib& r) {
    py::dict d;
    VARNEL_FIELD(r, column0Value, "column0_value");
    VARNEL_FIELD(r, column1Value, "column1_value");
    VARNEL_FIELD(r, column2Value, "column2_value");
    VARNEL_FIELD(r, column3Value, "column3_value");
    VARNEL_FIELD(r, column4Value, "column4_value");
    VARNEL_TEXT(r, column5Text, "column5_text");
    VARNEL_FIELD(r, column6Number, "column6_number");
    VARNEL_FIELD(r, column7Value, "column7_value");
    VARNEL_FIELD(r, column8Value, "column8_value");
    VARNEL_FIELD(r, column9Number, "column9_number");
    VARNEL_FIELD(r, column10Value, "column10_value");
    VARNEL_TEXT(r, column11Text, "column11_text");
    VARNEL_FIELD(r, column12Value, "column12_value");
    VARNEL_FIELD(r, column13Number, "column13_number");
    VARNEL_FIELD(r, column14Value, "column14_value");
    VARNEL_FIELD(r, column15Value, "column15_value");
    VARNEL_FIELD(r, column16Number, "column16_number");
    VARNEL_FIELD(r, column17Value, "column17_value");
    VARNEL_TEXT(r, column18Text, "column18_text");
    VARNEL_FIELD(r, column19Value, "column19_value");
    VARNEL_FIELD(r, column20Value, "column20_value");
    VARNEL_FIELD(r, column21Value, "column21_value");
    VARNEL_FIELD(r, column22Value, "column22_value");
    VARNEL_FIELD(r, column23Number, "column23_number");
    VARNEL_TEXT(r, column24Text, "column24_text");
    return d;
}

#undef VARNEL_FIELD
#undef VARNEL_TEXT

}  // namespace

void bindRecords(py::module_& m) {
    py::class_<WeatherCondition>(m, "Condition",
                                 "A design weather condition: name, radial ice (mm), wind speed "
                                 "(m/s) and air temperature (°C).")
        .def(py::init(&makeCondition), py::arg("name"), py::arg("ice_mm"), py::arg("wind_ms"),
             py::arg("temperature_c"),
             "The name is stored in GBK, at most 23 bytes; \"年平\" is the annual average "
             "condition, the only name the search treats apart.")
        .def_property_readonly("name",
                               [](const WeatherCondition& c) { return decodeField(c.name); })
        .def_property_readonly(
            "name_gbk", [](const WeatherCondition& c) { return fieldBytes(c.name, sizeof c.name); })
        .def_readonly("ice_mm", &WeatherCondition::iceThickness)
        .def_readonly("wind_ms", &WeatherCondition::windSpeed)
        .def_readonly("temperature_c", &WeatherCondition::temperature)
        .def("__eq__", [](const WeatherCondition& a,
                          const WeatherCondition& b) { return std::memcmp(&a, &b, sizeof a) == 0; })
        .def("__hash__", [](const WeatherCondition& r) { return py::hash(recordBytes(r)); })
        .def(py::pickle(&recordBytes<WeatherCondition>, &recordFromBytes<WeatherCondition>))
        .def("__repr__", [](const WeatherCondition& c) {
            return py::str("Condition({!r}, ice_mm={!r}, wind_ms={!r}, temperature_c={!r})")
                .format(decodeField(c.name), c.iceThickness, c.windSpeed, c.temperature);
        });

    py::class_<LineAttrib>(m, "Conductor", "A conductor type as the calculations see it.")
        .def(py::init(&makeConductor), py::arg("name"), py::arg("area_mm2"), py::arg("diameter_mm"),
             py::arg("unit_mass_kg_per_km"), py::arg("elastic_modulus"), py::arg("expansion_coeff"),
             py::arg("rated_strength_n"), py::kw_only(), py::arg("column4_value") = 0.0,
             py::arg("column7_value") = 0.0, py::arg("column9_number") = 0,
             py::arg("column10_text") = py::str(""),
             "elastic_modulus in N/mm²; expansion_coeff in 1/°C (the table's 19.6 is 19.6e-6); "
             "the column values are carried for the host and not used.")
        .def_property_readonly("name", [](const LineAttrib& a) { return decodeField(a.name); })
        .def_property_readonly(
            "name_gbk", [](const LineAttrib& a) { return fieldBytes(a.name, sizeof a.name); })
        .def_readonly("area_mm2", &LineAttrib::area)
        .def_readonly("diameter_mm", &LineAttrib::diameter)
        .def_readonly("unit_mass_kg_per_km", &LineAttrib::unitMass)
        .def_readonly("elastic_modulus", &LineAttrib::elasticModulus)
        .def_readonly("expansion_coeff", &LineAttrib::expansionCoeff)
        .def_readonly("rated_strength_n", &LineAttrib::ratedStrength)
        .def_readonly("column4_value", &LineAttrib::column4Value)
        .def_readonly("column7_value", &LineAttrib::column7Value)
        .def_readonly("column9_number", &LineAttrib::column9Number)
        .def_property_readonly("column10_text",
                               [](const LineAttrib& a) { return decodeField(a.column10Text); })
        .def("__eq__", [](const LineAttrib& a,
                          const LineAttrib& b) { return std::memcmp(&a, &b, sizeof a) == 0; })
        .def("__hash__", [](const LineAttrib& r) { return py::hash(recordBytes(r)); })
        .def(py::pickle(&recordBytes<LineAttrib>, &recordFromBytes<LineAttrib>))
        .def("__repr__", [](const LineAttrib& a) {
            return py::str(
                       "Conductor({!r}, area_mm2={!r}, diameter_mm={!r}, "
                       "unit_mass_kg_per_km={!r}, elastic_modulus={!r}, "
                       "expansion_coeff={!r}, rated_strength_n={!r})")
                .format(decodeField(a.name), a.area, a.diameter, a.unitMass, a.elasticModulus,
                        a.expansionCoeff, a.ratedStrength);
        });
}

void bindTables(py::module_& m) {
    m.def(
        "check_table",
        [](const std::string& path, int expectedFields) {
            TableCheck check;
            {
                py::gil_scoped_release release;
                check = checkTable(path.c_str(), expectedFields);
            }
            py::dict d;
            d["refusal"] = refusalName(check.refusal);
            d["reason"] = check.reason;
            d["path"] = py::bytes(check.path);
            d["value"] = check.value;
            d["limit"] = check.limit;
            d["system_error"] = check.systemError;
            return d;
        },
        py::arg("path"), py::arg("expected_fields") = -1,
        "Why the table at path (bytes) would be refused: a dict with the refusal's name ('None' "
        "when it opens), its reason and figures.");

    m.def(
        "read_table",
        [](const std::string& path) -> py::object {
            CDbase table;
            int ok = 0;
            {
                py::gil_scoped_release release;
                ok = table.Open(path.c_str(), 0);
            }
            if (ok != 1) return py::none();
            TextList names;
            table.GetFieldNames(names);
            py::list fields;
            for (const std::string& n : names) fields.append(py::bytes(n));
            py::list rows;
            TextList values;
            const int count = table.GetRecordCount();
            for (int i = 0; i < count; ++i) {
                table.GetRecord(i, values);
                py::list row;
                for (const std::string& v : values) row.append(py::bytes(v));
                rows.append(std::move(row));
            }
            return py::make_tuple(fields, rows);
        },
        py::arg("path"),
        "(field names, rows) of the table at path as GBK bytes, or None when it is refused.");

    m.def(
        "load_weather_areas",
        [](const std::string& path, bool loadCase, bool english) {
            return loadRecords<WeatherArea>(
                path,
                [&](WeatherAreaLib& lib, const char* p) {
                    return loadCase ? loadLoadCaseWeatherAreas(lib, p, english)
                                    : loadWeatherAreas(lib, p, english);
                },
                &areaTuple);
        },
        py::arg("path"), py::arg("load_case"), py::arg("english"));
    m.def("load_conductors", [](const std::string& path) {
        return loadRecords<LineAttrib>(path, &loadLineAttribs, &conductorObject);
    });
    m.def("load_hb_lines", [](const std::string& path) {
        return loadRecords<HBLineAttrib>(path, &loadHBLineAttribs, &hbLineDict);
    });
    m.def("load_insulators", [](const std::string& path) {
        return loadRecords<InsulatorAttrib>(path, &loadInsulatorAttribs, &insulatorDict);
    });
}

}  // namespace varnel::python

PYBIND11_MODULE(_core, m) {
    m.doc() = "The Varnel calculation core, table reader, libraries and strain-section design.";
    m.attr("__version__") = VARNEL_VERSION;
    varnel::python::bindRecords(m);
    varnel::python::bindTables(m);
    varnel::python::bindCalculations(m);
    varnel::python::bindDesign(m);
}
