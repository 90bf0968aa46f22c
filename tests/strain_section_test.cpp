// The strain section: ruling span, stresses, sags and the stringing table.
#include "design/strain_section.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "calc/state_equation.h"
#include "support/core_fixtures.h"

namespace {

using varnel::LoadState;
using varnel::stateEquationStress;
using varnel::design::rulingSpan;
using varnel::design::SpanGeometry;

SpanGeometry inclined(double length, double degrees) {
    return {length, length * std::tan(degrees * std::numbers::pi / 180)};
}

TEST(RulingSpan, LevelSpansAndSingleSpans) {
    // √((250³ + 300³ + 350³ + 400³) / 1300), worked by hand: 339.116 m.
    const auto level = rulingSpan({{250, 0}, {300, 0}, {350, 0}, {400, 0}});
    EXPECT_NEAR(level.span, 339.1165, 5e-4);
    EXPECT_EQ(level.cosAngle, 1.0);
    const auto one = rulingSpan({inclined(420, 25)});
    EXPECT_NEAR(one.span, 420, 1e-9);
    EXPECT_NEAR(one.cosAngle, std::cos(25 * std::numbers::pi / 180), 1e-15);
    EXPECT_THROW(rulingSpan({}), std::invalid_argument);
    EXPECT_THROW(rulingSpan({{300, 0}, {0, 5}}), std::invalid_argument);
    EXPECT_THROW(rulingSpan({{300, NAN}}), std::invalid_argument);
}

// The section's own balance of unstressed conductor length, solved for σ by bisection: each span
// l/c + γ²·l³·c/(24σ²) long at mean stress σ/c, strung from (γm, tm, σm) to (γ, t).
double sectionBalance(const std::vector<SpanGeometry>& spans, double e, double alpha, double gm,
                      double tm, double sm, double g, double t) {
    auto unstressed = [&](double gamma, double temperature, double sigma) {
        double total = 0;
        for (const auto& s : spans) {
            const double c = s.length / std::hypot(s.length, s.heightDifference);
            const double length =
                s.length / c + gamma * gamma * std::pow(s.length, 3) * c / (24 * sigma * sigma);
            total += length - (s.length / c) * (sigma / (c * e) + alpha * temperature);
        }
        return total;
    };
    const double target = unstressed(gm, tm, sm);
    double lo = 1e-3, hi = 1e3;  // the length falls as σ rises
    for (int i = 0; i < 200; ++i) {
        const double mid = (lo + hi) / 2;
        (unstressed(g, t, mid) > target ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
}

TEST(RulingSpan, InclinedSectionAgreesWithItsLengthBalance) {
    const std::vector<SpanGeometry> spans{inclined(300, 10), inclined(420, 25), inclined(250, 0),
                                          inclined(380, -15)};
    const auto r = rulingSpan(spans);
    // LGJ-185/30 (E 76000, α 18.9e-6): from the ice at −5 °C, 94.90 N/mm², to 40 °C calm.
    const double viaRuling =
        stateEquationStress(r.span, r.cosAngle, 76000, 18.9e-6, LoadState{102.30e-3, -5}, 94.90,
                            LoadState{34.06e-3, 40});
    const double direct = sectionBalance(spans, 76000, 18.9e-6, 102.30e-3, -5, 94.90, 34.06e-3, 40);
    // The balance drops the same second-order terms as the state equation.
    EXPECT_NEAR(viaRuling, direct, 1e-3 * direct);
    EXPECT_NEAR(viaRuling, 31.6556, 5e-4);
}

}  // namespace

namespace {

using varnel::design::designSection;
using varnel::design::SearchFactors;
using varnel::design::stringingTable;
using varnel::design::TemperatureRange;

struct Area {
    varnel::test::ConditionList conditions{[] {
        auto nine = varnel::test::areaSixConditions();
        nine.resize(5);  // 低温, 大风, 年平, 覆冰, 高温
        return nine;
    }()};
    const std::vector<varnel::WeatherCondition>& list = conditions.list;
    const varnel::WeatherConditionSeq& seq = conditions.seq;
};

using varnel::test::coreJlg1a240;

// The catenary of an inclined span, solved exactly: the stress along the conductor at the higher
// support is σ + γ·y there, y its height above the lowest point.
double catenaryHigherSupport(double sigma, double gamma, double l, double h) {
    const double a = sigma / gamma;
    const double x0 = l / 2 - a * std::asinh(std::fabs(h) / (2 * a * std::sinh(l / (2 * a))));
    return sigma * std::cosh((l - x0) / a);
}

TEST(Section, SagsAndTheStressAtTheHigherSupport) {
    const Area area;
    const std::vector<SpanGeometry> spans{{320, 0}, {385, 12.5}, {452, -31.5}};
    const auto d = designSection(coreJlg1a240(), area.seq, SearchFactors{}, spans);
    ASSERT_GE(d.controlling, 0);
    ASSERT_EQ(d.spans.size(), 3u);
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const double l = spans[i].length, h = spans[i].heightDifference;
        const double c = l / std::hypot(l, h);
        for (std::size_t k = 0; k < area.list.size(); ++k) {
            // f = γ·l²/(8·σ·cos β), worked from the section's stress and load.
            EXPECT_DOUBLE_EQ(d.spans[i].sag[k], d.load[k] * l * l / (8 * d.stress[k] * c));
            // The parabola's support stress is within 0.3 % of the catenary's.
            const double exact = catenaryHigherSupport(d.stress[k], d.load[k], l, h);
            EXPECT_NEAR(d.spans[i].higherSupportStress[k], exact, 3e-3 * exact)
                << "span " << i << ", condition " << k;
        }
        // The largest sag is the largest of those without wind (大风 and 覆冰 have it).
        for (std::size_t k : {0, 2, 4}) {
            EXPECT_LE(d.spans[i].sag[k], d.spans[i].sag[d.spans[i].largest]);
        }
        EXPECT_TRUE(d.windless[d.spans[i].largest]);
    }
}

// The design practice's other sag condition: the area's ice condition (the thickest ice) without
// its wind, named in the area's language; none without ice or without wind on it.
TEST(Section, IceWithoutWindIsTheIceConditionInStillAir) {
    const Area area;
    const auto still = varnel::design::iceWithoutWind(area.seq);
    ASSERT_TRUE(still.has_value());
    EXPECT_EQ(still->iceThickness, 10);
    EXPECT_EQ(still->windSpeed, 0);
    EXPECT_EQ(still->temperature, -5);
    EXPECT_STREQ(still->name, "\xB8\xB2\xB1\xF9\xCE\xDE\xB7\xE7");  // 覆冰无风, GBK
    EXPECT_STREQ(varnel::design::iceWithoutWindName(area.seq),
                 "\u8986\u51B0\u65E0\u98CE");  // 覆冰无风, UTF-8
    using varnel::test::coreCondition;
    varnel::test::ConditionList english({coreCondition("Lowest Temp", 0, 0, -10),
                                         coreCondition("Thickest ice", 5, 10, -5),
                                         coreCondition("Thicker ice", 15, 0, -5)});
    // The thickest ice has no wind here: nothing to derive.
    EXPECT_FALSE(varnel::design::iceWithoutWind(english.seq).has_value());
    english.list[2].windSpeed = 15;
    const auto derived = varnel::design::iceWithoutWind(english.seq);
    ASSERT_TRUE(derived.has_value());
    EXPECT_EQ(derived->iceThickness, 15);
    EXPECT_STREQ(derived->name, "Ice, no wind");
    EXPECT_STREQ(varnel::design::iceWithoutWindName(english.seq), "Ice, no wind");
    varnel::test::ConditionList bare(
        {coreCondition("Lowest Temp", 0, 0, -10), coreCondition("Max. wind vel", 0, 30, 10)});
    EXPECT_FALSE(varnel::design::iceWithoutWind(bare.seq).has_value());
}

// An extra condition is strung from the controlling one at the ruling span by the state
// equation, held to σN (worked by hand: 0.95 × 75190 / 2.5 / 275.96), and with no wind a
// candidate for the largest sag: 20 mm of ice in still air outweighs 40 °C.
TEST(Section, AnExtraConditionIsASagCandidateHeldToTheNormalLimit) {
    const Area area;
    const std::vector<SpanGeometry> spans{{320, 0}, {385, 12.5}, {452, -31.5}};
    auto d = designSection(coreJlg1a240(), area.seq, SearchFactors{}, spans);
    ASSERT_EQ(d.controlling, 3);  // 覆冰
    varnel::WeatherCondition iced = area.list[3];
    iced.iceThickness = 20;
    iced.windSpeed = 0;
    varnel::design::addExtraCondition(d, coreJlg1a240(), area.seq, spans, iced);
    ASSERT_EQ(d.stress.size(), 6u);
    EXPECT_NEAR(d.limit[5], 0.95 * 75190 / 2.5 / 275.96, 1e-12);
    EXPECT_TRUE(d.windless[5]);
    EXPECT_EQ(d.verticalLoad[5], d.load[5]);
    EXPECT_EQ(d.stress[5], stateEquationStress(d.ruling.span, d.ruling.cosAngle, coreJlg1a240(),
                                               area.list[3], iced, d.controlStress));
    for (const auto& sp : d.spans) {
        EXPECT_EQ(sp.largest, 5u);
        EXPECT_GT(sp.sag[5], sp.sag[4]);
    }
    // Sags of conditions with wind are never the largest where one without wind is there.
    EXPECT_EQ(varnel::design::largestSagCondition({1, 5, 2}, {true, false, true}), 2u);
    EXPECT_EQ(varnel::design::largestSagCondition({1, 5, 2}, {false, false, false}), 1u);
    EXPECT_TRUE(varnel::design::withinLimit(100 * (1 + 4e-13), 100));
    EXPECT_FALSE(varnel::design::withinLimit(100 * (1 + 1e-12), 100));
}

TEST(Section, CompensationIsAShiftOfTemperature) {
    const Area area;
    const std::vector<SpanGeometry> spans{{300, 0}, {410, -8}, {367, 6}};
    const auto conductor = coreJlg1a240();
    const auto d = designSection(conductor, area.seq, SearchFactors{}, spans);
    const auto plain = stringingTable(conductor, area.seq, d, spans, {-40, 40, 5}, 0);
    const auto lowered = stringingTable(conductor, area.seq, d, spans, {-20, 40, 5}, 20);
    ASSERT_EQ(plain.size(), 17u);
    ASSERT_EQ(lowered.size(), 13u);
    for (std::size_t i = 0; i < lowered.size(); ++i) {
        EXPECT_EQ(lowered[i].temperature, -20 + 5.0 * static_cast<double>(i));
        EXPECT_EQ(lowered[i].stress, plain[i].stress);  // 20 °C lower
        EXPECT_EQ(lowered[i].sag, plain[i].sag);
    }
    // Warmer means slacker.
    for (std::size_t i = 1; i < plain.size(); ++i) {
        EXPECT_LT(plain[i].stress, plain[i - 1].stress);
    }
    EXPECT_THROW(stringingTable(conductor, area.seq, d, spans, {40, -20, 5}, 0),
                 std::invalid_argument);
    EXPECT_THROW(stringingTable(conductor, area.seq, d, spans, {-20, 40, 0}, 0),
                 std::invalid_argument);
    EXPECT_THROW(stringingTable(conductor, area.seq, d, spans, {0, 1e6, 0.5}, 0),
                 std::invalid_argument);
}

}  // namespace

namespace {

// The layer holds no state: the same work on several threads at once gives what it gives alone.
TEST(Section, ManyThreadsAtOnce) {
    const Area area;
    const auto conductor = coreJlg1a240();
    const std::vector<SpanGeometry> spans{{320, 0}, {385, 12.5}, {410, -8}, {298, 25}};
    const auto alone = designSection(conductor, area.seq, SearchFactors{}, spans);
    const auto criticalAlone = varnel::design::criticalSpans(conductor, area.seq, {});
    std::vector<int> same(8, 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < same.size(); ++t) {
        threads.emplace_back([&, t] {
            bool ok = true;
            for (int i = 0; i < 50; ++i) {
                const auto d = designSection(conductor, area.seq, SearchFactors{}, spans);
                const auto c = varnel::design::criticalSpans(conductor, area.seq, {});
                ok = ok && d.stress == alone.stress && d.spans[3].sag == alone.spans[3].sag &&
                     c.ranges.size() == criticalAlone.ranges.size() &&
                     c.ranges.back().from == criticalAlone.ranges.back().from;
            }
            same[t] = ok ? 1 : 0;
        });
    }
    for (auto& t : threads) t.join();
    for (int s : same) EXPECT_EQ(s, 1);
}

}  // namespace
