#include "design/input_checks.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace varnel::design {

std::string shownValue(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    if (std::isfinite(value) && std::strtod(text, nullptr) != value) {
        std::snprintf(text, sizeof text, "%.17g", value);
    }
    return text;
}

namespace {

[[noreturn]] void refuse(const std::string& field, double value, const char* unit,
                         const char* rule) {
    throw std::invalid_argument(field + " = " + shownValue(value) + unit + ": " + rule);
}

void positive(const char* field, double value, const char* unit) {
    if (!(value > 0 && value < HUGE_VAL)) {
        refuse(std::string("conductor ") + field, value, unit, "must be a finite number above 0");
    }
}

constexpr char kChineseAverage[] = "\xC4\xEA\xC6\xBD";  // 年平
constexpr char kEnglishAverage[] = "Avg. ann";

bool namedAsAverage(const WeatherCondition& c) {
    constexpr std::size_t n = sizeof c.name;
    return std::strncmp(c.name, kChineseAverage, n) == 0 ||
           std::strncmp(c.name, kEnglishAverage, n) == 0;
}

}  // namespace

void checkConductor(const LineAttrib& c) {
    positive("area", c.area, " mm\u00B2");
    positive("diameter", c.diameter, " mm");
    positive("unitMass", c.unitMass, " kg/km");
    positive("elasticModulus", c.elasticModulus, " N/mm\u00B2");
    positive("expansionCoeff", c.expansionCoeff, " 1/\u00B0C");
    positive("ratedStrength", c.ratedStrength, " N");
}

void checkConditions(const WeatherConditionSeq& conditions) {
    if (conditions.size() == 0) throw std::invalid_argument("the area has no weather condition");
    for (std::size_t i = 0; i < conditions.size(); ++i) {
        const WeatherCondition& c = conditions[i];
        const std::string at = "condition " + std::to_string(i + 1) + " ";
        if (!(c.iceThickness >= 0 && c.iceThickness < HUGE_VAL)) {
            refuse(at + "iceThickness", c.iceThickness, " mm",
                   "must be a finite number of at least 0");
        }
        if (!(c.windSpeed >= 0 && c.windSpeed < HUGE_VAL)) {
            refuse(at + "windSpeed", c.windSpeed, " m/s", "must be a finite number of at least 0");
        }
        if (!std::isfinite(c.temperature)) {
            refuse(at + "temperature", c.temperature, " \u00B0C", "must be a finite number");
        }
    }
}

void checkFactors(const SearchFactors& f) {
    const auto unit = [](const char* field, double value) {
        if (!(value > 0 && value <= 1)) refuse(field, value, "", "must be above 0 and at most 1");
    };
    unit("cos", f.cosAngle);
    unit("annual average ratio", f.avgStressRatio);
    unit("strength factor", f.strengthFactor);
    if (!(f.safetyFactor > 0 && f.safetyFactor < HUGE_VAL)) {
        refuse("safety factor", f.safetyFactor, "", "must be a finite number above 0");
    }
}

AnnualAverage checkDesignInputs(const LineAttrib& conductor, const WeatherConditionSeq& conditions,
                                const SearchFactors& factors, GivenAverage given) {
    checkConductor(conductor);
    checkConditions(conditions);
    checkFactors(factors);
    if (!given) return findAnnualAverage(conditions);
    if (given->isIndex() && given->index() >= conditions.size()) {
        throw std::invalid_argument(
            "annual average condition " + std::to_string(given->index() + 1) +
            " is not one of the area's " + std::to_string(conditions.size()) + " conditions");
    }
    return *given;
}

void checkSpan(double span, const char* what) {
    if (!(span >= 0 && span < HUGE_VAL)) {
        refuse(what, span, " m", "must be a finite length of at least 0 m");
    }
}

void requireFinite(double value, const std::string& what, const char* why) {
    if (!std::isfinite(value)) {
        throw std::invalid_argument(what + " = " + shownValue(value) + " is not finite: " + why);
    }
}

AnnualAverage findAnnualAverage(const WeatherConditionSeq& conditions) {
    const std::size_t n = conditions.size();
    std::size_t found = n;
    for (std::size_t i = 0; i < n; ++i) {
        if (!namedAsAverage(conditions[i])) continue;
        if (found != n) {
            throw std::invalid_argument("conditions " + std::to_string(found + 1) + " and " +
                                        std::to_string(i + 1) +
                                        " are both named as the annual average one");
        }
        found = i;
    }
    if (found != n) return AnnualAverage::at(found);
    if (n == 9 || n == 6) return AnnualAverage::at(2);
    throw std::invalid_argument(
        "no condition of the area is the annual average one (named \u5E74\u5E73 or \"Avg. "
        "ann\", or the third of nine or six conditions); its limit cannot be applied");
}

}  // namespace varnel::design
