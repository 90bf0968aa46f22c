// The catenary change of state: the horizontal stress of a conductor in one condition from its
// stress in another, each span hanging as an exact catenary (calc/span_curve.h), for one span or
// for a strain section whose spans share one horizontal stress.
//
// The model. Strain is linear and additive: an element of unstressed length ds₀ (at the
// reference temperature t₀) hangs at length ds = ds₀·(1 + σ/E + α·(t − t₀)), σ = σ₀·cosh((x − a)/p)
// being the stress along the conductor there. The unstressed length
//   L₀ = ∫ ds / (1 + σ/E + α·(t − t₀)) = ∫₀ˡ cosh z / (1 + α·(t − t₀) + (σ₀/E)·cosh z) dx,
// z = (x − a)/p, is the same in every condition; for a section, the sum over its spans is. The
// integrand is smooth (its poles lie π off the real axis in z): it is summed as its series in
// σ₀·cosh z/(E·K) wherever that is under 1/64, elsewhere by Gauss–Legendre quadrature on panels
// at most 1 wide in z; either is exact to rounding.
//
// Compared with the parabolic state equation (calc/state_equation.h), nothing is approximated:
// the length is the catenary's, not l/cos β + γ²·l³·cos β/(24σ²); the stretch follows the stress
// at each point, not a mean stress σ₀/cos β; and strain is taken on the unstressed length, not
// on the hanging one. See docs/catenary.md for how far the two differ.
//
// The plane. A condition with wind loads the conductor sideways as well as down (LoadState's
// vertical part below its resultant): each span then hangs in the plane of its load and its
// chord, swung by η from the vertical, cos η = γv/γ, and is solved there, its span
// l' = √(l² + h²·sin²η) and height difference h·cos η (calc/span_curve.h, inLoadPlane). σ₀ is the
// stress square to the load in that plane, the least along the conductor, the stress the design
// limits hold. The chord, and so the unstressed length's geometry, is the same in every plane;
// the spans of a section share σ₀ in each condition as in still air.
//
// Example:
//   const ConductorStrain c{73000, 19.6e-6};
//   catenaryStateStress({300, 0}, c, {0.0327, -10}, 100, {0.0327, 40});  // about 66.2 N/mm²
#pragma once

#include <span>
#include <vector>

#include "calc/records/records.h"
#include "calc/state_equation.h"

namespace varnel {

// A span of a section: its horizontal length l (m) and the height of its far support above its
// near one h (m, negative when lower).
struct SectionSpan {
    double span;
    double heightDifference;
};

// What the change of state needs of the conductor: elastic modulus E (N/mm²), expansion
// coefficient α (1/°C) and the temperature t₀ at which its unstressed length is taken (°C).
// With strain additive, the model depends on t₀ a little (at 400 m and 80 N/mm², moving t₀ by
// 55 °C moves a solved stress by about 0.02 N/mm²): t₀ is a property of the conductor, fixed
// whatever the conditions compared, so that solving from A to B and back returns to A.
struct ConductorStrain {
    double elasticModulus;
    double expansionCoeff;
    double referenceTemperature = 20;
};

// A condition's state from the records: its specific load as the state equation takes it, its
// temperature, and its vertical load (the same condition without its wind).
LoadState loadStateOf(const WeatherCondition& condition, const LineAttrib& conductor) noexcept;

// The unstressed length L₀ (m) at the conductor's reference temperature of the conductor of one
// span hanging at stress `stress` (N/mm², square to the load in its plane) in `state`. Throws
// std::invalid_argument for a span, stress, load or modulus that is not positive and finite, a
// vertical load that is not above 0 and at most the load, a temperature or reference
// temperature outside −100 to 400 °C, or one that would shrink the conductor to nothing
// (1 + α·(t − t₀) ≤ 0).
double unstressedLength(const SectionSpan& span, double stress, const LoadState& state,
                        const ConductorStrain& conductor);

// The horizontal stress (N/mm²) in `sought` of one span whose stress in `known` is `knownStress`:
// the root of L₀(σ₀) = L₀(known), solved by steps on a local model of L₀ kept inside a bracket,
// from the parabola's root brought closer by the catenary's expansion in t. L₀ decreases
// strictly from +∞ to 0 as σ₀ grows, so there is exactly one root; it is found to the precision
// the rounding of L₀ allows (a relative error of about 1e-16·E/σ₀). Throws std::invalid_argument
// as unstressedLength does, and std::domain_error when the root lies beyond the range of a
// double. Every stress returned is checked to be a root: its L₀ is the known one's to 1e-12,
// or within 1e-8 of the stress where L₀ hardly moves with it.
double catenaryStateStress(const SectionSpan& span, const ConductorStrain& conductor,
                           const LoadState& known, double knownStress, const LoadState& sought);

// The same for a strain section: one horizontal stress in all its spans, the sum of their
// unstressed lengths kept. Throws std::invalid_argument also for a section without spans.
double catenarySectionStress(std::span<const SectionSpan> spans, const ConductorStrain& conductor,
                             const LoadState& known, double knownStress, const LoadState& sought);

namespace detail {

// What the start of a solve takes of a span, worked once per span by CatenaryChangeOfState for
// every state it solves.
struct SpanExpansion {
    double span;
    double heightDifference;
    double slope2;  // (h/l)²
    double cos2;    // cos² β = 1/(1 + (h/l)²)
    double chord;   // √(l² + h²)
    double steep;   // h²/l

    explicit SpanExpansion(const SectionSpan& s) noexcept;
};

// The ruling span's parabolic state equation from the known state, all but the sought state's
// part, for the solve's start.
struct RulingCubic {
    double span;
    double cosAngle;
    double lengthTerm;  // E·c³·l²/24
    double knownSag;    // E·c³·γm²·l²/(24σm²)
    double thermal;     // α·E·c, per °C
};

}  // namespace detail

// The change of state of one section from one known state, for loops over many sought states
// (the conditions of a design, the rows of a stringing table): the known state's unstressed
// length, the ruling span's cubic and each span's constants for the start are worked once, at
// construction, and each stressIn is the solve alone. stressIn(sought) equals
// catenarySectionStress(spans, conductor, known, knownStress, sought). The constructor throws as
// catenarySectionStress does for the section, the conductor and the known state; stressIn for
// the sought state.
class CatenaryChangeOfState {
  public:
    CatenaryChangeOfState(std::span<const SectionSpan> spans, const ConductorStrain& conductor,
                          const LoadState& known, double knownStress);

    double stressIn(const LoadState& sought) const;

    // The section's unstressed length (m), the sum over its spans.
    double unstressedLength() const noexcept { return length_; }

  private:
    std::vector<SectionSpan> spans_;
    std::vector<detail::SpanExpansion> expansions_;  // in still air's plane, the vertical
    ConductorStrain conductor_;
    LoadState known_;
    double knownStress_;
    bool knownVertical_ = true;         // the known state in still air
    detail::RulingCubic cubic_{};       // in the known state's plane
    detail::RulingCubic stillCubic_{};  // in the vertical plane
    double length_ = 0;
};

// The same from the records, the specific loads as the state equation takes them.
double catenaryStateStress(const SectionSpan& span, const LineAttrib& conductor,
                           const WeatherCondition& known, const WeatherCondition& sought,
                           double knownStress);

}  // namespace varnel
