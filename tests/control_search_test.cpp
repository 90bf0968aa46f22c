#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/capture_stdout.h"
#include "support/fixtures.h"
#include "varnel.h"

namespace {

using varnel::test::captureStdout;
using varnel::test::jlg1a240;
using varnel::test::makeCondition;
using varnel::test::sequenceOf;

const char* const kAverage = "\xC4\xEA\xC6\xBD";  // 年平

// "%lf" as the C library formats it, so that NaN reads as this platform writes it.
std::string number(double value) {
    char buffer[400];  // the largest double has 309 digits
    std::snprintf(buffer, sizeof buffer, "%lf", value);
    return buffer;
}

// The account's lines, GBK, as a host sees them on standard output.
std::string trialHeader(const char* name, double stress) {
    // "\n假设[%s]为控制工况，水平应力为%lf\n"
    return "\n\xBC\xD9\xC9\xE8[" + std::string(name) +
           "]\xCE\xAA\xBF\xD8\xD6\xC6\xB9\xA4\xBF\xF6\xA3\xAC\xCB\xAE\xC6\xBD\xD3\xA6\xC1\xA6\xCE"
           "\xAA" +
           number(stress) + "\n";
}
std::string checkLine(const char* name, double stress, bool exceeded) {
    // "验算[%s]工况，应力为%lfN/mm^2。" then "超限!" or "不超限!" and a line feed
    return "\xD1\xE9\xCB\xE3[" + std::string(name) +
           "]\xB9\xA4\xBF\xF6\xA3\xAC\xD3\xA6\xC1\xA6\xCE\xAA" + number(stress) + "N/mm^2\xA1\xA3" +
           (exceeded ? "\xB3\xAC\xCF\xDE!" : "\xB2\xBB\xB3\xAC\xCF\xDE!\n");
}
std::string failedTrialEnd() {
    return "\n";
}
std::string controllingLine(const char* name) {
    // "[%s]是控制工况。\n\n"
    return "[" + std::string(name) + "]\xCA\xC7\xBF\xD8\xD6\xC6\xB9\xA4\xBF\xF6\xA1\xA3\n\n";
}

struct Search {
    double span = 300;
    double cosAngle = 1;
    double avgRatio = 0.25;
    double strengthFactor = 0.95;
    double safety = 2.5;
    LineAttrib conductor = jlg1a240();
    std::vector<WeatherCondition> conditions;

    double normalLimit() const {
        return strengthFactor * conductor.ratedStrength / safety / conductor.area;
    }
    double averageLimit() const {
        return avgRatio * conductor.ratedStrength * strengthFactor / conductor.area;
    }
    double stress(std::size_t known, std::size_t sought, double knownStress) const {
        double s = 0;
        StateEquationGetForce(span, cosAngle, &conductor, &conditions[known], &conditions[sought],
                              knownStress, &s);
        return s;
    }
    int run(std::string* account) {
        auto seq = sequenceOf(conditions.data(), conditions.size());
        int result = -2;
        *account = captureStdout([&] {
            result = StateEquationGetControl(span, cosAngle, avgRatio, &conductor, &seq,
                                             strengthFactor, safety);
        });
        return result;
    }
};

TEST(ControlSearch, EmptyListWritesNothing) {
    Search s;
    std::string account;
    EXPECT_EQ(s.run(&account), -1);
    EXPECT_EQ(account, "");

    // A null first pointer counts no conditions, whatever the other pointers hold.
    WeatherCondition one = makeCondition("x", 0, 0, 0);
    WeatherConditionSeq seq = sequenceOf(&one, 1);
    seq.first = nullptr;
    int result = 0;
    account = captureStdout(
        [&] { result = StateEquationGetControl(300, 1, 0.25, &s.conductor, &seq, 0.95, 2.5); });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(account, "");
}

TEST(ControlSearch, NullArgumentsWriteNothing) {
    Search s;
    WeatherCondition one = makeCondition("x", 0, 0, 0);
    WeatherConditionSeq seq = sequenceOf(&one, 1);
    int a = 0, b = 0;
    const std::string account = captureStdout([&] {
        a = StateEquationGetControl(300, 1, 0.25, nullptr, &seq, 0.95, 2.5);
        b = StateEquationGetControl(300, 1, 0.25, &s.conductor, nullptr, 0.95, 2.5);
    });
    EXPECT_EQ(a, -1);
    EXPECT_EQ(b, -1);
    EXPECT_EQ(account, "");
}

TEST(ControlSearch, SingleConditionIsControllingAtOnce) {
    Search s;
    s.conditions = {makeCondition("\xB5\xCD\xCE\xC2", 0, 0, -10)};  // 低温
    std::string account;
    EXPECT_EQ(s.run(&account), 0);
    EXPECT_EQ(account, trialHeader("\xB5\xCD\xCE\xC2", s.normalLimit()) +
                           controllingLine("\xB5\xCD\xCE\xC2"));
    EXPECT_NE(account.find("103.537"), std::string::npos)
        << "0.95 x 75190 / 2.5 / 275.96 = 103.5372";
}

TEST(ControlSearch, FirstTrialFailingAtItsSecondCheck) {
    Search s;
    s.conditions = {makeCondition("cold", 0, 0, -10), makeCondition("hot", 0, 0, 40),
                    makeCondition("ice", 10, 10, -5)};
    const double sn = s.normalLimit();
    // Strung at −10 °C: the hot condition relaxes, the iced one is loaded beyond the limit.
    const double hotFromCold = s.stress(0, 1, sn);
    const double iceFromCold = s.stress(0, 2, sn);
    ASSERT_LT(hotFromCold, sn);
    ASSERT_GT(iceFromCold, sn);
    // Strung at 40 °C the cold condition exceeds at once; strung iced, both others hold.
    const double coldFromHot = s.stress(1, 0, sn);
    const double coldFromIce = s.stress(2, 0, sn);
    const double hotFromIce = s.stress(2, 1, sn);
    ASSERT_GT(coldFromHot, sn);
    ASSERT_LE(coldFromIce, sn);
    ASSERT_LE(hotFromIce, sn);

    std::string account;
    EXPECT_EQ(s.run(&account), 2);
    EXPECT_EQ(account, trialHeader("cold", sn) + checkLine("hot", hotFromCold, false) +
                           checkLine("ice", iceFromCold, true) + failedTrialEnd() +
                           trialHeader("hot", sn) + checkLine("cold", coldFromHot, true) +
                           failedTrialEnd() + trialHeader("ice", sn) +
                           checkLine("cold", coldFromIce, false) +
                           checkLine("hot", hotFromIce, false) + controllingLine("ice"));
}

TEST(ControlSearch, AnnualAverageTriedAsControlling) {
    Search s;
    s.conditions = {makeCondition(kAverage, 0, 0, 15), makeCondition("cold", 0, 0, -10)};
    const double sa = s.averageLimit();
    const double coldFromAverage = s.stress(0, 1, sa);
    // Held to σA / ratio / safety, which is σN up to rounding.
    EXPECT_NEAR(sa / s.avgRatio / s.safety, s.normalLimit(), 1e-12);
    ASSERT_LE(coldFromAverage, sa / s.avgRatio / s.safety);

    std::string account;
    EXPECT_EQ(s.run(&account), 0);
    EXPECT_EQ(account, trialHeader(kAverage, sa) + checkLine("cold", coldFromAverage, false) +
                           controllingLine(kAverage));
}

TEST(ControlSearch, AnnualAverageHeldToItsOwnLimitByOthers) {
    // Strung to σN at −10 °C, the annual average condition at 15 °C stays below σN but above σA.
    Search s;
    s.conditions = {makeCondition("cold", 0, 0, -10), makeCondition(kAverage, 0, 0, 15)};
    const double averageFromCold = s.stress(0, 1, s.normalLimit());
    ASSERT_LT(averageFromCold, s.normalLimit());
    ASSERT_GT(averageFromCold, s.averageLimit());
    std::string account;
    EXPECT_EQ(s.run(&account), 1);

    // The same weather under an English name gets no special treatment.
    s.conditions[1] = makeCondition("Avg. ann", 0, 0, 15);
    EXPECT_EQ(s.run(&account), 0);
    EXPECT_EQ(account.find("64.7"), std::string::npos) << "no condition is strung to σA";

    // "年平" followed by any further byte is another name.
    s.conditions[1] = makeCondition(
        "\xC4\xEA\xC6\xBD"
        "x",
        0, 0, 15);
    EXPECT_EQ(s.run(&account), 0);
}

TEST(ControlSearch, StressEqualToItsLimitPasses) {
    // Span 0 and equal temperatures give back the known stress exactly: 96 = 3·96·(1/3).
    Search s;
    s.span = 0;
    s.strengthFactor = 1;
    s.safety = 1;
    s.conductor.ratedStrength = 96;
    s.conductor.area = 1;
    s.conditions = {makeCondition("a", 0, 0, 10), makeCondition("b", 0, 0, 10)};
    ASSERT_EQ(s.stress(0, 1, 96), 96.0);
    std::string account;
    EXPECT_EQ(s.run(&account), 0);
    EXPECT_EQ(account, trialHeader("a", 96) + checkLine("b", 96, false) + controllingLine("a"));
}

TEST(ControlSearch, NaNStressIsAnExceedanceAndNeverControls) {
    Search s;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    s.conditions = {makeCondition("cold", 0, 0, -10), makeCondition("broken", 0, 0, nan)};
    const double sn = s.normalLimit();
    const double brokenFromCold = s.stress(0, 1, sn);
    const double coldFromBroken = s.stress(1, 0, sn);
    ASSERT_TRUE(std::isnan(brokenFromCold));
    ASSERT_TRUE(std::isnan(coldFromBroken));
    std::string account;
    EXPECT_EQ(s.run(&account), -1);
    EXPECT_EQ(account, trialHeader("cold", sn) + checkLine("broken", brokenFromCold, true) +
                           failedTrialEnd() + trialHeader("broken", sn) +
                           checkLine("cold", coldFromBroken, true) + failedTrialEnd());
}

TEST(ControlSearch, NameWithoutTerminatorIsPrintedWithinItsArray) {
    Search s;
    WeatherCondition c = makeCondition("", 0, 0, -10);
    std::memset(c.name, 'N', sizeof c.name);
    s.conditions = {c};
    std::string account;
    EXPECT_EQ(s.run(&account), 0);
    EXPECT_NE(account.find("[" + std::string(24, 'N') + "]"), std::string::npos);
    EXPECT_EQ(account.find(std::string(25, 'N')), std::string::npos);
}

// The account's numbers read as "%lf" writes them on this platform, whatever the value: halfway
// cases of the sixth decimal (exact in binary, so printf rounds them to even), values that round
// to a negative zero, the extremes of double, infinities and NaNs of either sign.
struct AccountNumber {
    const char* id;
    double value;
    bool alsoChecked;  // also as a checked condition's stress (positive and finite)
};

void PrintTo(const AccountNumber& n, std::ostream* out) {
    *out << n.id;
}

class ControlSearchNumber : public testing::TestWithParam<AccountNumber> {};

TEST_P(ControlSearchNumber, ReadsAsPrintfWritesIt) {
    const AccountNumber& p = GetParam();
    // σN = 1 · T / 1 / 1 is T itself, so the trial is strung to exactly the value.
    Search s;
    s.strengthFactor = 1;
    s.safety = 1;
    s.conductor.area = 1;
    s.conductor.ratedStrength = p.value;
    s.conditions = {makeCondition("a", 0, 0, 10)};
    const double assumed = s.normalLimit();
    ASSERT_EQ(std::memcmp(&assumed, &p.value, sizeof assumed), 0);
    std::string account;
    EXPECT_EQ(s.run(&account), 0);
    EXPECT_EQ(account, trialHeader("a", p.value) + controllingLine("a"));
    if (!p.alsoChecked) return;

    // Span 0 at one temperature gives the checked condition the assumed stress back exactly.
    s.span = 0;
    s.conditions.push_back(makeCondition("b", 0, 0, 10));
    ASSERT_EQ(s.stress(0, 1, p.value), p.value);
    EXPECT_EQ(s.run(&account), 0);
    EXPECT_EQ(account,
              trialHeader("a", p.value) + checkLine("b", p.value, false) + controllingLine("a"));
}

const AccountNumber kAccountNumbers[] = {
    {"Zero", 0.0, false},
    {"NegativeZero", -0.0, false},
    {"RoundsToNegativeZero", -1e-9, false},
    {"HalfwayRoundsDownToEven", 0.0078125, true},  // 1/128: 0.007812|5
    {"HalfwayRoundsUpToEven", 0.0234375, true},    // 3/128: 0.023437|5
    {"HalfwayAfterAMillion", 1000000.0078125, true},
    {"JustBelowHalfAMillionth", 4.9999999999999996e-07, true},
    {"HalfAMillionth", 5e-7, true},
    {"NinesCarryIntoTheUnits", 999999.9999995, true},
    {"TypicalStress", 103.53715395, true},
    {"TwoToThe53PlusOne", 9007199254740993.0, true},
    {"TenToThe22", 1e22, true},
    {"Largest", 1.7976931348623157e308, true},
    {"MostNegative", -1.7976931348623157e308, false},
    {"SmallestNormal", 2.2250738585072014e-308, false},
    {"SmallestSubnormal", 4.9406564584124654e-324, false},
    {"Infinity", std::numeric_limits<double>::infinity(), false},
    {"NegativeInfinity", -std::numeric_limits<double>::infinity(), false},
    {"NaN", std::numeric_limits<double>::quiet_NaN(), false},
    {"NegativeNaN", -std::numeric_limits<double>::quiet_NaN(), false},
};

INSTANTIATE_TEST_SUITE_P(Values, ControlSearchNumber, testing::ValuesIn(kAccountNumbers),
                         [](const testing::TestParamInfo<AccountNumber>& param) {
                             return std::string(param.param.id);
                         });

}  // namespace
