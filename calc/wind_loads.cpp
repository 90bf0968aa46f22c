#include "calc/wind_loads.h"

#include <cmath>

#include "calc/coefficients.h"

namespace varnel {

namespace {
// Basic wind pressure, kN/m², of a wind speed in m/s: v²/1600.
double basicPressure(double windSpeed) {
    return windSpeed * windSpeed * 0.000625;
}
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr int kSegments = 100;
}  // namespace

BodyWind poleBodyWind(const WeatherCondition& condition, double topDiameter, double topHeight,
                      double taper, double bottomHeight) noexcept {
    const double length = (topHeight - bottomHeight) * 0.01;  // of one segment
    const double growth = length / taper;                     // mm per segment
    const double w0 = basicPressure(condition.windSpeed);
    // One shape coefficient for the whole body, from the top diameter.
    const double shape = ringStickShapeCoff(w0 * topDiameter * topDiameter * 1e-6);
    BodyWind result{0.0, 0.0};
    double z = topHeight - length * 0.5;  // mid-height of the segment above ground
    double top = topDiameter;
    for (int s = 0; s < kSegments; ++s) {
        const double bottom = top + growth;
        const double heightCoff = windHeightChangeCoff(z, 'B', 0);
        // Trapezoid area in m² (parallel sides in mm, height in m) times the pressure.
        const double force = (bottom + top) * length * 0.0005 * shape * heightCoff * w0;
        result.force += force;
        result.moment += z * force;
        top = bottom;
        z -= length;
    }
    return result;
}

double conductorWind(const WeatherCondition& condition, const LineAttrib& conductor, double span,
                     double height, double windAngle) noexcept {
    const double v = condition.windSpeed;
    const double b = condition.iceThickness;
    const double alpha = windAsymmetryCoff(v, b);
    const double heightCoff = windHeightChangeCoff(height, 'B', 330);
    const double shape = lineShapeCoff(conductor.diameter, b);
    // The bare diameter is the width: ice acts only through alpha and the shape coefficient.
    return shape * std::sin(windAngle * kRadiansPerDegree) * heightCoff * basicPressure(v) * alpha *
           span * conductor.diameter * 0.001;
}

double insulatorWind(const WeatherCondition& condition, double height, double area) noexcept {
    return windHeightChangeCoff(height, 'B', 330) * basicPressure(condition.windSpeed) * area;
}

}  // namespace varnel
