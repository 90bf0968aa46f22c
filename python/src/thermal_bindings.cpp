// varnel._core's heat balance: one call per batch of cases, the loop in C++ (thermal_batch.h) so
// that a year of hourly weather costs one crossing of the boundary. Python broadcasts and checks
// the arguments' types (varnel/_thermal.py) and hands each input as an array of 1 or n values;
// the checks of the values are the library's own, row by row.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>
#include <vector>

#include "python/src/core_bindings.h"
#include "thermal/thermal_batch.h"

namespace varnel::python {

namespace {

using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;

// The columns by name, each kept alive by `held` while the batch runs.
thermal::Column column(const py::dict& columns, const char* name, std::vector<Array>& held) {
    if (!columns.contains(name)) return {};
    held.push_back(columns[name].cast<Array>());
    const Array& a = held.back();
    return thermal::Column{a.data(), static_cast<std::size_t>(a.size())};
}

// Returns the nine terms as arrays of `rows` and the failures as (row, reason) pairs. With
// `raise`, the first failure is raised as ValueError naming its row (when there are several).
py::tuple thermalBatch(bool ampacity, py::ssize_t rows, const py::dict& columns, bool sunPosition,
                       const std::string& atmosphere, double strandMm, double coreMm,
                       double frequency, const std::string& model, bool raise) {
    std::vector<Array> held;
    held.reserve(32);
    thermal::BatchInputs in;
    in.value = column(columns, "value", held);
    in.ambient = column(columns, "ambient", held);
    in.windSpeed = column(columns, "wind_speed", held);
    in.windAngle = column(columns, "wind_angle", held);
    in.windDirection = column(columns, "wind_direction", held);
    in.lineAzimuth = column(columns, "azimuth", held);
    in.elevation = column(columns, "elevation", held);
    in.sunPosition = sunPosition;
    in.irradiance = column(columns, "solar", held);
    in.latitude = column(columns, "latitude", held);
    in.day = column(columns, "day", held);
    in.hour = column(columns, "hour", held);
    in.albedo = column(columns, "albedo", held);
    in.clearness = column(columns, "clearness", held);
    in.clearnessGiven = in.clearness.size > 0;
    in.emissivity = column(columns, "emissivity", held);
    in.absorptivity = column(columns, "absorptivity", held);
    in.diameter = column(columns, "diameter", held);
    in.t1 = column(columns, "t1", held);
    in.r1 = column(columns, "r1", held);
    in.t2 = column(columns, "t2", held);
    in.r2 = column(columns, "r2", held);
    in.strandDiameter = strandMm / 1000;
    // Below 0: none (the resistances as given).
    in.coreDiameter = coreMm < 0 ? -1 : coreMm / 1000;
    in.frequency = frequency;
    thermal::Model m = thermal::Model::ieee738;
    try {
        m = thermal::modelFromName(model);
        if (sunPosition) in.atmosphere = thermal::atmosphereFromName(atmosphere);
    } catch (const thermal::ThermalInputError& e) {
        throw py::value_error(e.what());
    }

    const auto n = static_cast<std::size_t>(rows);
    py::array_t<double> out[9];
    double* p[9];
    for (int k = 0; k < 9; ++k) {
        out[k] = py::array_t<double>(rows);
        p[k] = out[k].mutable_data();
    }
    const thermal::BatchOutputs o{p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8]};
    std::vector<thermal::RowFailure> failures;
    {
        py::gil_scoped_release release;
        try {
            failures = thermal::solveBatch(
                in, n, ampacity ? thermal::Solve::ampacity : thermal::Solve::temperature, m, o,
                raise);
        } catch (const std::invalid_argument& e) {
            py::gil_scoped_acquire acquire;
            throw py::value_error(e.what());
        }
    }
    if (raise && !failures.empty()) {
        const thermal::RowFailure& f = failures.front();
        throw py::value_error(n == 1 ? f.reason
                                     : "case " + std::to_string(f.row) + ": " + f.reason);
    }
    py::list failed;
    for (const thermal::RowFailure& f : failures) failed.append(py::make_tuple(f.row, f.reason));
    return py::make_tuple(
        py::make_tuple(out[0], out[1], out[2], out[3], out[4], out[5], out[6], out[7], out[8]),
        failed);
}

}  // namespace

void bindThermal(py::module_& m) {
    m.def("_thermal_batch", &thermalBatch, py::arg("ampacity"), py::arg("rows"), py::arg("columns"),
          py::arg("sun_position"), py::arg("atmosphere"), py::arg("strand_mm"), py::arg("core_mm"),
          py::arg("frequency"), py::arg("model"), py::arg("raise_"),
          "Heat balances of many cases, each input an array of 1 or `rows` values: ((temperature, "
          "current, resistance Ω/m, joule, solar, convection, forced, natural, radiation W/m), "
          "[(row, reason), ...]).");
}

}  // namespace varnel::python
