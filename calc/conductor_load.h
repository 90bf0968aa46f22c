#pragma once

#include "calc/records/records.h"

namespace varnel {

// Resultant specific load of a conductor in a weather condition, N/(m·mm²).
double specificLoad(const WeatherCondition& condition, const LineAttrib& conductor) noexcept;

}  // namespace varnel
