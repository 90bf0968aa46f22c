// The wind rules of the line check: the speed at 15 m, the design code's two rows of α, the
// conductor's wind with another α, and the conditions in which the swing is checked.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "calc/coefficients.h"
#include "calc/wind_loads.h"
#include "design/condition_roles.h"
#include "design/wind_rules.h"
#include "support/core_fixtures.h"

namespace {

using varnel::design::clearanceAlpha;
using varnel::design::conductorWindLoad;
using varnel::design::speedAt10m;
using varnel::design::speedAt15m;
using varnel::design::towerLoadAlpha;
using varnel::test::ConditionList;
using varnel::test::coreCondition;

TEST(WindRules, TenMetreSpeedsAreRaisedToFifteenMetresInTerrainB) {
    // μz(15 m) of the 10 m table, terrain B, is 1.14: 23.5·√1.14 = 23.5 × 1.0677078 = 25.091134.
    EXPECT_NEAR(speedAt15m(23.5, 10), 25.091134, 5e-7);
    EXPECT_DOUBLE_EQ(speedAt15m(23.5, 10) * speedAt15m(23.5, 10), 23.5 * 23.5 * 1.14);
    EXPECT_EQ(speedAt15m(25, 15), 25);
    EXPECT_EQ(speedAt10m(23.5, 10), 23.5);
    EXPECT_NEAR(speedAt10m(speedAt15m(27, 10), 15), 27, 1e-13);
}

struct AlphaCase {
    double speed;  // m/s at 10 m
    double loads;
    double clearance;
};

class DesignCodeAlpha : public testing::TestWithParam<AlphaCase> {};

// GB 50545-2010 Table 10.1.18-1, by the basic speed V at 10 m: the row for the towers' loads and
// the row for the electrical clearance, each step taken at its lower edge.
TEST_P(DesignCodeAlpha, FollowsTheTablesTwoRows) {
    const AlphaCase c = GetParam();
    EXPECT_EQ(towerLoadAlpha(c.speed), c.loads) << c.speed;
    EXPECT_EQ(clearanceAlpha(c.speed), c.clearance) << c.speed;
}

INSTANTIATE_TEST_SUITE_P(Tables, DesignCodeAlpha,
                         testing::Values(AlphaCase{0, 1.00, 1.00}, AlphaCase{19.99, 1.00, 1.00},
                                         AlphaCase{20, 0.85, 0.75}, AlphaCase{23.5, 0.85, 0.75},
                                         AlphaCase{26.99, 0.85, 0.75}, AlphaCase{27, 0.75, 0.61},
                                         AlphaCase{31.49, 0.75, 0.61}, AlphaCase{31.5, 0.70, 0.61},
                                         AlphaCase{40, 0.70, 0.61}));

// With the library's α the conductor's wind is the library's routine to the bit, ice and all.
TEST(WindRules, ConductorWindWithTheLibrarysAlphaIsTheLibrarys) {
    varnel::LineAttrib conductor = varnel::test::coreJlg1a240();
    for (double v : {0.0, 12.0, 19.99, 20.0, 25.0913, 29.9, 31.5, 36.0}) {
        for (double ice : {0.0, 5.0, 19.9, 20.0, 30.0}) {
            for (double d : {16.99, 21.6, 33.8}) {
                conductor.diameter = d;
                for (double height : {8.0, 15.0, 24.0, 61.5}) {
                    for (double angle : {30.0, 90.0}) {
                        const auto c = coreCondition("x", ice, v, 0);
                        EXPECT_EQ(conductorWindLoad(v, ice, d, 385, height, angle,
                                                    varnel::windAsymmetryCoff(v, ice)),
                                  varnel::conductorWind(c, conductor, 385, height, angle))
                            << v << " " << ice << " " << d << " " << height << " " << angle;
                    }
                }
            }
        }
    }
    // The published case: 25 m/s, 21.6 mm, 300 m at 15 m, across: 1.1·1·0.390625·0.85·300·0.0216.
    EXPECT_NEAR(conductorWindLoad(25, 0, 21.6, 300, 15, 90, 0.85), 2.36671875, 1e-12);
}

// Condition names in GBK as the loaders give them.
const char* const kNine[] = {"\xB5\xCD\xCE\xC2", "\xB4\xF3\xB7\xE7", "\xC4\xEA\xC6\xBD",
                             "\xB8\xB2\xB1\xF9", "\xB8\xDF\xCE\xC2", "\xD0\xA3\xD1\xE9",
                             "\xB0\xB2\xD7\xB0", "\xCD\xE2\xB9\xFD", "\xC4\xDA\xB9\xFD"};

std::vector<bool> rolesOf(const std::vector<std::string>& names, double wind = 10) {
    std::vector<varnel::WeatherCondition> list;
    for (const std::string& n : names) list.push_back(coreCondition(n.c_str(), 0, wind, 0));
    const ConditionList conditions(list);
    return varnel::design::swingConditions(conditions.seq);
}

TEST(ConditionRoles, SwingIsCheckedInStrongWindOverVoltagesAndLiveLineWork) {
    const std::vector<std::string> nine(std::begin(kNine), std::end(kNine));
    const std::vector<bool> expected{false, true, false, false, false, false, false, true, true};
    EXPECT_EQ(rolesOf(nine), expected);
    // English names, in another order.
    EXPECT_EQ(rolesOf({"S.O", "Thickest ice", "Max. wind vel", "L.O", "Setting"}),
              (std::vector<bool>{true, false, true, true, false}));
    // Live-line work where the area has it (带电作业), a tenth condition.
    std::vector<std::string> ten = nine;
    ten.push_back("\xB4\xF8\xB5\xE7\xD7\xF7\xD2\xB5");
    std::vector<bool> withLive = expected;
    withLive.push_back(true);
    EXPECT_EQ(rolesOf(ten), withLive);
    // Unnamed: by place in a nine- or six-condition area; else every condition with wind.
    EXPECT_EQ(rolesOf({"a", "b", "c", "d", "e", "f", "g", "h", "i"}), expected);
    EXPECT_EQ(rolesOf({"a", "b", "c", "d", "e", "f"}),
              (std::vector<bool>{false, true, false, false, false, false}));
    EXPECT_EQ(rolesOf({"a", "b", "c"}), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(rolesOf({"a", "b", "c"}, 0), (std::vector<bool>{false, false, false}));
}

}  // namespace
