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

// True when the condition is named as the host names the annual average one, "年平" (the whole
// NUL-terminated name).
bool isAnnualAverage(const WeatherCondition& condition) noexcept;

// Which conditions the search holds to the annual-average limit σA (and, when one of them is
// strung to σA, holds the others to σA / ratio / safety). The host's entry point goes by the
// Chinese name, for any number of conditions so named; the design layer names one condition by
// its place, found whatever the area calls it.
class AnnualAverage {
  public:
    // Every condition named "年平".
    static constexpr AnnualAverage byName() noexcept { return AnnualAverage(kByName); }
    // The condition at `index` alone.
    static constexpr AnnualAverage at(std::size_t index) noexcept { return AnnualAverage(index); }
    // No condition: every one is held to σN.
    static constexpr AnnualAverage none() noexcept { return AnnualAverage(kNone); }

    bool is(const WeatherConditionSeq& conditions, std::size_t i) const noexcept {
        return index_ == kByName ? isAnnualAverage(conditions[i]) : i == index_;
    }
    // The index given to at(), if any.
    bool isIndex() const noexcept { return index_ < kNone; }
    std::size_t index() const noexcept { return index_; }
    // Written out, not defaulted: the installed design headers serve C++17 hosts too.
    bool operator==(const AnnualAverage& other) const noexcept { return index_ == other.index_; }
    bool operator!=(const AnnualAverage& other) const noexcept { return !(*this == other); }

  private:
    static constexpr std::size_t kByName = static_cast<std::size_t>(-1);
    static constexpr std::size_t kNone = static_cast<std::size_t>(-2);
    constexpr explicit AnnualAverage(std::size_t index) noexcept : index_(index) {}
    std::size_t index_;
};

// Index of the controlling weather condition of a span, or -1: the first condition which, strung
// to its allowable stress, keeps every other condition within its limit. Tells `observer` (when
// not null) each trial and check.
int controllingCondition(double span, double cosAngle, double avgStressRatio,
                         const LineAttrib& conductor, const WeatherConditionSeq& conditions,
                         double strengthFactor, double safetyFactor, SearchObserver* observer,
                         AnnualAverage average);

// The search with its account written, in GBK, to standard output, as the host application
// shows it.
int controllingConditionWithAccount(double span, double cosAngle, double avgStressRatio,
                                    const LineAttrib& conductor,
                                    const WeatherConditionSeq& conditions, double strengthFactor,
                                    double safetyFactor, AnnualAverage average) noexcept;

}  // namespace varnel
