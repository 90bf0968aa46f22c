// The highest temperature the clearances allow, against the parabolic state equation solved for
// the temperature by hand: it is linear in t, so the temperature at which a level span reaches a
// given sag has a closed form.
#include "design/profile_solve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "calc/catenary_state.h"
#include "support/core_fixtures.h"

namespace {

using varnel::SpanModel;
using varnel::design::checkProfile;
using varnel::design::Crossing;
using varnel::design::LineProfile;
using varnel::design::maxTemperatureForClearances;
using varnel::design::ProfileOptions;
using varnel::design::TemperatureLimit;
using varnel::design::TerrainPoint;
using varnel::design::Tower;
using varnel::design::TowerKind;
using varnel::design::ViolationKind;
using varnel::test::ConditionList;

const ConditionList& areaSix() {
    static const ConditionList list(varnel::test::areaSixConditions());
    return list;
}

constexpr double kSpan = 420;  // m
constexpr double kArm = 24;    // m, both strain towers, on level ground at 0

// One level span between two strain towers over flat ground.
struct LevelSpan {
    std::vector<TerrainPoint> terrain{{-10, 0}, {kSpan + 10, 0}};
    std::vector<Tower> towers;
    LevelSpan() {
        for (const char* name : {"A", "B"}) {
            Tower t;
            t.name = name;
            t.station = towers.empty() ? 0 : kSpan;
            t.kind = TowerKind::strain;
            t.armHeight = kArm;
            towers.push_back(t);
        }
    }
    LineProfile check(SpanModel model, double groundClearance,
                      const std::vector<Crossing>& crossings = {}) const {
        ProfileOptions options;
        options.model = model;
        options.groundClearance = groundClearance;
        return checkProfile(varnel::test::coreJlg1a240(), areaSix().seq, {}, terrain, towers,
                            crossings, options);
    }
};

// The state equation solved for the temperature at which a level span of the profile's only
// section hangs at σ with the bare conductor's load γ:
//   σ − E·γ²·l²/(24σ²) = σm − E·γm²·l²/(24σm²) − α·E·(t − tm).
double temperatureAtStress(const LineProfile& p, double sigma) {
    const varnel::LineAttrib c = varnel::test::coreJlg1a240();
    const auto& s = p.sections.front();
    const double e = c.elasticModulus;
    const double l = kSpan;
    const double gm = p.load[s.controlling];
    const double sm = s.controlStress;
    const double tm = areaSix().list[s.controlling].temperature;
    const double g = c.unitMass * 9.80665 / 1000 / c.area;  // the bare conductor's
    const double known = sm - e * gm * gm * l * l / (24 * sm * sm);
    const double sought = sigma - e * g * g * l * l / (24 * sigma * sigma);
    return tm + (known - sought) / (c.expansionCoeff * e);
}

TEST(MaxTemperatureForClearances, GroundOfALevelSpanMatchesTheStateEquationSolvedForT) {
    const LevelSpan line;
    const LineProfile p = line.check(SpanModel::parabola, 8.5);
    const TemperatureLimit r = maxTemperatureForClearances(p, varnel::test::coreJlg1a240(),
                                                           areaSix().seq, line.terrain, {});
    ASSERT_EQ(r.items.size(), 1u);
    // Lowest at mid-span: kArm − γ·l²/(8σ) = 8.5 m.
    const varnel::LineAttrib c = varnel::test::coreJlg1a240();
    const double g = c.unitMass * 9.80665 / 1000 / c.area;
    const double sigma = g * kSpan * kSpan / (8 * (kArm - 8.5));
    const double expected = temperatureAtStress(p, sigma);
    EXPECT_GT(expected, 40);  // within the range searched, and hotter than the area's 高温
    EXPECT_LT(expected, 250);
    EXPECT_NEAR(r.temperature, expected, 2e-6);
    EXPECT_NEAR(r.items[0].station, kSpan / 2, 1e-6);
    ASSERT_TRUE(r.limiting.has_value());
    EXPECT_EQ(r.items[*r.limiting].kind, ViolationKind::ground);
}

TEST(MaxTemperatureForClearances, TheLeastOfGroundAndCrossingSetsIt) {
    const LevelSpan line;
    // A power line's top 100 m along, at 12 m, to be cleared by 4 m: the sag there may reach
    // 8 m, γ·x·(l − x)/(2σ) = 8.
    const std::vector<Crossing> crossings{{"power line", 100, 12, 4, std::nullopt}};
    const LineProfile p = line.check(SpanModel::parabola, 6, crossings);
    const TemperatureLimit r = maxTemperatureForClearances(p, varnel::test::coreJlg1a240(),
                                                           areaSix().seq, line.terrain, crossings);
    ASSERT_EQ(r.items.size(), 2u);
    const varnel::LineAttrib c = varnel::test::coreJlg1a240();
    const double g = c.unitMass * 9.80665 / 1000 / c.area;
    const double atGround = temperatureAtStress(p, g * kSpan * kSpan / (8 * (kArm - 6)));
    const double atCrossing = temperatureAtStress(p, g * 100 * (kSpan - 100) / (2 * 8));
    EXPECT_NEAR(r.items[0].temperature, atGround, 2e-6);
    EXPECT_NEAR(r.items[1].temperature, atCrossing, 2e-6);
    ASSERT_LT(atCrossing, atGround);
    EXPECT_NEAR(r.temperature, atCrossing, 2e-6);
    ASSERT_TRUE(r.limiting.has_value());
    EXPECT_EQ(*r.limiting, 1u);
    EXPECT_EQ(r.items[1].kind, ViolationKind::crossing);
    EXPECT_EQ(r.items[1].crossing, 0u);
}

TEST(MaxTemperatureForClearances, BeyondTheRangeSearchedAndNothingRequired) {
    const LevelSpan line;
    const auto& c = varnel::test::coreJlg1a240();
    // Higher than the arms: it fails at every temperature.
    const LineProfile high = line.check(SpanModel::catenary, kArm + 1);
    const TemperatureLimit fails =
        maxTemperatureForClearances(high, c, areaSix().seq, line.terrain, {});
    EXPECT_EQ(fails.temperature, -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(fails.limiting.has_value());
    // A metre of ground clearance holds up to 60 °C whatever the model.
    const LineProfile low = line.check(SpanModel::catenary, 1);
    const TemperatureLimit holds =
        maxTemperatureForClearances(low, c, areaSix().seq, line.terrain, {}, -40, 60);
    EXPECT_EQ(holds.temperature, std::numeric_limits<double>::infinity());
    EXPECT_FALSE(holds.limiting.has_value());
    // No ground clearance asked and nothing crossed: nothing limits it.
    ProfileOptions options;
    const LineProfile none =
        checkProfile(c, areaSix().seq, {}, line.terrain, line.towers, {}, options);
    const TemperatureLimit free =
        maxTemperatureForClearances(none, c, areaSix().seq, line.terrain, {});
    EXPECT_TRUE(free.items.empty());
    EXPECT_EQ(free.temperature, std::numeric_limits<double>::infinity());
    EXPECT_THROW(maxTemperatureForClearances(low, c, areaSix().seq, line.terrain, {}, 60, 60),
                 std::invalid_argument);
}

// The catenary's answer: at the temperature found, the span's own curve just clears the ground
// (its mid-span sag p·(cosh(l/2p) − 1) from the stress solved at that temperature), and a
// hundredth of a degree hotter it does not.
TEST(MaxTemperatureForClearances, CatenarySpanJustClearsAtTheTemperatureFound) {
    const LevelSpan line;
    const auto& c = varnel::test::coreJlg1a240();
    const LineProfile p = line.check(SpanModel::catenary, 10);
    const TemperatureLimit r = maxTemperatureForClearances(p, c, areaSix().seq, line.terrain, {});
    ASSERT_TRUE(std::isfinite(r.temperature));
    const double g = c.unitMass * 9.80665 / 1000 / c.area;
    const auto& s = p.sections.front();
    const auto clearanceAt = [&](double t) {
        const double sigma = varnel::catenaryStateStress(
            {kSpan, 0}, varnel::ConductorStrain{c.elasticModulus, c.expansionCoeff},
            {p.load[s.controlling], areaSix().list[s.controlling].temperature}, s.controlStress,
            {g, t});
        const double param = sigma / g;
        return kArm - param * (std::cosh(kSpan / (2 * param)) - 1);
    };
    EXPECT_NEAR(clearanceAt(r.temperature), 10, 1e-6);
    EXPECT_GT(clearanceAt(r.temperature - 0.01), 10);
    EXPECT_LT(clearanceAt(r.temperature + 0.01), 10);
}

// On an inclined span the controlling ice-with-wind state hangs in the plane of its load: the
// temperature found is the one at which the check itself, given that temperature as the
// conductor's, finds the clearance just met.
TEST(MaxTemperatureForClearances, AgreesWithTheCheckAtThatTemperatureOnAnInclinedSpan) {
    const auto& c = varnel::test::coreJlg1a240();
    const std::vector<TerrainPoint> terrain{
        {-10, 0}, {0, 0}, {210, 40}, {kSpan, 90}, {kSpan + 10, 90}};
    std::vector<Tower> towers;
    for (const auto& [name, station, ground] :
         {std::tuple{"A", 0.0, 0.0}, std::tuple{"B", kSpan, 90.0}}) {
        Tower t;
        t.name = name;
        t.station = station;
        t.kind = TowerKind::strain;
        t.armHeight = kArm;
        t.groundElevation = ground;
        towers.push_back(t);
    }
    for (const SpanModel model : {SpanModel::catenary, SpanModel::parabola}) {
        ProfileOptions options;
        options.model = model;
        options.groundClearance = 9;
        const LineProfile p = checkProfile(c, areaSix().seq, {}, terrain, towers, {}, options);
        // Ice with its 10 m/s wind controls the span.
        ASSERT_GT(areaSix().list[p.sections[0].controlling].windSpeed, 0);
        const TemperatureLimit r = maxTemperatureForClearances(p, c, areaSix().seq, terrain, {});
        ASSERT_TRUE(std::isfinite(r.temperature));
        ASSERT_GT(r.temperature, 40);  // hotter than the area's own, so it sets the largest sag
        const auto clearanceWith = [&](double t) {
            ProfileOptions hot = options;
            hot.maxTemperature = t;
            const LineProfile q = checkProfile(c, areaSix().seq, {}, terrain, towers, {}, hot);
            EXPECT_EQ(q.spans[0].maxSagCondition, q.conditions.size() - 1);
            return q.spans[0].minClearance;
        };
        EXPECT_NEAR(clearanceWith(r.temperature), 9, 1e-6);
        EXPECT_LT(clearanceWith(r.temperature + 0.01), 9);
    }
}

}  // namespace
