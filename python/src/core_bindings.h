// Shared pieces of the varnel._core bindings: GBK text at the boundary and conditions handed in
// from Python as a sequence the calculations read.
#pragma once

#include <pybind11/pybind11.h>

#include <cstring>
#include <string>
#include <vector>

#include "calc/records/records.h"

namespace varnel::python {

namespace py = pybind11;

// A record's NUL-terminated GBK field as a Python str; bytes that are not GBK become U+FFFD, so
// a damaged table still shows.
template <std::size_t N>
py::str decodeField(const char (&field)[N]) {
    const py::bytes raw(field, strnlen(field, N));
    return raw.attr("decode")("gbk", "replace");
}

// Stores `text` as GBK into a fixed field, NUL-terminated. Throws ValueError naming `what` when
// the text has a character GBK cannot hold or is too long for the field.
template <std::size_t N>
void encodeField(char (&field)[N], const py::str& text, const char* what) {
    py::bytes gbk;
    try {
        gbk = text.attr("encode")("gbk");
    } catch (py::error_already_set&) {
        throw py::value_error(std::string(what) + " has a character that GBK cannot hold");
    }
    const std::string bytes = gbk;
    if (bytes.find('\0') != std::string::npos) {
        throw py::value_error(std::string(what) + " contains a NUL character");
    }
    if (bytes.size() >= N) {
        throw py::value_error(std::string(what) + " is " + std::to_string(bytes.size()) +
                              " bytes in GBK; at most " + std::to_string(N - 1) + " fit");
    }
    std::memset(field, 0, N);
    std::memcpy(field, bytes.data(), bytes.size());
}

// Conditions copied from Python, with the sequence view the calculations take.
struct ConditionList {
    std::vector<WeatherCondition> items;
    WeatherConditionSeq seq() {
        WeatherCondition* b = items.data();
        return {0, b, b + items.size(), b + items.size()};
    }
};

void bindRecords(py::module_& m);
void bindTables(py::module_& m);
void bindCalculations(py::module_& m);
void bindDesign(py::module_& m);
void bindThermal(py::module_& m);
void bindCurve(py::module_& m);

}  // namespace varnel::python
