#include "tools/span_analysis.h"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include "calc/conductor_load.h"
#include "calc/control_search.h"
#include "design/input_checks.h"
#include "tools/design_inputs.h"
#include "tools/design_records.h"
#include "tools/number_options.h"

namespace varnel::tool {

namespace {

// A figure of a span that is not finite: the span is beyond what a conductor can hang in.
[[noreturn]] void refuseSpan(double span, std::size_t condition, const ConditionState& s) {
    const bool stress = !std::isfinite(s.stress);
    design::requireFinite(stress ? s.stress : s.sag,
                          std::string(stress ? "the stress" : "the sag") + " of condition " +
                              std::to_string(condition + 1) + " at a span of " + shortNumber(span) +
                              " m",
                          "the span is too long for a conductor to hang in it");
    throw std::logic_error("a finite figure refused");  // not reached
}

// The figures of every condition once the search has named the controlling one: `loadOf(i)` is
// condition i's specific load, `stressOf(i, controlStress)` its stress when the controlling
// condition is strung to `controlStress` (asked only for the others). `isAverage(i)` tells the
// annual-average condition, as the search told it.

template <class Conductor, class Average, class Load, class Stress>
SpanState completeSpan(double span, int control, const Conductor& conductor, Average isAverage,
                       std::size_t n, const DesignFactors& f, Load loadOf, Stress stressOf) {
    SpanState state;
    state.span = span;
    state.control = control;
    if (control < 0) return state;

    // The same limits as the search: σN for the normal conditions, σA for the annual average;
    // with the annual average controlling, the others are held to σA / ratio / safety.
    const double strength = conductor.ratedStrength;
    const double normal = f.strengthFactor * strength / f.safety / conductor.area;
    const double average = f.avgRatio * strength * f.strengthFactor / conductor.area;
    const auto controlIndex = static_cast<std::size_t>(control);
    const bool averageControls = isAverage(controlIndex);
    state.controlStress = averageControls ? average : normal;

    state.conditions.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        ConditionState s;
        s.specificLoad = loadOf(i);
        // The controlling condition is strung to its stress, by definition.
        s.stress = i == controlIndex ? state.controlStress : stressOf(i, state.controlStress);
        s.sag = s.specificLoad * span * span / (8 * s.stress) / f.cosAngle;
        if (i == controlIndex) {
            s.limit = state.controlStress;
        } else if (averageControls) {
            s.limit = state.controlStress / f.avgRatio / f.safety;
        } else {
            s.limit = isAverage(i) ? average : normal;
        }
        s.holds = s.stress <= s.limit;
        // A span far beyond any real line (its sag overflowing) is refused, not printed.
        if (!std::isfinite(s.stress) || !std::isfinite(s.sag)) refuseSpan(span, i, s);
        state.conditions.push_back(s);
    }
    return state;
}

// A stress of the search that is not finite: the span is beyond what the state equation can
// solve for this conductor, and the search's answer (no condition, as every such check fails)
// would be printed with NaN figures.
[[noreturn]] void refuseSearch(double span, std::size_t condition, double stress) {
    design::requireFinite(stress,
                          "the stress of condition " + std::to_string(condition + 1) +
                              " at a span of " + shortNumber(span) + " m",
                          "the span is too long for a conductor to hang in it");
    throw std::logic_error("a finite figure refused");  // not reached
}

// Keeps the stress of every check: when the search ends on a controlling condition, its trial,
// the last one, has checked every other condition. Refuses a stress that is not finite.
class CheckedStresses final : public varnel::SearchObserver {
  public:
    CheckedStresses(std::vector<double>& stresses, double span)
        : stresses_(stresses), span_(span) {}
    void checked(std::size_t checked, double stress, double, bool) override {
        if (!std::isfinite(stress)) refuseSearch(span_, checked, stress);
        stresses_[checked] = stress;
    }

  private:
    std::vector<double>& stresses_;
    double span_;
};

design::SearchFactors toSearchFactors(const DesignFactors& f) {
    return {f.cosAngle, f.avgRatio, f.strengthFactor, f.safety};
}

// The design layer finds the annual average by its place.
std::size_t annualAverageIndex(const varnel::LineAttrib& conductor,
                               const varnel::WeatherConditionSeq& conditions,
                               const DesignFactors& f) {
    return design::checkDesignInputs(conductor, conditions, toSearchFactors(f)).index();
}

}  // namespace

SpanState analyseSpan(double span, const ::LineAttrib& publicConductor,
                      const ::WeatherConditionSeq& area, const DesignFactors& f) {
    // The core's records of the same bytes, for the search and the design layer's checks.
    varnel::LineAttrib core{};
    std::memcpy(&core, &publicConductor, sizeof core);
    std::vector<varnel::WeatherCondition> storage(static_cast<std::size_t>(area.last - area.first));
    if (!storage.empty()) {
        std::memcpy(storage.data(), area.first, storage.size() * sizeof storage[0]);
    }
    varnel::WeatherConditionSeq conditions{};
    conditions.first = storage.data();
    conditions.last = conditions.endOfStorage = storage.data() + storage.size();
    const auto average = varnel::AnnualAverage::at(annualAverageIndex(core, conditions, f));
    // The search once quietly, so that a span it cannot solve is refused before its account is
    // written; then the library's own search and account, told which condition is the annual
    // average one rather than left to recognise it by its Chinese name.
    std::vector<double> checked(storage.size());
    CheckedStresses quiet(checked, span);
    (void)varnel::controllingCondition(span, f.cosAngle, f.avgRatio, core, conditions,
                                       f.strengthFactor, f.safety, &quiet, average);
    const int control = varnel::controllingConditionWithAccount(
        span, f.cosAngle, f.avgRatio, core, conditions, f.strengthFactor, f.safety, average);
    const ::LineAttrib& conductor = publicConductor;
    const ::WeatherCondition* first = area.first;
    const std::size_t n = storage.size();
    const auto stressOf = [&](std::size_t i, double controlStress) {
        double stress = 0;
        StateEquationGetForce(span, f.cosAngle, &conductor, &first[control], &first[i],
                              controlStress, &stress);
        return stress;
    };
    return completeSpan(
        span, control, conductor, [&](std::size_t i) { return average.is(conditions, i); }, n, f,
        [&](std::size_t i) { return CalcBZ(&first[i], &conductor); }, stressOf);
}

SpanAnalyser::SpanAnalyser(const DesignRecords& records, const DesignFactors& factors)
    : records_(records),
      factors_(factors),
      averageIndex_(annualAverageIndex(records.conductor(), records.conditions(), factors)) {
    const varnel::WeatherConditionSeq& c = records.conditions();
    const auto n = static_cast<std::size_t>(c.last - c.first);
    loads_.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        loads_.push_back(varnel::specificLoad(c.first[i], records.conductor()));
    }
    stresses_.resize(n);
}

SpanState SpanAnalyser::operator()(double span) {
    const DesignFactors& f = factors_;
    const varnel::WeatherConditionSeq& c = records_.conditions();
    CheckedStresses observer(stresses_, span);
    const int control = varnel::controllingCondition(
        span, f.cosAngle, f.avgRatio, records_.conductor(), c, f.strengthFactor, f.safety,
        &observer, varnel::AnnualAverage::at(averageIndex_));
    return completeSpan(
        span, control, records_.conductor(), [&](std::size_t i) { return i == averageIndex_; },
        loads_.size(), f, [&](std::size_t i) { return loads_[i]; },
        [&](std::size_t i, double) { return stresses_[i]; });
}

}  // namespace varnel::tool
