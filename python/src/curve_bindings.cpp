// varnel._core: one span's curve and the catenary change of state. The figures of a curve are
// scalars handed back at once; its height and sag along x, and the change of state, are array
// work and run without the GIL.
#include <pybind11/numpy.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <string>

#include "calc/catenary_state.h"
#include "calc/conductor_load.h"
#include "calc/span_curve.h"
#include "design/input_checks.h"
#include "python/src/core_bindings.h"

namespace varnel::python {

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

// As varnel span turns the curve's angles into degrees, so both show the same figures.
double degrees(double radians) {
    return radians * (180 / std::numbers::pi);
}

SpanModel modelNamed(const std::string& name) {
    const std::optional<SpanModel> model = spanModelNamed(name);
    if (!model) {
        throw py::value_error("model = '" + name +
                              "': the span models are 'catenary', 'parabola' and "
                              "'flat-parabola'");
    }
    return *model;
}

// An input of the change of state: n values, or one value for all.
struct Column {
    const double* data;
    bool scalar;
    double operator[](std::size_t i) const noexcept { return data[scalar ? 0 : i]; }
};

Column column(const Doubles& a, std::size_t n, const char* what) {
    const auto size = static_cast<std::size_t>(a.size());
    if (size != n && size != 1) {
        throw py::value_error(std::string(what) + " has " + std::to_string(size) +
                              " values where 1 or " + std::to_string(n) + " are needed");
    }
    return {a.data(), size == 1};
}

// The first element at fault, found without the GIL and raised with it.
struct Fault {
    std::string what;
    std::string rule;
    std::size_t index = 0;
    double value = 0;
    bool showValue = true;
};

[[noreturn]] void raise(const Fault& fault, bool scalar) {
    const std::string at = scalar ? "" : "[" + std::to_string(fault.index) + "]";
    if (!fault.showValue) {
        throw py::value_error(fault.what + ": " + fault.rule +
                              (scalar ? "" : " (element " + std::to_string(fault.index) + ")"));
    }
    throw py::value_error(fault.what + at + " = " +
                          py::repr(py::float_(fault.value)).cast<std::string>() + ": " +
                          fault.rule);
}

bool positive(double v) noexcept {
    return v > 0 && v < HUGE_VAL;
}

}  // namespace

void bindCurve(py::module_& m) {
    m.def(
        "span_curve",
        [](const std::string& model, double span, double heightDifference, double stress,
           double load, double horizontalLoad) {
            // `load` is the vertical load; beside a horizontal one the curve is swung into the
            // plane of their resultant and the chord.
            const SwungCurve w(modelNamed(model), span, heightDifference, stress,
                               std::hypot(load, horizontalLoad), load);
            const SpanCurve& c = w.inPlane();
            py::dict d;
            d["model"] = std::string(spanModelName(c.model()));
            d["parameter"] = c.parameter();
            d["low_point"] = w.lowPoint();
            d["near_height_above_low_point"] = c.nearHeightAboveLowPoint();
            d["far_height_above_low_point"] = c.farHeightAboveLowPoint();
            d["max_sag"] = c.maxSag();
            d["max_sag_at"] = w.maxSagAt();
            d["length"] = c.length();
            d["near_stress"] = c.nearStress();
            d["far_stress"] = c.farStress();
            d["near_angle_deg"] = degrees(c.nearAngle());
            d["far_angle_deg"] = degrees(c.farAngle());
            d["near_vertical_stress"] = c.nearVerticalStress();
            d["far_vertical_stress"] = c.farVerticalStress();
            d["swing_deg"] = degrees(w.swing());
            d["plane_span"] = w.planeSpan().span;
            d["plane_height_difference"] = w.planeSpan().heightDifference;
            d["max_sag_vertical"] = w.verticalMaxSag();
            d["max_sag_sideways"] = w.sidewaysMaxSag();
            return d;
        },
        py::arg("model"), py::arg("span"), py::arg("height_difference"), py::arg("stress"),
        py::arg("load"), py::arg("horizontal_load") = 0.0,
        "The figures of one span's curve as a dict: lengths in m, stresses in N/mm², angles in "
        "degrees.");

    m.def(
        "span_curve_at",
        [](const std::string& model, double span, double heightDifference, double stress,
           double load, const std::string& what, const Doubles& x, double horizontalLoad) {
            const SwungCurve c(modelNamed(model), span, heightDifference, stress,
                               std::hypot(load, horizontalLoad), load);
            double (SwungCurve::*figure)(double) const noexcept = nullptr;
            if (what == "height") {
                figure = &SwungCurve::heightAt;
            } else if (what == "sag") {
                figure = &SwungCurve::sagAt;
            } else if (what == "stress") {
                figure = &SwungCurve::stressAt;
            } else if (what == "vertical_sag") {
                figure = &SwungCurve::verticalSagAt;
            } else if (what == "sideways") {
                figure = &SwungCurve::sidewaysAt;
            } else {
                throw py::value_error("no figure '" + what + "' along a span");
            }
            // Without a horizontal load, the curve's own figures, to the bit as before.
            const SpanCurve& plain = c.inPlane();
            double (SpanCurve::*own)(double) const noexcept = nullptr;
            if (horizontalLoad == 0) {
                if (what == "height") own = &SpanCurve::heightAt;
                if (what == "sag") own = &SpanCurve::sagAt;
                if (what == "stress") own = &SpanCurve::stressAt;
            }
            const auto n = static_cast<std::size_t>(x.size());
            Doubles out(static_cast<py::ssize_t>(n));
            const double* in = x.data();
            double* o = out.mutable_data();
            Fault fault;
            {
                py::gil_scoped_release release;
                for (std::size_t i = 0; i < n && fault.what.empty(); ++i) {
                    if (!std::isfinite(in[i])) {
                        fault = {"x", "a distance along the span is a finite number of m", i,
                                 in[i]};
                    }
                }
                if (fault.what.empty()) {
                    for (std::size_t i = 0; i < n; ++i) {
                        o[i] = own != nullptr ? (plain.*own)(in[i]) : (c.*figure)(in[i]);
                    }
                }
            }
            if (!fault.what.empty()) raise(fault, n == 1);
            return out;
        },
        py::arg("model"), py::arg("span"), py::arg("height_difference"), py::arg("stress"),
        py::arg("load"), py::arg("what"), py::arg("x"), py::arg("horizontal_load") = 0.0,
        "The curve's height, sag or stress at each x (a flat float64 array); with a horizontal "
        "load also its sag's vertical part and sideways one, x horizontal.");

    m.def(
        "catenary_state_stress",
        [](const Doubles& span, const Doubles& heightDifference, const Doubles& knownStress,
           const LineAttrib& conductor, const WeatherCondition& known,
           const WeatherCondition& sought, bool windPlane) {
            // As state_stress: a loaded record may hold what no calculation can use.
            design::checkConductor(conductor);
            const auto n = static_cast<std::size_t>(
                std::max({span.size(), heightDifference.size(), knownStress.size()}));
            const Column l = column(span, n, "span");
            const Column h = column(heightDifference, n, "height_difference");
            const Column k = column(knownStress, n, "known_stress");
            Doubles out(static_cast<py::ssize_t>(n));
            double* o = out.mutable_data();
            Fault fault;
            {
                py::gil_scoped_release release;
                for (std::size_t i = 0; i < n && fault.what.empty(); ++i) {
                    if (!positive(l[i])) {
                        fault = {"span", "a span is a finite length above 0 m", i, l[i]};
                    } else if (!std::isfinite(h[i])) {
                        fault = {"height_difference", "a height difference is a finite number of m",
                                 i, h[i]};
                    } else if (!positive(k[i])) {
                        fault = {"known_stress", "a stress is a finite number above 0 N/mm²", i,
                                 k[i]};
                    }
                }
                for (std::size_t i = 0; i < n && fault.what.empty(); ++i) {
                    try {
                        o[i] = windPlane
                                   ? catenaryStateStress({l[i], h[i]}, conductor, known, sought,
                                                         k[i])
                                   : catenaryStateStress(
                                         {l[i], h[i]},
                                         {conductor.elasticModulus, conductor.expansionCoeff},
                                         {specificLoad(known, conductor), known.temperature},
                                         k[i],
                                         {specificLoad(sought, conductor), sought.temperature});
                    } catch (const std::exception& e) {
                        // The conductor or the conditions, the same for every element, or a
                        // stress beyond the range of a double: no finite answer.
                        fault = {"catenary_state_stress", e.what(), i, 0, false};
                    }
                }
            }
            if (!fault.what.empty()) raise(fault, n == 1);
            return out;
        },
        py::arg("span"), py::arg("height_difference"), py::arg("known_stress"),
        py::arg("conductor"), py::arg("known"), py::arg("sought"), py::arg("wind_plane") = true);
}

}  // namespace varnel::python
