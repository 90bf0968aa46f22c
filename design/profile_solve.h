// What the clearances of a checked line allow: the highest temperature the conductor may reach,
// in still air and without ice, with every span still clear of the ground and of what it crosses.
//
// Each section stays strung as the check strung it (its controlling condition at its stress);
// at a conductor temperature T its stress follows from that state by the section's change of
// state (the ruling span's state equation with the parabola, the whole section's catenary change
// of state with the catenary), and each span hangs between its attachments under that stress and
// the conductor's own weight. As T rises the stress falls and every point of every span sinks, so
// each clearance falls strictly with T and reaches its requirement at one temperature at most.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "design/design_api.h"
#include "design/line_profile.h"

namespace varnel::design {

// One requirement of the line and the temperature at which it is just met.
struct ClearanceTemperature {
    ViolationKind kind = ViolationKind::ground;  // ground or crossing
    std::size_t span = 0;                        // the span
    std::optional<std::size_t> crossing;         // the crossing (index into the crossings)
    double required = 0;                         // m
    // °C: where the clearance equals `required`; −∞ when it falls short already at the lowest
    // temperature searched, +∞ when it still holds at the highest.
    double temperature = 0;
    double station = 0;  // m, where the clearance is least at that temperature
};

struct TemperatureLimit {
    double from = 0;  // °C, the lowest temperature searched
    double to = 0;    // °C, the highest
    // The highest temperature at which every requirement holds: the least of the items'. −∞ when
    // one fails at every temperature searched, +∞ when all hold at every one, and +∞ with no
    // items (nothing is required: no ground clearance given and no crossings).
    double temperature = 0;
    std::optional<std::size_t> limiting;      // the item that sets it (index into `items`)
    std::vector<ClearanceTemperature> items;  // every span's ground, then every crossing
};

// The search brackets, °C: conductors are not run hotter than this, and a line that fails
// below the lowest is reported as failing throughout.
inline constexpr double kSolveLowestTemperature = -40;
inline constexpr double kSolveHighestTemperature = 250;

// `checked` is checkProfile's result for the same conductor, conditions, terrain and crossings.
// Each temperature is found to 1e-6 °C. Throws std::invalid_argument for a range that is not
// finite and rising, and std::domain_error where a section's stress at a temperature cannot be
// solved.
VARNEL_DESIGN_API TemperatureLimit maxTemperatureForClearances(
    const LineProfile& checked, const LineAttrib& conductor, const WeatherConditionSeq& conditions,
    const std::vector<TerrainPoint>& terrain, const std::vector<Crossing>& crossings,
    double from = kSolveLowestTemperature, double to = kSolveHighestTemperature);

}  // namespace varnel::design
