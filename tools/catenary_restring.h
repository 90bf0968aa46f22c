// A span's conditions strung as exact catenaries from the catenary's own controlling condition:
// the first, in the area's order, whose allowable stress keeps every other condition within its
// limit by the single span's catenary change of state (design/catenary_section.h,
// catenaryControl), every condition's stress from it, each sag the curve's largest along its
// load (a wind condition's curve in the plane of its load).
#pragma once

#include "tools/span_analysis.h"

namespace varnel::tool {

class DesignRecords;

// `state` is the library's account of the span (analyseSpan or SpanAnalyser), in the area's
// order; its conditions are replaced by the catenary's, their limits σA for the annual average
// and σN for the others, `holds` by design::withinLimit. `hint`, where the caller knows it (the
// catenary's control ranges, away from their bounds), is tried first and kept when every
// condition strung from it holds; else the search runs. Returns the library's controlling
// condition (the parabola's), -1 for none. Throws ToolError where no condition's change of
// state has an answer.
int restringAsCatenary(SpanState& state, double heightDifference, const DesignRecords& records,
                       const DesignFactors& factors, int hint = -1);

// The height difference of a span whose height-difference angle has cosine `cosAngle`, as a
// level-equivalent: l·tan β, the far support the higher (neither stress nor sag depends on
// which is).
double heightDifferenceOf(double span, double cosAngle);

}  // namespace varnel::tool
