#include "tools/span_analysis.h"

#include <cstring>

namespace varnel::tool {

bool isAnnualAverage(const WeatherCondition& condition) {
    return std::strncmp(condition.name, "\xC4\xEA\xC6\xBD", sizeof condition.name) == 0;  // 年平
}

SpanState analyseSpan(double span, const LineAttrib& conductor, const WeatherConditionSeq& area,
                      const DesignFactors& f) {
    SpanState state;
    state.span = span;
    state.control = StateEquationGetControl(span, f.cosAngle, f.avgRatio, &conductor, &area,
                                            f.strengthFactor, f.safety);
    if (state.control < 0) return state;

    // The same limits as the search: σN for the normal conditions, σA for the annual average;
    // with the annual average controlling, the others are held to σA / ratio / safety.
    const double strength = conductor.ratedStrength;
    const double normal = f.strengthFactor * strength / f.safety / conductor.area;
    const double average = f.avgRatio * strength * f.strengthFactor / conductor.area;
    const WeatherCondition* first = area.first;
    const auto n = static_cast<std::size_t>(area.last - area.first);
    const WeatherCondition& control = first[state.control];
    const bool averageControls = isAnnualAverage(control);
    state.controlStress = averageControls ? average : normal;

    for (std::size_t i = 0; i < n; ++i) {
        const WeatherCondition& c = first[i];
        ConditionState s;
        s.specificLoad = CalcBZ(&c, &conductor);
        if (static_cast<int>(i) == state.control) {
            s.stress = state.controlStress;  // strung to it, by definition
        } else {
            StateEquationGetForce(span, f.cosAngle, &conductor, &control, &c, state.controlStress,
                                  &s.stress);
        }
        s.sag = s.specificLoad * span * span / (8 * s.stress) / f.cosAngle;
        if (static_cast<int>(i) == state.control) {
            s.limit = state.controlStress;
        } else if (averageControls) {
            s.limit = state.controlStress / f.avgRatio / f.safety;
        } else {
            s.limit = isAnnualAverage(c) ? average : normal;
        }
        s.holds = s.stress <= s.limit;
        state.conditions.push_back(s);
    }
    return state;
}

}  // namespace varnel::tool
