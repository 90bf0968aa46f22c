// The design layer's inputs: the annual-average condition found whatever the area calls it, and
// records it cannot use refused by field and value; with identical conditions, every function
// of the layer agrees on every span.
#include "design/input_checks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "calc/records/library_records.h"
#include "design/critical_spans.h"
#include "design/strain_section.h"
#include "libraries/components/component_loaders.h"
#include "libraries/weather/weather_area_loader.h"
#include "support/core_fixtures.h"

namespace {

using varnel::AnnualAverage;
using varnel::design::controllingAt;
using varnel::design::criticalSpans;
using varnel::design::designSection;
using varnel::design::SearchFactors;
using varnel::design::SpanGeometry;
using varnel::test::ConditionList;

struct Samples {
    varnel::WeatherAreaLib areas{};
    varnel::LineAttribLib conductors{};
    explicit Samples(bool english) {
        const std::string dir = VARNEL_SAMPLES_DIR;
        EXPECT_EQ(varnel::loadWeatherAreas(areas, (dir + "/weather_areas.dbf").c_str(), english),
                  1);
        EXPECT_EQ(varnel::loadLineAttribs(conductors, (dir + "/conductors.dbf").c_str()), 1);
    }
    ~Samples() {
        areas.release();
        conductors.release();
    }
    Samples(const Samples&) = delete;
    Samples& operator=(const Samples&) = delete;

    const varnel::LineAttrib& conductor(const char* name) const {
        for (const auto& c : conductors) {
            if (std::strcmp(c.name, name) == 0) return c;
        }
        throw std::runtime_error(std::string("no sample conductor ") + name);
    }
};

void expectSameRanges(const varnel::design::CriticalSpans& a,
                      const varnel::design::CriticalSpans& b, const std::string& what) {
    EXPECT_EQ(a.candidates, b.candidates) << what;
    ASSERT_EQ(a.pairs.size(), b.pairs.size()) << what;
    for (std::size_t i = 0; i < a.pairs.size(); ++i) {
        EXPECT_EQ(a.pairs[i].a, b.pairs[i].a) << what;
        EXPECT_EQ(a.pairs[i].b, b.pairs[i].b) << what;
        EXPECT_EQ(a.pairs[i].span, b.pairs[i].span) << what;
    }
    ASSERT_EQ(a.ranges.size(), b.ranges.size()) << what;
    for (std::size_t i = 0; i < a.ranges.size(); ++i) {
        EXPECT_EQ(a.ranges[i].condition, b.ranges[i].condition) << what;
        EXPECT_EQ(a.ranges[i].from, b.ranges[i].from) << what;
        EXPECT_EQ(a.ranges[i].to, b.ranges[i].to) << what;
    }
}

// The loader's two name sets describe the same areas, so they must give the same designs: the
// controlling condition, the critical spans and a section, on every sample area and conductor.
TEST(AnnualAverage, ChineseAndEnglishNamesGiveTheSameDesigns) {
    const Samples chinese(false);
    const Samples english(true);
    ASSERT_EQ(chinese.areas.size(), english.areas.size());
    ASSERT_EQ(english.areas[0].conditions[2].name, std::string("Avg. ann"));
    const std::vector<SpanGeometry> section{{150, 0}, {320, 12}, {410, -30}, {260, 4}};
    for (std::size_t a = 0; a < chinese.areas.size(); ++a) {
        const auto& zh = chinese.areas[a].conditions;
        const auto& en = english.areas[a].conditions;
        EXPECT_EQ(varnel::design::findAnnualAverage(zh), AnnualAverage::at(2));
        EXPECT_EQ(varnel::design::findAnnualAverage(en), AnnualAverage::at(2));
        for (const auto& conductor : chinese.conductors) {
            const std::string what = "area " + std::to_string(a) + ", " + conductor.name;
            for (const SearchFactors& f : {SearchFactors{}, SearchFactors{0.9, 0.22, 0.9, 2.25}}) {
                for (double span = 25; span <= 1500; span += 25) {
                    ASSERT_EQ(controllingAt(span, conductor, zh, f),
                              controllingAt(span, conductor, en, f))
                        << what << ", span " << span;
                }
                expectSameRanges(criticalSpans(conductor, zh, f), criticalSpans(conductor, en, f),
                                 what);
            }
            const auto x = designSection(conductor, zh, SearchFactors{}, section);
            const auto y = designSection(conductor, en, SearchFactors{}, section);
            EXPECT_EQ(x.controlling, y.controlling) << what;
            EXPECT_EQ(x.controlStress, y.controlStress) << what;
            EXPECT_EQ(x.stress, y.stress) << what;
        }
    }
}

// The unsafe design the English names used to give: area VI at 150 m, where the annual average
// controls. Held to σN instead of σA, it would be strung some 60 % above its limit.
TEST(AnnualAverage, EnglishNamesKeepTheAnnualAverageLimit) {
    const Samples english(true);
    const auto& area = english.areas[5].conditions;  // 典型气象区Ⅵ
    const auto& conductor = english.conductors[0];
    const SearchFactors f{};
    const int control = controllingAt(150, conductor, area, f);
    ASSERT_EQ(control, 2);
    const auto d = designSection(conductor, area, f, {{150, 0}});
    EXPECT_EQ(d.controlStress, varnel::design::allowableStresses(conductor, f).average);
    // The host's entry point keeps its contract: the name decides, and "Avg. ann" is not it.
    EXPECT_NE(
        varnel::controllingCondition(150, 1, f.avgStressRatio, conductor, area, f.strengthFactor,
                                     f.safetyFactor, nullptr, AnnualAverage::byName()),
        control);
}

struct NamesCase {
    const char* what;
    std::vector<const char*> names;
    int expected;  // index, or -1 for a refusal
};

class AnnualAverageNames : public testing::TestWithParam<NamesCase> {};

TEST_P(AnnualAverageNames, FoundOrRefused) {
    const NamesCase& c = GetParam();
    std::vector<varnel::WeatherCondition> list;
    for (const char* name : c.names) list.push_back(varnel::test::coreCondition(name, 0, 0, 10));
    const ConditionList conditions(list);
    if (c.expected < 0) {
        EXPECT_THROW(varnel::design::findAnnualAverage(conditions.seq), std::invalid_argument)
            << c.what;
    } else {
        EXPECT_EQ(varnel::design::findAnnualAverage(conditions.seq),
                  AnnualAverage::at(static_cast<std::size_t>(c.expected)))
            << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Areas, AnnualAverageNames,
    testing::Values(
        NamesCase{"named in Chinese, anywhere", {"a", "b", "c", "d", "\xC4\xEA\xC6\xBD"}, 4},
        NamesCase{"named in English", {"a", "Avg. ann", "c"}, 1},
        NamesCase{"nine unnamed conditions", {"1", "2", "3", "4", "5", "6", "7", "8", "9"}, 2},
        NamesCase{"six unnamed conditions", {"1", "2", "3", "4", "5", "6"}, 2},
        NamesCase{"the name before the place", {"1", "2", "3", "4", "5", "Avg. ann"}, 5},
        NamesCase{"seven unnamed conditions", {"1", "2", "3", "4", "5", "6", "7"}, -1},
        NamesCase{"two so named", {"\xC4\xEA\xC6\xBD", "b", "Avg. ann"}, -1},
        NamesCase{"a longer name is another", {"a", "Avg. annual", "c"}, -1}));

TEST(AnnualAverage, GivenByTheCaller) {
    std::vector<varnel::WeatherCondition> list{varnel::test::coreCondition("cold", 0, 0, -20),
                                               varnel::test::coreCondition("mean", 0, 0, 10),
                                               varnel::test::coreCondition("ice", 10, 10, -5)};
    const ConditionList conditions(list);
    const auto conductor = varnel::test::coreJlg1a240();
    const SearchFactors f{};
    EXPECT_THROW(criticalSpans(conductor, conditions.seq, f), std::invalid_argument);
    const auto states =
        varnel::design::limitStates(conductor, conditions.seq, f, AnnualAverage::at(1));
    EXPECT_EQ(states[1].allowableStress, varnel::design::allowableStresses(conductor, f).average);
    EXPECT_EQ(states[0].allowableStress, varnel::design::allowableStresses(conductor, f).normal);
    EXPECT_EQ(varnel::design::limitStates(conductor, conditions.seq, f, AnnualAverage::none())[1]
                  .allowableStress,
              varnel::design::allowableStresses(conductor, f).normal);
    EXPECT_THROW(criticalSpans(conductor, conditions.seq, f, AnnualAverage::at(3)),
                 std::invalid_argument);
}

// A record the loaders take as the table holds it, but no calculation can use: refused by every
// function of the layer, naming the field and its value.
struct BadRecord {
    const char* field;
    const char* shown;  // the value as the message gives it
    void (*spoil)(varnel::LineAttrib&, std::vector<varnel::WeatherCondition>&);
};

class BadRecords : public testing::TestWithParam<BadRecord> {};

TEST_P(BadRecords, RefusedByFieldAndValue) {
    const BadRecord& bad = GetParam();
    auto conductor = varnel::test::coreJlg1a240();
    auto list = varnel::test::areaSixConditions();
    bad.spoil(conductor, list);
    const ConditionList conditions(list);
    const auto expectRefusal = [&](auto call, const char* function) {
        try {
            call();
            ADD_FAILURE() << function << " accepted " << bad.field;
        } catch (const std::invalid_argument& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(bad.field), std::string::npos) << function << ": " << message;
            EXPECT_NE(message.find(std::string("= ") + bad.shown), std::string::npos)
                << function << ": " << message;
        }
    };
    const SearchFactors f{};
    expectRefusal([&] { criticalSpans(conductor, conditions.seq, f); }, "criticalSpans");
    expectRefusal([&] { controllingAt(300, conductor, conditions.seq, f); }, "controllingAt");
    expectRefusal([&] { varnel::design::limitStates(conductor, conditions.seq, f); },
                  "limitStates");
    expectRefusal(
        [&] {
            designSection(conductor, conditions.seq, f, {{300, 0}});
        },
        "designSection");
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Records, BadRecords,
    testing::Values(
        BadRecord{"conductor area", "0 mm", [](auto& c, auto&) { c.area = 0; }},
        BadRecord{"conductor elasticModulus", "-76000",
                  [](auto& c, auto&) { c.elasticModulus = -76000; }},
        BadRecord{"conductor ratedStrength", "0 N", [](auto& c, auto&) { c.ratedStrength = 0; }},
        BadRecord{"conductor ratedStrength", "-1 N", [](auto& c, auto&) { c.ratedStrength = -1; }},
        BadRecord{"conductor expansionCoeff", "nan",
                  [](auto& c, auto&) { c.expansionCoeff = kNaN; }},
        BadRecord{"conductor unitMass", "inf", [](auto& c, auto&) { c.unitMass = HUGE_VAL; }},
        BadRecord{"conductor diameter", "0 mm", [](auto& c, auto&) { c.diameter = 0; }},
        BadRecord{"condition 4 iceThickness", "-10 mm",
                  [](auto&, auto& k) { k[3].iceThickness = -10; }},
        BadRecord{"condition 2 windSpeed", "nan", [](auto&, auto& k) { k[1].windSpeed = kNaN; }},
        BadRecord{"condition 9 temperature", "-inf",
                  [](auto&, auto& k) { k[8].temperature = -HUGE_VAL; }}));

// A single-condition section of one span of 1e200 m: its ruling span overflows. Refused, where
// the design used to go on with an infinite span and give rows of NaN.
TEST(NonFiniteResults, AnInfiniteRulingSpanIsRefused) {
    const auto conductor = varnel::test::coreJlg1a240();
    const ConditionList conditions({varnel::test::coreCondition("cold", 0, 0, -20)});
    const SearchFactors f{};
    try {
        designSection(conductor, conditions.seq, f, {{1e200, 0}}, AnnualAverage::none());
        ADD_FAILURE() << "an infinite ruling span was accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("ruling span"), std::string::npos) << e.what();
    }
    EXPECT_THROW(controllingAt(HUGE_VAL, conductor, conditions.seq, f, AnnualAverage::none()),
                 std::invalid_argument);
}

// Area V with a copy of its 覆冰 condition, JL/G1A-400/35: at 1,491 m the copy, strung to its own
// limit, used to come out an ulp above it, so that nothing qualified as controlling there and
// the critical spans disagreed with the search.
TEST(IdenticalConditions, EveryFunctionAgreesOnEverySpan) {
    const Samples s(false);
    const auto& conductor = s.conductor("JL/G1A-400/35");
    const auto& area = s.areas[4];
    ASSERT_EQ(std::string(area.name), "\xB5\xE4\xD0\xCD\xC6\xF8\xCF\xF3\xC7\xF8\xA2\xF5");  // Ⅴ
    std::vector<varnel::WeatherCondition> list(area.conditions.begin(), area.conditions.end());
    ASSERT_EQ(std::string(list[3].name), "\xB8\xB2\xB1\xF9");  // 覆冰
    list.push_back(list[3]);
    const ConditionList conditions(list);
    const SearchFactors f{};
    EXPECT_GE(controllingAt(1491, conductor, conditions.seq, f), 0);
    const auto critical = criticalSpans(conductor, conditions.seq, f);
    const auto single = criticalSpans(conductor, area.conditions, f);
    ASSERT_EQ(critical.ranges.size(), single.ranges.size());
    for (std::size_t i = 0; i < critical.ranges.size(); ++i) {
        EXPECT_EQ(critical.ranges[i].condition, single.ranges[i].condition);
        EXPECT_EQ(critical.ranges[i].from, single.ranges[i].from);
    }
    for (double span = 10; span <= 2500; span += 10) {
        const int withCopy = controllingAt(span, conductor, conditions.seq, f);
        ASSERT_EQ(withCopy, controllingAt(span, conductor, area.conditions, f)) << span;
        // The range that holds the span names the same condition.
        for (const auto& r : critical.ranges) {
            if (span > r.from && (!r.to || span < *r.to)) {
                EXPECT_EQ(r.condition, withCopy) << span;
            }
        }
    }
    const auto d = designSection(conductor, conditions.seq, f, {{1491, 0}});
    ASSERT_GE(d.controlling, 0);
    for (double stress : d.stress) EXPECT_TRUE(std::isfinite(stress));
    EXPECT_EQ(d.stress[3], d.stress[9]);
}

}  // namespace
