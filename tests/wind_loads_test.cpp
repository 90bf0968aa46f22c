#include <gtest/gtest.h>

#include <cmath>

#include "support/fixtures.h"
#include "varnel.h"

namespace {

using varnel::test::jlg1a240;
using varnel::test::makeCondition;

struct BodyCase {
    double wind, topDiameter, topHeight, taper, bottomHeight;
    double force, moment;  // kN, kN·m about the ground
};

class PoleBody : public testing::TestWithParam<BodyCase> {};

TEST_P(PoleBody, ForceAndMomentAboutTheGround) {
    const auto& p = GetParam();
    const auto c = makeCondition("wind", 0, p.wind, 15);
    double force = -1, moment = -1;
    CPBodyWindHZ(&c, p.topDiameter, p.topHeight, p.taper, p.bottomHeight, &force, &moment);
    EXPECT_NEAR(force, p.force, 5e-7);
    EXPECT_NEAR(moment, p.moment, 5e-7);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PoleBody,
    testing::Values(BodyCase{25, 190, 12, 0.075, 0, 0.932866, 5.063325},
                    // The lever arm is the mid-height above ground, not that plus the bottom.
                    BodyCase{25, 190, 12, 0.075, 2, 0.739664, 4.872663},
                    BodyCase{25, 190, 12, 0.075, 12, 0, 0}, BodyCase{0, 190, 12, 0.075, 0, 0, 0}));

TEST(PoleBody, SegmentSumWorkedIndependently) {
    // The 100 trapezoids summed here in long double, heights from the bottom up.
    const double v = 30, d0 = 300, h1 = 40, taper = 0.05, h0 = 5;
    const long double w0 = v * v / 1600.0L;
    const long double shape = CalcRingStickShapeCoff(v * v * 0.000625 * d0 * d0 * 1e-6);
    long double force = 0, moment = 0;
    const long double seg = (h1 - h0) / 100.0L;
    for (int k = 0; k < 100; ++k) {
        const long double zMid = h1 - seg * (k + 0.5L);
        const long double dTop = d0 + seg * k / taper;
        const long double dBottom = dTop + seg / taper;
        const long double f = (dTop + dBottom) / 2 / 1000 * seg * shape *
                              CalcWindHeightChangeCoff(static_cast<double>(zMid), 'B', 0) * w0;
        force += f;
        moment += f * zMid;
    }
    const auto c = makeCondition("wind", 0, v, 15);
    double f = 0, m = 0;
    CPBodyWindHZ(&c, d0, h1, taper, h0, &f, &m);
    EXPECT_NEAR(f, static_cast<double>(force), 1e-9 * static_cast<double>(force));
    EXPECT_NEAR(m, static_cast<double>(moment), 1e-9 * static_cast<double>(moment));
}

TEST(PoleBody, NullPointers) {
    double force = 1, moment = 1;
    CPBodyWindHZ(nullptr, 190, 12, 0.075, 0, &force, &moment);
    EXPECT_TRUE(std::isnan(force));
    EXPECT_TRUE(std::isnan(moment));
    const auto c = makeCondition("wind", 0, 25, 15);
    moment = 7;
    CPBodyWindHZ(&c, 190, 12, 0.075, 0, &force, nullptr);
    EXPECT_NEAR(force, 0.932866, 5e-7);
    CPBodyWindHZ(&c, 190, 12, 0.075, 0, nullptr, &moment);
    EXPECT_NEAR(moment, 5.063325, 5e-7);
    CPBodyWindHZ(nullptr, 190, 12, 0.075, 0, nullptr, nullptr);  // must not crash
}

TEST(ConductorWind, WorkedCases) {
    const auto a = jlg1a240();
    const auto bare = makeCondition("wind", 0, 25, 15);
    // 1.1 × 1 × 1.00 × 0.390625 × 0.85 × 300 × 21.6 × 0.001
    EXPECT_NEAR(CPLineWindHZ(&bare, &a, 300, 15, 90), 2.36671875, 1e-12);
    EXPECT_NEAR(CPLineWindHZ(&bare, &a, 300, 15, 30), 2.36671875 / 2, 1e-12);
    EXPECT_NEAR(CPLineWindHZ(&bare, &a, 300, 15, 0), 0, 1e-15);
    // Ice: shape 1.2, height coefficient 1.10 at 20 m of the 15 m table; width stays bare.
    const auto iced = makeCondition("ice", 10, 25, -5);
    EXPECT_NEAR(CPLineWindHZ(&iced, &a, 300, 20, 90), 2.8400625, 1e-12);
    // 20 mm of ice multiplies the non-uniformity coefficient by 1.5.
    const auto heavy = makeCondition("ice", 20, 25, -5);
    EXPECT_NEAR(CPLineWindHZ(&heavy, &a, 300, 20, 90), 2.8400625 * 1.5, 1e-12);
    EXPECT_TRUE(std::isnan(CPLineWindHZ(nullptr, &a, 300, 20, 90)));
    EXPECT_TRUE(std::isnan(CPLineWindHZ(&bare, nullptr, 300, 20, 90)));
}

TEST(InsulatorWind, WorkedCases) {
    const auto c = makeCondition("wind", 0, 20, 15);
    EXPECT_NEAR(CPInsuWindHZ(&c, 10, 1), 0.22, 1e-15);
    EXPECT_NEAR(CPInsuWindHZ(&c, 15, 2), 0.5, 1e-15);
    EXPECT_NEAR(CPInsuWindHZ(&c, 4, 1), 0.22, 1e-15);
    EXPECT_TRUE(std::isnan(CPInsuWindHZ(nullptr, 10, 1)));
}

}  // namespace
