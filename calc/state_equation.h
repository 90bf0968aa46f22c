#pragma once

#include "calc/records/records.h"

namespace varnel {

// Horizontal stress (N/mm²) in `sought` from the stress `knownStress` in `known`: the largest real
// root of the span's state equation, to the last bits of the cubic formed from these inputs.
// Not finite when the inputs make it so.
double stateEquationStress(double span, double cosAngle, const LineAttrib& conductor,
                           const WeatherCondition& known, const WeatherCondition& sought,
                           double knownStress) noexcept;

// A condition as the state equation sees it: the specific load, N/(m·mm²), and the temperature,
// °C. `verticalLoad` is the load's vertical part, N/(m·mm²), the condition without its wind: the
// resultant in still air, as it is unless given. The parabolic state equation takes the
// resultant alone; the catenary change of state (calc/catenary_state.h) hangs each span in the
// plane of the load, which the vertical part tilts from the vertical.
struct LoadState {
    double load;
    double temperature;
    double verticalLoad = load;
};

// The same from the specific loads themselves, for a conductor of modulus `elasticModulus`
// (N/mm²) and expansion coefficient `expansionCoeff` (1/°C).
double stateEquationStress(double span, double cosAngle, double elasticModulus,
                           double expansionCoeff, const LoadState& known, double knownStress,
                           const LoadState& sought) noexcept;

}  // namespace varnel
