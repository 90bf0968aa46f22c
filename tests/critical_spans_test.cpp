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

}  // namespace
