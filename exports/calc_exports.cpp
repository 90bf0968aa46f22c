// Entry points of the calculations. They hold no state; a null record gives the documented
// failure result instead of a crash.
#include <cmath>
#include <limits>

#include "calc/coefficients.h"
#include "calc/conductor_load.h"
#include "calc/control_search.h"
#include "calc/state_equation.h"
#include "calc/wind_loads.h"
#include "exports/export_macros.h"

using varnel::LineAttrib;
using varnel::WeatherCondition;
using varnel::WeatherConditionSeq;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}

VARNEL_EXPORT double VARNEL_CALL CalcWindAsymmetryCoff(double windSpeed,
                                                       double iceThickness) noexcept {
    return varnel::windAsymmetryCoff(windSpeed, iceThickness);
}

VARNEL_EXPORT double VARNEL_CALL CalcLineShapeCoff(double diameter, double iceThickness) noexcept {
    return varnel::lineShapeCoff(diameter, iceThickness);
}

VARNEL_EXPORT double VARNEL_CALL CalcRingStickShapeCoff(double x) noexcept {
    return varnel::ringStickShapeCoff(x);
}

VARNEL_EXPORT double VARNEL_CALL CalcWindHeightChangeCoff(double height, char terrainClass,
                                                          int groupSelector) noexcept {
    return varnel::windHeightChangeCoff(height, terrainClass, groupSelector);
}

VARNEL_EXPORT double VARNEL_CALL CalcBZ(const WeatherCondition* condition,
                                        const LineAttrib* conductor) noexcept {
    if (condition == nullptr || conductor == nullptr) return kNaN;
    return varnel::specificLoad(*condition, *conductor);
}

VARNEL_EXPORT bool VARNEL_CALL StateEquationGetForce(double span, double cosAngle,
                                                     const LineAttrib* conductor,
                                                     const WeatherCondition* knownCondition,
                                                     const WeatherCondition* soughtCondition,
                                                     double knownStress, double* stress) noexcept {
    if (conductor == nullptr || knownCondition == nullptr || soughtCondition == nullptr ||
        stress == nullptr) {
        return false;
    }
    *stress = varnel::stateEquationStress(span, cosAngle, *conductor, *knownCondition,
                                          *soughtCondition, knownStress);
    return std::isfinite(*stress);
}

VARNEL_EXPORT int VARNEL_CALL StateEquationGetControl(
    double span, double cosAngle, double avgStressRatio, const LineAttrib* conductor,
    const WeatherConditionSeq* conditions, double strengthFactor, double safetyFactor) noexcept {
    if (conductor == nullptr || conditions == nullptr) return -1;
    return varnel::controllingConditionWithAccount(span, cosAngle, avgStressRatio, *conductor,
                                                   *conditions, strengthFactor, safetyFactor,
                                                   varnel::AnnualAverage::byName());
}

VARNEL_EXPORT void VARNEL_CALL CPBodyWindHZ(const WeatherCondition* condition, double topDiameter,
                                            double topHeight, double taper, double bottomHeight,
                                            double* force, double* moment) noexcept {
    varnel::BodyWind wind{kNaN, kNaN};
    if (condition != nullptr) {
        wind = varnel::poleBodyWind(*condition, topDiameter, topHeight, taper, bottomHeight);
    }
    if (force != nullptr) *force = wind.force;
    if (moment != nullptr) *moment = wind.moment;
}

VARNEL_EXPORT double VARNEL_CALL CPLineWindHZ(const WeatherCondition* condition,
                                              const LineAttrib* conductor, double span,
                                              double height, double windAngle) noexcept {
    if (condition == nullptr || conductor == nullptr) return kNaN;
    return varnel::conductorWind(*condition, *conductor, span, height, windAngle);
}

VARNEL_EXPORT double VARNEL_CALL CPInsuWindHZ(const WeatherCondition* condition, double height,
                                              double area) noexcept {
    if (condition == nullptr) return kNaN;
    return varnel::insulatorWind(*condition, height, area);
}
