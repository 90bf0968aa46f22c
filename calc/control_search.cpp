#include "calc/control_search.h"

#include <cstdio>
#include <cstring>

#include "calc/state_equation.h"

namespace varnel {

namespace {

constexpr char kAnnualAverage[] = "\xC4\xEA\xC6\xBD";  // 年平

// The account, GBK. Names are printed with a bound so that a name array without its NUL is
// never read past its end.
constexpr int kNameBound = static_cast<int>(sizeof(WeatherCondition{}.name));
// "\n假设[%s]为控制工况，水平应力为%lf\n"
constexpr char kTrialHeader[] =
    "\n\xBC\xD9\xC9\xE8[%.*s]\xCE\xAA\xBF\xD8\xD6\xC6\xB9\xA4\xBF\xF6\xA3\xAC"
    "\xCB\xAE\xC6\xBD\xD3\xA6\xC1\xA6\xCE\xAA%lf\n";
// "验算[%s]工况，应力为%lfN/mm^2。"
constexpr char kCheckLine[] =
    "\xD1\xE9\xCB\xE3[%.*s]\xB9\xA4\xBF\xF6\xA3\xAC\xD3\xA6\xC1\xA6\xCE\xAA%lfN/mm^2\xA1\xA3";
constexpr char kExceeded[] = "\xB3\xAC\xCF\xDE!";          // 超限!
constexpr char kWithin[] = "\xB2\xBB\xB3\xAC\xCF\xDE!\n";  // 不超限! and the line feed after it
// "[%s]是控制工况。\n\n"
constexpr char kControlling[] = "[%.*s]\xCA\xC7\xBF\xD8\xD6\xC6\xB9\xA4\xBF\xF6\xA1\xA3\n\n";

// The account as the host application shows it, on standard output.
class AccountPrinter final : public SearchObserver {
  public:
    explicit AccountPrinter(const WeatherConditionSeq& conditions) : conditions_(conditions) {}

    void trialStarted(std::size_t assumed, double stress) override {
        std::printf(kTrialHeader, kNameBound, conditions_[assumed].name, stress);
    }
    void checked(std::size_t checked, double stress, double, bool exceeded) override {
        std::printf(kCheckLine, kNameBound, conditions_[checked].name, stress);
        std::fputs(exceeded ? kExceeded : kWithin, stdout);
    }
    void trialEnded(std::size_t assumed, bool controlling) override {
        if (controlling) {
            std::printf(kControlling, kNameBound, conditions_[assumed].name);
        } else {
            std::fputs("\n", stdout);
        }
    }

  private:
    const WeatherConditionSeq& conditions_;
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
                         double strengthFactor, double safetyFactor, SearchObserver* observer) {
    const StressLimits limits =
        stressLimits(avgStressRatio, conductor, strengthFactor, safetyFactor);
    const std::size_t n = conditions.size();
    for (std::size_t i = 0; i < n; ++i) {
        const WeatherCondition& assumed = conditions[i];
        const bool assumedIsAverage = isAnnualAverage(assumed);
        const double assumedStress = assumedIsAverage ? limits.average : limits.normal;
        if (observer != nullptr) observer->trialStarted(i, assumedStress);

        bool passed = true;
        for (std::size_t j = 0; j < n && passed; ++j) {
            if (j == i) continue;
            const WeatherCondition& checked = conditions[j];
            const double stress =
                stateEquationStress(span, cosAngle, conductor, assumed, checked, assumedStress);
            double limit = assumedStress;
            if (assumedIsAverage) {
                limit = assumedStress / avgStressRatio / safetyFactor;
            } else if (isAnnualAverage(checked)) {
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
                                    double safetyFactor) noexcept {
    AccountPrinter printer(conditions);
    // The printer throws nothing.
    return controllingCondition(span, cosAngle, avgStressRatio, conductor, conditions,
                                strengthFactor, safetyFactor, &printer);
}

}  // namespace varnel
