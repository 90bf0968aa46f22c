#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "varnel.h"

namespace {

WeatherCondition condition(double ice, double wind, double temperature = 0) {
    WeatherCondition c{};
    c.iceThickness = ice;
    c.windSpeed = wind;
    c.temperature = temperature;
    return c;
}

LineAttrib conductor(double area, double diameter, double mass) {
    LineAttrib a{};
    a.area = area;
    a.diameter = diameter;
    a.unitMass = mass;
    return a;
}

TEST(SpecificLoad, OwnWeightAlone) {
    const auto c = condition(0, 0);
    const auto a = conductor(100, 10, 1000);
    EXPECT_DOUBLE_EQ(CalcBZ(&c, &a), 0.0980665);
}

TEST(SpecificLoad, WindOnTheBareConductor) {
    const auto c = condition(0, 20);
    const auto a = conductor(100, 10, 0);
    // 10 mm × 20² × 1.2 × 0.85 × 9.80665/16000, per 100 mm².
    EXPECT_DOUBLE_EQ(CalcBZ(&c, &a), 0.0250069575);
}

TEST(SpecificLoad, IceAndWindCombined) {
    const auto c = condition(10, 10);
    const auto a = conductor(275.96, 21.6, 922.2);
    // Worked by hand: vertical (21.6 + 10)·10·0.9π·9.80665/1000 + 922.2·0.00980665,
    // wind (21.6 + 20)·10²·1.2·1.0·9.80665/16000.
    const double vertical =
        31.6 * 10 * 0.9 * std::numbers::pi * 9.80665 / 1000 + 922.2 * 9.80665 / 1000;
    const double wind = 41.6 * 100 * 1.2 * 9.80665 / 16000;
    EXPECT_NEAR(vertical, 17.8056, 1e-4);
    EXPECT_NEAR(wind, 3.05967, 1e-5);
    EXPECT_NEAR(CalcBZ(&c, &a), std::sqrt(vertical * vertical + wind * wind) / 275.96, 1e-15);
    EXPECT_NEAR(CalcBZ(&c, &a), 0.065468, 1e-6);
}

TEST(SpecificLoad, NegativeIceIsNotRejected) {
    const auto c = condition(-2, 10);
    const auto a = conductor(100, 10, 0);
    // Enters both terms as it stands, and counts as iced for the shape coefficient (1.2).
    const double vertical = (10 - 2) * -2 * 0.027727649636693708;
    const double wind = (10 - 4) * 100 * 1.2 * 1.0 * 0.000612915625;
    EXPECT_DOUBLE_EQ(CalcBZ(&c, &a), std::hypot(vertical, wind) / 100);
}

TEST(SpecificLoad, ZeroAreaAndNullRecords) {
    const auto c = condition(0, 0);
    const auto a = conductor(0, 10, 1000);
    EXPECT_TRUE(std::isinf(CalcBZ(&c, &a)));
    EXPECT_TRUE(std::isnan(CalcBZ(nullptr, &a)));
    EXPECT_TRUE(std::isnan(CalcBZ(&c, nullptr)));
}

// Loads whose squares leave the range of doubles: the result is still the root of the sum of
// squares. Expected values worked by hand from the formula; with area equal to the scale of the
// load, the quotient is the load's ordinary figure.
struct ExtremeLoad {
    const char* what;
    double area, diameter, mass, wind;
    double expected;
};

class SpecificLoadExtremes : public testing::TestWithParam<ExtremeLoad> {};

TEST_P(SpecificLoadExtremes, RootOfTheSumOfSquaresWithoutOverflow) {
    const ExtremeLoad& x = GetParam();
    const auto c = condition(0, x.wind);
    const auto a = conductor(x.area, x.diameter, x.mass);
    const double result = CalcBZ(&c, &a);
    ASSERT_TRUE(std::isfinite(result)) << x.what;
    EXPECT_NEAR(result, x.expected, 1e-14 * x.expected) << x.what;
}

INSTANTIATE_TEST_SUITE_P(
    Loads, SpecificLoadExtremes,
    testing::Values(
        // 1e300 kg/km × 0.00980665 / 1e300 mm²
        ExtremeLoad{"own weight of 1e300 kg/km", 1e300, 10, 1e300, 0, 0.00980665},
        // 1e300 mm × 20² × 1.1 (d ≥ 17) × 0.85 (20 m/s) × 9.80665/16000 / 1e300 mm²
        ExtremeLoad{"wind on a diameter of 1e300 mm", 1e300, 1e300, 0, 20, 0.22923044375},
        // both at once: √(0.00980665² + 0.22923044375²)
        ExtremeLoad{"both loads of order 1e297", 1e300, 1e300, 1e300, 20, 0.2294401157732545},
        // squares below the smallest subnormal
        ExtremeLoad{"own weight of 1e-300 kg/km", 1e-300, 10, 1e-300, 0, 0.00980665},
        // the largest finite mass: 1.797e308 × 0.00980665 / 1e300
        ExtremeLoad{"the largest finite mass", 1e300, 10, 1.7976931348623157e308, 0,
                    1762934.7380997527}));

TEST(SpecificLoad, LeavesItsRecordsAlone) {
    auto c = condition(10, 25, -5);
    std::strcpy(c.name, "ice");
    auto a = conductor(275.96, 21.6, 922.2);
    const auto cBefore = c;
    const auto aBefore = a;
    (void)CalcBZ(&c, &a);
    EXPECT_EQ(std::memcmp(&c, &cBefore, sizeof c), 0);
    EXPECT_EQ(std::memcmp(&a, &aBefore, sizeof a), 0);
}

}  // namespace
