// The profile check: tower spans and loads against the published parabolic formulas and an
// independently solved catenary, ground clearances against brute-force sampling, crossings
// against a sampled swung conductor, and the refusals.
#include "design/line_profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <set>
#include <stdexcept>
#include <vector>

#include "calc/coefficients.h"
#include "calc/wind_loads.h"
#include "design/wind_rules.h"
#include "support/core_fixtures.h"

namespace {

using varnel::SpanCurve;
using varnel::SpanModel;
using varnel::WeatherCondition;
using varnel::design::checkProfile;
using varnel::design::Crossing;
using varnel::design::LineProfile;
using varnel::design::ProfileOptions;
using varnel::design::terrainElevation;
using varnel::design::TerrainPoint;
using varnel::design::Tower;
using varnel::design::TowerKind;
using varnel::design::ViolationKind;
using varnel::test::ConditionList;

constexpr double kDegree = std::numbers::pi / 180;

const ConditionList& areaSix() {
    static const ConditionList list(varnel::test::areaSixConditions());
    return list;
}

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
                  SpanModel model, const std::vector<Crossing>& crossings = {},
                  ProfileOptions options = {}) {
    options.model = model;
    return checkProfile(varnel::test::coreJlg1a240(), areaSix().seq, {}, terrain, towers, crossings,
                        options);
}

// Three towers: the suspension tower B between strain towers A and C, attachments at ground +
// arm (A, C) and ground + arm − 2.5 m (B).
struct ThreeTowers {
    double l1, l2;   // m
    double groundB;  // m, A and C stand on ground at 0
    const char* what;
};

class ThreeTowerSpans : public testing::TestWithParam<ThreeTowers> {};

// The published formula for the weight span of a tower between spans l₁ and l₂, hᵢ the height of
// its attachment above the neighbour's on side i:
//   l_v = (l₁ + l₂)/2 + (σ₀/γ_v)·(h₁/l₁ + h₂/l₂)                     (flat parabola)
//   l_v = (l₁ + l₂)/2 + (σ₀/γ_v)·(h₁·cos β₁/l₁ + h₂·cos β₂/l₂)       (inclined parabola)
// and the wind span l_h = (l₁ + l₂)/2.
TEST_P(ThreeTowerSpans, MatchPublishedParabolicFormulas) {
    const ThreeTowers c = GetParam();
    const std::vector<TerrainPoint> terrain{{-10, 0}, {c.l1 + c.l2 + 10, 0}};
    const std::vector<Tower> towers{tower("A", 0, TowerKind::strain, 30, 0),
                                    tower("B", c.l1, TowerKind::suspension, 32.5, c.groundB),
                                    tower("C", c.l1 + c.l2, TowerKind::strain, 30, 0)};
    const double h = c.groundB;  // B's attachment (ground + 30) above A's and C's (30)
    for (SpanModel model : {SpanModel::flatParabola, SpanModel::parabola}) {
        const LineProfile p = check(terrain, towers, model);
        ASSERT_EQ(p.sections.size(), 1u);
        const double cos1 = c.l1 / std::hypot(c.l1, h);
        const double cos2 = c.l2 / std::hypot(c.l2, h);
        const bool inclined = model == SpanModel::parabola;
        EXPECT_DOUBLE_EQ(p.towers[1].horizontalSpan, (c.l1 + c.l2) / 2);
        for (std::size_t k = 0; k < p.conditions.size(); ++k) {
            const double sigma = p.sections[0].stress[k];
            const double gv = p.verticalLoad[k];
            const double lv =
                (c.l1 + c.l2) / 2 +
                sigma / gv * (h / c.l1 * (inclined ? cos1 : 1) + h / c.l2 * (inclined ? cos2 : 1));
            EXPECT_NEAR(p.towers[1].verticalSpan[k], lv, 1e-9 * (c.l1 + c.l2))
                << c.what << " " << k;
            // W·l_v and the whole string on a suspension tower.
            const double weight = gv * 275.96;
            EXPECT_NEAR(p.towers[1].verticalLoad[k], weight * lv + 600, 1e-6 * weight * c.l1);
            // The end towers: from each to the low point of its one span, half a string.
            const double lvA = c.l1 / 2 - sigma / gv * h / c.l1 * (inclined ? cos1 : 1);
            EXPECT_NEAR(p.towers[0].verticalSpan[k], lvA, 1e-9 * c.l1);
            EXPECT_NEAR(p.towers[0].verticalLoad[k], weight * lvA + 300, 1e-6 * weight * c.l1);
        }
    }
}

// The catenary's low point solved another way: with y(0) = 0 and y(l) = h on
// y = p·cosh((x − a)/p) + C, a is the root of p·(cosh((l − a)/p) − cosh(a/p)) = h, which
// decreases in a; bisection.
double catenaryLowPoint(double l, double h, double p) {
    double lo = -50 * l, hi = 50 * l;
    for (int i = 0; i < 300; ++i) {
        const double mid = 0.5 * (lo + hi);
        const double rise = p * (std::cosh((l - mid) / p) - std::cosh(mid / p));
        (rise > h ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

TEST_P(ThreeTowerSpans, CatenaryWeightSpanIsBetweenTheLowPoints) {
    const ThreeTowers c = GetParam();
    const std::vector<TerrainPoint> terrain{{-10, 0}, {c.l1 + c.l2 + 10, 0}};
    const std::vector<Tower> towers{tower("A", 0, TowerKind::strain, 30, 0),
                                    tower("B", c.l1, TowerKind::suspension, 32.5, c.groundB),
                                    tower("C", c.l1 + c.l2, TowerKind::strain, 30, 0)};
    const LineProfile p = check(terrain, towers, SpanModel::catenary);
    const LineProfile flat = check(terrain, towers, SpanModel::flatParabola);
    for (std::size_t k = 0; k < p.conditions.size(); ++k) {
        const double pk = p.sections[0].stress[k] / p.verticalLoad[k];
        const double a1 = catenaryLowPoint(c.l1, c.groundB, pk);
        const double a2 = catenaryLowPoint(c.l2, -c.groundB, pk);
        EXPECT_NEAR(p.towers[1].verticalSpan[k], (c.l1 - a1) + a2, 1e-6) << c.what << " " << k;
        // Beside the flat parabola: the same within a few metres for these moderate spans.
        EXPECT_NEAR(p.towers[1].verticalSpan[k], flat.towers[1].verticalSpan[k], 0.03 * c.l1);
    }
}

INSTANTIATE_TEST_SUITE_P(Towers, ThreeTowerSpans,
                         testing::Values(ThreeTowers{300, 400, 0, "level"},
                                         ThreeTowers{350, 420, 25, "raised"},
                                         ThreeTowers{426, 488, -28, "28 m below"},
                                         ThreeTowers{250, 600, -60, "deep and unequal"}));

// A suspension tower 28 m below both neighbours, spans 426 and 488 m: it carries far less than
// the mean span; sunk far enough it is pulled up in the coldest condition.
TEST(LineProfile, LowTowerCarriesLessAndDeepOneIsPulledUp) {
    const std::vector<TerrainPoint> terrain{{-10, 0}, {924, 0}};
    const auto line = [&](double depth) {
        return std::vector<Tower>{tower("A", 0, TowerKind::strain, 30, 0),
                                  tower("B", 426, TowerKind::suspension, 32.5, -depth),
                                  tower("C", 914, TowerKind::strain, 30, 0)};
    };
    for (SpanModel model : {SpanModel::catenary, SpanModel::parabola}) {
        const LineProfile low = check(terrain, line(28), model);
        const double mean = (426 + 488) / 2.0;
        for (double lv : low.towers[1].verticalSpan) EXPECT_LT(lv, 0.8 * mean);
        EXPECT_FALSE(low.towers[1].uplift);

        const LineProfile deep = check(terrain, line(90), model);
        EXPECT_TRUE(deep.towers[1].uplift);
        // Pulled up in the coldest condition (低温, −20 °C), the most in the one of largest
        // σ₀/γ_v (the strong wind's tension over the still weight).
        std::size_t tautest = 0;
        for (std::size_t k = 0; k < deep.conditions.size(); ++k) {
            if (deep.sections[0].stress[k] / deep.verticalLoad[k] >
                deep.sections[0].stress[tautest] / deep.verticalLoad[tautest]) {
                tautest = k;
            }
        }
        EXPECT_LT(deep.towers[1].verticalSpan[0], 0);
        const auto uplift =
            std::find_if(deep.violations.begin(), deep.violations.end(),
                         [](const auto& v) { return v.kind == ViolationKind::uplift; });
        ASSERT_NE(uplift, deep.violations.end());
        EXPECT_EQ(uplift->where, "B");
        EXPECT_EQ(uplift->condition, std::optional<std::size_t>(tautest));
        EXPECT_DOUBLE_EQ(uplift->value, deep.towers[1].verticalSpan[tautest]);
    }
}

// Random hilly terrain and towers on it.
struct RandomLine {
    std::vector<TerrainPoint> terrain;
    std::vector<Tower> towers;
};

RandomLine randomLine(unsigned seed, std::size_t count) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> spanLength(250, 550), step(5, 60), slope(-0.25, 0.25),
        arm(22, 40);
    RandomLine r;
    std::vector<double> stations{0};
    // Stations on a 0.1 m grid, so that sampling every 0.1 m meets every kink of the ground.
    const auto grid = [](double x) { return std::round(x * 10) / 10; };
    for (std::size_t i = 1; i < count; ++i) {
        stations.push_back(stations.back() + grid(spanLength(rng)));
    }
    double s = -20, e = 100;
    while (s < stations.back() + 20) {
        r.terrain.push_back({s, e});
        const double d = grid(step(rng));
        s += d;
        e += slope(rng) * d;
    }
    r.terrain.push_back({s, e});
    for (std::size_t i = 0; i < count; ++i) {
        const bool strain = i == 0 || i + 1 == count || i % 4 == 0;
        Tower t = tower("T", stations[i], strain ? TowerKind::strain : TowerKind::suspension,
                        arm(rng), 0);
        t.name = "T" + std::to_string(i + 1);
        t.groundElevation.reset();
        r.towers.push_back(t);
    }
    return r;
}

// The least clearance of a span sampled every 0.1 m (and at its far end).
double sampledClearance(const LineProfile& p, std::size_t i, const std::vector<TerrainPoint>& t) {
    const SpanCurve c = varnel::design::profileCurve(p, i, p.spans[i].maxSagCondition);
    const auto& s = p.spans[i];
    double least = INFINITY;
    const auto n = static_cast<long>(std::floor(s.span / 0.1));
    for (long j = 0; j <= n + 1; ++j) {
        const double x = std::min(s.span, 0.1 * static_cast<double>(j));
        least = std::min(least,
                         s.nearAttachment + c.heightAt(x) - terrainElevation(t, s.nearStation + x));
    }
    return least;
}

class GroundClearance : public testing::TestWithParam<SpanModel> {};

TEST_P(GroundClearance, AgreesWithTenCentimetreSampling) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
        const RandomLine line = randomLine(seed, 9);
        const LineProfile p = check(line.terrain, line.towers, GetParam());
        for (std::size_t i = 0; i < p.spans.size(); ++i) {
            const double sampled = sampledClearance(p, i, line.terrain);
            EXPECT_LE(p.spans[i].minClearance, sampled + 1e-9) << seed << " " << i;
            EXPECT_GT(p.spans[i].minClearance, sampled - 1e-3) << seed << " " << i;
            // And it is where it says.
            const SpanCurve c = varnel::design::profileCurve(p, i, p.spans[i].maxSagCondition);
            const double x = p.spans[i].minClearanceStation - p.spans[i].nearStation;
            EXPECT_NEAR(p.spans[i].nearAttachment + c.heightAt(x) -
                            terrainElevation(line.terrain, p.spans[i].minClearanceStation),
                        p.spans[i].minClearance, 1e-9);
        }
    }
}

// Towers cut short: with the required clearance just above some spans' least clearance, the
// ground violations name exactly the spans whose sampled clearance is below it.
TEST_P(GroundClearance, ShortTowersReportExactlyTheSpansBelow) {
    RandomLine line = randomLine(11, 13);
    const LineProfile tall = check(line.terrain, line.towers, GetParam());
    std::vector<double> least;
    for (const auto& s : tall.spans) least.push_back(s.minClearance);
    std::sort(least.begin(), least.end());
    const double required = least[least.size() / 2] + 0.5;  // some spans hold, some do not
    for (Tower& t : line.towers) t.armHeight -= 1;
    ProfileOptions options;
    options.groundClearance = required;
    const LineProfile shorter = check(line.terrain, line.towers, GetParam(), {}, options);
    std::set<std::size_t> expected, reported;
    for (std::size_t i = 0; i < shorter.spans.size(); ++i) {
        if (sampledClearance(shorter, i, line.terrain) < required) expected.insert(i);
        EXPECT_EQ(shorter.spans[i].ok, !(shorter.spans[i].minClearance < required));
    }
    for (const auto& v : shorter.violations) {
        if (v.kind == ViolationKind::ground) {
            reported.insert(v.index);
            EXPECT_EQ(v.limit, required);
        }
    }
    EXPECT_FALSE(expected.empty());
    EXPECT_LT(expected.size(), shorter.spans.size());
    EXPECT_EQ(reported, expected);
}

INSTANTIATE_TEST_SUITE_P(Models, GroundClearance,
                         testing::Values(SpanModel::catenary, SpanModel::parabola,
                                         SpanModel::flatParabola));

// A crossing beside the line: the least distance from the swung conductor, sampled every 1 cm
// along the span, over the wind conditions and the still one of the largest sag. In wind the
// strings at the span's ends swing by their φ (the clamps move λ·sin φ aside, λ·(1 − cos φ) up)
// and the conductor hangs between them in the plane of the chord and its load (the library's
// conductor wind on a metre at the arms' mean height with the clearance's α), its sag along the
// load.
TEST(LineProfile, OffsetCrossingAgreesWithSampledSwungConductor) {
    const RandomLine line = randomLine(5, 5);
    const double x0 = 0.5 * (line.towers[1].station + line.towers[2].station);
    const double ground = terrainElevation(line.terrain, x0);
    const std::vector<Crossing> crossings{{"house", x0, ground + 8, 6, 9.0},
                                          {"road", line.towers[2].station + 40, ground, 7, {}}};
    const LineProfile p = check(line.terrain, line.towers, SpanModel::catenary, crossings);
    const auto& s = p.spans[1];
    ASSERT_EQ(s.crossings.size(), 1u);
    ASSERT_EQ(line.towers[1].kind, TowerKind::suspension);
    ASSERT_EQ(line.towers[2].kind, TowerKind::suspension);
    double least = INFINITY;
    const auto area = areaSix().list;
    for (std::size_t k = 0; k < p.conditions.size(); ++k) {
        // The area's conditions, then its ice without wind.
        const WeatherCondition w = k < area.size() ? area[k] : WeatherCondition{};
        const bool wind = w.windSpeed != 0;
        if (!wind && k != s.maxSagCondition) continue;
        // The library's conductor wind on a metre at 15 m's speed and the arms' mean height,
        // its α replaced by the clearance's, per mm².
        WeatherCondition at15 = w;
        at15.windSpeed = w.windSpeed * std::sqrt(1.14);
        const double alpha = varnel::design::clearanceAlpha(w.windSpeed) *
                             (w.iceThickness >= 20 ? 1.5 : 1) /
                             varnel::windAsymmetryCoff(at15.windSpeed, w.iceThickness);
        const double height = 0.5 * (line.towers[1].armHeight + line.towers[2].armHeight);
        const double gh =
            wind ? 1000 * varnel::conductorWind(at15, varnel::test::coreJlg1a240(), 1, height, 90) *
                       alpha / 275.96
                 : 0;
        const double eta = std::atan(gh / p.verticalLoad[k]);
        const double phi0 = wind ? p.towers[1].swingAngle[k] * kDegree : 0;
        const double phi1 = wind ? p.towers[2].swingAngle[k] * kDegree : 0;
        const double y0 = 2.5 * std::sin(phi0), z0 = s.nearAttachment + 2.5 * (1 - std::cos(phi0));
        const double y1 = 2.5 * std::sin(phi1), z1 = s.farAttachment + 2.5 * (1 - std::cos(phi1));
        // The chord's parts across the load and against it, in the plane of the chord and load.
        const double across = std::sqrt(
            s.span * s.span + std::pow((y1 - y0) * std::cos(eta) + (z1 - z0) * std::sin(eta), 2));
        const double rise = (z1 - z0) * std::cos(eta) - (y1 - y0) * std::sin(eta);
        const SpanCurve c(SpanModel::catenary, across, rise, p.sections[s.section].stress[k],
                          std::hypot(p.verticalLoad[k], gh));
        for (double t = 0; t <= 1; t += 0.01 / s.span) {
            const double sag = c.sagAt(t * across);
            const double dx = s.nearStation + t * s.span - x0;
            const double dy = 9.0 - (y0 + t * (y1 - y0) + sag * std::sin(eta));
            const double dz = z0 + t * (z1 - z0) - sag * std::cos(eta) - (ground + 8);
            least = std::min(least, std::sqrt(dx * dx + dy * dy + dz * dz));
        }
    }
    EXPECT_LE(s.crossings[0].clearance, least + 1e-9);
    EXPECT_GT(s.crossings[0].clearance, least - 1e-3);
    // The road, without an offset: straight up from it in the largest sag.
    const auto& road = p.spans[2].crossings.at(0);
    const SpanCurve c = varnel::design::profileCurve(p, 2, p.spans[2].maxSagCondition);
    EXPECT_NEAR(road.clearance, p.spans[2].nearAttachment + c.heightAt(40) - ground, 1e-9);
    EXPECT_EQ(road.ok, road.clearance >= 7);
}

// The line angle's pull on a tower in still air: 2·T·sin(θ/2), T = σ₀·A.
TEST(LineProfile, LineAngleAddsTwiceTheTensionTimesHalfTheSine) {
    const std::vector<TerrainPoint> terrain{{-10, 0}, {810, 0}};
    std::vector<Tower> towers{tower("A", 0, TowerKind::strain, 30, 0),
                              tower("B", 400, TowerKind::suspension, 32.5, 0),
                              tower("C", 800, TowerKind::strain, 30, 0)};
    towers[1].angle = 20;
    const LineProfile p = check(terrain, towers, SpanModel::catenary);
    for (std::size_t k = 0; k < p.conditions.size(); ++k) {
        // The area's conditions in still air, and its ice without wind after them.
        if (k < areaSix().list.size() && areaSix().list[k].windSpeed != 0) continue;
        const double tension = p.sections[0].stress[k] * 275.96;
        EXPECT_NEAR(p.towers[1].horizontalLoad[k], 2 * tension * std::sin(10 * kDegree),
                    1e-9 * tension);
        // Still air: the angle's pull alone swings the string, held by half its weight and the
        // conductor's over the weight span.
        const double down = p.verticalLoad[k] * 275.96 * p.towers[1].verticalSpan[k] + 300;
        EXPECT_NEAR(p.towers[1].swingAngle[k],
                    std::atan(2 * tension * std::sin(10 * kDegree) / down) / kDegree, 1e-9);
    }
}

struct Refusal {
    const char* what;
    void (*spoil)(std::vector<TerrainPoint>&, std::vector<Tower>&, std::vector<Crossing>&);
};

class Refusals : public testing::TestWithParam<Refusal> {};

TEST_P(Refusals, AreInvalidArguments) {
    std::vector<TerrainPoint> terrain{{0, 0}, {500, 5}, {1000, 0}};
    std::vector<Tower> towers{tower("A", 0, TowerKind::strain, 30, 0),
                              tower("B", 500, TowerKind::suspension, 32.5, 0),
                              tower("C", 1000, TowerKind::strain, 30, 0)};
    std::vector<Crossing> crossings{{"road", 250, 0, 7, {}}};
    EXPECT_NO_THROW(check(terrain, towers, SpanModel::catenary, crossings));
    GetParam().spoil(terrain, towers, crossings);
    EXPECT_THROW(check(terrain, towers, SpanModel::catenary, crossings), std::invalid_argument)
        << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, Refusals,
    testing::Values(
        Refusal{"terrain out of order", [](auto& ground, auto&, auto&) { ground[1].station = 0; }},
        Refusal{"tower off the terrain", [](auto&, auto& w, auto&) { w[2].station = 1001; }},
        Refusal{"towers out of order", [](auto&, auto& w, auto&) { w[1].station = 0; }},
        Refusal{"a single tower", [](auto&, auto& w, auto&) { w.resize(1); }},
        Refusal{"last tower suspension",
                [](auto&, auto& w, auto&) { w[2].kind = TowerKind::suspension; }},
        Refusal{"negative height", [](auto&, auto& w, auto&) { w[1].armHeight = -1; }},
        Refusal{"crossing off the line", [](auto&, auto&, auto& c) { c[0].station = -5; }},
        Refusal{"negative clearance", [](auto&, auto&, auto& c) { c[0].clearance = -1; }}));

}  // namespace
