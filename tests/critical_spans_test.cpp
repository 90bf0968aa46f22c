// Critical spans held against the controlling-condition search itself: on every sample area
// with every sample conductor, each boundary of the effective table is where a scan of the search
// with a bisection finds its answer change, and nowhere else does it change.
#include "design/critical_spans.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "calc/records/library_records.h"
#include "libraries/components/component_loaders.h"
#include "libraries/weather/weather_area_loader.h"

namespace {

using varnel::design::controllingAt;
using varnel::design::criticalSpans;
using varnel::design::SearchFactors;

struct Samples {
    varnel::WeatherAreaLib areas{};
    varnel::LineAttribLib conductors{};
    Samples() {
        const std::string dir = VARNEL_SAMPLES_DIR;
        EXPECT_EQ(varnel::loadWeatherAreas(areas, (dir + "/weather_areas.dbf").c_str(), false), 1);
        EXPECT_EQ(varnel::loadLineAttribs(conductors, (dir + "/conductors.dbf").c_str()), 1);
    }
    ~Samples() {
        areas.release();
        conductors.release();
    }
};

// Where the search changes its answer between 0 and `reach`: a 1 m scan, each change then
// narrowed by bisection to 1e-9 m.
std::vector<double> changesOfTheSearch(const varnel::LineAttrib& conductor,
                                       const varnel::WeatherConditionSeq& conditions,
                                       const SearchFactors& f, double reach) {
    std::vector<double> changes;
    // Just above 0: at 0 itself every load term vanishes and equal lines tie.
    int previous = controllingAt(0.01, conductor, conditions, f);
    for (double l = 1; l <= reach; l += 1) {
        const int now = controllingAt(l, conductor, conditions, f);
        if (now == previous) continue;
        double lo = l - 1, hi = l;
        while (hi - lo > 1e-9) {
            const double mid = (lo + hi) / 2;
            (controllingAt(mid, conductor, conditions, f) == previous ? lo : hi) = mid;
        }
        changes.push_back(hi);
        previous = now;
    }
    return changes;
}

void expectRangesMatchTheSearch(const varnel::LineAttrib& conductor,
                                const varnel::WeatherConditionSeq& conditions,
                                const SearchFactors& f, const std::string& what) {
    const auto result = criticalSpans(conductor, conditions, f);
    ASSERT_FALSE(result.ranges.empty()) << what;
    const std::vector<double> changes = changesOfTheSearch(conductor, conditions, f, 2500);
    ASSERT_EQ(result.ranges.size(), changes.size() + 1) << what;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        ASSERT_TRUE(result.ranges[i].to.has_value()) << what;
        EXPECT_NEAR(*result.ranges[i].to, changes[i], 1e-6) << what << ", boundary " << i;
        EXPECT_EQ(result.ranges[i + 1].from, *result.ranges[i].to) << what;
    }
    EXPECT_EQ(result.ranges.front().from, 0.0);
    EXPECT_FALSE(result.ranges.back().to.has_value()) << what;
    // The ranges name the search's own answers, far inside each one and far past the last.
    for (const auto& r : result.ranges) {
        const double inside = r.to ? (r.from + *r.to) / 2 : r.from + 5000;
        EXPECT_EQ(r.condition, controllingAt(inside, conductor, conditions, f)) << what;
        // Every condition that controls somewhere is a candidate.
        EXPECT_NE(std::find(result.candidates.begin(), result.candidates.end(),
                            static_cast<std::size_t>(r.condition)),
                  result.candidates.end())
            << what;
    }
    // A boundary between two conditions is their pair's critical span.
    for (std::size_t i = 0; i + 1 < result.ranges.size(); ++i) {
        const auto a = static_cast<std::size_t>(result.ranges[i].condition);
        const auto b = static_cast<std::size_t>(result.ranges[i + 1].condition);
        for (const auto& p : result.pairs) {
            if ((p.a == a && p.b == b) || (p.a == b && p.b == a)) {
                ASSERT_TRUE(p.span.has_value()) << what;
                EXPECT_NEAR(*p.span, *result.ranges[i].to, 1e-6) << what;
            }
        }
    }
}

TEST(CriticalSpans, EverySampleAreaWithEverySampleConductor) {
    Samples s;
    ASSERT_EQ(s.areas.size(), 7u);
    ASSERT_EQ(s.conductors.size(), 4u);
    std::size_t changing = 0;
    for (const auto& area : s.areas) {
        for (const auto& conductor : s.conductors) {
            for (const SearchFactors& f : {SearchFactors{}, SearchFactors{0.9, 0.22, 0.9, 2.25}}) {
                const std::string what = std::string(area.name) + " / " + conductor.name +
                                         " / cos " + std::to_string(f.cosAngle);
                expectRangesMatchTheSearch(conductor, area.conditions, f, what);
                changing += criticalSpans(conductor, area.conditions, f).ranges.size() > 1;
            }
        }
    }
    // The samples are chosen so that the controlling condition changes with the span.
    EXPECT_GT(changing, 10u);
}

TEST(CriticalSpans, PairsWithoutARealSpan) {
    Samples s;
    const auto& area = s.areas[5];  // 典型气象区Ⅵ
    const auto result = criticalSpans(s.conductors[0], area.conditions, SearchFactors{});
    ASSERT_GE(result.candidates.size(), 2u);
    bool none = false, some = false;
    for (const auto& p : result.pairs) {
        (p.span ? some : none) = true;
        if (p.span) {
            EXPECT_FALSE(std::signbit(*p.span));
        }
    }
    EXPECT_TRUE(some);
    EXPECT_TRUE(none);  // two conditions whose lines do not meet at any real span
}

TEST(CriticalSpans, AConductorOfNoAreaIsRefusedNotDesigned) {
    Samples s;
    varnel::LineAttrib broken = s.conductors[0];
    broken.area = 0;  // limits and loads would not be finite
    EXPECT_THROW(criticalSpans(broken, s.areas[0].conditions, SearchFactors{}),
                 std::invalid_argument);
    EXPECT_THROW(controllingAt(300, broken, s.areas[0].conditions, SearchFactors{}),
                 std::invalid_argument);
}

// Two icy conditions of nearly equal loads (30 mm of ice, one with a breath of wind) have limit
// lines that cross at 9,982.54 m; in a sliver just past the crossing each, strung to its limit,
// took the other an ulp above its own, so no condition passed and the ranges held one of no
// condition. There the lower of the two lines controls, as it does either side.
TEST(CriticalSpans, RoundingAtACrossingOfNearlyEqualLoadsLeavesNoSpanUncontrolled) {
    varnel::LineAttrib conductor{};
    conductor.area = 16.866254673075456;
    conductor.diameter = 5.2748217353939939;
    conductor.unitMass = 134.93003738460365;
    conductor.elasticModulus = 199558.09872587168;
    conductor.expansionCoeff = 1.7396200503547726e-05;
    conductor.ratedStrength = 15833.304344917136;
    SearchFactors f;
    f.cosAngle = 0.9198977645532922;
    f.avgStressRatio = 0.25;
    f.strengthFactor = 0.90630045014114602;
    f.safetyFactor = 3.386678873884184;
    varnel::WeatherConditionSeq conditions{};
    const double area[][3] = {{30, 1.0736247806515602, 39.870603494316015},
                              {30, 0, -37.647669184405281},
                              {0.7635614557106889, 39.898069733730068, 39.692378118562601},
                              {0, 12.22674906538491, -39.687495231555658}};
    for (const auto& c : area) {
        varnel::WeatherCondition w{};
        w.iceThickness = c[0];
        w.windSpeed = c[1];
        w.temperature = c[2];
        conditions.append(w);
    }
    const auto none = varnel::AnnualAverage::none();
    for (const double span : {9982.5407893342272, 9982.5407894340533, 9982.540789465,
                              9982.5407894960335 - 1e-9, 9982.5407895}) {
        EXPECT_EQ(controllingAt(span, conductor, conditions, f, none), 0) << span;
    }
    for (const auto& r : criticalSpans(conductor, conditions, f, none).ranges) {
        EXPECT_GE(r.condition, 0) << r.from;
    }
    conditions.release();
}

}  // namespace
