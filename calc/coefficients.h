// Dimensionless coefficients of the wind load formulas.
#pragma once

#include <cmath>

namespace varnel {

// Wind pressure non-uniformity coefficient of a span for a wind speed (m/s) and ice (mm). Inline,
// as the next one: every specific load takes both, and the state equation two specific loads.
// Each threshold test is written so that a NaN falls to the branch of the smaller values.
inline double windAsymmetryCoff(double windSpeed, double iceThickness) noexcept {
    double base = 0.7;
    if (!(windSpeed >= 20)) {
        base = 1.0;
    } else if (!(windSpeed >= 30)) {
        base = 0.85;
    } else if (!(windSpeed >= 35)) {
        base = 0.75;
    }
    return iceThickness >= 20 ? base * 1.5 : base;
}

// Shape coefficient of a conductor for its diameter (mm) and ice (mm).
inline double lineShapeCoff(double diameter, double iceThickness) noexcept {
    if (std::fabs(iceThickness) >= 1e-6) return 1.2;
    return diameter >= 17 ? 1.1 : 1.2;
}

// Shape coefficient of a ring-section pole for wind pressure (kN/m²) times diameter² (m²).
double ringStickShapeCoff(double pressureTimesDiameterSquared) noexcept;

// Height variation coefficient at height (m) for terrain class letter and table group selector.
double windHeightChangeCoff(double height, char terrainClass, int groupSelector) noexcept;

}  // namespace varnel
