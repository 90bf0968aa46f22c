#include "design/catenary_section.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "calc/catenary_state.h"
#include "calc/conductor_load.h"
#include "calc/span_curve.h"
#include "design/input_checks.h"

namespace varnel::design {

namespace {

// What every solve of one section shares: the conductor's strain, the spans, and the state the
// section was strung in.
struct Restringing {
    ConductorStrain strain;
    std::vector<SectionSpan> geometry;
    LoadState control;
    double controlStress;

    Restringing(const LineAttrib& conductor, const std::vector<SpanGeometry>& spans,
                const LoadState& controlState, double stress)
        : strain{conductor.elasticModulus, conductor.expansionCoeff},
          control(controlState),
          controlStress(stress) {
        geometry.reserve(spans.size());
        for (const SpanGeometry& g : spans) geometry.push_back({g.length, g.heightDifference});
    }

    double solve(const LoadState& state, std::size_t condition, const std::string& what) const {
        try {
            return catenarySectionStress(geometry, strain, control, controlStress, state);
        } catch (const std::exception& e) {
            throw CatenaryStateError(condition, what, e.what());
        }
    }
};

void requireControl(const SectionDesign& d) {
    if (d.controlling < 0) throw std::invalid_argument("no condition controls the ruling span");
}

Restringing restringingOf(const LineAttrib& conductor, const WeatherConditionSeq& conditions,
                          const SectionDesign& d, const std::vector<SpanGeometry>& spans) {
    requireControl(d);
    const auto control = static_cast<std::size_t>(d.controlling);
    if (control >= conditions.size() || control >= d.load.size()) {
        throw std::invalid_argument("the controlling condition is not one of the area's");
    }
    return {conductor, spans, {d.load[control], conditions[control].temperature}, d.controlStress};
}

}  // namespace

SectionDesign catenarySection(const LineAttrib& conductor, const WeatherConditionSeq& conditions,
                              const SectionDesign& parabolic,
                              const std::vector<SpanGeometry>& spans,
                              const std::vector<double>& extraTemperatures) {
    const Restringing r = restringingOf(conductor, conditions, parabolic, spans);
    const std::size_t n = conditions.size() + extraTemperatures.size();
    if (parabolic.load.size() != n || parabolic.stress.size() != n ||
        parabolic.spans.size() != spans.size()) {
        throw std::invalid_argument("the design's conditions or spans are not those given");
    }
    const auto temperature = [&](std::size_t k) {
        return k < conditions.size() ? conditions[k].temperature
                                     : extraTemperatures[k - conditions.size()];
    };
    SectionDesign d = parabolic;
    for (std::size_t k = 0; k < n; ++k) {
        d.stress[k] = r.solve({d.load[k], temperature(k)}, k, "condition " + std::to_string(k + 1));
    }
    for (std::size_t i = 0; i < spans.size(); ++i) {
        SpanSags& sp = d.spans[i];
        sp.largest = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const SpanCurve c(SpanModel::catenary, spans[i].length, spans[i].heightDifference,
                              d.stress[k], d.load[k]);
            sp.sag[k] = c.maxSag();
            sp.higherSupportStress[k] = std::max(c.nearStress(), c.farStress());
            if (sp.sag[k] > sp.sag[sp.largest]) sp.largest = k;
        }
    }
    return d;
}

StringingRow catenaryStringingRow(const LineAttrib& conductor,
                                  const WeatherConditionSeq& conditions,
                                  const SectionDesign& design,
                                  const std::vector<SpanGeometry>& spans, double temperature,
                                  double compensation) {
    const Restringing r = restringingOf(conductor, conditions, design, spans);
    WeatherCondition still{};  // no ice, no wind
    still.temperature = temperature - compensation;
    const double gamma = specificLoad(still, conductor);
    StringingRow row{temperature,
                     r.solve({gamma, still.temperature}, CatenaryStateError::kStringing,
                             shownValue(temperature) + " \u00B0C"),
                     {}};
    row.sag.reserve(spans.size());
    for (const SpanGeometry& g : spans) {
        row.sag.push_back(
            SpanCurve(SpanModel::catenary, g.length, g.heightDifference, row.stress, gamma)
                .maxSag());
    }
    return row;
}

std::vector<StringingRow> catenaryStringingTable(const LineAttrib& conductor,
                                                 const WeatherConditionSeq& conditions,
                                                 const SectionDesign& design,
                                                 const std::vector<SpanGeometry>& spans,
                                                 const TemperatureRange& t, double compensation) {
    requireControl(design);
    if (!std::isfinite(t.from) || !std::isfinite(t.to) || !std::isfinite(t.step) ||
        !std::isfinite(compensation) || !(t.step > 0) || t.to < t.from) {
        throw std::invalid_argument("temperatures run FROM:TO:STEP, rising, with finite numbers");
    }
    // The same temperatures as the parabola's table, so the two can be set side by side.
    const double count = std::floor((t.to - t.from) / t.step + 1e-9) + 1;
    if (count > 1000) throw std::invalid_argument("more than 1,000 temperatures");
    std::vector<StringingRow> rows;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        rows.push_back(catenaryStringingRow(conductor, conditions, design, spans,
                                            t.from + t.step * static_cast<double>(i),
                                            compensation));
    }
    return rows;
}

}  // namespace varnel::design
