#pragma once

#include <cstddef>

#include "calc/records/records.h"

namespace varnel {

// The two stress limits of the search, N/mm²: the normal allowable stress σN and the annual
// average one σA.
struct StressLimits {
    double normal;
    double average;
};

StressLimits stressLimits(double avgStressRatio, const LineAttrib& conductor, double strengthFactor,
                          double safetyFactor) noexcept;

// What the search tells as it goes. Indices are positions in the condition sequence. The
// default does nothing; an observer may throw, and the exception then leaves the search.
class SearchObserver {
  public:
    virtual ~SearchObserver() = default;
    // Condition `assumed` is tried as the controlling one, strung to `stress`.
    virtual void trialStarted(std::size_t /*assumed*/, double /*stress*/) {}
    // Condition `checked` gets `stress` from the state equation; `exceeded` when it is above
    // `limit` (or either is not a number). The trial ends at the first exceedance.
    virtual void checked(std::size_t /*checked*/, double /*stress*/, double /*limit*/,
                         bool /*exceeded*/) {}
    // The trial of `assumed` ended; `controlling` when every other condition held.
    virtual void trialEnded(std::size_t /*assumed*/, bool /*controlling*/) {}
};

// Index of the controlling weather condition of a span, or -1: the first condition which, strung
// to its allowable stress, keeps every other condition within its limit. Tells `observer` (when
// not null) each trial and check.
int controllingCondition(double span, double cosAngle, double avgStressRatio,
                         const LineAttrib& conductor, const WeatherConditionSeq& conditions,
                         double strengthFactor, double safetyFactor, SearchObserver* observer);

// The search with its account written, in GBK, to standard output, as the host application
// shows it.
int controllingConditionWithAccount(double span, double cosAngle, double avgStressRatio,
                                    const LineAttrib& conductor,
                                    const WeatherConditionSeq& conditions, double strengthFactor,
                                    double safetyFactor) noexcept;

// True when the condition is the annual average one, "年平" (the whole NUL-terminated name).
bool isAnnualAverage(const WeatherCondition& condition) noexcept;

}  // namespace varnel
