// One span worked through the library: the controlling condition, then in every condition the
// specific load, the stress strung from the controlling one, the sag and the stress limit.
#pragma once

#include <vector>

#include "varnel.h"

namespace varnel::tool {

struct DesignFactors {
    double cosAngle = 1.0;         // cosine of the height-difference angle
    double avgRatio = 0.25;        // fraction of the strength allowed at the annual average
    double strengthFactor = 0.95;  // applied to the rated strength
    double safety = 2.5;           // divides the strength in the normal limit
};

struct ConditionState {
    double specificLoad = 0;  // N/(m·mm²)
    double stress = 0;        // N/mm²
    double sag = 0;           // m, at mid-span
    double limit = 0;         // N/mm²
    bool holds = false;       // stress within its limit
};

struct SpanState {
    double span = 0;
    int control = -1;  // index of the controlling condition, -1 when none qualifies
    double controlStress = 0;
    std::vector<ConditionState> conditions;  // empty when control is -1
};

class DesignRecords;

// Runs the library's search (which writes its account to standard output) and, when a
// condition controls, the state equation for every condition. The records and factors are
// checked as the design layer checks them (std::invalid_argument), and the annual-average
// condition is found whatever the area calls it.
SpanState analyseSpan(double span, const ::LineAttrib& conductor, const ::WeatherConditionSeq& area,
                      const DesignFactors& factors);

// The same figures, span after span, without the account: the search's own trial gives the
// stresses (the very state-equation calls analyseSpan makes again), and the specific loads are
// worked out once. For tables of many spans, whose account nobody reads.
class SpanAnalyser {
  public:
    SpanAnalyser(const DesignRecords& records, const DesignFactors& factors);
    SpanState operator()(double span);

  private:
    const DesignRecords& records_;
    DesignFactors factors_;
    std::size_t averageIndex_;  // of the annual-average condition
    std::vector<double> loads_;
    std::vector<double> stresses_;
};

}  // namespace varnel::tool
