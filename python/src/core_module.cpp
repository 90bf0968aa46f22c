// varnel._core: the records, the table reader and the design data libraries. The loaders fill
// sequences of their own here, not the module-wide libraries of the exports, so nothing a Python
// program loads is shared with a host of libvarnel.so in the same process.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "calc/records/library_records.h"
#include "dbf/dbase.h"
#include "dbf/table_check.h"
#include "dbf/table_path.h"
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

// A real number handed in from Python: int, float, numpy's numbers, anything numbers.Real holds,
// but not a truth value, a text or a complex number, which pybind11 or float() would take.
double realArgument(const py::handle& value, const char* what) {
    const bool real = !PyBool_Check(value.ptr()) &&
                      !py::isinstance(value, py::module_::import("numpy").attr("bool_")) &&
                      py::isinstance(value, py::module_::import("numbers").attr("Real"));
    if (!real) {
        throw py::type_error(std::string(what) + " must be a real number, not " +
                             std::string(py::str(value.get_type().attr("__name__"))) + " " +
                             std::string(py::repr(value)));
    }
    return value.cast<double>();
}

py::str textArgument(const py::handle& value, const char* what) {
    if (!py::isinstance<py::str>(value)) {
        throw py::type_error(std::string(what) + " must be a str, not " +
                             std::string(py::str(value.get_type().attr("__name__"))) + " " +
                             std::string(py::repr(value)));
    }
    return py::reinterpret_borrow<py::str>(value);
}

WeatherCondition makeCondition(const py::object& name, const py::object& ice,
                               const py::object& wind, const py::object& temperature) {
    const double iceMm = realArgument(ice, "ice_mm");
    const double windMs = realArgument(wind, "wind_ms");
    const double temperatureC = realArgument(temperature, "temperature_c");
    requireNonNegative(iceMm, "ice_mm");
    requireNonNegative(windMs, "wind_ms");
    requireFinite(temperatureC, "temperature_c");
    WeatherCondition c{};
    encodeField(c.name, textArgument(name, "name"), "name");
    c.iceThickness = iceMm;
    c.windSpeed = windMs;
    c.temperature = temperatureC;
    return c;
}

// The conductor table's columns 4, 7, 9 and 10, which the calculations do not use, by the names
// of what conductor tables hold there (AL_AREA, ST_AREA, AL_WIRES, STRANDING in the samples), or
// by the record's older column names; one spelling of each at most.
py::object eitherName(const py::object& named, const char* name, const py::object& column,
                      const char* columnName, py::object fallback) {
    if (!named.is_none() && !column.is_none()) {
        throw py::type_error(std::string("give ") + name + " or " + columnName + ", not both");
    }
    if (!named.is_none()) return named;
    if (!column.is_none()) return column;
    return fallback;
}

LineAttrib makeConductor(const py::object& name, const py::object& areaArg,
                         const py::object& diameterArg, const py::object& unitMassArg,
                         const py::object& modulusArg, const py::object& expansionArg,
                         const py::object& strengthArg, const py::object& aluminiumArea,
                         const py::object& steelArea, const py::object& aluminiumWires,
                         const py::object& stranding, const py::object& column4,
                         const py::object& column7, const py::object& column9,
                         const py::object& column10) {
    const double area = realArgument(areaArg, "area_mm2");
    const double diameter = realArgument(diameterArg, "diameter_mm");
    const double unitMass = realArgument(unitMassArg, "unit_mass_kg_per_km");
    const double modulus = realArgument(modulusArg, "elastic_modulus");
    const double expansion = realArgument(expansionArg, "expansion_coeff");
    const double strength = realArgument(strengthArg, "rated_strength_n");
    const double alArea = realArgument(
        eitherName(aluminiumArea, "aluminium_area_mm2", column4, "column4_value", py::float_(0.0)),
        "aluminium_area_mm2");
    const double stArea = realArgument(
        eitherName(steelArea, "steel_area_mm2", column7, "column7_value", py::float_(0.0)),
        "steel_area_mm2");
    const py::object wiresArg =
        eitherName(aluminiumWires, "aluminium_wires", column9, "column9_number", py::int_(0));
    if (PyBool_Check(wiresArg.ptr()) ||
        !py::isinstance(wiresArg, py::module_::import("numbers").attr("Integral"))) {
        throw py::type_error("aluminium_wires must be a whole number, not " +
                             std::string(py::repr(wiresArg)));
    }
    const py::object textArg =
        eitherName(stranding, "stranding", column10, "column10_text", py::str(""));
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
    requireFinite(alArea, "aluminium_area_mm2");
    requireFinite(stArea, "steel_area_mm2");
    const py::int_ wires(wiresArg);
    if (wires < py::int_(INT32_MIN) || wires > py::int_(INT32_MAX)) {
        throw py::value_error("aluminium_wires = " + std::string(py::repr(wiresArg)) +
                              ": the record holds a 32-bit whole number");
    }
    LineAttrib a{};
    encodeField(a.name, textArgument(name, "name"), "name");
    a.area = area;
    a.diameter = diameter;
    a.unitMass = unitMass;
    a.column4Value = alArea;
    a.elasticModulus = modulus;
    a.expansionCoeff = expansion;
    a.column7Value = stArea;
    a.ratedStrength = strength;
    a.column9Number = wires.cast<std::int32_t>();
    encodeField(a.column10Text, textArgument(textArg, "stranding"), "stranding");
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

// Whether a record object was built by __init__: Condition.__new__(Condition) alone makes one
// that holds no record, and the package refuses it at every use.
bool holdsRecord(const py::handle& object) {
    if (!py::isinstance<WeatherCondition>(object) && !py::isinstance<LineAttrib>(object)) {
        return false;
    }
    auto* inst = reinterpret_cast<py::detail::instance*>(object.ptr());
    return inst->get_value_and_holder(nullptr, false).holder_constructed();
}

// pybind11 allocates a record on first use when __init__ never ran; zero-filled, such an object
// shows zeros and empty names rather than whatever the heap held.
void* zeroedRecord(std::size_t size) {
    void* p = ::operator new(size);
    std::memset(p, 0, size);
    return p;
}

template <class Record>
void allocateZeroed() {
    py::detail::get_type_info(typeid(Record))->operator_new = &zeroedRecord;
}

// Equal when the other is the same kind of record with the same bytes; anything else is left to
// Python (NotImplemented), so `condition == None` is False rather than an error.
template <class Record>
py::object recordEquals(const Record& a, const py::handle& other) {
    if (!py::isinstance<Record>(other))
        return py::reinterpret_borrow<py::object>(Py_NotImplemented);
    const Record& b = other.cast<const Record&>();
    return py::bool_(std::memcmp(&a, &b, sizeof a) == 0);
}

template <class Record>
py::bytes recordState(const py::handle& self) {
    if (!holdsRecord(self)) throw py::type_error("this record was made without __init__");
    return recordBytes(self.cast<const Record&>());
}

}  // namespace

void bindRecords(py::module_& m) {
    m.def("_holds_record", &holdsRecord, py::arg("record"),
          "Whether a Condition or Conductor was built by __init__ (not __new__ alone).");

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
        .def("__eq__", &recordEquals<WeatherCondition>, py::is_operator())
        .def("__hash__", [](const WeatherCondition& r) { return py::hash(recordBytes(r)); })
        .def(py::pickle(&recordState<WeatherCondition>, &recordFromBytes<WeatherCondition>))
        .def("__repr__", [](const WeatherCondition& c) {
            return py::str("Condition({!r}, ice_mm={!r}, wind_ms={!r}, temperature_c={!r})")
                .format(decodeField(c.name), c.iceThickness, c.windSpeed, c.temperature);
        });
    allocateZeroed<WeatherCondition>();

    const py::none none;
    py::class_<LineAttrib>(m, "Conductor", "A conductor type as the calculations see it.")
        .def(py::init(&makeConductor), py::arg("name"), py::arg("area_mm2"), py::arg("diameter_mm"),
             py::arg("unit_mass_kg_per_km"), py::arg("elastic_modulus"), py::arg("expansion_coeff"),
             py::arg("rated_strength_n"), py::kw_only(), py::arg("aluminium_area_mm2") = none,
             py::arg("steel_area_mm2") = none, py::arg("aluminium_wires") = none,
             py::arg("stranding") = none, py::arg("column4_value") = none,
             py::arg("column7_value") = none, py::arg("column9_number") = none,
             py::arg("column10_text") = none,
             "elastic_modulus in N/mm²; expansion_coeff in 1/°C (the table's 19.6 is 19.6e-6). "
             "aluminium_area_mm2, steel_area_mm2, aluminium_wires and stranding (also known by "
             "the record's column names column4_value, column7_value, column9_number, "
             "column10_text) are carried for the host and not used by the calculations.")
        .def_property_readonly("name", [](const LineAttrib& a) { return decodeField(a.name); })
        .def_property_readonly(
            "name_gbk", [](const LineAttrib& a) { return fieldBytes(a.name, sizeof a.name); })
        .def_readonly("area_mm2", &LineAttrib::area)
        .def_readonly("diameter_mm", &LineAttrib::diameter)
        .def_readonly("unit_mass_kg_per_km", &LineAttrib::unitMass)
        .def_readonly("elastic_modulus", &LineAttrib::elasticModulus)
        .def_readonly("expansion_coeff", &LineAttrib::expansionCoeff)
        .def_readonly("rated_strength_n", &LineAttrib::ratedStrength)
        .def_readonly("aluminium_area_mm2", &LineAttrib::column4Value,
                      "Aluminium cross-section, mm² (the table's column 4, AL_AREA)")
        .def_readonly("steel_area_mm2", &LineAttrib::column7Value,
                      "Steel cross-section, mm² (the table's column 7, ST_AREA)")
        .def_readonly("aluminium_wires", &LineAttrib::column9Number,
                      "Number of aluminium wires (the table's column 9, AL_WIRES)")
        .def_property_readonly(
            "stranding", [](const LineAttrib& a) { return decodeField(a.column10Text); },
            "Kind, stranding and standard (the table's column 10, STRANDING)")
        .def_readonly("column4_value", &LineAttrib::column4Value)
        .def_readonly("column7_value", &LineAttrib::column7Value)
        .def_readonly("column9_number", &LineAttrib::column9Number)
        .def_property_readonly("column10_text",
                               [](const LineAttrib& a) { return decodeField(a.column10Text); })
        .def("__eq__", &recordEquals<LineAttrib>, py::is_operator())
        .def("__hash__", [](const LineAttrib& r) { return py::hash(recordBytes(r)); })
        .def(py::pickle(&recordState<LineAttrib>, &recordFromBytes<LineAttrib>))
        .def("__repr__", [](const LineAttrib& a) {
            return py::str(
                       "Conductor({!r}, area_mm2={!r}, diameter_mm={!r}, "
                       "unit_mass_kg_per_km={!r}, elastic_modulus={!r}, "
                       "expansion_coeff={!r}, rated_strength_n={!r})")
                .format(decodeField(a.name), a.area, a.diameter, a.unitMass, a.elasticModulus,
                        a.expansionCoeff, a.ratedStrength);
        });
    allocateZeroed<LineAttrib>();
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
        "table_path", [](const std::string& path) { return py::bytes(tablePath(path)); },
        py::arg("path"), "The file a table path names: \".dbf\" supplied without an extension.");

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

// python/src/profile_bindings.cpp: the line profile check.
void bindProfile(py::module_& m);

}  // namespace varnel::python

PYBIND11_MODULE(_core, m) {
    m.doc() = "The Varnel calculation core, table reader, libraries and strain-section design.";
    m.attr("__version__") = VARNEL_VERSION;
    varnel::python::bindRecords(m);
    varnel::python::bindTables(m);
    varnel::python::bindCalculations(m);
    varnel::python::bindDesign(m);
    varnel::python::bindThermal(m);
    varnel::python::bindCurve(m);
    varnel::python::bindProfile(m);
}
