#include "calc/catenary_state.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "calc/span_curve.h"
#include "calc/state_equation.h"

#ifdef VARNEL_TEST_MULTIPRECISION
#include <boost/multiprecision/cpp_bin_float.hpp>
#endif

namespace {

using varnel::ConductorStrain;
using varnel::LoadState;
using varnel::SectionSpan;

#ifdef VARNEL_TEST_MULTIPRECISION
using Real = boost::multiprecision::cpp_bin_float_50;
#else
using Real = long double;  // the cross build: Debian has no Boost for mingw
// The long double overloads, which unqualified calls would otherwise miss for ::sinh(double).
using std::asinh;
using std::atan;
using std::cosh;
using std::exp;
using std::log;
using std::sinh;
using std::sqrt;
#endif

// The unstressed length by another road than the library's quadrature: in z = (x − a)/p,
//   L₀ = p·∫ cosh z/(K + q·cosh z) dz = (p/K)·Σₙ (−q/K)ⁿ·Iₙ₊₁,   Iₘ = ∫ coshᵐ z dz,
// K = 1 + α·(t − t₀), q = σ₀/E, the series converging as (q·cosh z/K)ⁿ (a few thousandths on a
// line) and each Iₘ in closed form by Iₘ = [sinh z·coshᵐ⁻¹ z]/m + (m − 1)/m·Iₘ₋₂, all in Real.
Real oracleLengthIn(const Real& l, const Real& h, const Real& stress, const LoadState& state,
                    const ConductorStrain& c) {
    const Real s0 = stress, g = state.load;
    const Real p = s0 / g;
    const Real a = l / 2 - p * asinh(h / (2 * p * sinh(l / (2 * p))));
    const Real z1 = -a / p, z2 = (l - a) / p;
    const Real k =
        1 + Real(c.expansionCoeff) * (Real(state.temperature) - Real(c.referenceTemperature));
    const Real q = s0 / Real(c.elasticModulus);
    const Real s1 = sinh(z1), s2 = sinh(z2), c1 = cosh(z1), c2 = cosh(z2);
    Real before = z2 - z1;        // I₀
    Real current = s2 - s1;       // I₁
    Real power1 = 1, power2 = 1;  // coshᵐ⁻¹ at each end, for m = 1
    Real sum = current, factor = 1;
    for (int m = 2; m < 400; ++m) {
        power1 *= c1;
        power2 *= c2;
        const Real next = (s2 * power2 - s1 * power1) / m + Real(m - 1) / m * before;
        before = current;
        current = next;
        factor *= -q / k;
        const Real term = factor * current;
        sum += term;
        using std::fabs;
        if (fabs(term) < Real(1e-30) * fabs(sum)) break;
    }
    return p / k * sum;
}

Real oracleLengthAt(const SectionSpan& s, const Real& stress, const LoadState& state,
                    const ConductorStrain& c) {
    return oracleLengthIn(Real(s.span), Real(s.heightDifference), stress, state, c);
}

Real oracleLength(const SectionSpan& s, double stress, const LoadState& state,
                  const ConductorStrain& c) {
    return oracleLengthAt(s, Real(stress), state, c);
}

double relative(double got, const Real& exact) {
    using std::fabs;
    return static_cast<double>(fabs((Real(got) - exact) / exact));
}

constexpr ConductorStrain kConductor{73000, 19.6e-6};

// The quadrature against the series, over spans 50–2500 m, h/l from −0.6 to 0.6 and p from 200
// to 20 000 m.
TEST(CatenaryState, UnstressedLengthAgreesWithAnIndependentEvaluation) {
    std::mt19937_64 random(1208);
    std::uniform_real_distribution<double> spans(50, 2500), slopes(-0.6, 0.6),
        logP(std::log(200.0), std::log(20000.0)), stresses(20, 200), temperatures(-40, 80);
    for (int i = 0; i < 1000; ++i) {
        const SectionSpan s{spans(random), 0};
        const SectionSpan span{s.span, slopes(random) * s.span};
        const double p = std::exp(logP(random));
        const double stress = stresses(random);
        const LoadState state{stress / p, temperatures(random)};
        const ConductorStrain c{kConductor.elasticModulus, kConductor.expansionCoeff,
                                temperatures(random)};
        SCOPED_TRACE(::testing::Message() << "l " << span.span << ", h " << span.heightDifference
                                          << ", p " << p << ", sigma " << stress);
        const double got = varnel::unstressedLength(span, stress, state, c);
        EXPECT_LE(relative(got, oracleLength(span, stress, state, c)), 1e-14);
    }
}

// The solved stress keeps the unstressed length of the known state, recomputed by the series.
TEST(CatenaryState, SolvedStressKeepsTheUnstressedLength) {
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> spans(50, 2500), slopes(-0.6, 0.6),
        logP(std::log(200.0), std::log(20000.0)), loads(0.5, 4), temperatures(-40, 80);
    for (int i = 0; i < 300; ++i) {
        const SectionSpan span{spans(random), 0};
        const SectionSpan s{span.span, slopes(random) * span.span};
        const double p = std::exp(logP(random));
        const double gamma = 0.03;
        const double knownStress = p * gamma;
        const LoadState known{gamma, temperatures(random)};
        const LoadState sought{gamma * loads(random), temperatures(random)};
        SCOPED_TRACE(::testing::Message()
                     << "l " << s.span << ", h " << s.heightDifference << ", p " << p << ", sought "
                     << sought.load << " at " << sought.temperature);
        const double stress =
            varnel::catenaryStateStress(s, kConductor, known, knownStress, sought);
        const Real target = oracleLength(s, knownStress, known, kConductor);
        const Real kept = oracleLength(s, stress, sought, kConductor);
        EXPECT_LE(relative(static_cast<double>(kept), target), 1e-12);
    }
}

// The solved stress against the root of the oracle's own equation, found in 50 digits by the
// secant method: the solve stops on an estimate of its remaining error rather than on a
// confirming evaluation, and the kept unstressed length alone would not see a stress wrong by
// 1e-11 (L₀ moves far less than σ₀). What the rounding of L₀ allows is the change of σ₀ that
// moves L₀ by an ulp (about 1e-16·E/σ₀ of σ₀ for a taut span, less for a slack one); allowed
// here: 8 of those, for the few roundings of L₀ at the known state and the solved one.
//
// Two regimes, which the solve takes by different roads: the spans of a line (a start within
// 1e-6 and one evaluation), and slack, steep spans (t = l/2p up to 20, |h| beyond l, most of
// them beyond the series), where the start is the parabola's alone and the steps confirm one
// another.
struct Regime {
    const char* name;
    double minSpan, maxSpan, maxSlope, minStress, maxStress, maxLoadFactor;
};

void PrintTo(const Regime& r, std::ostream* os) {
    *os << r.name;
}

class SolvedStress : public ::testing::TestWithParam<Regime> {};

TEST_P(SolvedStress, IsTheRootToRounding) {
    const Regime& g = GetParam();
    std::mt19937_64 random(4021);
    std::uniform_real_distribution<double> spans(g.minSpan, g.maxSpan),
        slopes(-g.maxSlope, g.maxSlope), stresses(g.minStress, g.maxStress),
        loads(0.5, g.maxLoadFactor), temperatures(-40, 80);
    for (int i = 0; i < 150; ++i) {
        const double l = spans(random);
        const SectionSpan s{l, i % 3 == 0 ? 0 : slopes(random) * l};
        const double knownStress = stresses(random);
        const LoadState known{0.0327, temperatures(random)};
        const LoadState sought{0.0327 * loads(random), temperatures(random)};
        const double got = varnel::catenaryStateStress(s, kConductor, known, knownStress, sought);
        const Real target = oracleLength(s, knownStress, known, kConductor);
        const auto residual = [&](const Real& x) {
            return oracleLengthAt(s, x, sought, kConductor) - target;
        };
        Real x0 = got * (1 - 1e-6), x1 = got * (1 + 1e-6);
        Real f0 = residual(x0), f1 = residual(x1);
        for (int step = 0; step < 30 && f1 != f0; ++step) {
            const Real x2 = x1 - f1 * (x1 - x0) / (f1 - f0);
            x0 = x1;
            f0 = f1;
            x1 = x2;
            f1 = residual(x1);
        }
        // What one rounding of L₀ moves the root by: ε·L₀/|dL₀/dσ₀|, the slope from the oracle.
        const Real slope = (residual(x1 * Real(1 + 1e-9)) - f1) / (x1 * Real(1e-9));
        using std::fabs;
        const double ulpOfRoot = static_cast<double>(DBL_EPSILON * fabs(target / slope) / x1);
        EXPECT_LE(relative(got, x1), 8 * ulpOfRoot)
            << "l " << s.span << ", h " << s.heightDifference << ", from " << knownStress << " to "
            << sought.load << " at " << sought.temperature;
    }
}

INSTANTIATE_TEST_SUITE_P(CatenaryState, SolvedStress,
                         ::testing::Values(Regime{"line", 50, 1500, 0.4, 30, 150, 3},
                                           Regime{"slack", 200, 2500, 1.2, 8, 40, 4}),
                         [](const auto& p) { return std::string(p.param.name); });

// Many sought states from one known state: the same stresses as solving each afresh, and the
// known state's unstressed length kept once.
TEST(CatenaryState, ChangeOfStateFromOneKnownState) {
    const std::vector<SectionSpan> spans{{320, 12}, {455, -40}, {510, 75}, {280, 0}};
    const LoadState known{0.034, -10};
    const varnel::CatenaryChangeOfState change(spans, kConductor, known, 95);
    Real total = 0;
    for (const SectionSpan& s : spans) total += oracleLength(s, 95, known, kConductor);
    EXPECT_LE(relative(change.unstressedLength(), total), 1e-14);
    for (const LoadState& sought : {LoadState{0.034, 40}, LoadState{0.034, -20},
                                    LoadState{0.07, -5}, LoadState{0.045, 10}, known}) {
        EXPECT_EQ(change.stressIn(sought),
                  varnel::catenarySectionStress(spans, kConductor, known, 95, sought));
    }
    EXPECT_THROW(varnel::CatenaryChangeOfState({}, kConductor, known, 95), std::invalid_argument);
    EXPECT_THROW(varnel::CatenaryChangeOfState(spans, kConductor, known, 0), std::invalid_argument);
    EXPECT_THROW(change.stressIn({0, 15}), std::invalid_argument);
    EXPECT_THROW(change.stressIn({0.034, HUGE_VAL}), std::invalid_argument);
}

TEST(CatenaryState, SectionKeepsTheSumOfItsUnstressedLengths) {
    std::mt19937_64 random(99);
    std::uniform_real_distribution<double> spans(80, 900), slopes(-0.5, 0.5), temperatures(-30, 70);
    for (int i = 0; i < 40; ++i) {
        std::vector<SectionSpan> section;
        for (int j = 0; j < 1 + i % 7; ++j) {
            const double l = spans(random);
            section.push_back({l, slopes(random) * l});
        }
        const LoadState known{0.034, -10};
        const LoadState sought{0.034 * (1 + i % 3), temperatures(random)};
        const double stress = varnel::catenarySectionStress(section, kConductor, known, 90, sought);
        Real target = 0, kept = 0;
        for (const SectionSpan& s : section) {
            target += oracleLength(s, 90, known, kConductor);
            kept += oracleLength(s, stress, sought, kConductor);
        }
        EXPECT_LE(relative(static_cast<double>(kept), target), 1e-12) << "section " << i;
    }
    // A section of one span is that span.
    const SectionSpan one{420, 35};
    const std::vector<SectionSpan> alone{one};
    EXPECT_EQ(varnel::catenarySectionStress(alone, kConductor, {0.034, -10}, 90, {0.05, -5}),
              varnel::catenaryStateStress(one, kConductor, {0.034, -10}, 90, {0.05, -5}));
}

// Level spans under 400 m whose sag stays under 3 % of the span in both conditions: the
// parabolic state equation is the catenary's to the first terms of its series and to the first
// order in the strains. The series terms it drops are (l/p)²/48 of the sag, (l/p)²/80 of the
// slack l³/(24p²) and (l/p)²/24 of the elastic stretch (the mean of cosh over the span); the
// largest, (l/p)²/24 at the slacker state, is 0.24 % of the stress at a sag of 3 %. It also takes
// the change of strain on the span rather than on the unstressed length, an error of ε (the
// strain, σ/E + α·(t − t₀)) times that change: ε·|σ − σm + E·α·(t − tm)| as a stress.
TEST(CatenaryState, LevelSpansAgreeWithTheParabolaToItsOwnError) {
    int compared = 0;
    for (double l = 50; l <= 400; l += 25) {
        for (double knownStress : {40.0, 60.0, 90.0, 130.0}) {
            for (double load : {0.0327, 0.05, 0.08}) {
                for (double dt : {-50.0, -20.0, 0.0, 25.0, 55.0}) {
                    for (double loadFactor : {1.0, 1.6, 2.5}) {
                        const LoadState known{0.0327, 15};
                        const LoadState sought{load * loadFactor, 15 + dt};
                        const double parabola = varnel::stateEquationStress(
                            l, 1, kConductor.elasticModulus, kConductor.expansionCoeff, known,
                            knownStress, sought);
                        const double p1 = knownStress / known.load, p2 = parabola / sought.load;
                        // Sags l²/(8p) within 3 % of the span.
                        if (l / (8 * std::min(p1, p2)) > 0.03) continue;
                        const double catenary = varnel::catenaryStateStress(
                            {l, 0}, kConductor, known, knownStress, sought);
                        const double strain =
                            std::max(parabola, knownStress) / kConductor.elasticModulus +
                            kConductor.expansionCoeff * std::max(std::fabs(sought.temperature - 20),
                                                                 std::fabs(known.temperature - 20));
                        const double change =
                            std::fabs(parabola - knownStress +
                                      kConductor.elasticModulus * kConductor.expansionCoeff * dt);
                        const double bound = (l / std::min(p1, p2)) * (l / std::min(p1, p2)) / 24 +
                                             strain * change / parabola;
                        const double difference = std::fabs(catenary - parabola) / parabola;
                        EXPECT_LE(difference, bound)
                            << "l " << l << ", from " << knownStress << " to " << sought.load
                            << " at " << sought.temperature;
                        ++compared;
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 500);
}

TEST(CatenaryState, PhysicalSense) {
    const SectionSpan s{400, 20};
    const LoadState known{0.0327, 15};
    EXPECT_EQ(varnel::catenaryStateStress(s, kConductor, known, 80, known), 80);
    const double hot = varnel::catenaryStateStress(s, kConductor, known, 80, {0.0327, 70});
    const double cold = varnel::catenaryStateStress(s, kConductor, known, 80, {0.0327, -30});
    const double iced = varnel::catenaryStateStress(s, kConductor, known, 80, {0.09, 15});
    EXPECT_LT(hot, 80);
    EXPECT_GT(cold, 80);
    EXPECT_GT(iced, 80);
    // And back again: from the hot state to the known one.
    EXPECT_NEAR(varnel::catenaryStateStress(s, kConductor, {0.0327, 70}, hot, known), 80, 1e-10);
}

TEST(CatenaryState, Refusals) {
    const SectionSpan s{300, 0};
    const LoadState known{0.0327, 15};
    EXPECT_THROW(varnel::catenaryStateStress({0, 0}, kConductor, known, 80, known),
                 std::invalid_argument);
    EXPECT_THROW(varnel::catenaryStateStress(s, {0, 19.6e-6}, known, 80, known),
                 std::invalid_argument);
    EXPECT_THROW(varnel::catenaryStateStress(s, kConductor, known, 0, known),
                 std::invalid_argument);
    EXPECT_THROW(varnel::catenaryStateStress(s, kConductor, known, 80, {0, 15}),
                 std::invalid_argument);
    // 1 + α·(t − t₀) ≤ 0: a conductor cooled out of existence.
    EXPECT_THROW(varnel::catenaryStateStress(s, {73000, 0.01}, known, 80, {0.0327, -100}),
                 std::invalid_argument);
    EXPECT_THROW(varnel::catenarySectionStress({}, kConductor, known, 80, known),
                 std::invalid_argument);
}

// Temperatures no conductor reaches are refused, not solved: a sought 1e132 °C gave 3.6e-4
// N/mm² and 1e300 °C 1.06e284, neither keeping the unstressed length. At the range's ends the
// stress is the root, as a bisection on the unstressed length finds it.
class OutsideAnyClimate : public ::testing::TestWithParam<double> {};

TEST_P(OutsideAnyClimate, IsRefused) {
    const SectionSpan s{300, 0};
    const LoadState known{0.0327, -10};
    EXPECT_THROW(varnel::catenaryStateStress(s, kConductor, known, 100, {0.0327, GetParam()}),
                 std::invalid_argument);
    EXPECT_THROW(varnel::catenaryStateStress(s, kConductor, {0.0327, GetParam()}, 100, known),
                 std::invalid_argument);
    varnel::ConductorStrain shifted = kConductor;
    shifted.referenceTemperature = GetParam();
    EXPECT_THROW(varnel::catenaryStateStress(s, shifted, known, 100, known), std::invalid_argument);
    EXPECT_THROW(varnel::CatenaryChangeOfState({&s, 1}, kConductor, known, 100)
                     .stressIn({0.0327, GetParam()}),
                 std::invalid_argument);
}

INSTANTIATE_TEST_SUITE_P(CatenaryState, OutsideAnyClimate,
                         ::testing::Values(1e132, 1e300, 1e6, 400.001, -100.001, -1e6));

TEST(CatenaryState, TheRangesEndsAreRoots) {
    const SectionSpan s{300, 12};
    const LoadState known{0.0327, -10};
    for (double t : {-100.0, 400.0}) {
        const LoadState sought{0.0327, t};
        const double target = varnel::unstressedLength(s, 100, known, kConductor);
        double lo = 1e-3, hi = 1e4;  // L₀(lo) > target > L₀(hi)
        for (int i = 0; i < 200; ++i) {
            const double mid = 0.5 * (lo + hi);
            (varnel::unstressedLength(s, mid, sought, kConductor) > target ? lo : hi) = mid;
        }
        EXPECT_NEAR(varnel::catenaryStateStress(s, kConductor, known, 100, sought), lo, 1e-11 * lo)
            << t;
    }
}

// The integral itself, not its series: composite 8-point Gauss–Legendre in long double over the
// span in x, 64 panels, with the low point placed in long double. It holds both ways L₀ is
// worked out (the series for taut spans, the quadrature for slack ones), on either side of where
// one hands over to the other, including |h| > l and p from l/4 to 1000·l.
TEST(CatenaryState, UnstressedLengthIsTheIntegral) {
    using Wide = long double;
    static const Wide xs[] = {0.18343464249564980494L, 0.52553240991632898582L,
                              0.79666647741362673959L, 0.96028985649753623168L};
    static const Wide ws[] = {0.36268378337836198297L, 0.31370664587788728734L,
                              0.22238103445337447054L, 0.10122853629037625915L};
    const varnel::ConductorStrain c{73000, 19.6e-6};
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> spans(10, 2500), slopes(-1.5, 1.5), logRatio(-0.6, 3),
        loads(0.025, 0.12), temperatures(-40, 80);
    for (int i = 0; i < 400; ++i) {
        const double l = spans(random);
        const double h = slopes(random) * l;
        const double load = loads(random);
        const double stress = l * std::pow(10.0, logRatio(random)) * load;
        const double t = temperatures(random);
        if (stress > 2000) continue;
        const Wide p = Wide(stress) / load;
        const Wide a =
            Wide(l) / 2 - p * std::asinh(Wide(h) / (2 * p * std::sinh(Wide(l) / (2 * p))));
        const Wide k = 1 + Wide(c.expansionCoeff) * (t - c.referenceTemperature);
        const Wide q = Wide(stress) / c.elasticModulus;
        Wide sum = 0;
        const int panels = 64;
        const Wide half = Wide(l) / panels / 2;
        for (int j = 0; j < panels; ++j) {
            const Wide centre = (2 * j + 1) * half;
            for (int n = 0; n < 4; ++n) {
                for (const Wide x : {centre - half * xs[n], centre + half * xs[n]}) {
                    const Wide ch = std::cosh((x - a) / p);
                    sum += half * ws[n] * ch / (k + q * ch);
                }
            }
        }
        const double got = varnel::unstressedLength({l, h}, stress, {load, t}, c);
        EXPECT_LE(std::fabs(got / static_cast<double>(sum) - 1), 1e-13)
            << "l " << l << " h " << h << " stress " << stress << " load " << load;
    }
}

// ---- Wind: each span solved in the plane of its load and its chord ----

// A span in the plane of `state`'s load, in Real from the doubles given: cos η = γv/γ,
// l' = √(l² + h²·(1 − cos² η)), h' = h·cos η.
struct RealSpan {
    Real span;
    Real height;
};

RealSpan inPlaneExactly(const SectionSpan& s, const LoadState& state) {
    const Real cosEta = Real(state.verticalLoad) / Real(state.load);
    const Real l = s.span, h = s.heightDifference;
    return {sqrt(l * l + h * h * (1 - cosEta * cosEta)), h * cosEta};
}

Real sectionLengthInPlane(const std::vector<SectionSpan>& spans, const Real& stress,
                          const LoadState& state, const ConductorStrain& c) {
    Real sum = 0;
    for (const SectionSpan& s : spans) {
        const RealSpan p = inPlaneExactly(s, state);
        sum += oracleLengthIn(p.span, p.height, stress, state, c);
    }
    return sum;
}

// A state of vertical load γv with a horizontal load of `ratio`·γv beside it.
LoadState windy(double verticalLoad, double ratio, double temperature) {
    return {std::hypot(verticalLoad, ratio * verticalLoad), temperature, verticalLoad};
}

// Sections of one to five spans, steep and level, each state in wind or in still air: the stress
// is the root, found in 50 digits by the secant method, of the sought plane's unstressed length
// equal to the known plane's, both planes worked in 50 digits too. Taking the spans as they stand
// under the resultant load, as the solve did before, misses it by up to a tenth.
TEST(CatenaryStatePlane, WindConditionsAreSolvedInThePlaneOfTheirLoad) {
    std::mt19937_64 random(2026);
    std::uniform_real_distribution<double> spans(50, 1500), slopes(-0.6, 0.6),
        verticals(0.03, 0.07), ratios(0, 2.5), stresses(40, 140), temperatures(-30, 50);
    double worst = 0;
    for (int i = 0; i < 200; ++i) {
        std::vector<SectionSpan> section;
        for (int j = 0; j < 1 + i % 5; ++j) {
            const double l = spans(random);
            section.push_back({l, j % 4 == 3 ? 0 : slopes(random) * l});
        }
        const LoadState known =
            i % 3 == 0 ? LoadState{0.0327, temperatures(random)}
                       : windy(verticals(random), ratios(random), temperatures(random));
        const LoadState sought =
            i % 3 == 1 ? LoadState{0.0327, temperatures(random)}
                       : windy(verticals(random), ratios(random), temperatures(random));
        const double knownStress = stresses(random);
        const double got =
            varnel::catenarySectionStress(section, kConductor, known, knownStress, sought);
        const Real target = sectionLengthInPlane(section, Real(knownStress), known, kConductor);
        const auto residual = [&](const Real& x) {
            return sectionLengthInPlane(section, x, sought, kConductor) - target;
        };
        Real x0 = got * (1 - 1e-6), x1 = got * (1 + 1e-6);
        Real f0 = residual(x0), f1 = residual(x1);
        for (int step = 0; step < 30 && f1 != f0; ++step) {
            const Real x2 = x1 - f1 * (x1 - x0) / (f1 - f0);
            x0 = x1;
            f0 = f1;
            x1 = x2;
            f1 = residual(x1);
        }
        const double error = relative(got, x1);
        worst = std::max(worst, error);
        EXPECT_LE(error, 1e-10) << "section " << i << " of " << section.size() << " spans, from "
                                << known.load << " (" << known.verticalLoad << " vertical) to "
                                << sought.load << " (" << sought.verticalLoad << " vertical)";
    }
    RecordProperty("worst_relative_error", (std::ostringstream() << worst).str());
}

// A level span hangs alike in every plane: in wind it takes the stress of still air under the
// same resultant load, to the bit.
TEST(CatenaryStatePlane, ALevelSpanIsTheSameInEveryPlane) {
    const SectionSpan level{400, 0};
    const LoadState known{0.0327, 10};
    const LoadState swung = windy(0.0327, 1.2, -5);
    const LoadState still{swung.load, -5};
    EXPECT_EQ(varnel::catenaryStateStress(level, kConductor, known, 70, swung),
              varnel::catenaryStateStress(level, kConductor, known, 70, still));
    EXPECT_EQ(varnel::unstressedLength(level, 70, swung, kConductor),
              varnel::unstressedLength(level, 70, still, kConductor));
}

// What a section's conditions pay per solve: the same stress as solving each afresh, whichever
// of the two states is in wind, and for wind in the known state's own plane.
TEST(CatenaryStatePlane, ChangeOfStateFromOneKnownStateInWind) {
    const std::vector<SectionSpan> spans{{320, 12}, {455, -140}, {510, 175}, {280, 0}};
    for (const LoadState& known : {LoadState{0.034, -10}, windy(0.034, 0.9, -5)}) {
        const varnel::CatenaryChangeOfState change(spans, kConductor, known, 95);
        EXPECT_LE(relative(change.unstressedLength(),
                           sectionLengthInPlane(spans, Real(95), known, kConductor)),
                  1e-14);
        for (const LoadState& sought : {LoadState{0.034, 40}, windy(0.034, 0.9, -5),
                                        windy(0.06, 0.4, -5), windy(0.034, 2, 10), known}) {
            EXPECT_EQ(change.stressIn(sought),
                      varnel::catenarySectionStress(spans, kConductor, known, 95, sought));
        }
    }
}

TEST(CatenaryStatePlane, RefusesAVerticalLoadBeyondTheResultant) {
    const SectionSpan s{300, 40};
    const LoadState known{0.0327, 15};
    for (const double vertical : {0.04, 0.0, -0.01, std::nan("")}) {
        EXPECT_THROW(varnel::catenaryStateStress(s, kConductor, known, 80, {0.0327, 15, vertical}),
                     std::invalid_argument)
            << vertical;
        EXPECT_THROW(varnel::unstressedLength(s, 80, {0.0327, 15, vertical}, kConductor),
                     std::invalid_argument);
    }
}

#ifdef VARNEL_TEST_DATA_DIR
// mechaphlowers' change of state (tests/data/mechaphlowers_change_of_state.csv, how it was run
// written at its head) on spans to 1500 m, h/l to 0.5, with ice and wind: its reference
// temperature matched, the stresses agree within 2e-6. mechaphlowers takes the strain of a span
// from its mean tension (along the conductor), Varnel point by point: that is what is left
// (docs/catenary.md). Of the rows with wind on a slope, every one would be off by more than a
// thousandth with the spans left in the vertical plane.
TEST(CatenaryStatePlane, AgreesWithMechaphlowers) {
    std::ifstream in(std::string(VARNEL_TEST_DATA_DIR) + "/mechaphlowers_change_of_state.csv");
    ASSERT_TRUE(in) << "tests/data/mechaphlowers_change_of_state.csv";
    const double area = 275.96, weight = 922.2e-3 * 9.80665;
    const ConductorStrain c{73000, 19.6e-6, 15};
    const LoadState known{weight / area, 15};
    const double knownStress = 2000 * known.load;
    std::string line;
    int rows = 0, swungOnSlopes = 0;
    double worst = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("span_m", 0) == 0) continue;
        std::istringstream cells(line);
        double v[8];
        for (double& x : v) {
            std::string cell;
            std::getline(cells, cell, ',');
            x = std::stod(cell);
        }
        const double vertical = v[5] / area, horizontal = v[6] / area;
        const LoadState sought{std::hypot(vertical, horizontal), v[4], vertical};
        const SectionSpan span{v[0], v[1]};
        const double got = varnel::catenaryStateStress(span, c, known, knownStress, sought);
        const double error = std::fabs(got / v[7] - 1);
        worst = std::max(worst, error);
        EXPECT_LE(error, 2e-6) << line;
        if (horizontal > 0 && span.heightDifference != 0) {
            ++swungOnSlopes;
            const double vertically = varnel::catenaryStateStress(
                span, c, known, knownStress, {sought.load, sought.temperature});
            EXPECT_GT(std::fabs(vertically / v[7] - 1), 1e-3) << line;
        }
        ++rows;
    }
    EXPECT_EQ(rows, 112);
    EXPECT_GE(swungOnSlopes, 40);
    RecordProperty("worst_relative_difference", (std::ostringstream() << worst).str());
}
#endif

}  // namespace
