// Wind loads on a support: a tapered ring-section pole body, a length of conductor and an
// insulator string. Terrain class B throughout.
#pragma once

#include "calc/records/records.h"

namespace varnel {

struct BodyWind {
    double force;   // kN
    double moment;  // kN·m about the ground
};

// Pole body from topHeight down to bottomHeight (m above ground); diameter topDiameter (mm) at
// the top, growing by (length in m) / taper mm downwards.
BodyWind poleBodyWind(const WeatherCondition& condition, double topDiameter, double topHeight,
                      double taper, double bottomHeight) noexcept;

// Conductor of length span (m) at height (m), wind at windAngle degrees to it; kN.
double conductorWind(const WeatherCondition& condition, const LineAttrib& conductor, double span,
                     double height, double windAngle) noexcept;

// Insulator string at height (m) with wind-exposed area (m²); kN.
double insulatorWind(const WeatherCondition& condition, double height, double area) noexcept;

}  // namespace varnel
