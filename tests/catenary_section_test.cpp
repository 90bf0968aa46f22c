// A strain section hung as exact catenaries: every condition keeps the section's unstressed
// length, the stringing table strings from the same state, and short taut sections agree with
// the parabola to its own error.
#include "design/catenary_section.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "calc/catenary_state.h"
#include "calc/conductor_load.h"
#include "calc/span_curve.h"
#include "support/core_fixtures.h"

namespace {

using namespace varnel;
using design::CatenaryStateError;
using design::SpanGeometry;
using test::areaSixConditions;
using test::ConditionList;
using test::coreJlg1a240;

double sectionLength(const std::vector<SpanGeometry>& spans, double stress, const LoadState& s,
                     const ConductorStrain& c) {
    double total = 0;
    for (const SpanGeometry& g : spans) {
        total += unstressedLength({g.length, g.heightDifference}, stress, s, c);
    }
    return total;
}

struct SectionCase {
    const char* name;
    std::vector<SpanGeometry> spans;
};

class CatenarySection : public testing::TestWithParam<SectionCase> {};

// Each condition's stress, put back into the section (each in the plane of its load), gives the
// controlling condition's unstressed length, and holds its limit; each span's largest condition
// is the one of the largest sag among those without wind, and the stress at the higher support
// exceeds the lower one's by γ·|h'|, h' the height difference in the load's plane (the
// catenary's own invariant).
TEST_P(CatenarySection, EveryConditionKeepsTheUnstressedLength) {
    const LineAttrib conductor = coreJlg1a240();
    ConditionList area(areaSixConditions());
    const auto& spans = GetParam().spans;
    const auto parabolic = design::designSection(conductor, area.seq, {}, spans);
    ASSERT_GE(parabolic.controlling, 0);
    const auto d = design::catenarySection(conductor, area.seq, parabolic, spans);
    const ConductorStrain strain{conductor.elasticModulus, conductor.expansionCoeff};
    const auto control = static_cast<std::size_t>(d.controlling);
    EXPECT_EQ(d.stress[control], d.limit[control]);
    EXPECT_EQ(d.controlStress, d.limit[control]);
    const auto state = [&](std::size_t k) {
        return LoadState{d.load[k], area.list[k].temperature, d.verticalLoad[k]};
    };
    const double target = sectionLength(spans, d.controlStress, state(control), strain);
    for (std::size_t k = 0; k < d.stress.size(); ++k) {
        const double kept = sectionLength(spans, d.stress[k], state(k), strain);
        EXPECT_NEAR(kept / target, 1, 1e-12) << "condition " << k;
        EXPECT_TRUE(design::withinLimit(d.stress[k], d.limit[k])) << "condition " << k;
    }
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const auto& sp = d.spans[i];
        double largest = 0;
        for (std::size_t k = 0; k < d.stress.size(); ++k) {
            if (area.list[k].windSpeed == 0) largest = std::max(largest, sp.sag[k]);
        }
        EXPECT_EQ(sp.sag[sp.largest], largest);
        for (std::size_t k = 0; k < d.stress.size(); ++k) {
            const SwungCurve c(SpanModel::catenary, spans[i].length, spans[i].heightDifference,
                               d.stress[k], d.load[k], d.verticalLoad[k]);
            const double lower = std::min(c.inPlane().nearStress(), c.inPlane().farStress());
            EXPECT_NEAR(sp.higherSupportStress[k] - lower,
                        d.load[k] * std::fabs(c.planeSpan().heightDifference),
                        1e-12 * sp.higherSupportStress[k]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sections, CatenarySection,
    testing::Values(SectionCase{"sample", {{320, 0}, {385, 12.5}, {410, -8}, {298, 25}}},
                    SectionCase{"one", {{600, 150}}},
                    SectionCase{"crossing", {{250, 10}, {1800, -120}, {300, 40}}},
                    SectionCase{"mountain", {{420, 140}, {510, -170}, {380, 126}}}),
    [](const auto& tp) { return std::string(tp.param.name); });

// Short level spans with sags under 3 %: the parabola's state equation is the catenary's to its
// own error (the neglected terms are of order (f/l)² ≈ 1e-3), so stresses and sags agree to a
// few tenths of a percent.
TEST(CatenarySection, ShortTautSectionsAgreeWithTheParabola) {
    const LineAttrib conductor = coreJlg1a240();
    ConditionList area(areaSixConditions());
    const std::vector<SpanGeometry> spans{{150, 0}, {220, 0}, {180, 0}, {250, 0}};
    const auto p = design::designSection(conductor, area.seq, {}, spans);
    const auto c = design::catenarySection(conductor, area.seq, p, spans);
    for (std::size_t k = 0; k < p.stress.size(); ++k) {
        EXPECT_NEAR(c.stress[k] / p.stress[k], 1, 3e-3) << k;
        for (std::size_t i = 0; i < spans.size(); ++i) {
            ASSERT_LT(p.spans[i].sag[k] / spans[i].length, 0.03);
            EXPECT_NEAR(c.spans[i].sag[k] / p.spans[i].sag[k], 1, 5e-3) << k << " " << i;
        }
    }
}

// The stringing table strings from the controlling condition: at that condition's own
// temperature, with no wind or ice and no compensation, the row's stress is the control stress
// to the bit; a compensation of Δt gives at t the row of t − Δt; an appended condition at a
// temperature of still air gives the row of that temperature; the rows run at the parabola's
// temperatures.
TEST(CatenarySection, StringingTableAndAppendedConditions) {
    const LineAttrib conductor = coreJlg1a240();
    ConditionList area(areaSixConditions());
    // Spans short enough for a condition of still air to control.
    const std::vector<SpanGeometry> spans{{120, 0}, {150, 8}, {100, -6}, {135, 3}};
    auto p = design::designSection(conductor, area.seq, {}, spans);
    const auto control = static_cast<std::size_t>(p.controlling);
    const WeatherCondition& c = area.list[control];
    ASSERT_EQ(c.iceThickness, 0);
    ASSERT_EQ(c.windSpeed, 0);

    const auto row = design::catenaryStringingRow(conductor, area.seq, p, spans, c.temperature, 0);
    EXPECT_EQ(row.stress, p.controlStress);
    const auto shifted =
        design::catenaryStringingRow(conductor, area.seq, p, spans, c.temperature + 15, 15);
    EXPECT_EQ(shifted.stress, p.controlStress);
    EXPECT_EQ(shifted.temperature, c.temperature + 15);
    ASSERT_EQ(row.sag.size(), spans.size());
    EXPECT_EQ(row.sag, shifted.sag);

    const design::TemperatureRange range{-20, 40, 7};
    const auto table = design::catenaryStringingTable(conductor, area.seq, p, spans, range, 5);
    const auto parabolic = design::stringingTable(conductor, area.seq, p, spans, range, 5);
    ASSERT_EQ(table.size(), parabolic.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].temperature, parabolic[i].temperature);
        const auto one =
            design::catenaryStringingRow(conductor, area.seq, p, spans, table[i].temperature, 5);
        EXPECT_EQ(table[i].stress, one.stress);
        EXPECT_NEAR(table[i].stress / parabolic[i].stress, 1, 0.02);
    }

    // An operating temperature appended after the area's conditions.
    WeatherCondition hot{};
    hot.temperature = 80;
    design::addExtraCondition(p, conductor, area.seq, spans, hot);
    const auto d = design::catenarySection(conductor, area.seq, p, spans, {hot});
    const auto at80 = design::catenaryStringingRow(conductor, area.seq, p, spans, 80, 0);
    EXPECT_EQ(d.stress.back(), at80.stress);
    for (std::size_t i = 0; i < spans.size(); ++i) EXPECT_EQ(d.spans[i].sag.back(), at80.sag[i]);
    EXPECT_THROW(design::catenarySection(conductor, area.seq, p, spans), std::invalid_argument);
}

TEST(CatenarySection, RefusalsNameWhatFailed) {
    const LineAttrib conductor = coreJlg1a240();
    ConditionList area(areaSixConditions());
    const std::vector<SpanGeometry> spans{{320, 0}, {385, 12.5}};
    auto p = design::designSection(conductor, area.seq, {}, spans);
    // A temperature that shrinks the conductor to nothing has no state.
    WeatherCondition frozen{};
    frozen.temperature = -1e6;
    p.load.push_back(specificLoad(frozen, conductor));
    p.verticalLoad.push_back(p.load.back());
    p.limit.push_back(p.normalLimit);
    p.windless.push_back(true);
    p.stress.push_back(0);
    for (auto& s : p.spans) {
        s.sag.push_back(0);
        s.higherSupportStress.push_back(0);
    }
    try {
        design::catenarySection(conductor, area.seq, p, spans, {frozen});
        ADD_FAILURE() << "no refusal";
    } catch (const CatenaryStateError& e) {
        EXPECT_EQ(e.condition(), area.list.size());
        // -1e6 °C: outside any climate, refused before the conductor would shrink to nothing.
        EXPECT_NE(e.reason().find("from -100 to 400"), std::string::npos) << e.reason();
        EXPECT_NE(std::string(e.what()).find("condition 10"), std::string::npos) << e.what();
    }
    try {
        design::catenaryStringingRow(conductor, area.seq, p, spans, -1e6, 0);
        ADD_FAILURE() << "no refusal";
    } catch (const CatenaryStateError& e) {
        EXPECT_EQ(e.condition(), CatenaryStateError::kStringing);
        EXPECT_NE(std::string(e.what()).find("\u00B0C"), std::string::npos) << e.what();
    }
    p.controlling = -1;
    EXPECT_THROW(design::catenaryStringingRow(conductor, area.seq, p, spans, 10, 0),
                 std::invalid_argument);
    EXPECT_THROW(design::catenaryStringingTable(conductor, area.seq, p, spans, {0, 10, 1}, 0),
                 std::invalid_argument);
}

// ---- critical spans ----

struct ShapeCase {
    const char* name;
    design::CatenarySpanShape shape;
};

class CatenaryCritical : public testing::TestWithParam<ShapeCase> {};

// b's stress strung from a at its limit, less b's limit, each in the plane of its load.
double gapAt(const design::LimitState& a, const design::LimitState& b, const LineAttrib& c,
             const design::CatenarySpanShape& shape, double l) {
    const double cosA = shape.cosAngle;
    const double h =
        shape.heightDifference ? *shape.heightDifference : l * std::sqrt(1 - cosA * cosA) / cosA;
    return catenaryStateStress({l, h}, {c.elasticModulus, c.expansionCoeff},
                               {a.load, a.temperature, a.verticalLoad}, a.allowableStress,
                               {b.load, b.temperature, b.verticalLoad}) -
           b.allowableStress;
}

// Every pair's root against a brute-force one: a scan of spans from 1 m to 2 km by 1 m for
// the first change of sign, then plain bisection. Both must find the same crossing, or neither.
TEST_P(CatenaryCritical, RootsAgreeWithABruteForceScan) {
    const LineAttrib conductor = coreJlg1a240();
    ConditionList area(areaSixConditions());
    const auto states = design::limitStates(conductor, area.seq, {});
    const auto& shape = GetParam().shape;
    int roots = 0;
    for (std::size_t a = 0; a < states.size(); ++a) {
        for (std::size_t b = a + 1; b < states.size(); ++b) {
            const auto found = design::catenaryCriticalSpan(
                states[a], states[b], conductor.elasticModulus, conductor.expansionCoeff, shape);
            std::optional<double> scanned;
            double prev = gapAt(states[a], states[b], conductor, shape, 1);
            for (double l = 2; l <= 2000 && !scanned; l += 1) {
                const double g = gapAt(states[a], states[b], conductor, shape, l);
                if ((prev < 0) != (g < 0)) {
                    double lo = l - 1, hi = l;
                    for (int i = 0; i < 80; ++i) {
                        const double mid = (lo + hi) / 2;
                        ((gapAt(states[a], states[b], conductor, shape, mid) < 0) == (prev < 0)
                             ? lo
                             : hi) = mid;
                    }
                    scanned = (lo + hi) / 2;
                }
                prev = g;
            }
            if (scanned) {
                ASSERT_TRUE(found.has_value()) << a << "-" << b << " at " << *scanned;
                // Where the two limits run almost together (conditions of one temperature and
                // one limit), the crossing is known only as well as the gap's rounding allows:
                // there the root must leave a gap of rounding size.
                const double left = gapAt(states[a], states[b], conductor, shape, *found);
                EXPECT_TRUE(std::fabs(*found / *scanned - 1) < 1e-9 ||
                            std::fabs(left) < 1e-12 * states[b].allowableStress)
                    << a << "-" << b << ": " << *found << " against " << *scanned << ", gap "
                    << left;
                ++roots;
            } else if (found) {
                // Beyond the scan, or so near the start that the scan began past it.
                EXPECT_TRUE(*found > 2000 || *found < 2) << a << "-" << b << ": " << *found;
            }
        }
    }
    EXPECT_GE(roots, 3);
}

// The ranges: at every span of a grid the controlling condition is the one its range names.
TEST_P(CatenaryCritical, RangesNameTheControllingCondition) {
    const LineAttrib conductor = coreJlg1a240();
    ConditionList area(areaSixConditions());
    design::SearchFactors f;
    f.cosAngle = GetParam().shape.cosAngle;
    const auto cs =
        design::catenaryCriticalSpans(conductor, area.seq, f, GetParam().shape.heightDifference);
    const auto states = design::limitStates(conductor, area.seq, f);
    ASSERT_FALSE(cs.ranges.empty());
    EXPECT_EQ(cs.ranges.front().from, 0);
    EXPECT_FALSE(cs.ranges.back().to.has_value());
    for (std::size_t i = 1; i < cs.ranges.size(); ++i) {
        EXPECT_EQ(cs.ranges[i].from, cs.ranges[i - 1].to);
        EXPECT_NE(cs.ranges[i].condition, cs.ranges[i - 1].condition);
    }
    for (double l = 2; l < 1500; l *= 1.07) {
        const auto range = std::find_if(cs.ranges.begin(), cs.ranges.end(), [&](const auto& r) {
            return l >= r.from && (!r.to || l < *r.to);
        });
        ASSERT_NE(range, cs.ranges.end());
        if ((range->to && *range->to - l < 1e-6 * l) || l - range->from < 1e-6 * l) continue;
        EXPECT_EQ(design::catenaryControllingAt(l, states, conductor.elasticModulus,
                                                conductor.expansionCoeff, GetParam().shape),
                  range->condition)
            << "at " << l << " m";
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, CatenaryCritical,
                         testing::Values(ShapeCase{"level", {1.0, std::nullopt}},
                                         ShapeCase{"inclined", {0.9, std::nullopt}},
                                         ShapeCase{"fixed_height", {1.0, 60.0}}),
                         [](const auto& tp) { return std::string(tp.param.name); });

// Short level spans hang with sags of a percent or two: there the parabola's critical spans
// are the catenary's to the parabola's own error, (f/l)² of a few 1e-4.
TEST(CatenaryCritical, ShortSpansAgreeWithTheParabola) {
    const LineAttrib conductor = coreJlg1a240();
    ConditionList area(areaSixConditions());
    const auto parabola = design::criticalSpans(conductor, area.seq, {});
    const auto catenary = design::catenaryCriticalSpans(conductor, area.seq, {}, std::nullopt);
    ASSERT_EQ(parabola.pairs.size(), catenary.pairs.size());
    int compared = 0;
    for (std::size_t i = 0; i < parabola.pairs.size(); ++i) {
        const auto& p = parabola.pairs[i];
        const auto& c = catenary.pairs[i];
        EXPECT_EQ(p.a, c.a);
        EXPECT_EQ(p.b, c.b);
        if (p.span && *p.span > 10 && *p.span < 400) {
            ASSERT_TRUE(c.span.has_value());
            EXPECT_NEAR(*c.span / *p.span, 1, 2e-3) << p.a << "-" << p.b;
            ++compared;
        }
    }
    EXPECT_GE(compared, 3);
    EXPECT_THROW(design::catenaryCriticalSpans(conductor, area.seq, {}, NAN),
                 std::invalid_argument);
}

}  // namespace
