// Critical spans: which weather condition controls a span of which length.
//
// Strung to its allowable stress σk in its controlling condition k, a conductor keeps every
// other condition j within its limit exactly when Hk(l) <= Hj(l), where
//   Hk(l) = σk + α·E·c·tk − E·c³·γk²·l² / (24·σk²)
// (the state equation with both conditions at their limits). Each Hk is a straight line in l²,
// so the controlling condition is the lowest line: the one with the least σ + α·E·c·t for short
// spans, and the one with the largest γ/σ for long ones. Two lines cross at the critical span
//   l² = 24·(σi − σj + α·E·c·(ti − tj)) / (E·c³·(γi²/σi² − γj²/σj²)),
// which has no real answer when the right side is negative or the lines are parallel.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "calc/control_search.h"
#include "calc/records/records.h"
#include "design/design_api.h"

namespace varnel::design {

// The controlling-condition search's inputs besides the span.
struct SearchFactors {
    double cosAngle = 1.0;         // cosine of the span's height-difference angle
    double avgStressRatio = 0.25;  // fraction of the strength allowed in the annual average
    double strengthFactor = 0.95;  // applied to the rated strength
    double safetyFactor = 2.5;     // divides the strength in the normal limit
};

// Each function below takes the condition held to the annual-average limit as its last argument;
// when it is not given, it is found in the area whatever the area calls it
// (design/input_checks.h), or the call refused.
using GivenAverage = std::optional<AnnualAverage>;

// The allowable stresses of the search, N/mm²: σN for every condition, σA for the annual average.
VARNEL_DESIGN_API StressLimits allowableStresses(const LineAttrib& conductor,
                                                 const SearchFactors& factors);

// The critical span of two conditions (indices into the area's conditions), m; none when the
// formula has no real answer.
struct CriticalPair {
    std::size_t a;
    std::size_t b;
    std::optional<double> span;
};

// A range of spans in which one condition controls: [from, to), to unbounded for the last.
// `condition` is -1 where no condition qualifies (inputs that are not finite).
struct ControlRange {
    int condition;
    double from;
    std::optional<double> to;
};

struct CriticalSpans {
    // The conditions the design manuals compare, in the area's order: the annual average, the
    // coldest, the iciest and the windiest condition, and any other that controls some span.
    std::vector<std::size_t> candidates;
    // Every pair of candidates, in the area's order.
    std::vector<CriticalPair> pairs;
    // From span 0 on, each range where the search picks the same condition (at span 0 itself,
    // where every condition's load vanishes, ties go to the earlier condition; the first range
    // names the one that controls just above 0). The boundaries are
    // where the controlling-condition search changes its answer: the closed-form critical span
    // where the search agrees with it, else found by bisection on the search to 1e-7 m.
    std::vector<ControlRange> ranges;
};

// A condition at its limit: its specific load γ, N/(m·mm²), its allowable stress σ, N/mm², its
// temperature t, °C, and the vertical part of its load, N/(m·mm²) (the condition without its
// wind; the resultant unless given). The parabola takes the resultant alone; the catenary hangs
// a span of a wind condition in the plane of its load (calc/catenary_state.h).
struct LimitState {
    double load;
    double allowableStress;
    double temperature;
    double verticalLoad = load;
};

// Each condition of an area at the limit the search holds it to (σA for the annual average, σN
// for the others). The functions of the design layer refuse, with std::invalid_argument naming
// the field and its value, the records and factors design/input_checks.h does not accept, and
// results that are not finite.
VARNEL_DESIGN_API std::vector<LimitState> limitStates(const LineAttrib& conductor,
                                                      const WeatherConditionSeq& conditions,
                                                      const SearchFactors& factors,
                                                      GivenAverage annualAverage = std::nullopt);

// The critical span of two conditions at their limits, m, by the closed form above; none when
// it has no real answer.
VARNEL_DESIGN_API std::optional<double> criticalSpan(const LimitState& a, const LimitState& b,
                                                     double elasticModulus, double expansionCoeff,
                                                     double cosAngle);

// The ranges of the lowest lines alone, from span 0 on, by the closed form (ties go to the
// earlier state); a single range of no condition (-1) when a state is not finite.
VARNEL_DESIGN_API std::vector<ControlRange> lowestLimitRanges(const std::vector<LimitState>& states,
                                                              double elasticModulus,
                                                              double expansionCoeff,
                                                              double cosAngle);

VARNEL_DESIGN_API CriticalSpans criticalSpans(const LineAttrib& conductor,
                                              const WeatherConditionSeq& conditions,
                                              const SearchFactors& factors,
                                              GivenAverage annualAverage = std::nullopt);

// The condition the search picks for one span, without its account; -1 when none qualifies.
VARNEL_DESIGN_API int controllingAt(double span, const LineAttrib& conductor,
                                    const WeatherConditionSeq& conditions,
                                    const SearchFactors& factors,
                                    GivenAverage annualAverage = std::nullopt);

}  // namespace varnel::design
