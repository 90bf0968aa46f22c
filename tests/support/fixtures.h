// Records used across the calculation tests.
#pragma once

#include <cstring>

#include "support/record_values.h"
#include "varnel.h"

namespace varnel::test {

inline ::WeatherCondition makeCondition(const char* name, double ice, double wind,
                                        double temperature) {
    return conditionOf<::WeatherCondition>(name, ice, wind, temperature);
}

inline ::LineAttrib jlg1a240() {
    return jlg1a240Of<::LineAttrib>();
}

inline WeatherConditionSeq sequenceOf(WeatherCondition* first, std::size_t n) {
    WeatherConditionSeq s{};
    s.first = first;
    s.last = first + n;
    s.end = first + n;
    return s;
}

}  // namespace varnel::test
