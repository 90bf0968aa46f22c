#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "support/fixtures.h"
#include "varnel.h"

namespace {

using varnel::test::jlg1a240;
using varnel::test::makeCondition;

double solve(double span, double cosAngle, const LineAttrib& a, const WeatherCondition& known,
             const WeatherCondition& sought, double knownStress) {
    double stress = -1;
    EXPECT_TRUE(StateEquationGetForce(span, cosAngle, &a, &known, &sought, knownStress, &stress));
    return stress;
}

TEST(StateEquation, SameConditionGivesTheKnownStress) {
    const auto a = jlg1a240();
    const auto c = makeCondition("ice", 10, 10, -5);
    for (double span : {1.0, 50.0, 300.0, 1200.0}) {
        EXPECT_NEAR(solve(span, 1, a, c, c, 87.5), 87.5, 1e-9) << "span " << span;
    }
}

TEST(StateEquation, WorkedCasesOfTheConductor) {
    const auto a = jlg1a240();
    const auto cold = makeCondition("cold", 0, 0, -10);
    EXPECT_NEAR(solve(300, 1, a, cold, makeCondition("hot", 0, 0, 40), 100), 66.1823, 5e-5);
    EXPECT_NEAR(solve(300, 1, a, cold, makeCondition("wind", 0, 30, -5), 100), 113.3570, 5e-5);
    EXPECT_NEAR(solve(300, 0.95, a, cold, makeCondition("ice", 10, 10, -5), 100), 128.7155, 5e-5);
    EXPECT_NEAR(solve(50, 1, a, makeCondition("hot", 0, 0, 40), cold, 60), 129.7565, 5e-5);
}

TEST(StateEquation, ZeroSpanLeavesOnlyTheTemperatureTerm) {
    auto a = jlg1a240();
    a.elasticModulus = 73000;
    a.expansionCoeff = 1.4308 / 73000;  // α·E = 1.4308
    const auto known = makeCondition("known", 0, 0, -10);
    // A > 0: the largest root of σ³ + A·σ² = 0 is 0.
    EXPECT_NEAR(solve(0, 1, a, known, makeCondition("hot", 0, 0, 40), 50), 0, 1e-9);
    // A < 0: the root is −A = σm + α·E·(tm − t).
    EXPECT_NEAR(solve(0, 1, a, known, makeCondition("colder", 0, 0, -20), 50), 64.308, 1e-9);
}

TEST(StateEquation, TinyAGivesTheCubeRootOfB) {
    // Pick the known stress so that A vanishes: A = K/σm² − σm with the temperatures equal, so
    // σm = cbrt(K) where K = E·γm²·l²/24.
    const auto a = jlg1a240();
    const auto known = makeCondition("calm", 0, 0, 15);
    const auto sought = makeCondition("wind", 0, 25, 15);
    const double l = 400;
    const double gm = CalcBZ(&known, &a);
    const double g = CalcBZ(&sought, &a);
    const double sm = std::cbrt(a.elasticModulus * gm * gm * l * l / 24);
    const double b = a.elasticModulus * g * g * l * l * 0.041666666666666664;
    EXPECT_NEAR(solve(l, 1, a, known, sought, sm), std::cbrt(b), 1e-9 * std::cbrt(b));
}

TEST(StateEquation, FailureResults) {
    const auto a = jlg1a240();
    const auto c = makeCondition("c", 0, 0, 0);
    double stress = 123;
    // A known stress of 0 divides by zero: the stress is written, and the result says so.
    EXPECT_FALSE(StateEquationGetForce(300, 1, &a, &c, &c, 0, &stress));
    EXPECT_FALSE(std::isfinite(stress));
    // Null pointers: false, nothing written.
    stress = 123;
    EXPECT_FALSE(StateEquationGetForce(300, 1, nullptr, &c, &c, 50, &stress));
    EXPECT_FALSE(StateEquationGetForce(300, 1, &a, nullptr, &c, 50, &stress));
    EXPECT_FALSE(StateEquationGetForce(300, 1, &a, &c, nullptr, 50, &stress));
    EXPECT_EQ(stress, 123);
    EXPECT_FALSE(StateEquationGetForce(300, 1, &a, &c, &c, 50, nullptr));
}

// Oracle: the largest real root of s³ + A·s² − B = 0, found by bisection in long double on a
// bracket that holds only that root, with A and B formed independently of the library's steps.
long double largestRoot(long double a, long double b) {
    auto f = [&](long double s) { return (s + a) * s * s - b; };
    // For B ≥ 0 the largest root is at least max(0, −A) and f rises beyond it.
    long double lo = a < 0 ? -a : 0;
    long double hi = lo + 1;
    while (f(hi) < 0) hi *= 2;
    if (f(lo) >= 0) return lo;  // B = 0 and the root sits on the bracket's end
    for (int i = 0; i < 200; ++i) {
        const long double mid = (lo + hi) / 2;
        (f(mid) < 0 ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
}

struct OracleCase {
    double span;
    double cosAngle;
    double knownIce, knownWind, knownTemp, knownStress;
    double soughtIce, soughtWind, soughtTemp;
};

class StateEquationOracle : public testing::TestWithParam<OracleCase> {};

TEST_P(StateEquationOracle, IsTheLargestRootOfTheCubic) {
    const auto& p = GetParam();
    const auto a = jlg1a240();
    const auto known = makeCondition("k", p.knownIce, p.knownWind, p.knownTemp);
    const auto sought = makeCondition("s", p.soughtIce, p.soughtWind, p.soughtTemp);
    double stress = 0;
    ASSERT_TRUE(
        StateEquationGetForce(p.span, p.cosAngle, &a, &known, &sought, p.knownStress, &stress));

    const long double gm = CalcBZ(&known, &a);
    const long double g = CalcBZ(&sought, &a);
    const long double e = a.elasticModulus;
    const long double c3 = static_cast<long double>(p.cosAngle) * p.cosAngle * p.cosAngle;
    const long double l = p.span;
    const long double sm = p.knownStress;
    const long double coefA = e * c3 * gm * gm * l * l / (24 * sm * sm) - sm -
                              a.expansionCoeff * e * p.cosAngle * (p.knownTemp - p.soughtTemp);
    const long double coefB = e * c3 * g * g * l * l / 24;
    const long double root = largestRoot(coefA, coefB);

    // The residual, relative to the cubic's largest term, and the root itself. The closed form
    // loses a few digits where σ is small against |A| (σ = |A|·(z − 1)/3 with z near 1, long
    // spans at low stress), hence 1e-11 rather than the rounding of one operation.
    const long double s = stress;
    const long double scale = std::max({s * s * s, std::fabs(coefA) * s * s, coefB, 1.0L});
    EXPECT_LT(std::fabs((s + coefA) * s * s - coefB) / scale, 1e-11L)
        << "s " << static_cast<double>(s) << " A " << static_cast<double>(coefA);
    EXPECT_NEAR(static_cast<double>(s), static_cast<double>(root),
                1e-10 * std::max(static_cast<double>(root), 1.0))
        << "A " << static_cast<double>(coefA) << " B " << static_cast<double>(coefB);
}

std::vector<OracleCase> oracleGrid() {
    std::vector<OracleCase> cases;
    const double spans[] = {1, 10, 50, 120, 300, 600, 1000, 1500};
    const double cosines[] = {1.0, 0.95, 0.8};
    struct Weather {
        double ice, wind, temp;
    };
    const Weather knowns[] = {{0, 0, -10}, {0, 30, -5}, {10, 10, -5}, {0, 0, 15}};
    const Weather soughts[] = {{0, 0, 40}, {0, 0, -20}, {20, 15, -5}, {0, 35, 10}, {5, 10, 0}};
    const double stresses[] = {40, 100, 140};
    for (double l : spans)
        for (double c : cosines)
            for (const auto& k : knowns)
                for (const auto& s : soughts)
                    for (double sm : stresses)
                        cases.push_back({l, c, k.ice, k.wind, k.temp, sm, s.ice, s.wind, s.temp});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(RealisticSpans, StateEquationOracle, testing::ValuesIn(oracleGrid()));

}  // namespace
