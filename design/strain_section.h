// A strain section: the spans between two tension towers, strung to one horizontal tension.
//
// The section behaves as one span of its ruling (representative) length: the controlling
// condition and the stress in every condition are those of the ruling span, and every span of
// the section takes that horizontal stress. Each span's sag follows from it.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "calc/records/records.h"
#include "design/critical_spans.h"
#include "design/design_api.h"

namespace varnel::design {

// One span of a section: its horizontal length and the height of its far support above its
// near one (negative when lower), both in m.
struct SpanGeometry {
    double length;
    double heightDifference;
};

// The cosine of a span's height-difference angle β: l / √(l² + h²).
VARNEL_DESIGN_API double cosineOf(const SpanGeometry& span);

// The ruling span of a section and the cosine its state equation takes. The spans share one
// horizontal stress (the conductor runs through suspension clamps), so the section keeps its
// conductor's unstressed length as a whole. With each span's length l/c + γ²·l³·c/(24σ²) and
// mean stress σ/c, summing over the section gives the single span's state equation with
//   cos βr = K = Σ (lᵢ/cᵢ) / Σ (lᵢ/cᵢ²),   lr² = Σ lᵢ³·cᵢ / Σ (lᵢ/cᵢ²) / K³.
// For level spans these are 1 and √(Σ lᵢ³ / Σ lᵢ); for one span, its own length and cosine.
struct RulingSpan {
    double span;      // m
    double cosAngle;  // of the ruling span
};

// Throws std::invalid_argument for a section without spans or with a span that is not a
// positive finite length or a finite height difference.
VARNEL_DESIGN_API RulingSpan rulingSpan(const std::vector<SpanGeometry>& spans);

// The sags of one span of the section.
struct SpanSags {
    // m, per condition: the largest, along the condition's load (in the plane of a wind
    // condition's load: × cos η for its vertical part, η its swing, cos η = verticalLoad/load)
    std::vector<double> sag;
    std::vector<double> higherSupportStress;  // N/mm², along the conductor, per condition
    // The condition of the largest sag among those without wind (the design practice's: the
    // highest temperature, or ice without wind), and the extra conditions; among all where every
    // condition has wind.
    std::size_t largest = 0;
};

struct SectionDesign {
    RulingSpan ruling{};
    int controlling = -1;         // at the ruling span; -1 when no condition qualifies
    double controlStress = 0;     // N/mm², its allowable stress
    std::vector<double> load;     // specific load per condition, N/(m·mm²)
    std::vector<double> stress;   // horizontal stress per condition, N/mm² (empty without control)
    std::vector<SpanSags> spans;  // per span of the section (empty without control)
    // Per condition: the vertical part of its load, N/(m·mm²) (the condition without its wind),
    // and the stress it is held to, N/mm² (σA for the annual average, σN for every other,
    // extra conditions included).
    std::vector<double> verticalLoad;
    std::vector<double> limit;
    std::vector<bool> windless;  // per condition: no wind (a candidate for the largest sag)
    double normalLimit = 0;      // σN, N/mm²
};

// The condition of a span's largest sag: among those without wind (`windless`, per condition),
// or among all where none is.
VARNEL_DESIGN_API std::size_t largestSagCondition(const std::vector<double>& sag,
                                                  const std::vector<bool>& windless);

// Whether a stress (N/mm²) holds its limit: at most the limit, to a relative kLimitTolerance.
// The catenary change of state solves a stress to about ε·E/σ₀ of itself, ε the double's
// rounding (2.5e-13 for JL/G1A-240/30 at 64.7 N/mm², calc/catenary_state.h): two conditions at
// their limits together, at a critical span, each take the other about that far beyond its
// own (2e-13 at worst on the sample areas and conductors). The tolerance is two such steps, so
// that a tie holds and a design holds every limit well within 1e-12.
inline constexpr double kLimitTolerance = 5e-13;
VARNEL_DESIGN_API bool withinLimit(double stress, double limit) noexcept;

// `factors.cosAngle` is not used: each span has its own, and the ruling span takes cos βr.
//   sag f = γ·l² / (8·σ·cos β), in the plane of the condition's resultant load;
//   stress at the higher support √(σ² + (σ·|h|/l + γ·l / (2·cos β))²), from the slope of that
//   parabola there.
VARNEL_DESIGN_API SectionDesign designSection(const LineAttrib& conductor,
                                              const WeatherConditionSeq& conditions,
                                              const SearchFactors& factors,
                                              const std::vector<SpanGeometry>& spans,
                                              GivenAverage annualAverage = std::nullopt);

// Appends a condition that is not the area's (an operating temperature, ice without wind) to
// every per-condition figure of the section: its stress from the controlling condition at the
// ruling span, its sags, held to σN, a candidate for the largest sag when it has no wind. Throws
// std::invalid_argument for a design without a controlling condition and std::domain_error where
// the state equation has no finite answer.
VARNEL_DESIGN_API void addExtraCondition(SectionDesign& design, const LineAttrib& conductor,
                                         const WeatherConditionSeq& conditions,
                                         const std::vector<SpanGeometry>& spans,
                                         const WeatherCondition& extra);

// The design practice takes a span's largest sag from the highest temperature or from ice
// without wind. The area's ice condition (the one with the thickest ice, the first of equals)
// has wind in the typical areas, so the still-air conditions miss the second: derived here, its
// ice and temperature, no wind. None when the area has no ice, or its ice condition no wind.
// Its name, UTF-8: "覆冰无风", or "Ice, no wind" where the ice condition's own name is ASCII.
VARNEL_DESIGN_API std::optional<WeatherCondition> iceWithoutWind(
    const WeatherConditionSeq& conditions);
VARNEL_DESIGN_API const char* iceWithoutWindName(const WeatherConditionSeq& conditions);

// The stringing table: the horizontal stress at the ruling span, and each span's sag, at each
// installation temperature without wind or ice, strung from the controlling condition. A
// compensation Δt (°C) for the conductor's initial elongation strings it as at t − Δt.
struct StringingRow {
    double temperature;       // °C, as set on the day
    double stress;            // N/mm²
    std::vector<double> sag;  // m, per span
};

struct TemperatureRange {
    double from;
    double to;
    double step;
};

// Throws std::invalid_argument for a range that is not finite, not rising or of more than 1,000
// temperatures, and for a design without a controlling condition.
VARNEL_DESIGN_API std::vector<StringingRow> stringingTable(const LineAttrib& conductor,
                                                           const WeatherConditionSeq& conditions,
                                                           const SectionDesign& design,
                                                           const std::vector<SpanGeometry>& spans,
                                                           const TemperatureRange& temperatures,
                                                           double compensation);

}  // namespace varnel::design
