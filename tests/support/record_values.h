// The figures of the records the tests use, for either kind of record: the public header's
// (support/fixtures.h) or the calculation core's (support/core_fixtures.h), which share a layout
// and field names.
#pragma once

#include <cstring>

namespace varnel::test {

template <class Condition>
Condition conditionOf(const char* name, double ice, double wind, double temperature) {
    Condition c{};
    std::strncpy(c.name, name, sizeof c.name - 1);
    c.iceThickness = ice;
    c.windSpeed = wind;
    c.temperature = temperature;
    return c;
}

// JL/G1A-240/30 steel-cored aluminium conductor.
template <class Conductor>
Conductor jlg1a240Of() {
    Conductor a{};
    std::strcpy(a.name, "JL/G1A-240/30");
    a.area = 275.96;
    a.diameter = 21.6;
    a.unitMass = 922.2;
    a.elasticModulus = 73000;
    a.expansionCoeff = 19.6e-6;
    a.ratedStrength = 75190;
    return a;
}

}  // namespace varnel::test
