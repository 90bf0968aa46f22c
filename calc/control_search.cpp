#include "calc/control_search.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "calc/conductor_load.h"
#include "calc/decimal_text.h"
#include "calc/state_equation.h"

namespace varnel {

namespace {

constexpr char kAnnualAverage[] = "\xC4\xEA\xC6\xBD";  // 年平

// The account, GBK, in pieces: each line is the text before a name, the name (at most the bytes
// of its array, so that a name without its NUL is never read past its end), the text between the
// name and a number, the number as "%lf" gives it, and the text after it.
constexpr std::size_t kNameBound = sizeof(WeatherCondition{}.name);
// "\n假设[%s]为控制工况，水平应力为%lf\n"
constexpr std::string_view kTrialBeforeName = "\n\xBC\xD9\xC9\xE8[";
constexpr std::string_view kTrialAfterName =
    "]\xCE\xAA\xBF\xD8\xD6\xC6\xB9\xA4\xBF\xF6\xA3\xAC\xCB\xAE\xC6\xBD\xD3\xA6\xC1\xA6\xCE\xAA";
constexpr std::string_view kTrialEnd = "\n";
// "验算[%s]工况，应力为%lfN/mm^2。"
constexpr std::string_view kCheckBeforeName = "\xD1\xE9\xCB\xE3[";
constexpr std::string_view kCheckAfterName = "]\xB9\xA4\xBF\xF6\xA3\xAC\xD3\xA6\xC1\xA6\xCE\xAA";
constexpr std::string_view kCheckEnd = "N/mm^2\xA1\xA3";
constexpr std::string_view kExceeded = "\xB3\xAC\xCF\xDE!";  // 超限!
constexpr std::string_view kWithin =
    "\xB2\xBB\xB3\xAC\xCF\xDE!\n";  // 不超限! and the line feed after it
// "[%s]是控制工况。\n\n"
constexpr std::string_view kControllingBeforeName = "[";
constexpr std::string_view kControllingAfterName =
    "]\xCA\xC7\xBF\xD8\xD6\xC6\xB9\xA4\xBF\xF6\xA1\xA3\n\n";
constexpr std::string_view kFailedTrialEnd = "\n";

// The most one event adds to the account.
constexpr std::size_t kEventBound = 128 + kNameBound + kSixDecimalsBound;

// The account as the host application shows it, on standard output: gathered on the stack and
// written with one fwrite when the search ends, whichever way it ends (or in pieces, when a large
// area fills the buffer). Formatted line by line with printf, the account cost several times
// the search itself.
class AccountPrinter final : public SearchObserver {
  public:
    explicit AccountPrinter(const WeatherConditionSeq& conditions) : conditions_(conditions) {}
    ~AccountPrinter() override { flush(); }
    AccountPrinter(const AccountPrinter&) = delete;
    AccountPrinter& operator=(const AccountPrinter&) = delete;

    void trialStarted(std::size_t assumed, double stress) override {
        makeRoom();
        append(kTrialBeforeName);
        appendName(assumed);
        append(kTrialAfterName);
        appendNumber(stress);
        append(kTrialEnd);
    }
    void checked(std::size_t checked, double stress, double, bool exceeded) override {
        makeRoom();
        append(kCheckBeforeName);
        appendName(checked);
        append(kCheckAfterName);
        appendNumber(stress);
        append(kCheckEnd);
        append(exceeded ? kExceeded : kWithin);
    }
    void trialEnded(std::size_t assumed, bool controlling) override {
        makeRoom();
        if (controlling) {
            append(kControllingBeforeName);
            appendName(assumed);
            append(kControllingAfterName);
        } else {
            append(kFailedTrialEnd);
        }
    }

  private:
    void flush() noexcept {
        if (used_ > 0) std::fwrite(buffer_, 1, used_, stdout);
        used_ = 0;
    }
    void makeRoom() noexcept {
        if (used_ + kEventBound > sizeof buffer_) flush();
    }
    void append(std::string_view text) noexcept {
        std::memcpy(buffer_ + used_, text.data(), text.size());
        used_ += text.size();
    }
    void appendName(std::size_t i) noexcept {
        const char* name = conditions_[i].name;
        const void* nul = std::memchr(name, 0, kNameBound);
        append({name, nul == nullptr
                          ? kNameBound
                          : static_cast<std::size_t>(static_cast<const char*>(nul) - name)});
    }
    void appendNumber(double value) noexcept {
        used_ = static_cast<std::size_t>(sixDecimals(value, buffer_ + used_) - buffer_);
    }

    const WeatherConditionSeq& conditions_;
    char buffer_[8192];
    std::size_t used_ = 0;
};

}  // namespace

bool isAnnualAverage(const WeatherCondition& condition) noexcept {
    return std::memcmp(condition.name, kAnnualAverage, sizeof kAnnualAverage) == 0;
}

StressLimits stressLimits(double avgStressRatio, const LineAttrib& conductor, double strengthFactor,
                          double safetyFactor) noexcept {
    const double strength = conductor.ratedStrength;
    const double area = conductor.area;
    return {strengthFactor * strength / safetyFactor / area,
            avgStressRatio * strength * strengthFactor / area};
}

int controllingCondition(double span, double cosAngle, double avgStressRatio,
                         const LineAttrib& conductor, const WeatherConditionSeq& conditions,
                         double strengthFactor, double safetyFactor, SearchObserver* observer,
                         AnnualAverage average) {
    const StressLimits limits =
        stressLimits(avgStressRatio, conductor, strengthFactor, safetyFactor);
    const std::size_t n = conditions.size();
    // Every solve of the search takes two specific loads, of the same n conditions: for the usual
    // areas they are worked out once here (the same values, so the same stresses).
    constexpr std::size_t kKeptLoads = 16;
    // Value-initialised: left default-initialised, each vertical load would be copied from a
    // load not yet set.
    LoadState loads[kKeptLoads]{};
    const bool keepLoads = n <= kKeptLoads;
    if (keepLoads) {
        for (std::size_t k = 0; k < n; ++k) {
            loads[k] = {specificLoad(conditions[k], conductor), conditions[k].temperature};
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        const WeatherCondition& assumed = conditions[i];
        const bool assumedIsAverage = average.is(conditions, i);
        const double assumedStress = assumedIsAverage ? limits.average : limits.normal;
        if (observer != nullptr) observer->trialStarted(i, assumedStress);

        bool passed = true;
        for (std::size_t j = 0; j < n && passed; ++j) {
            if (j == i) continue;
            const WeatherCondition& checked = conditions[j];
            const double stress =
                keepLoads ? stateEquationStress(span, cosAngle, conductor.elasticModulus,
                                                conductor.expansionCoeff, loads[i], assumedStress,
                                                loads[j])
                          : stateEquationStress(span, cosAngle, conductor, assumed, checked,
                                                assumedStress);
            double limit = assumedStress;
            if (assumedIsAverage) {
                limit = assumedStress / avgStressRatio / safetyFactor;
            } else if (average.is(conditions, j)) {
                limit = limits.average;
            }
            // Equality passes; a stress or limit that is not a number is an exceedance.
            passed = stress <= limit;
            if (observer != nullptr) observer->checked(j, stress, limit, !passed);
        }
        if (observer != nullptr) observer->trialEnded(i, passed);
        if (passed) return static_cast<int>(i);
    }
    return -1;
}

int controllingConditionWithAccount(double span, double cosAngle, double avgStressRatio,
                                    const LineAttrib& conductor,
                                    const WeatherConditionSeq& conditions, double strengthFactor,
                                    double safetyFactor, AnnualAverage average) noexcept {
    AccountPrinter printer(conditions);
    // The printer throws nothing.
    return controllingCondition(span, cosAngle, avgStressRatio, conductor, conditions,
                                strengthFactor, safetyFactor, &printer, average);
}

}  // namespace varnel
