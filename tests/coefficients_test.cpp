#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "varnel.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct PairCase {
    double first;
    double second;
    double expected;
};

class WindAsymmetry : public testing::TestWithParam<PairCase> {};

TEST_P(WindAsymmetry, GivesTheTableCoefficient) {
    const auto& c = GetParam();
    EXPECT_DOUBLE_EQ(CalcWindAsymmetryCoff(c.first, c.second), c.expected)
        << "wind " << c.first << " ice " << c.second;
}

INSTANTIATE_TEST_SUITE_P(Thresholds, WindAsymmetry,
                         testing::Values(PairCase{19.99, 0, 1.0}, PairCase{20, 0, 0.85},
                                         PairCase{29.99, 0, 0.85}, PairCase{30, 0, 0.75},
                                         PairCase{35, 0, 0.7}, PairCase{60, 0, 0.7},
                                         PairCase{25, 20, 1.275}, PairCase{25, 19.9, 0.85},
                                         PairCase{10, 25, 1.5}, PairCase{35, 20, 1.05},
                                         // A NaN falls to the branch of the smaller values.
                                         PairCase{kNaN, 0, 1.0}, PairCase{25, kNaN, 0.85}));

class LineShape : public testing::TestWithParam<PairCase> {};

TEST_P(LineShape, GivesTheShapeCoefficient) {
    const auto& c = GetParam();
    EXPECT_EQ(CalcLineShapeCoff(c.first, c.second), c.expected)
        << "diameter " << c.first << " ice " << c.second;
}

INSTANTIATE_TEST_SUITE_P(Thresholds, LineShape,
                         testing::Values(PairCase{17, 0, 1.1}, PairCase{16.99, 0, 1.2},
                                         PairCase{30, 0.000001, 1.2}, PairCase{30, -5, 1.2},
                                         PairCase{30, 0.0000009, 1.1}, PairCase{kNaN, 0, 1.2},
                                         PairCase{30, kNaN, 1.1}));

TEST(RingStickShape, IsPiecewiseLinearBetweenItsEnds) {
    EXPECT_EQ(CalcRingStickShapeCoff(0.002), 1.2);
    EXPECT_EQ(CalcRingStickShapeCoff(0.015), 0.7);
    EXPECT_EQ(CalcRingStickShapeCoff(0.0), 1.2);
    EXPECT_EQ(CalcRingStickShapeCoff(1.0), 0.7);
    EXPECT_EQ(CalcRingStickShapeCoff(kNaN), 1.2);
    EXPECT_NEAR(CalcRingStickShapeCoff(0.0085), 0.95, 1e-12);
    // The pole body of the wind load examples: 25 m/s on a 190 mm top.
    EXPECT_NEAR(CalcRingStickShapeCoff(0.0141015625), 0.734555288461538, 1e-12);
}

struct HeightCase {
    double height;
    char letter;
    int selector;
    double expected;
};

class HeightChange : public testing::TestWithParam<HeightCase> {};

TEST_P(HeightChange, ReadsAndInterpolatesTheTable) {
    const auto& c = GetParam();
    EXPECT_NEAR(CalcWindHeightChangeCoff(c.height, c.letter, c.selector), c.expected, 1e-12)
        << "height " << c.height << " class " << c.letter << " selector " << c.selector;
}

INSTANTIATE_TEST_SUITE_P(
    Table, HeightChange,
    testing::Values(
        HeightCase{10, 'b', 0, 1.00}, HeightCase{3, 'B', 0, 1.00}, HeightCase{-5, 'B', 0, 1.00},
        HeightCase{kNaN, 'A', 0, 1.38}, HeightCase{12.5, 'B', 0, 1.07},
        HeightCase{15, 'B', 0, 1.14}, HeightCase{500, 'D', 0, 3.12}, HeightCase{450, 'D', 0, 3.12},
        HeightCase{425, 'D', 0, 3.015},
        // 'D' exists only in the 10 m group; elsewhere it, '?' and a non-ASCII byte count as 'B'.
        HeightCase{15, 'D', 330, 1.00}, HeightCase{15, '?', 0, 1.14},
        HeightCase{15, '\xB4', 0, 1.14}, HeightCase{15, 'c', 330, 0.74},
        // Group boundaries.
        HeightCase{10, 'B', 66, 1.00}, HeightCase{10, 'B', 67, 0.88},
        HeightCase{10, 'B', 499, 0.88}, HeightCase{10, 'B', 500, 0.80},
        HeightCase{20, 'B', 500, 1.00}, HeightCase{10, 'A', -100, 1.38},
        HeightCase{10, 'D', 500, 0.80}, HeightCase{25, 'C', 1000, 0.82}));

}  // namespace
