#include "tools/catenary_restring.h"

#include <fmt/format.h>

#include <cmath>
#include <exception>

#include "calc/catenary_state.h"
#include "calc/span_curve.h"
#include "tools/library_tables.h"
#include "tools/tool_error.h"

namespace varnel::tool {

void restringAsCatenary(SpanState& s, double heightDifference, const ::LineAttrib& conductor,
                        const ::WeatherCondition* conditions) {
    if (s.control < 0) return;
    const ConductorStrain strain{conductor.elasticModulus, conductor.expansionCoeff};
    const auto k0 = static_cast<std::size_t>(s.control);
    const LoadState known{s.conditions[k0].specificLoad, conditions[k0].temperature};
    for (std::size_t k = 0; k < s.conditions.size(); ++k) {
        ConditionState& cs = s.conditions[k];
        try {
            cs.stress =
                catenaryStateStress({s.span, heightDifference}, strain, known, s.controlStress,
                                    {cs.specificLoad, conditions[k].temperature});
            cs.sag =
                SpanCurve(SpanModel::catenary, s.span, heightDifference, cs.stress, cs.specificLoad)
                    .maxSag();
        } catch (const std::exception& e) {
            throw ToolError(fmt::format("{} at {} m: the catenary change of state: {}",
                                        nameOf(conditions[k].name), s.span, e.what()));
        }
        cs.holds = cs.stress <= cs.limit;
    }
}

double heightDifferenceOf(double span, double cosAngle) {
    return span * std::sqrt((1 - cosAngle) * (1 + cosAngle)) / cosAngle;
}

}  // namespace varnel::tool
