#pragma once

#include "calc/records/records.h"

namespace varnel {

// Index of the controlling weather condition of a span, or -1. Writes the account of the search,
// in GBK, to standard output.
int controllingCondition(double span, double cosAngle, double avgStressRatio,
                         const LineAttrib& conductor, const WeatherConditionSeq& conditions,
                         double strengthFactor, double safetyFactor) noexcept;

// True when the condition is the annual average one, "年平" (the whole NUL-terminated name).
bool isAnnualAverage(const WeatherCondition& condition) noexcept;

}  // namespace varnel
