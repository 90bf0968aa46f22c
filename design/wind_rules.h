// The wind of a weather area as the line check applies it: the speed at the height the library's
// load routines take, and the wind pressure non-uniformity factor α of GB 50545-2010 (110 kV to
// 750 kV overhead transmission line design code), §10.1.18, which takes one value for the
// towers' loads and another for the electrical clearances (the swing of strings and of the
// conductor): the table's two rows.
//
// Speeds in m/s, heights and lengths in m, diameters and ice in mm, loads in kN.
#pragma once

#include "design/design_api.h"

namespace varnel::design {

// The terrain class the wind routines take (calc/wind_loads.h): B, open country.
inline constexpr char kWindTerrain = 'B';

// The speed at 15 m of a wind given at `referenceHeight` (10 or 15 m): from 10 m it is
// v·√μz(15 m), μz the height coefficient of the 10 m table in terrain B (1.14), so that the
// pressure v²/1600 at 15 m is μz(15 m) times the pressure at 10 m.
VARNEL_DESIGN_API double speedAt15m(double speed, double referenceHeight) noexcept;

// The speed at 10 m, the basic wind speed V the design code's tables take.
VARNEL_DESIGN_API double speedAt10m(double speed, double referenceHeight) noexcept;

// α for the towers' loads, GB 50545-2010 Table 10.1.18-1's first row, by the basic speed V at
// 10 m: 1.00 below 20 m/s, 0.85 to 27, 0.75 to 31.5, 0.70 from 31.5.
VARNEL_DESIGN_API double towerLoadAlpha(double speedAt10m) noexcept;

// α for the electrical clearance (a string's swing, the conductor's swing beside the line),
// GB 50545-2010 Table 10.1.18-1's second row, by the basic speed V at 10 m: 1.00 below 20 m/s,
// 0.75 to 27, 0.61 from 27. A designer who takes α from another table (one by the wind span, for
// example) fixes it in ProfileOptions::clearanceAlpha.
VARNEL_DESIGN_API double clearanceAlpha(double speedAt10m) noexcept;

// The library's own increase of the conductor's wind under heavy ice (the bare diameter is its
// width): 1.5 for ice of 20 mm and more, else 1.
VARNEL_DESIGN_API double heavyIceFactor(double ice) noexcept;

// The wind on `length` m of conductor at `height` m above ground, wind at `windAngle` degrees
// to it, kN: the library's formula μsc·sin θ·μz·W0·α·L·d·1e-3 (W0 = v²/1600 of the speed at
// 15 m, μz of the 15 m table in terrain B, μsc the conductor's shape coefficient) with the α
// given. With the library's α (calc/coefficients.h) it is conductorWind() to the bit.
VARNEL_DESIGN_API double conductorWindLoad(double speedAt15m, double ice, double diameter,
                                           double length, double height, double windAngle,
                                           double alpha) noexcept;

}  // namespace varnel::design
