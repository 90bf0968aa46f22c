#include "tools/span_analysis.h"

#include <cstring>

#include "calc/conductor_load.h"
#include "calc/control_search.h"
#include "tools/design_records.h"

namespace varnel::tool {

namespace {

template <class Condition>
bool annualAverage(const Condition& condition) {
    return std::strncmp(condition.name, "\xC4\xEA\xC6\xBD", sizeof condition.name) == 0;  // 年平
}

// The figures of every condition once the search has named the controlling one: `loadOf(i)` is
// condition i's specific load, `stressOf(i, controlStress)` its stress when the controlling
// condition is strung to `controlStress` (asked only for the others).
template <class Conductor, class Condition, class Load, class Stress>
SpanState completeSpan(double span, int control, const Conductor& conductor, const Condition* first,
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
    const bool averageControls = annualAverage(first[controlIndex]);
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
            s.limit = annualAverage(first[i]) ? average : normal;
        }
        s.holds = s.stress <= s.limit;
        state.conditions.push_back(s);
    }
    return state;
}

// Keeps the stress of every check: when the search ends on a controlling condition, its trial,
// the last one, has checked every other condition.
class CheckedStresses final : public varnel::SearchObserver {
  public:
    explicit CheckedStresses(std::vector<double>& stresses) : stresses_(stresses) {}
    void checked(std::size_t checked, double stress, double, bool) override {
        stresses_[checked] = stress;
    }

  private:
    std::vector<double>& stresses_;
};

}  // namespace

bool isAnnualAverage(const ::WeatherCondition& condition) {
    return annualAverage(condition);
}

SpanState analyseSpan(double span, const ::LineAttrib& conductor, const ::WeatherConditionSeq& area,
                      const DesignFactors& f) {
    const int control = StateEquationGetControl(span, f.cosAngle, f.avgRatio, &conductor, &area,
                                                f.strengthFactor, f.safety);
    const ::WeatherCondition* first = area.first;
    const auto n = static_cast<std::size_t>(area.last - area.first);
    const auto stressOf = [&](std::size_t i, double controlStress) {
        double stress = 0;
        StateEquationGetForce(span, f.cosAngle, &conductor, &first[control], &first[i],
                              controlStress, &stress);
        return stress;
    };
    return completeSpan(
        span, control, conductor, first, n, f,
        [&](std::size_t i) { return CalcBZ(&first[i], &conductor); }, stressOf);
}

SpanAnalyser::SpanAnalyser(const DesignRecords& records, const DesignFactors& factors)
    : records_(records), factors_(factors) {
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
    CheckedStresses observer(stresses_);
    const int control =
        varnel::controllingCondition(span, f.cosAngle, f.avgRatio, records_.conductor(), c,
                                     f.strengthFactor, f.safety, &observer);
    return completeSpan(
        span, control, records_.conductor(), c.first, loads_.size(), f,
        [&](std::size_t i) { return loads_[i]; },
        [&](std::size_t i, double) { return stresses_[i]; });
}

}  // namespace varnel::tool
