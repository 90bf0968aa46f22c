// A strain section hung as exact catenaries: its spans share one horizontal stress and keep
// their conductor's unstressed length as a whole (calc/catenary_state.h), strung from the
// condition that, at its own allowable stress, keeps every other within its limit by that same
// change of state.
//
// Beside the parabolic design of design/strain_section.h, and taking it as the starting point:
// the ruling span (for the parabola's figures beside), the loads and the limits are the
// parabola's; what changes is the controlling condition where the catenary's differs, every
// condition's horizontal stress, each span's sag (the catenary's largest, not the mid-span's)
// and the stress at its higher support. A condition with wind hangs each span in the plane of
// its load and its chord (calc/span_curve.h, inLoadPlane): its sag is along that load.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "calc/records/records.h"
#include "design/critical_spans.h"
#include "design/design_api.h"
#include "design/strain_section.h"

namespace varnel::design {

// The catenary change of state has no answer for one condition or stringing temperature.
// `condition()` is the index into the design's conditions (kStringing for a row of the
// stringing table); `reason()` is what the change of state said, without the condition.
class VARNEL_DESIGN_API CatenaryStateError : public std::domain_error {
  public:
    static constexpr std::size_t kStringing = static_cast<std::size_t>(-1);
    CatenaryStateError(std::size_t condition, const std::string& what, const std::string& reason)
        : std::domain_error("the catenary change of state to " + what + ": " + reason),
          condition_(condition),
          reason_(reason) {}
    std::size_t condition() const noexcept { return condition_; }
    const std::string& reason() const noexcept { return reason_; }

  private:
    std::size_t condition_;
    std::string reason_;
};

// What stringing a section from one condition at its limit gives: the condition controlling it
// when its spans hang as catenaries, the first, in the order of `states`, which strung to its
// allowable stress by the section's catenary change of state keeps every other within its own
// limit (withinLimit, design/strain_section.h); and each state's stress strung from it, N/mm².
// Where rounding leaves none (two states at their limits together, at a critical span, each
// taking the other a few 1e-13 beyond its own), the one whose largest relative excess is least.
// `condition` is -1, and `stress` empty, where no state's change of state has an answer.
struct CatenaryControl {
    int condition = -1;
    std::vector<double> stress;
};

VARNEL_DESIGN_API CatenaryControl catenaryControl(const std::vector<SpanGeometry>& spans,
                                                  const std::vector<LimitState>& states,
                                                  double elasticModulus, double expansionCoeff);

// The area's conditions of a design (designSection's) at their limits: its loads, vertical
// loads, limits and the conditions' temperatures.
VARNEL_DESIGN_API std::vector<LimitState> designLimitStates(const SectionDesign& design,
                                                            const WeatherConditionSeq& conditions);

// `parabolic` is designSection's result for `conductor`, `conditions` and `spans`, perhaps with
// conditions appended after the area's by addExtraCondition (an operating temperature, ice
// without wind): `extra` gives them, in order, so that the area's and these together are as many
// as `parabolic.load`. Returns the same design with `controlling` and `controlStress` the
// catenary's (catenaryControl over the area's conditions; the extra ones are never candidates),
// `stress` the catenary's and, per span, `sag` each condition's largest sag (m, along its load),
// `higherSupportStress` the catenary's stress at the higher support (N/mm²) and `largest` the
// condition of the largest sag. Throws std::invalid_argument for a design without a controlling
// condition or with a count of conditions that does not match, and CatenaryStateError where a
// condition has no answer (its `condition()` the area's condition count when no condition of
// the area has one).
VARNEL_DESIGN_API SectionDesign catenarySection(const LineAttrib& conductor,
                                                const WeatherConditionSeq& conditions,
                                                const SectionDesign& parabolic,
                                                const std::vector<SpanGeometry>& spans,
                                                const std::vector<WeatherCondition>& extra = {});

// One row of the stringing table of a catenary section (`design` from catenarySection, or the
// parabolic one: only its controlling condition and stress are used): at installation
// temperature t (°C) without wind or ice, strung as at t − compensation, the horizontal stress
// (N/mm²) and each span's largest sag (m). Throws CatenaryStateError (condition kStringing)
// where the change of state has no answer, std::invalid_argument for a design without a
// controlling condition.
VARNEL_DESIGN_API StringingRow catenaryStringingRow(const LineAttrib& conductor,
                                                    const WeatherConditionSeq& conditions,
                                                    const SectionDesign& design,
                                                    const std::vector<SpanGeometry>& spans,
                                                    double temperature, double compensation);

// The whole table, at the temperatures stringingTable takes, refused as it refuses them.
VARNEL_DESIGN_API std::vector<StringingRow> catenaryStringingTable(
    const LineAttrib& conductor, const WeatherConditionSeq& conditions, const SectionDesign& design,
    const std::vector<SpanGeometry>& spans, const TemperatureRange& temperatures,
    double compensation);

// Critical spans with each condition strung by the catenary change of state of a single span.
// The span's height difference is either fixed (`heightDifference`, m, the far support the
// higher when positive) or in proportion to the span, l·tan β with cos β = `cosAngle` (a level
// span at 1).
struct CatenarySpanShape {
    double cosAngle = 1.0;
    std::optional<double> heightDifference;
};

// The spans searched, m: a critical span outside them is reported as none.
inline constexpr double kShortestCriticalSpan = 0.1;
inline constexpr double kLongestCriticalSpan = 20'000;

// The span (m) at which conditions a and b, each at its limit, are strung from one another by
// the catenary change of state: stringing a to its allowable stress takes b exactly to its own.
// A bracketed root search on the span, started about the parabola's critical span (where there
// is one; else a scan of the spans searched), refined by bisection with secant steps to a
// relative 1e-12. None where the two limits do not cross within the spans searched.
VARNEL_DESIGN_API std::optional<double> catenaryCriticalSpan(const LimitState& a,
                                                             const LimitState& b,
                                                             double elasticModulus,
                                                             double expansionCoeff,
                                                             const CatenarySpanShape& shape);

// The condition controlling a span of length l (m) when each is strung by the catenary:
// catenaryControl's for the one span; -1 when no condition's change of state has an answer.
VARNEL_DESIGN_API int catenaryControllingAt(double span, const std::vector<LimitState>& states,
                                            double elasticModulus, double expansionCoeff,
                                            const CatenarySpanShape& shape);

// criticalSpans for the catenary: the same candidates (the conditions the parabola's search
// compares), each pair's catenary critical span, and the ranges of span in which
// catenaryControllingAt gives the same condition, from span 0 on, their boundaries where some
// pair of conditions crosses. `factors.cosAngle` is the shape's cosine. Refused as
// criticalSpans refuses; a height difference that is not finite is refused too.
VARNEL_DESIGN_API CriticalSpans catenaryCriticalSpans(const LineAttrib& conductor,
                                                      const WeatherConditionSeq& conditions,
                                                      const SearchFactors& factors,
                                                      std::optional<double> heightDifference,
                                                      GivenAverage annualAverage = std::nullopt);

}  // namespace varnel::design
