// The steps of the profile check (design/line_profile.h), each in a file of its own: the strain
// sections strung, the spans over the ground and what they cross, the towers' loads and swing.
// Internal to the design layer: checkProfile runs them in this order over one ProfileRun.
#pragma once

#include <string>
#include <vector>

#include "design/line_profile.h"

namespace varnel::design::detail {

// The inputs of one check, and the result as it is filled in.
struct ProfileRun {
    const LineAttrib& conductor;
    const WeatherConditionSeq& area;  // the area's conditions
    const SearchFactors& factors;
    const std::vector<TerrainPoint>& terrain;
    const std::vector<Tower>& towers;
    const std::vector<Crossing>& crossings;
    const ProfileOptions& options;
    GivenAverage annualAverage;
    std::vector<WeatherCondition> all;  // the area's conditions, then the extra ones
    LineProfile& result;
};

// "A-B", the names of the towers at the ends of span i.
std::string spanName(const std::vector<Tower>& towers, std::size_t i);

// Each section's stress in every condition and its condition of largest sag.
void stringSections(ProfileRun& run);
// The least vertical clearance (m) of `span` hanging as `curve` over the ground, and its station
// (m): exact between terrain points, where the curve's slope is the ground's.
struct LeastClearance {
    double value;
    double at;
};
LeastClearance spanGroundClearance(const ProfileSpan& span, const SpanCurve& curve,
                                   const std::vector<TerrainPoint>& terrain);
// The least distance (m) from a point beside the line (`x` m from the span's near tower,
// `offset` m from the centreline, at `elevation` m) to `span` hanging as `curve` in still air.
double stillAirDistance(const ProfileSpan& span, const SpanCurve& curve, double x, double offset,
                        double elevation);

// Each span's curve of largest sag over the ground, and the stress at its supports.
void checkSpans(ProfileRun& run);
// Each crossing against the span over it.
void checkCrossings(ProfileRun& run);
// Each tower's spans and loads, and each suspension string's swing.
void checkTowers(ProfileRun& run);

}  // namespace varnel::design::detail
