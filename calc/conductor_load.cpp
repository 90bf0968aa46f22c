#include "calc/conductor_load.h"

#include <cmath>

#include "calc/coefficients.h"

namespace varnel {

namespace {
constexpr double kGravityPerKm = 0.00980665;  // kg/km -> N/m
// N/m of an ice sleeve per mm² of (d + b)·b at 0.9 g/cm³: 0.9 · π · 9.80665 / 1000.
constexpr double kIceWeight = 0.027727649636693708;
// N/m of wind per mm of width and (m/s)²: a pressure of v²/16 kgf/m², 9.80665 / 16000.
constexpr double kWindPressure = 0.000612915625;
}  // namespace

double specificLoad(const WeatherCondition& condition, const LineAttrib& conductor) noexcept {
    const double b = condition.iceThickness;
    const double v = condition.windSpeed;
    const double d = conductor.diameter;
    const double ownWeight = conductor.unitMass * kGravityPerKm;
    const double alpha = windAsymmetryCoff(v, b);
    const double mu = lineShapeCoff(d, b);
    // The ice cross-section enters only the vertical load, the iced width d + 2b only the wind.
    const double vertical = (d + b) * b * kIceWeight + ownWeight;
    const double wind = (d + 2 * b) * v * v * mu * alpha * kWindPressure;
    // Loads of real conductors are tens of N/m: their squares are far from overflow and from
    // underflow, and the plain root of the sum of squares is as accurate as hypot at a third of
    // its cost. Beyond 2^±450 (or at an exact zero, or not finite) hypot takes over, which
    // scales instead of squaring, so that every finite load gives a finite result. Inside the
    // bounds the smaller load's square loses bits to underflow only when that load is below
    // 2^-61 of the larger, where it no longer counts.
    const double larger =
        std::fabs(vertical) > std::fabs(wind) ? std::fabs(vertical) : std::fabs(wind);
    if (larger < 0x1p450 && larger > 0x1p-450) {
        return std::sqrt(vertical * vertical + wind * wind) / conductor.area;
    }
    return std::hypot(vertical, wind) / conductor.area;
}

}  // namespace varnel
