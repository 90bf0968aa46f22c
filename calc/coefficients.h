// Dimensionless coefficients of the wind load formulas.
#pragma once

namespace varnel {

// Wind pressure non-uniformity coefficient of a span for a wind speed (m/s) and ice (mm).
double windAsymmetryCoff(double windSpeed, double iceThickness) noexcept;

// Shape coefficient of a conductor for its diameter (mm) and ice (mm).
double lineShapeCoff(double diameter, double iceThickness) noexcept;

// Shape coefficient of a ring-section pole for wind pressure (kN/m²) times diameter² (m²).
double ringStickShapeCoff(double pressureTimesDiameterSquared) noexcept;

// Height variation coefficient at height (m) for terrain class letter and table group selector.
double windHeightChangeCoff(double height, char terrainClass, int groupSelector) noexcept;

}  // namespace varnel
