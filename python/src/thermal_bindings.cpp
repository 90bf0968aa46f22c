// varnel._core's heat balance: one call per array of cases, the loop in C++ so that a year of
// hourly weather costs one crossing of the boundary. Python broadcasts and checks the arguments'
// types (varnel/_thermal.py); the checks of the values are the library's own.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>

#include "python/src/core_bindings.h"
#include "thermal/thermal_rating.h"

namespace varnel::python {

namespace {

using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;

// Per case: the current (for a temperature) or the maximum temperature (for an ampacity), the
// ambient and the wind speed, each a 1-D array of the same length. The rest is common to all.
py::tuple thermalBalances(bool ampacity, const Array& values, const Array& ambients,
                          const Array& winds, double diameterMm, double strandMm, double emissivity,
                          double absorptivity, double t1, double r1Km, double t2, double r2Km,
                          double windAngle, double elevation, const py::object& solar,
                          const py::object& latitude, const py::object& day, const py::object& hour,
                          const py::object& azimuth, const std::string& atmosphere, double albedo,
                          const std::string& model, double clearness, double coreMm,
                          double frequency) {
    const py::ssize_t n = values.size();
    if (ambients.size() != n || winds.size() != n) {
        throw py::value_error("the arrays must be of one length");
    }
    thermal::Conductor c;
    c.diameter = diameterMm / 1000;
    c.strandDiameter = strandMm / 1000;
    c.emissivity = emissivity;
    c.absorptivity = absorptivity;
    c.resistance = thermal::Resistance{t1, r1Km / 1000, t2, r2Km / 1000};
    // Below 0: none (the resistances as given; the atmosphere's clearness).
    c.coreDiameter = coreMm < 0 ? -1 : coreMm / 1000;
    c.frequency = frequency;
    thermal::Weather w;
    w.windAngle = windAngle;
    w.elevation = elevation;
    if (solar.is_none()) {
        w.sun.direct = false;
        w.sun.latitude = latitude.cast<double>();
        w.sun.day = day.cast<int>();
        w.sun.hour = hour.cast<double>();
        w.sun.lineAzimuth = azimuth.cast<double>();
        w.sun.atmosphere = thermal::atmosphereFromName(atmosphere);
        w.sun.albedo = albedo;
        w.sun.clearness = clearness;
    } else {
        w.sun = thermal::noSun();
        w.sun.irradiance = solar.cast<double>();
    }
    const thermal::Model m = thermal::modelFromName(model);

    py::array_t<double> out[9];
    double* p[9];
    for (int k = 0; k < 9; ++k) {
        out[k] = py::array_t<double>(n);
        p[k] = out[k].mutable_data();
    }
    const double* x = values.data();
    const double* ta = ambients.data();
    const double* v = winds.data();
    for (py::ssize_t i = 0; i < n; ++i) {
        w.ambient = ta[i];
        w.windSpeed = v[i];
        thermal::HeatBalance b;
        try {
            b = ampacity ? thermal::ampacity(c, w, x[i], m)
                         : thermal::conductorTemperature(c, w, x[i], m);
        } catch (const thermal::ThermalInputError& e) {
            throw py::value_error(n == 1 ? std::string(e.what())
                                         : "case " + std::to_string(i) + ": " + e.what());
        }
        const double terms[9] = {b.temperature, b.current, b.resistance, b.joule,    b.solar,
                                 b.convection,  b.forced,  b.natural,    b.radiation};
        for (int k = 0; k < 9; ++k) p[k][i] = terms[k];
    }
    return py::make_tuple(out[0], out[1], out[2], out[3], out[4], out[5], out[6], out[7], out[8]);
}

}  // namespace

void bindThermal(py::module_& m) {
    m.def("_thermal_balances", &thermalBalances, py::arg("ampacity"), py::arg("values"),
          py::arg("ambients"), py::arg("winds"), py::arg("diameter_mm"), py::arg("strand_mm"),
          py::arg("emissivity"), py::arg("absorptivity"), py::arg("t1"), py::arg("r1_km"),
          py::arg("t2"), py::arg("r2_km"), py::arg("wind_angle"), py::arg("elevation"),
          py::arg("solar"), py::arg("latitude"), py::arg("day"), py::arg("hour"),
          py::arg("azimuth"), py::arg("atmosphere"), py::arg("albedo"), py::arg("model"),
          py::arg("clearness"), py::arg("core_mm"), py::arg("frequency"),
          "Heat balances of many cases: (temperature, current, resistance Ω/m, joule, solar, "
          "convection, forced, natural, radiation W/m) as arrays.");
}

}  // namespace varnel::python
