// varnel._core: the calculations and the strain-section design. Array work runs without the GIL;
// arguments are checked by the pure-Python layer except where a check has to look at every
// element, which is done here in the same pass that would otherwise read them.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "calc/catenary_state.h"
#include "calc/conductor_load.h"
#include "calc/control_search.h"
#include "calc/span_curve.h"
#include "calc/state_equation.h"
#include "calc/wind_loads.h"
#include "design/catenary_section.h"
#include "design/critical_spans.h"
#include "design/input_checks.h"
#include "design/strain_section.h"
#include "python/src/core_bindings.h"

namespace varnel::python {

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// An input of the element-wise calculations: n values, or one value for all.
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

// The first element outside its range, as "what[i] = value ...".
struct BadInput {
    const char* what = nullptr;
    const char* rule = nullptr;
    std::size_t index = 0;
    double value = 0;
};

[[noreturn]] void raise(const BadInput& bad, bool scalar) {
    std::string at = scalar ? "" : "[" + std::to_string(bad.index) + "]";
    throw py::value_error(std::string(bad.what) + at + " = " +
                          py::repr(py::float_(bad.value)).cast<std::string>() + ": " + bad.rule);
}

class TrialRecorder final : public SearchObserver {
  public:
    struct Check {
        std::size_t index;
        double stress;
        double limit;
        bool exceeded;
    };
    struct Trial {
        std::size_t assumed;
        double stress;
        std::vector<Check> checks;
        bool controlling = false;
    };
    std::vector<Trial> trials;

    void trialStarted(std::size_t assumed, double stress) override {
        trials.push_back({assumed, stress, {}, false});
    }
    void checked(std::size_t index, double stress, double limit, bool exceeded) override {
        trials.back().checks.push_back({index, stress, limit, exceeded});
    }
    void trialEnded(std::size_t, bool controlling) override {
        trials.back().controlling = controlling;
    }
};

struct Factors {
    double cosAngle;
    double avgRatio;
    double strengthFactor;
    double safety;
};

// One span as the varnel command's sag table works it: the search, then every condition strung
// from the controlling one. Rows where nothing controls are NaN.
void sagRow(double span, const LineAttrib& conductor, WeatherConditionSeq& seq,
            const std::vector<double>& loads, const Factors& f, AnnualAverage average,
            std::int32_t& control, double* stress, double* sag, std::size_t stride) {
    const std::size_t m = seq.size();
    const int c = controllingCondition(span, f.cosAngle, f.avgRatio, conductor, seq,
                                       f.strengthFactor, f.safety, nullptr, average);
    control = c;
    if (c < 0) {
        for (std::size_t j = 0; j < m; ++j) stress[j * stride] = sag[j * stride] = kNaN;
        return;
    }
    const StressLimits limits = stressLimits(f.avgRatio, conductor, f.strengthFactor, f.safety);
    const WeatherCondition& controlling = seq[static_cast<std::size_t>(c)];
    const double controlStress =
        average.is(seq, static_cast<std::size_t>(c)) ? limits.average : limits.normal;
    for (std::size_t j = 0; j < m; ++j) {
        const double s = static_cast<int>(j) == c
                             ? controlStress
                             : stateEquationStress(span, f.cosAngle, conductor, controlling, seq[j],
                                                   controlStress);
        stress[j * stride] = s;
        sag[j * stride] = loads[j] * span * span / (8 * s) / f.cosAngle;
    }
}

// The design models by name: the parabola (the state equation) or the catenary.
bool catenaryNamed(const std::string& model) {
    if (model == "catenary") return true;
    if (model == "parabola") return false;
    throw py::value_error("model = '" + model +
                          "': the design models are 'parabola' and 'catenary'");
}

// The height difference of a span whose height-difference angle has cosine c: l·tan β, the far
// support the higher, as the varnel command takes it without --height-difference.
double heightOf(double span, double c) {
    return span * std::sqrt((1 - c) * (1 + c)) / c;
}

// A row of sagRow strung again as the catenary, from the catenary's own controlling condition
// (design::catenaryControl on the single span), each sag the curve's largest along its load:
// the varnel command's --model catenary. `hint` (the catenary's ranges, away from their bounds)
// is tried first and kept when every condition holds strung from it. `states` are the area's
// conditions at their limits.
void restringRow(double span, double heightDifference, const LineAttrib& conductor,
                 const std::vector<design::LimitState>& states, int hint, std::int32_t& control,
                 double* stress, double* sag, std::size_t stride) {
    const std::size_t m = states.size();
    std::vector<double> strung(m);
    int found = -1;
    if (hint >= 0) {
        try {
            const design::LimitState& from = states[static_cast<std::size_t>(hint)];
            const SectionSpan one{span, heightDifference};
            const CatenaryChangeOfState change(std::span<const SectionSpan>(&one, 1),
                                               {conductor.elasticModulus, conductor.expansionCoeff},
                                               {from.load, from.temperature, from.verticalLoad},
                                               from.allowableStress);
            bool holds = true;
            for (std::size_t j = 0; j < m && holds; ++j) {
                const design::LimitState& to = states[j];
                strung[j] = static_cast<int>(j) == hint
                                ? from.allowableStress
                                : change.stressIn({to.load, to.temperature, to.verticalLoad});
                holds = design::withinLimit(strung[j], to.allowableStress);
            }
            if (holds) found = hint;
        } catch (const std::exception&) {
        }
    }
    if (found < 0) {
        const design::CatenaryControl c = design::catenaryControl(
            {{span, heightDifference}}, states, conductor.elasticModulus, conductor.expansionCoeff);
        found = c.condition;
        strung = c.stress;
    }
    control = found;
    for (std::size_t k = 0; k < m; ++k) {
        if (found < 0) {
            stress[k * stride] = sag[k * stride] = kNaN;
            continue;
        }
        stress[k * stride] = strung[k];
        sag[k * stride] = SwungCurve(SpanModel::catenary, span, heightDifference, strung[k],
                                     states[k].load, states[k].verticalLoad)
                              .maxSag();
    }
}

// The condition the ranges give a span, or -1 within a millionth of the span of a bound.
int rangeAt(const std::vector<design::ControlRange>& ranges, double span) {
    for (const design::ControlRange& r : ranges) {
        if (r.to && span >= *r.to) continue;
        const double margin = 1e-6 * span;
        if (span - r.from < margin || (r.to && *r.to - span < margin)) return -1;
        return r.condition;
    }
    return -1;
}

// The area's ice without wind of one row, strung from the row's controlling condition by its
// model (`h` the catenary's height difference), its stress and sag; NaN without a control.
void derivedRow(double span, double cosAngle, double h, bool catenary, const LineAttrib& conductor,
                const WeatherConditionSeq& seq, const WeatherCondition& still, std::int32_t control,
                double controlStress, double& stress, double& sag) {
    if (control < 0) {
        stress = sag = kNaN;
        return;
    }
    const WeatherCondition& from = seq[static_cast<std::size_t>(control)];
    const double load = specificLoad(still, conductor);
    if (catenary) {
        stress = catenaryStateStress(
            {span, h}, {conductor.elasticModulus, conductor.expansionCoeff},
            loadStateOf(from, conductor), controlStress, loadStateOf(still, conductor));
        sag = SpanCurve(SpanModel::catenary, span, h, stress, load).maxSag();
    } else {
        stress = stateEquationStress(span, cosAngle, conductor, from, still, controlStress);
        sag = load * span * span / (8 * stress) / cosAngle;
    }
}

// `cos` holds one cosine for every span or one per span. With the area's ice without wind, its
// stress and sag are one more row after the area's conditions.
py::tuple sagTable(const Doubles& spans, const Doubles& cos, const LineAttrib& conductor,
                   const std::vector<WeatherCondition>& conditions, const Factors& f,
                   bool catenary) {
    ConditionList list{conditions};
    WeatherConditionSeq seq = list.seq();
    const design::SearchFactors factors{f.cosAngle, f.avgRatio, f.strengthFactor, f.safety};
    const AnnualAverage average = design::checkDesignInputs(conductor, seq, factors);
    const auto n = static_cast<std::size_t>(spans.size());
    const std::size_t area = conditions.size();
    const std::optional<WeatherCondition> still = design::iceWithoutWind(seq);
    const std::size_t m = area + (still ? 1 : 0);
    py::array_t<std::int32_t> control(static_cast<py::ssize_t>(n));
    // One row per condition, so each condition's column is contiguous.
    Doubles stress({static_cast<py::ssize_t>(m), static_cast<py::ssize_t>(n)});
    Doubles sag({static_cast<py::ssize_t>(m), static_cast<py::ssize_t>(n)});
    std::vector<double> loads(m);
    for (std::size_t j = 0; j < area; ++j) loads[j] = specificLoad(seq[j], conductor);
    if (still) loads[area] = specificLoad(*still, conductor);
    const Column cosines = column(cos, n, "cos");
    const std::vector<design::LimitState> states =
        design::limitStates(conductor, seq, factors, average);
    // One cosine for every span: the catenary's ranges give each row its first guess.
    std::vector<design::ControlRange> ranges;
    if (catenary && cosines.scalar && n > 0) {
        design::SearchFactors at = factors;
        at.cosAngle = cosines[0];
        ranges = design::catenaryCriticalSpans(conductor, seq, at, std::nullopt, average).ranges;
    }
    {
        py::gil_scoped_release release;
        const double* s = spans.data();
        std::int32_t* c = control.mutable_data();
        double* st = stress.mutable_data();
        double* sg = sag.mutable_data();
        Factors fi = f;
        for (std::size_t i = 0; i < n; ++i) {
            fi.cosAngle = cosines[i];
            const double h = heightOf(s[i], cosines[i]);
            if (catenary) {
                restringRow(s[i], h, conductor, states, ranges.empty() ? -1 : rangeAt(ranges, s[i]),
                            c[i], st + i, sg + i, n);
            } else {
                sagRow(s[i], conductor, seq, loads, fi, average, c[i], st + i, sg + i, n);
            }
            if (still) {
                derivedRow(s[i], cosines[i], h, catenary, conductor, seq, *still, c[i],
                           c[i] >= 0 ? states[static_cast<std::size_t>(c[i])].allowableStress : 0,
                           st[area * n + i], sg[area * n + i]);
            }
        }
    }
    return py::make_tuple(control, stress, sag, loads);
}

design::SearchFactors searchFactors(double cosAngle, double avgRatio, double strengthFactor,
                                    double safety) {
    return {cosAngle, avgRatio, strengthFactor, safety};
}

std::vector<design::SpanGeometry> geometry(const std::vector<std::pair<double, double>>& spans) {
    std::vector<design::SpanGeometry> out;
    out.reserve(spans.size());
    for (const auto& [l, h] : spans) out.push_back({l, h});
    return out;
}

py::object optional(const std::optional<double>& v) {
    return v ? py::object(py::float_(*v)) : py::object(py::none());
}

}  // namespace

void bindCalculations(py::module_& m) {
    // A conductor loaded from a table may hold what no calculation can use (an area of 0, a
    // negative modulus): refused here as the design layer refuses it.
    m.def(
        "specific_load",
        [](const WeatherCondition& condition, const LineAttrib& conductor) {
            design::checkConductor(conductor);
            return specificLoad(condition, conductor);
        },
        py::arg("condition"), py::arg("conductor"));

    m.def(
        "state_stress",
        [](const Doubles& span, const Doubles& cosAngle, const Doubles& knownStress,
           const LineAttrib& conductor, const WeatherCondition& known,
           const WeatherCondition& sought) {
            design::checkConductor(conductor);
            const auto n = static_cast<std::size_t>(
                std::max({span.size(), cosAngle.size(), knownStress.size()}));
            const Column l = column(span, n, "span");
            const Column c = column(cosAngle, n, "cos");
            const Column k = column(knownStress, n, "known_stress");
            Doubles out(static_cast<py::ssize_t>(n));
            double* o = out.mutable_data();
            BadInput bad;
            {
                py::gil_scoped_release release;
                for (std::size_t i = 0; i < n && bad.what == nullptr; ++i) {
                    if (!(l[i] >= 0 && l[i] < HUGE_VAL)) {
                        bad = {"span", "a span is a finite length of at least 0 m", i, l[i]};
                    } else if (!(c[i] > 0 && c[i] <= 1)) {
                        bad = {"cos",
                               "a cosine of a height-difference angle is above 0 and at "
                               "most 1",
                               i, c[i]};
                    } else if (!(k[i] > 0 && k[i] < HUGE_VAL)) {
                        bad = {"known_stress", "a stress is a finite number above 0 N/mm²", i,
                               k[i]};
                    }
                }
                if (bad.what == nullptr) {
                    for (std::size_t i = 0; i < n; ++i) {
                        o[i] = stateEquationStress(l[i], c[i], conductor, known, sought, k[i]);
                    }
                }
            }
            if (bad.what != nullptr) raise(bad, n == 1);
            return out;
        },
        py::arg("span"), py::arg("cos"), py::arg("known_stress"), py::arg("conductor"),
        py::arg("known"), py::arg("sought"));

    m.def(
        "_state_stress_loop",
        [](const Doubles& span, const Doubles& cosAngle, const Doubles& knownStress,
           const LineAttrib& conductor, const WeatherCondition& known,
           const WeatherCondition& sought) {
            const auto n = static_cast<std::size_t>(span.size());
            if (cosAngle.size() != span.size() || knownStress.size() != span.size()) {
                throw py::value_error("the three arrays must have one length");
            }
            Doubles out(static_cast<py::ssize_t>(n));
            const double* l = span.data();
            const double* c = cosAngle.data();
            const double* k = knownStress.data();
            double* o = out.mutable_data();
            py::gil_scoped_release release;
            for (std::size_t i = 0; i < n; ++i) {
                o[i] = stateEquationStress(l[i], c[i], conductor, known, sought, k[i]);
            }
            return out;
        },
        "The benchmark floor of state_stress: the plain C++ loop over three float64 arrays of one "
        "length, without broadcasting or checks.");

    m.def(
        "control",
        [](double span, double cosAngle, double avgRatio, double strengthFactor, double safety,
           const LineAttrib& conductor, const std::vector<WeatherCondition>& conditions,
           const std::string& model, py::object heightDifference) {
            const bool catenary = catenaryNamed(model);
            ConditionList list{conditions};
            WeatherConditionSeq seq = list.seq();
            const AnnualAverage average = design::checkDesignInputs(
                conductor, seq, {cosAngle, avgRatio, strengthFactor, safety});
            TrialRecorder recorder;
            const int index = controllingCondition(span, cosAngle, avgRatio, conductor, seq,
                                                   strengthFactor, safety, &recorder, average);
            py::list trials;
            for (const auto& t : recorder.trials) {
                py::list checks;
                for (const auto& c : t.checks) {
                    checks.append(py::make_tuple(c.index, c.stress, c.limit, c.exceeded));
                }
                trials.append(py::make_tuple(t.assumed, t.stress, checks, t.controlling));
            }
            // Every condition strung from the controlling one, as the command's table: the
            // library's with the parabola, the catenary's own with the catenary.
            const std::size_t m = seq.size();
            std::vector<double> loads(m), stress(m), sag(m), limit(m);
            std::vector<bool> holds(m);
            for (std::size_t j = 0; j < m; ++j) loads[j] = specificLoad(seq[j], conductor);
            std::int32_t control = -1;
            const Factors f{cosAngle, avgRatio, strengthFactor, safety};
            const std::vector<design::LimitState> states = design::limitStates(
                conductor, seq, {cosAngle, avgRatio, strengthFactor, safety}, average);
            if (catenary) {
                const double h = heightDifference.is_none() ? heightOf(span, cosAngle)
                                                            : heightDifference.cast<double>();
                restringRow(span, h, conductor, states, -1, control, stress.data(), sag.data(), 1);
            } else {
                sagRow(span, conductor, seq, loads, f, average, control, stress.data(), sag.data(),
                       1);
            }
            for (std::size_t j = 0; j < m; ++j) {
                limit[j] = states[j].allowableStress;
                holds[j] = design::withinLimit(stress[j], limit[j]);
            }
            return py::make_tuple(catenary ? control : index, trials, stress, sag, limit, holds,
                                  index);
        },
        py::arg("span"), py::arg("cos"), py::arg("avg_ratio"), py::arg("strength_factor"),
        py::arg("safety"), py::arg("conductor"), py::arg("conditions"),
        py::arg("model") = "parabola", py::arg("height_difference") = py::none());

    m.def(
        "sag_table",
        [](const Doubles& spans, const LineAttrib& conductor,
           const std::vector<WeatherCondition>& conditions, const Doubles& cosAngle,
           double avgRatio, double strengthFactor, double safety, const std::string& model) {
            return sagTable(spans, cosAngle, conductor, conditions,
                            Factors{1.0, avgRatio, strengthFactor, safety}, catenaryNamed(model));
        },
        py::arg("spans"), py::arg("conductor"), py::arg("conditions"), py::arg("cos"),
        py::arg("avg_ratio"), py::arg("strength_factor"), py::arg("safety"),
        py::arg("model") = "parabola",
        "(control, stress, sag, loads): the controlling index per span (int32, -1 for none), "
        "cos one value or one per span, "
        "stress and sag as (conditions, spans) arrays, NaN where nothing controls.");

    m.def(
        "pole_wind",
        [](const WeatherCondition& c, double topDiameter, double topHeight, double taper,
           double bottomHeight) {
            const BodyWind w = poleBodyWind(c, topDiameter, topHeight, taper, bottomHeight);
            return py::make_tuple(w.force, w.moment);
        },
        py::arg("condition"), py::arg("top_diameter_mm"), py::arg("top_height_m"), py::arg("taper"),
        py::arg("bottom_height_m"));
    m.def("conductor_wind", &conductorWind, py::arg("condition"), py::arg("conductor"),
          py::arg("span_m"), py::arg("height_m"), py::arg("wind_angle_deg"));
    m.def("insulator_wind", &insulatorWind, py::arg("condition"), py::arg("height_m"),
          py::arg("area_m2"));
}

void bindDesign(py::module_& m) {
    m.def(
        "critical_spans",
        [](const LineAttrib& conductor, const std::vector<WeatherCondition>& conditions,
           double cosAngle, double avgRatio, double strengthFactor, double safety,
           const std::string& model, py::object heightDifference) {
            ConditionList list{conditions};
            const design::SearchFactors f =
                searchFactors(cosAngle, avgRatio, strengthFactor, safety);
            const design::CriticalSpans cs =
                catenaryNamed(model)
                    ? design::catenaryCriticalSpans(
                          conductor, list.seq(), f,
                          heightDifference.is_none()
                              ? std::nullopt
                              : std::optional<double>(heightDifference.cast<double>()))
                    : design::criticalSpans(conductor, list.seq(), f);
            py::list pairs;
            for (const auto& p : cs.pairs) pairs.append(py::make_tuple(p.a, p.b, optional(p.span)));
            py::list ranges;
            for (const auto& r : cs.ranges) {
                ranges.append(py::make_tuple(r.condition, r.from, optional(r.to)));
            }
            return py::make_tuple(cs.candidates, pairs, ranges);
        },
        py::arg("conductor"), py::arg("conditions"), py::arg("cos"), py::arg("avg_ratio"),
        py::arg("strength_factor"), py::arg("safety"), py::arg("model") = "parabola",
        py::arg("height_difference") = py::none());

    m.def(
        "ice_without_wind",
        [](const std::vector<WeatherCondition>& conditions) -> py::object {
            ConditionList list{conditions};
            const auto still = design::iceWithoutWind(list.seq());
            if (!still) return py::none();
            return py::make_tuple(std::string(design::iceWithoutWindName(list.seq())),
                                  still->iceThickness, still->windSpeed, still->temperature);
        },
        py::arg("conditions"),
        "The area's ice without wind as (name, ice mm, wind m/s, temperature °C), or None.");

    m.def(
        "ruling_span",
        [](const std::vector<std::pair<double, double>>& spans) {
            const design::RulingSpan r = design::rulingSpan(geometry(spans));
            return py::make_tuple(r.span, r.cosAngle);
        },
        py::arg("spans"));

    m.def(
        "design_section",
        [](const LineAttrib& conductor, const std::vector<WeatherCondition>& conditions,
           const std::vector<std::pair<double, double>>& spans, double avgRatio,
           double strengthFactor, double safety, py::object temperatures, double compensation,
           const std::string& model) {
            const bool catenary = catenaryNamed(model);
            ConditionList list{conditions};
            const WeatherConditionSeq seq = list.seq();
            const auto g = geometry(spans);
            design::SectionDesign d = design::designSection(
                conductor, seq, searchFactors(1.0, avgRatio, strengthFactor, safety), g);
            // The area's ice without wind, appended as the command appends it: a sag condition
            // that never controls.
            std::vector<WeatherCondition> extra;
            py::list extraNames;
            if (d.controlling >= 0) {
                if (const auto still = design::iceWithoutWind(seq)) {
                    design::addExtraCondition(d, conductor, seq, g, *still);
                    extra.push_back(*still);
                    extraNames.append(std::string(design::iceWithoutWindName(seq)));
                }
            }
            const int parabola = d.controlling;
            if (catenary && d.controlling >= 0) {
                try {
                    d = design::catenarySection(conductor, seq, d, g, extra);
                } catch (const design::CatenaryStateError& e) {
                    throw py::value_error(e.what());
                }
            }
            py::list spanSags;
            for (const auto& s : d.spans) {
                spanSags.append(py::make_tuple(s.sag, s.higherSupportStress, s.largest));
            }
            py::list stringing;
            if (!temperatures.is_none()) {
                const auto t = temperatures.cast<std::tuple<double, double, double>>();
                const design::TemperatureRange range{std::get<0>(t), std::get<1>(t),
                                                     std::get<2>(t)};
                const auto rows =
                    catenary
                        ? design::catenaryStringingTable(conductor, seq, d, g, range, compensation)
                        : design::stringingTable(conductor, seq, d, g, range, compensation);
                for (const auto& r : rows) {
                    stringing.append(py::make_tuple(r.temperature, r.stress, r.sag));
                }
            }
            return py::make_tuple(py::make_tuple(d.ruling.span, d.ruling.cosAngle), d.controlling,
                                  d.controlStress, d.load, d.stress, spanSags, stringing, d.limit,
                                  d.verticalLoad, extraNames, parabola);
        },
        py::arg("conductor"), py::arg("conditions"), py::arg("spans"), py::arg("avg_ratio"),
        py::arg("strength_factor"), py::arg("safety"), py::arg("temperatures"),
        py::arg("compensation"), py::arg("model") = "parabola");
}

}  // namespace varnel::python
