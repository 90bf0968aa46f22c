// The controlling-condition search's observer sees exactly the search that the account shows:
// the account rendered here from the observer's events equals, byte for byte, what the search
// with its account prints, over spans where the controlling condition changes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "calc/control_search.h"
#include "calc/state_equation.h"
#include "support/capture_stdout.h"
#include "support/core_fixtures.h"

namespace {

using varnel::LineAttrib;
using varnel::WeatherCondition;
using varnel::WeatherConditionSeq;

using varnel::test::coreCondition;

// The patterns are the account's own, written out at each use below.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
std::string format(const char* pattern, const char* name, double value) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, name, value);
    return buffer;
}
#pragma GCC diagnostic pop

// Renders the account from the events, with the texts the host application shows.
class AccountFromEvents : public varnel::SearchObserver {
  public:
    explicit AccountFromEvents(const WeatherConditionSeq& c) : c_(c) {}
    void trialStarted(std::size_t i, double stress) override {
        text += format(
            "\n\xBC\xD9\xC9\xE8[%s]\xCE\xAA\xBF\xD8\xD6\xC6\xB9\xA4\xBF\xF6\xA3\xAC"
            "\xCB\xAE\xC6\xBD\xD3\xA6\xC1\xA6\xCE\xAA%lf\n",
            c_[i].name, stress);
        ++trials;
        checksInTrial = 0;
    }
    void checked(std::size_t j, double stress, double limit, bool exceeded) override {
        text += format(
            "\xD1\xE9\xCB\xE3[%s]\xB9\xA4\xBF\xF6\xA3\xAC\xD3\xA6\xC1\xA6\xCE\xAA%lf"
            "N/mm^2\xA1\xA3",
            c_[j].name, stress);
        text += exceeded ? "\xB3\xAC\xCF\xDE!" : "\xB2\xBB\xB3\xAC\xCF\xDE!\n";
        // The decision is the comparison with the limit the observer is told.
        EXPECT_EQ(exceeded, !(stress <= limit));
        ++checksInTrial;
    }
    void trialEnded(std::size_t i, bool controlling) override {
        text += controlling ? format("[%s]\xCA\xC7\xBF\xD8\xD6\xC6\xB9\xA4\xBF\xF6\xA1\xA3\n\n",
                                     c_[i].name, 0)
                            : "\n";
        if (controlling) {
            EXPECT_EQ(checksInTrial, c_.size() - 1);
            winner = static_cast<int>(i);
        }
    }

    std::string text;
    int trials = 0;
    std::size_t checksInTrial = 0;
    int winner = -1;

  private:
    const WeatherConditionSeq& c_;
};

TEST(SearchObserver, SeesWhatTheAccountShows) {
    const LineAttrib conductor = varnel::test::coreJlg1a240();
    std::vector<WeatherCondition> list{
        coreCondition("\xB5\xCD\xCE\xC2", 0, 0, -20),    // 低温
        coreCondition("\xB4\xF3\xB7\xE7", 0, 23.5, -5),  // 大风
        coreCondition("\xC4\xEA\xC6\xBD", 0, 0, 10),     // 年平
        coreCondition("\xB8\xB2\xB1\xF9", 10, 10, -5),   // 覆冰
        coreCondition("\xB8\xDF\xCE\xC2", 0, 0, 40),     // 高温
    };
    WeatherConditionSeq conditions{};
    for (const WeatherCondition& c : list) conditions.append(c);

    std::vector<int> seen;
    for (double span = 20; span <= 1500; span += 20) {
        AccountFromEvents events(conditions);
        const int quiet =
            varnel::controllingCondition(span, 0.98, 0.25, conductor, conditions, 0.95, 2.5,
                                         &events, varnel::AnnualAverage::byName());
        int printed = -2;
        const std::string account = varnel::test::captureStdout([&] {
            printed =
                varnel::controllingConditionWithAccount(span, 0.98, 0.25, conductor, conditions,
                                                        0.95, 2.5, varnel::AnnualAverage::byName());
        });
        ASSERT_EQ(quiet, printed) << "span " << span;
        ASSERT_EQ(events.winner, quiet) << "span " << span;
        ASSERT_EQ(events.text, account) << "span " << span;
        EXPECT_EQ(varnel::controllingCondition(span, 0.98, 0.25, conductor, conditions, 0.95, 2.5,
                                               nullptr, varnel::AnnualAverage::byName()),
                  quiet);
        if (seen.empty() || seen.back() != quiet) seen.push_back(quiet);
    }
    conditions.release();
    // The spans cover changes of the controlling condition, so more than one trial path is seen.
    EXPECT_GE(seen.size(), 3u);
}

TEST(SearchObserver, LongAccountIsWholeAndInOrder) {
    // An area of hundreds of conditions: an account of several times the printer's buffer is
    // written in pieces as it grows, and none is lost, doubled or reordered.
    const LineAttrib conductor = varnel::test::coreJlg1a240();
    const double weathers[][3] = {{0, 0, -20}, {0, 23.5, -5}, {10, 10, -5}, {0, 0, 40},
                                  {0, 10, 15}, {5, 15, 0},    {0, 0, -5}};
    std::vector<WeatherCondition> list;
    for (int i = 0; i < 420; ++i) {
        const auto& w = weathers[i % 7];
        const std::string name = "c" + std::to_string(i);
        list.push_back(coreCondition(name.c_str(), w[0], w[1], w[2] + 0.01 * i));
    }
    WeatherConditionSeq conditions{};
    for (const WeatherCondition& c : list) conditions.append(c);
    for (double span : {60.0, 400.0, 1200.0}) {
        AccountFromEvents events(conditions);
        const int quiet =
            varnel::controllingCondition(span, 1, 0.25, conductor, conditions, 0.95, 2.5, &events,
                                         varnel::AnnualAverage::byName());
        int printed = -2;
        const std::string account = varnel::test::captureStdout([&] {
            printed = varnel::controllingConditionWithAccount(
                span, 1, 0.25, conductor, conditions, 0.95, 2.5, varnel::AnnualAverage::byName());
        });
        EXPECT_EQ(quiet, printed) << "span " << span;
        EXPECT_GT(account.size(), 16384u) << "span " << span;
        EXPECT_EQ(events.text, account) << "span " << span;
    }
    conditions.release();
}

// Every stress the search reports is the state equation's for its pair, to the bit, whether the
// search keeps the area's specific loads (small areas) or works them out for each solve.
class StressRecorder : public varnel::SearchObserver {
  public:
    struct Check {
        std::size_t assumed, checked;
        double knownStress, stress;
    };
    void trialStarted(std::size_t i, double stress) override {
        assumed_ = i;
        knownStress_ = stress;
    }
    void checked(std::size_t j, double stress, double, bool) override {
        checks.push_back({assumed_, j, knownStress_, stress});
    }
    std::vector<Check> checks;

  private:
    std::size_t assumed_ = 0;
    double knownStress_ = 0;
};

TEST(SearchObserver, StressesAreTheStateEquationsToTheBit) {
    const LineAttrib conductor = varnel::test::coreJlg1a240();
    for (std::size_t count : {9u, 16u, 17u, 40u}) {
        std::vector<WeatherCondition> list;
        for (std::size_t i = 0; i < count; ++i) {
            // Heavy loads first, so that early trials fail and many pairs are solved.
            list.push_back(coreCondition(
                "w", static_cast<double>((count - i) % 4) * 5, static_cast<double>(i % 5) * 7,
                -30 + 70.0 * static_cast<double>(i) / static_cast<double>(count)));
        }
        WeatherConditionSeq conditions{};
        for (const WeatherCondition& c : list) conditions.append(c);
        for (double span : {35.0, 320.0, 900.0}) {
            StressRecorder recorder;
            varnel::controllingCondition(span, 0.97, 0.25, conductor, conditions, 0.95, 2.5,
                                         &recorder, varnel::AnnualAverage::byName());
            ASSERT_GE(recorder.checks.size(), count - 1);
            for (const auto& c : recorder.checks) {
                EXPECT_EQ(c.stress,
                          varnel::stateEquationStress(span, 0.97, conductor, list[c.assumed],
                                                      list[c.checked], c.knownStress))
                    << count << " conditions, span " << span << ", " << c.assumed << " to "
                    << c.checked;
            }
        }
        conditions.release();
    }
}

}  // namespace
