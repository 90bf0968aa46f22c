#include "tools/catenary_restring.h"

#include <fmt/format.h>

#include <cmath>
#include <exception>
#include <vector>

#include "calc/catenary_state.h"
#include "calc/span_curve.h"
#include "design/catenary_section.h"
#include "design/critical_spans.h"
#include "design/strain_section.h"
#include "tools/design_records.h"
#include "tools/number_options.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

// Every condition's stress strung from `k` at its limit, when each holds its own; else nothing.
bool strungFrom(std::size_t k, double span, double h, const std::vector<design::LimitState>& states,
                const ConductorStrain& strain, std::vector<double>& stress) {
    try {
        const design::LimitState& from = states[k];
        const SectionSpan one{span, h};
        const CatenaryChangeOfState change(std::span<const SectionSpan>(&one, 1), strain,
                                           {from.load, from.temperature, from.verticalLoad},
                                           from.allowableStress);
        for (std::size_t j = 0; j < states.size(); ++j) {
            const design::LimitState& to = states[j];
            stress[j] = j == k ? from.allowableStress
                               : change.stressIn({to.load, to.temperature, to.verticalLoad});
            if (!design::withinLimit(stress[j], to.allowableStress)) return false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

int restringAsCatenary(SpanState& s, double heightDifference, const DesignRecords& records,
                       const DesignFactors& f, int hint) {
    const int parabola = s.control;
    const std::vector<design::LimitState> states =
        design::limitStates(records.conductor(), records.conditions(),
                            {f.cosAngle, f.avgRatio, f.strengthFactor, f.safety});
    const varnel::LineAttrib& c = records.conductor();
    const ConductorStrain strain{c.elasticModulus, c.expansionCoeff};
    std::vector<double> stress(states.size());
    int control = -1;
    if (hint >= 0 && static_cast<std::size_t>(hint) < states.size() &&
        strungFrom(static_cast<std::size_t>(hint), s.span, heightDifference, states, strain,
                   stress)) {
        control = hint;
    } else {
        const design::CatenaryControl found = design::catenaryControl(
            {{s.span, heightDifference}}, states, c.elasticModulus, c.expansionCoeff);
        control = found.condition;
        stress = found.stress;
    }
    if (control < 0) {
        throw ToolError(
            fmt::format("at {} m no condition has an answer by the catenary change of state",
                        shortNumber(s.span)));
    }
    const auto k0 = static_cast<std::size_t>(control);
    s.control = control;
    s.controlStress = states[k0].allowableStress;
    s.conditions.resize(states.size());
    for (std::size_t k = 0; k < states.size(); ++k) {
        ConditionState& cs = s.conditions[k];
        const design::LimitState& st = states[k];
        cs.specificLoad = st.load;
        cs.stress = stress[k];
        cs.limit = st.allowableStress;
        cs.holds = design::withinLimit(cs.stress, cs.limit);
        try {
            cs.sag = SwungCurve(SpanModel::catenary, s.span, heightDifference, cs.stress, st.load,
                                st.verticalLoad)
                         .maxSag();
        } catch (const std::exception& e) {
            throw ToolError(fmt::format("condition {} at {} m: the catenary's curve: {}", k + 1,
                                        shortNumber(s.span), e.what()));
        }
    }
    return parabola;
}

double heightDifferenceOf(double span, double cosAngle) {
    return span * std::sqrt((1 - cosAngle) * (1 + cosAngle)) / cosAngle;
}

}  // namespace varnel::tool
