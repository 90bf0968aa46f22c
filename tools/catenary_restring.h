// A span's conditions strung from its controlling one as an exact catenary: the controlling
// condition and its allowable stress as the search found them, every other condition's stress
// by the single span's catenary change of state (calc/catenary_state.h), each sag the curve's
// largest.
#pragma once

#include "tools/span_analysis.h"

namespace varnel::tool {

// `conditions` are the area's, in the order of `state.conditions`. A state without a
// controlling condition is left as it is. `holds` compares the catenary's stress with the
// limit, so a condition the catenary takes beyond it shows as not holding. Throws ToolError,
// naming the condition, where the change of state has no answer.
void restringAsCatenary(SpanState& state, double heightDifference, const ::LineAttrib& conductor,
                        const ::WeatherCondition* conditions);

// The height difference of a span whose height-difference angle has cosine `cosAngle`, as a
// level-equivalent: l·tan β, the far support the higher (neither stress nor sag depends on
// which is).
double heightDifferenceOf(double span, double cosAngle);

}  // namespace varnel::tool
