#pragma once

#include "calc/records/records.h"

namespace varnel {

// Horizontal stress (N/mm²) in `sought` from the stress `knownStress` in `known`: the largest real
// root of the span's state equation, to the last bits of the cubic formed from these inputs.
// Not finite when the inputs make it so.
double stateEquationStress(double span, double cosAngle, const LineAttrib& conductor,
                           const WeatherCondition& known, const WeatherCondition& sought,
                           double knownStress) noexcept;

}  // namespace varnel
