#include "design/wind_rules.h"

#include <cmath>

#include "calc/coefficients.h"

namespace varnel::design {

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

// √μz(15 m) in the 10 m table, terrain B.
double fifteenOverTen() noexcept {
    return std::sqrt(windHeightChangeCoff(15, kWindTerrain, 0));
}

}  // namespace

double speedAt15m(double speed, double referenceHeight) noexcept {
    return referenceHeight == 15 ? speed : speed * fifteenOverTen();
}

double speedAt10m(double speed, double referenceHeight) noexcept {
    return referenceHeight == 15 ? speed / fifteenOverTen() : speed;
}

double towerLoadAlpha(double v) noexcept {
    if (v < 20) return 1.00;
    if (v < 27) return 0.85;
    if (v < 31.5) return 0.75;
    return 0.70;
}

double clearanceAlpha(double v) noexcept {
    if (v < 20) return 1.00;
    if (v < 27) return 0.75;
    return 0.61;
}

double heavyIceFactor(double ice) noexcept {
    return ice >= 20 ? 1.5 : 1.0;
}

double conductorWindLoad(double v, double ice, double diameter, double length, double height,
                         double windAngle, double alpha) noexcept {
    // The factors in the order conductorWind() takes them, so that its α gives its bits.
    const double heightCoff = windHeightChangeCoff(height, kWindTerrain, 330);
    const double shape = lineShapeCoff(diameter, ice);
    const double pressure = v * v * 0.000625;  // kN/m², v²/1600
    return shape * std::sin(windAngle * kRadiansPerDegree) * heightCoff * pressure * alpha *
           length * diameter * 0.001;
}

}  // namespace varnel::design
