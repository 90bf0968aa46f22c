// The towers of the profile check and the crossings beside the line in wind, against figures
// worked by hand from the published formulas: the string's swing with the design code's α, the
// wind at 15 m and the line angle's pull; uplift of suspension and strain strings; the
// conditions the swing is checked in; swung strings moving the conductor towards a building.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "calc/span_curve.h"
#include "design/line_profile.h"
#include "support/core_fixtures.h"

namespace {

using varnel::SpanCurve;
using varnel::SpanModel;
using varnel::design::checkProfile;
using varnel::design::Crossing;
using varnel::design::LineProfile;
using varnel::design::ProfileOptions;
using varnel::design::TerrainPoint;
using varnel::design::Tower;
using varnel::design::TowerKind;
using varnel::design::ViolationKind;
using varnel::test::ConditionList;

constexpr double kDegree = std::numbers::pi / 180;
constexpr double kArea = 275.96;                    // mm², JL/G1A-240/30
constexpr double kWeight = 922.2 * 9.80665 / 1000;  // N/m, its own weight
constexpr std::size_t kStrongWind = 1;              // 大风, 23.5 m/s at 10 m

const ConditionList& areaSix() {
    static const ConditionList list(varnel::test::areaSixConditions());
    return list;
}

// The conditions' names as the results give them (UTF-8): 低温 大风 年平 覆冰 高温 校验 安装 外过
// 内过.
const std::vector<std::string>& names() {
    static const std::vector<std::string> n{"\u4F4E\u6E29", "\u5927\u98CE", "\u5E74\u5E73",
                                            "\u8986\u51B0", "\u9AD8\u6E29", "\u6821\u9A8C",
                                            "\u5B89\u88C5", "\u5916\u8FC7", "\u5185\u8FC7"};
    return n;
}
const std::string kWind = names()[1];       // 大风
const std::string kIce = names()[3];        // 覆冰
const std::string kLightning = names()[7];  // 外过
const std::string kSwitching = names()[8];  // 内过

Tower tower(const char* name, double station, TowerKind kind, double arm, double ground) {
    Tower t;
    t.name = name;
    t.station = station;
    t.kind = kind;
    t.armHeight = arm;
    t.insulatorLength = kind == TowerKind::suspension ? 2.5 : 0;
    t.insulatorWeight = 600;
    t.groundElevation = ground;
    return t;
}

LineProfile check(const std::vector<TerrainPoint>& terrain, const std::vector<Tower>& towers,
                  SpanModel model = SpanModel::catenary,
                  const std::vector<Crossing>& crossings = {}, ProfileOptions options = {}) {
    options.model = model;
    options.conditionNames = names();
    return checkProfile(varnel::test::coreJlg1a240(), areaSix().seq, {}, terrain, towers, crossings,
                        options);
}

// Level ground, attachments all at 30 m: A (strain) and C 800 m apart, B (suspension) between.
std::vector<Tower> levelThree() {
    return {tower("A", 0, TowerKind::strain, 30, 0),
            tower("B", 400, TowerKind::suspension, 32.5, 0),
            tower("C", 800, TowerKind::strain, 30, 0)};
}
const std::vector<TerrainPoint> kLevel{{-10, 0}, {1210, 0}};

// The conductor's wind on B in 大风 over its 400 m wind span at its arm (32.5 m), N:
// μsc 1.1 (21.6 mm ≥ 17 mm), μz(32.5 m) = 1.25 + 0.12·2.5/10 = 1.28 (15 m table, terrain B),
// W0 = (23.5·√1.14)²/1600 kN/m², the diameter 21.6 mm, times α.
double strongWindOnB(double alpha) {
    return 1.1 * 1.28 * (23.5 * 23.5 * 1.14 / 1600) * alpha * 400 * 21.6;
}

// A suspension tower at a line angle of 5°: the swing takes the angle's pull 2T·sin(θ/2) with the
// wind's push, the wind taken at 15 m with the clearance's α (0.75 at 23.5 m/s, GB 50545-2010
// Table 10.1.18-1's row for the electrical clearance); the horizontal load the loads' α (0.85,
// the same table's row for the towers' loads).
TEST(ProfileTowers, SwingTakesTheLineAnglesPullAndTheDesignCodesAlpha) {
    std::vector<Tower> towers = levelThree();
    towers[1].angle = 5;
    const LineProfile p = check(kLevel, towers);
    const double tension = p.sections[0].stress[kStrongWind] * kArea;
    const double pull = 2 * tension * std::sin(2.5 * kDegree);
    const double lv = 400;  // level spans: from low point to low point
    EXPECT_NEAR(p.towers[1].verticalSpan[kStrongWind], lv, 1e-9);
    const double phi = std::atan((strongWindOnB(0.75) + pull) / (300 + kWeight * lv)) / kDegree;
    EXPECT_NEAR(p.towers[1].swingAngle[kStrongWind], phi, 1e-9);
    EXPECT_NEAR(p.towers[1].horizontalLoad[kStrongWind], strongWindOnB(0.85) + pull, 1e-8);
    EXPECT_EQ(p.clearanceAlpha[kStrongWind], 0.75);
    // Still air: the angle's pull alone swings the string.
    const double tensionCold = p.sections[0].stress[0] * kArea;
    EXPECT_NEAR(
        p.towers[1].swingAngle[0],
        std::atan(2 * tensionCold * std::sin(2.5 * kDegree) / (300 + kWeight * lv)) / kDegree,
        1e-9);
}

// Swing is checked in 大风, 外过 and 内过 only, each against its own allowed angle.
TEST(ProfileTowers, SwingIsCheckedInItsConditionsAgainstTheirOwnLimits) {
    std::vector<Tower> towers = levelThree();
    towers[1].maxSwing = 3;
    towers[1].maxSwingIn = {{kWind, 89}, {kLightning, 89}, {kSwitching, 89}};
    LineProfile p = check(kLevel, towers);
    // 覆冰's and 安装's 10 m/s swing the string past 3°, but neither is checked.
    EXPECT_GT(p.towers[1].swingAngle[3], 3);
    EXPECT_GT(p.towers[1].swingAngle[6], 3);
    EXPECT_TRUE(p.violations.empty());
    for (std::size_t k = 0; k < 9; ++k) {
        EXPECT_EQ(p.towers[1].swingLimit[k].has_value(), k == 1 || k == 7 || k == 8) << k;
    }
    // One condition held tighter: it is the one reported.
    towers[1].maxSwingIn = {{kLightning, 1}};
    towers[1].maxSwing = 89;
    p = check(kLevel, towers);
    ASSERT_EQ(p.violations.size(), 1u);
    EXPECT_EQ(p.violations[0].kind, ViolationKind::swing);
    EXPECT_EQ(p.violations[0].condition, std::optional<std::size_t>(7));
    EXPECT_EQ(p.violations[0].limit, 1);
    // A condition named in a limit is checked even where the practice does not check swing.
    towers[1].maxSwingIn = {{kIce, 1}};
    p = check(kLevel, towers);
    ASSERT_EQ(p.violations.size(), 1u);
    EXPECT_EQ(p.violations[0].condition, std::optional<std::size_t>(3));
}

// The catenary's low point by bisection: y(0) = 0, y(l) = h on y = p·cosh((x − a)/p) + C.
double lowPoint(double l, double h, double p) {
    double lo = -50 * l, hi = 50 * l;
    for (int i = 0; i < 300; ++i) {
        const double mid = 0.5 * (lo + hi);
        (p * (std::cosh((l - mid) / p) - std::cosh(mid / p)) > h ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

// B sunk below A and C: the string is pulled up where the conductor's weight over l_v and half
// the string's weight (300 N) are not downward; then it has no swing angle.
TEST(ProfileTowers, SuspensionStringPulledUpHasNoSwingAndReportsItsUpwardLoad) {
    const std::vector<TerrainPoint> terrain{{-10, 0}, {924, 0}};
    const auto line = [](double depth) {
        return std::vector<Tower>{tower("A", 0, TowerKind::strain, 30, 0),
                                  tower("B", 426, TowerKind::suspension, 32.5, -depth),
                                  tower("C", 914, TowerKind::strain, 30, 0)};
    };
    const LineProfile deep = check(terrain, line(90));
    double mostNegative = 0;
    std::size_t at = 0;
    for (std::size_t k = 0; k < 9; ++k) {
        const double p = deep.sections[0].stress[k] / deep.verticalLoad[k];
        const double lv = (426 - lowPoint(426, -90, p)) + lowPoint(488, 90, p);
        const double down = deep.verticalLoad[k] * kArea * lv + 300;
        EXPECT_NEAR(deep.towers[1].verticalSpan[k], lv, 1e-6);
        if (down <= 0) {
            ASSERT_TRUE(deep.towers[1].upliftLoad[k].has_value()) << k;
            EXPECT_NEAR(*deep.towers[1].upliftLoad[k], -down, 1e-5);
            EXPECT_TRUE(std::isnan(deep.towers[1].swingAngle[k]));
            if (lv < mostNegative) {
                mostNegative = lv;
                at = k;
            }
        } else {
            EXPECT_FALSE(deep.towers[1].upliftLoad[k].has_value()) << k;
            EXPECT_LT(deep.towers[1].swingAngle[k], 90);
        }
    }
    ASSERT_LT(mostNegative, 0);
    ASSERT_EQ(deep.violations.size(), 1u);
    const auto& v = deep.violations[0];
    EXPECT_EQ(v.kind, ViolationKind::uplift);
    EXPECT_EQ(v.condition, std::optional<std::size_t>(at));
    EXPECT_NEAR(v.value, mostNegative, 1e-6);
    ASSERT_TRUE(v.load.has_value());
    EXPECT_NEAR(*v.load, -(deep.verticalLoad[at] * kArea * mostNegative + 300), 1e-5);

    // Sunk less, the weight span just below 0 (−15 m): half the string's weight still holds
    // it down (9.04 N/m × 15 m < 300 N), so nothing is pulled up.
    double lo = 0, hi = 90;
    for (int i = 0; i < 60; ++i) {
        const double mid = 0.5 * (lo + hi);
        const LineProfile p = check(terrain, line(mid));
        double least = 1e9;
        for (double lv : p.towers[1].verticalSpan) least = std::min(least, lv);
        (least > -15 ? lo : hi) = mid;
    }
    const LineProfile shallow = check(terrain, line(lo));
    EXPECT_NEAR(*std::min_element(shallow.towers[1].verticalSpan.begin(),
                                  shallow.towers[1].verticalSpan.end()),
                -15, 0.01);
    EXPECT_FALSE(shallow.towers[1].uplift);
    EXPECT_TRUE(shallow.violations.empty());
}

// A strain tower at the bottom of a valley: each side's string is held by its own side's
// weight span only; the conductor rising from the tower into the span pulls it up.
TEST(ProfileTowers, StrainTowerSidesAreCheckedForUpliftEachOnItsOwn) {
    const std::vector<TerrainPoint> terrain{{-10, 0}, {924, 0}};
    const std::vector<Tower> towers{tower("A", 0, TowerKind::strain, 30, 0),
                                    tower("B", 426, TowerKind::strain, 30, -90),
                                    tower("C", 914, TowerKind::strain, 30, 0)};
    const LineProfile p = check(terrain, towers);
    ASSERT_EQ(p.sections.size(), 2u);
    double mostNegative = 0;
    std::size_t at = 0;
    for (std::size_t k = 0; k < 9; ++k) {
        const double w = p.verticalLoad[k] * kArea;
        const double behind = 426 - lowPoint(426, -90, p.sections[0].stress[k] / p.verticalLoad[k]);
        const double ahead = lowPoint(488, 90, p.sections[1].stress[k] / p.verticalLoad[k]);
        const double side = std::min(behind, ahead);
        const double down = w * side + 300;
        EXPECT_EQ(p.towers[1].upliftLoad[k].has_value(), down <= 0) << k;
        if (down <= 0) {
            EXPECT_NEAR(*p.towers[1].upliftLoad[k], -down, 1e-5);
            if (side < mostNegative) {
                mostNegative = side;
                at = k;
            }
        }
    }
    ASSERT_LT(mostNegative, 0);
    EXPECT_TRUE(p.towers[1].uplift);
    EXPECT_TRUE(p.towers[1].swingAngle.empty());
    ASSERT_EQ(p.violations.size(), 1u);
    EXPECT_EQ(p.violations[0].kind, ViolationKind::uplift);
    EXPECT_EQ(p.violations[0].where, "B");
    EXPECT_EQ(p.violations[0].condition, std::optional<std::size_t>(at));
    EXPECT_NEAR(p.violations[0].value, mostNegative, 1e-6);
}

// The stress at a support past its limit names the condition that gives it.
TEST(ProfileTowers, SuspensionPointNamesItsCondition) {
    ProfileOptions options;
    options.suspensionSafety = 4;
    const LineProfile p = check(kLevel, levelThree(), SpanModel::catenary, {}, options);
    ASSERT_FALSE(p.violations.empty());
    const auto& v = p.violations[0];
    ASSERT_EQ(v.kind, ViolationKind::suspensionPoint);
    std::size_t worst = 0;
    double largest = 0;
    for (std::size_t k = 0; k < 9; ++k) {
        const SpanCurve c(SpanModel::catenary, 400, 0, p.sections[0].stress[k], p.load[k]);
        if (c.nearStress() > largest) {
            largest = c.nearStress();
            worst = k;
        }
    }
    EXPECT_EQ(v.condition, std::optional<std::size_t>(worst));
    EXPECT_NEAR(v.value, largest, 1e-9);
}

class SwungStrings : public testing::TestWithParam<SpanModel> {};

// A barn 15 m beside the middle of a level 400 m span between two suspension towers, its top at
// 10 m, the conductor's clamps at 30 m. In a condition with wind v (at 10 m) and ice b each
// string swings by φ = atan(P / (G/2 + W·400)), P the conductor's wind on its 400 m wind span
// at the arm (μsc·1.28·(v²·1.14/1600)·α·400·21.6 N, α 0.75 from 20 m/s, else 1), W its weight
// with the ice: its clamp moves 2.5·sin φ towards the barn and 2.5·(1 − cos φ) up. The conductor
// hangs between the moved clamps (still level) in the plane of its load, swung by
// η = atan(γ_h/γ_v), γ_h = μsc·1.28·(v²·1.14/1600)·α·21.6/A the same wind on a metre of it (at
// the mean of the two arms' 32.5 m) per mm²; its sag f in that plane moves the middle f·sin η
// aside and f·cos η down. In still air (the largest sag) it hangs plumb. The clearance is the
// least of these.
TEST_P(SwungStrings, MoveTheConductorTowardsTheBuilding) {
    const std::vector<Tower> towers{tower("A", 0, TowerKind::strain, 30, 0),
                                    tower("B", 400, TowerKind::suspension, 32.5, 0),
                                    tower("C", 800, TowerKind::suspension, 32.5, 0),
                                    tower("D", 1200, TowerKind::strain, 30, 0)};
    const std::vector<Crossing> barn{{"barn", 600, 10, 5, 15.0}};
    const LineProfile p = check(kLevel, towers, GetParam(), barn);
    const auto sag = [&](double sigma, double g) {
        const double par = sigma / g;
        return GetParam() == SpanModel::catenary ? par * (std::cosh(200 / par) - 1)
                                                 : g * 400 * 400 / (8 * sigma);
    };
    const std::size_t still = p.spans[1].maxSagCondition;
    double least = std::hypot(15, 30 - sag(p.sections[0].stress[still], kWeight / kArea) - 10);
    std::size_t at = still;
    double phiAt = 0, etaAt = 0, plumbAt = least;
    for (std::size_t k = 0; k < 9; ++k) {
        const double v = areaSix().list[k].windSpeed, b = areaSix().list[k].iceThickness;
        if (v == 0) continue;
        const double alpha = v < 20 ? 1 : 0.75;
        const double shape = b > 0 ? 1.2 : 1.1;
        const double w = kWeight + 0.9 * std::numbers::pi * 9.80665e-3 * b * (21.6 + b);
        const double wind = shape * 1.28 * (v * v * 1.14 / 1600) * alpha * 400 * 21.6;
        const double phi = std::atan(wind / (300 + w * 400));
        const double gv = w / kArea;
        const double gh = shape * 1.28 * (v * v * 1.14 / 1600) * alpha * 21.6 / kArea;
        const double eta = std::atan(gh / gv);
        const double f = sag(p.sections[0].stress[k], std::hypot(gv, gh));
        const double y = 2.5 * std::sin(phi) + f * std::sin(eta);
        const double z = 30 + 2.5 * (1 - std::cos(phi)) - f * std::cos(eta);
        const double d = std::hypot(15 - y, z - 10);
        if (d < least) {
            least = d;
            at = k;
            phiAt = phi;
            etaAt = eta;
            plumbAt = std::hypot(15 - f * std::sin(eta), 30 - f * std::cos(eta) - 10);
        }
    }
    const auto& c = p.spans[1].crossings.at(0);
    EXPECT_EQ(c.condition, at);
    EXPECT_NEAR(c.clearance, least, 1e-7);
    EXPECT_NEAR(c.nearStringSwing, phiAt / kDegree, 1e-9);
    EXPECT_NEAR(c.farStringSwing, phiAt / kDegree, 1e-9);
    EXPECT_NEAR(c.conductorSwing, etaAt / kDegree, 1e-9);
    // The strings left hanging plumb would report it farther.
    EXPECT_GT(plumbAt - c.clearance, 0.3);
}

INSTANTIATE_TEST_SUITE_P(Models, SwungStrings,
                         testing::Values(SpanModel::catenary, SpanModel::parabola));

struct Refusal {
    const char* what;
    void (*spoil)(std::vector<Tower>&, ProfileOptions&);
};

class TowerRefusals : public testing::TestWithParam<Refusal> {};

TEST_P(TowerRefusals, AreInvalidArguments) {
    std::vector<Tower> towers = levelThree();
    ProfileOptions options;
    EXPECT_NO_THROW(check(kLevel, towers, SpanModel::catenary, {}, options));
    GetParam().spoil(towers, options);
    EXPECT_THROW(check(kLevel, towers, SpanModel::catenary, {}, options), std::invalid_argument)
        << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, TowerRefusals,
    testing::Values(Refusal{"a name twice", [](auto& w, auto&) { w[2].name = "A"; }},
                    Refusal{"a suspension tower at 90 degrees",
                            [](auto& w, auto&) { w[1].angle = -90; }},
                    Refusal{"past the type's angle",
                            [](auto& w, auto&) {
                                w[1].angle = 12;
                                w[1].maxAngle = 10;
                            }},
                    // 大雨, a condition the area does not have
                    Refusal{"a limit in no condition",
                            [](auto& w, auto&) {
                                w[1].maxSwingIn = {{"\u5927\u96E8", 40}};
                            }},
                    Refusal{"a wind height of 12 m", [](auto&, auto& o) { o.windHeight = 12; }},
                    Refusal{"an α of 0", [](auto&, auto& o) { o.loadAlpha = 0; }},
                    Refusal{"an α above 1", [](auto&, auto& o) { o.clearanceAlpha = 1.2; }}));

}  // namespace
