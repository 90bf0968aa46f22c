// Records used across the calculation tests.
#pragma once

#include <cstring>

#include "varnel.h"

namespace varnel::test {

inline WeatherCondition makeCondition(const char* name, double ice, double wind,
                                      double temperature) {
    WeatherCondition c{};
    std::strncpy(c.name, name, sizeof c.name - 1);
    c.iceThickness = ice;
    c.windSpeed = wind;
    c.temperature = temperature;
    return c;
}

// JL/G1A-240/30 steel-cored aluminium conductor.
inline LineAttrib jlg1a240() {
    LineAttrib a{};
    std::strcpy(a.name, "JL/G1A-240/30");
    a.area = 275.96;
    a.diameter = 21.6;
    a.unitMass = 922.2;
    a.elasticModulus = 73000;
    a.expansionCoeff = 19.6e-6;
    a.ratedStrength = 75190;
    return a;
}

inline WeatherConditionSeq sequenceOf(WeatherCondition* first, std::size_t n) {
    WeatherConditionSeq s{};
    s.first = first;
    s.last = first + n;
    s.end = first + n;
    return s;
}

}  // namespace varnel::test
