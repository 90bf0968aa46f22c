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

}  // namespace

bool isAnnualAverage(const WeatherCondition& condition) noexcept {
    return std::memcmp(condition.name, kAnnualAverage, sizeof kAnnualAverage) == 0;
}

int controllingCondition(double span, double cosAngle, double avgStressRatio,
                         const LineAttrib& conductor, const WeatherConditionSeq& conditions,
                         double strengthFactor, double safetyFactor) noexcept {
    const double strength = conductor.ratedStrength;
    const double area = conductor.area;
    const double normalLimit = strengthFactor * strength / safetyFactor / area;
    const double averageLimit = avgStressRatio * strength * strengthFactor / area;

    const std::size_t n = conditions.size();
    for (std::size_t i = 0; i < n; ++i) {
        const WeatherCondition& assumed = conditions[i];
        const bool assumedIsAverage = isAnnualAverage(assumed);
        const double assumedStress = assumedIsAverage ? averageLimit : normalLimit;
        std::printf(kTrialHeader, kNameBound, assumed.name, assumedStress);

        bool passed = true;
        for (std::size_t j = 0; j < n && passed; ++j) {
            if (j == i) continue;
            const WeatherCondition& checked = conditions[j];
            const double stress =
                stateEquationStress(span, cosAngle, conductor, assumed, checked, assumedStress);
            std::printf(kCheckLine, kNameBound, checked.name, stress);
            double limit = assumedStress;
            if (assumedIsAverage) {
                limit = assumedStress / avgStressRatio / safetyFactor;
            } else if (isAnnualAverage(checked)) {
                limit = averageLimit;
            }
            // Equality passes; a stress or limit that is not a number is an exceedance.
            passed = stress <= limit;
            std::fputs(passed ? kWithin : kExceeded, stdout);
        }
        if (passed) {
            std::printf(kControlling, kNameBound, assumed.name);
            return static_cast<int>(i);
        }
        std::fputs("\n", stdout);
    }
    return -1;
}

}  // namespace varnel
