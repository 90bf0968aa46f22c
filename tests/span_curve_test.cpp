#include "calc/span_curve.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <stdexcept>
#include <string>

#ifdef VARNEL_TEST_MULTIPRECISION
#include <boost/multiprecision/cpp_bin_float.hpp>
#endif

namespace {

using varnel::SpanCurve;
using varnel::SpanModel;

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

// The catenary's figures straight from the textbook formulas, evaluated in Real from the same
// double inputs: differences of cosh taken as they stand, the length as the integral of
// √(1 + y′²) from the low point to each support, the largest sag where the slope is h/l.
struct CatenaryOracle {
    Real l, h, s0, g, p, a;

    CatenaryOracle(double span, double height, double stress, double load)
        : l(span), h(height), s0(stress), g(load), p(s0 / g) {
        a = l / 2 - p * asinh(h / (2 * p * sinh(l / (2 * p))));
    }
    Real y(Real x) const { return p * (cosh((x - a) / p) - cosh(a / p)); }
    Real sag(Real x) const { return h * x / l - y(x); }
    Real nearHeight() const { return p * (cosh(a / p) - 1); }
    Real farHeight() const { return p * (cosh((l - a) / p) - 1); }
    Real length() const { return p * (sinh((l - a) / p) + sinh(a / p)); }
    Real maxSagAt() const { return a + p * asinh(h / l); }
    Real nearStress() const { return s0 * cosh(a / p); }
    Real farStress() const { return s0 * cosh((l - a) / p); }
    Real nearAngle() const { return atan(sinh(a / p)); }
    Real farAngle() const { return atan(sinh((l - a) / p)); }
};

double square(double v) {
    return v * v;
}

double relativeError(double got, const Real& exact) {
    using std::fabs;
    return static_cast<double>(fabs((Real(got) - exact) / exact));
}

// Random spans, height differences beyond the span itself and parameters from l/4 to 1000·l.
TEST(SpanCurve, CatenaryAgreesWithAMultiprecisionEvaluation) {
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> spans(50, 2500), slopes(-1.6, 1.6),
        logRatio(std::log(0.25), std::log(1000)), stresses(20, 300);
#ifdef VARNEL_TEST_MULTIPRECISION
    constexpr double kTolerance = 1e-12;
#else
    // The long double oracle takes the textbook's differences of cosh as they stand, and near a
    // support of a steep span the sag is such a difference: its 64-bit significand leaves
    // about 1e-11 there, so the cross build holds the library to 1e-10.
    constexpr double kTolerance = 1e-10;
#endif
    for (int i = 0; i < 300; ++i) {
        const double l = spans(random);
        const double h = slopes(random) * l;
        const double p = l * std::exp(logRatio(random));
        const double s0 = stresses(random);
        const double g = s0 / p;
        const SpanCurve c(SpanModel::catenary, l, h, s0, g);
        const CatenaryOracle o(l, h, s0, g);
        SCOPED_TRACE(::testing::Message()
                     << "l " << l << ", h " << h << ", sigma " << s0 << ", gamma " << g);
        // The low point's place is ill-conditioned where it nears a support (a = l/2 − p·b with
        // p·b close to l/2): there its error is a few ulps of p·b, not of a.
        using std::fabs;
        EXPECT_LE(static_cast<double>(fabs(Real(c.lowPoint()) - o.a)),
                  kTolerance * static_cast<double>(fabs(o.a)) +
                      8 * DBL_EPSILON * (l + std::fabs(static_cast<double>(o.a))));
        EXPECT_LE(relativeError(c.nearHeightAboveLowPoint(), o.nearHeight()), kTolerance);
        EXPECT_LE(relativeError(c.farHeightAboveLowPoint(), o.farHeight()), kTolerance);
        EXPECT_LE(relativeError(c.length(), o.length()), kTolerance);
        EXPECT_LE(relativeError(c.maxSagAt(), o.maxSagAt()), kTolerance);
        EXPECT_LE(relativeError(c.maxSag(), o.sag(o.maxSagAt())), kTolerance);
        EXPECT_LE(relativeError(c.nearStress(), o.nearStress()), kTolerance);
        EXPECT_LE(relativeError(c.farStress(), o.farStress()), kTolerance);
        EXPECT_LE(relativeError(c.nearAngle(), o.nearAngle()), kTolerance);
        EXPECT_LE(relativeError(c.farAngle(), o.farAngle()), kTolerance);
        for (double fraction : {0.01, 0.1, 0.25, 0.5, 0.77, 0.99}) {
            const double x = fraction * l;
            EXPECT_LE(relativeError(c.sagAt(x), o.sag(x)), kTolerance) << "x " << x;
            // The height crosses zero: measured against the sag's scale as well.
            const Real exact = o.y(x);
            EXPECT_LE(static_cast<double>(fabs(Real(c.heightAt(x)) - exact)),
                      kTolerance * static_cast<double>(fabs(exact) + o.sag(x)))
                << "x " << x;
        }
    }
}

// The grid of line practice: spans 50–2500 m, h/l from −0.6 to 0.6, p from 200 to 20 000 m
// (down to p = l/12.5, slacker than the random cases above).
TEST(SpanCurve, CatenaryOnTheGridOfLinePractice) {
    for (double l : {50.0, 300.0, 1000.0, 2500.0}) {
        for (double slope : {-0.6, -0.2, 0.0, 0.3, 0.6}) {
            for (double p : {200.0, 1000.0, 5000.0, 20000.0}) {
                const double h = slope * l, s0 = 60, g = s0 / p;
                const SpanCurve c(SpanModel::catenary, l, h, s0, g);
                const CatenaryOracle o(l, h, s0, g);
                SCOPED_TRACE(::testing::Message() << "l " << l << ", h " << h << ", p " << p);
                EXPECT_LE(relativeError(c.length(), o.length()), 1e-12);
                EXPECT_LE(relativeError(c.maxSag(), o.sag(o.maxSagAt())), 1e-12);
                EXPECT_LE(relativeError(c.nearStress(), o.nearStress()), 1e-12);
                EXPECT_LE(relativeError(c.farStress(), o.farStress()), 1e-12);
                for (double fraction : {0.05, 0.3, 0.6, 0.95}) {
                    EXPECT_LE(relativeError(c.sagAt(fraction * l), o.sag(fraction * l)), 1e-12);
                }
            }
        }
    }
}

// What holds for every model and input: the support stresses differ by exactly γ·|h| (the stress
// is σ₀ + γ·height above the low point), the vertical components add up to the span's weight,
// the curve passes through both supports and the sag vanishes there.
TEST(SpanCurve, InvariantsOfEveryModel) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> spans(1, 3000), slopes(-3, 3), logRatio(-1.5, 7);
    for (SpanModel model : {SpanModel::catenary, SpanModel::parabola, SpanModel::flatParabola}) {
        for (int i = 0; i < 500; ++i) {
            const double l = spans(random);
            const double h = slopes(random) * l;
            const double s0 = 80;
            const double g = s0 / (l * std::exp(logRatio(random)));
            const SpanCurve c(model, l, h, s0, g);
            SCOPED_TRACE(::testing::Message() << varnel::spanModelName(model) << " l " << l
                                              << ", h " << h << ", gamma " << g);
            const double high = std::max(c.nearStress(), c.farStress());
            const double low = std::min(c.nearStress(), c.farStress());
            EXPECT_NEAR(high - low, g * std::fabs(h), 8 * DBL_EPSILON * high);
            EXPECT_NEAR(c.farHeightAboveLowPoint() - c.nearHeightAboveLowPoint(), h,
                        8 * DBL_EPSILON *
                            std::max(c.farHeightAboveLowPoint(), c.nearHeightAboveLowPoint()));
            const double weight = model == SpanModel::catenary   ? g * c.length()
                                  : model == SpanModel::parabola ? g * std::hypot(l, h)
                                                                 : g * l;
            EXPECT_NEAR(c.nearVerticalStress() + c.farVerticalStress(), weight,
                        8 * DBL_EPSILON *
                            (std::fabs(c.nearVerticalStress()) + std::fabs(c.farVerticalStress())));
            EXPECT_EQ(c.sagAt(0), 0);
            EXPECT_EQ(c.sagAt(l), 0);
            EXPECT_EQ(c.heightAt(0), 0);
            EXPECT_NEAR(c.heightAt(l), h, 8 * DBL_EPSILON * (std::fabs(h) + c.maxSag()));
            EXPECT_GE(c.maxSagAt(), 0);
            EXPECT_LE(c.maxSagAt(), l);
            // No sag anywhere exceeds the largest.
            for (int j = 1; j < 20; ++j)
                EXPECT_LE(c.sagAt(j * l / 20), c.maxSag() * (1 + 4 * DBL_EPSILON));
            // The stress along the conductor at the supports is the support stress.
            EXPECT_NEAR(c.stressAt(0), c.nearStress(), 8 * DBL_EPSILON * c.nearStress());
            EXPECT_NEAR(c.stressAt(l), c.farStress(), 8 * DBL_EPSILON * c.farStress());
        }
    }
}

// An inclined span of TJ-95 as a handbook works it (l = 300 m, h = 8 m, g₁ = 89e-3 N/(m·mm²),
// σ = 161.5 N/mm²), to the digits printed there. Its figures are the flat parabola's: with the
// load per metre of chord (cos β = 0.99964) f_A would be 10.8469 m and the length 300.4482 m.
TEST(SpanCurve, PublishedInclinedSpanIsTheFlatParabola) {
    const SpanCurve flat(SpanModel::flatParabola, 300, 8, 161.5, 89e-3);
    // Each support's equivalent span is twice its horizontal distance from the low point; A is
    // the higher (far) support.
    EXPECT_NEAR(2 * (300 - flat.lowPoint()), 396.779, 5e-4);
    EXPECT_NEAR(2 * flat.lowPoint(), 203.221, 5e-4);
    EXPECT_NEAR(flat.farHeightAboveLowPoint(), 10.8449, 5e-5);
    EXPECT_NEAR(flat.nearHeightAboveLowPoint(), 2.8449, 5e-5);
    EXPECT_NEAR(flat.sagAt(150), 6.2, 0.05);
    EXPECT_NEAR(flat.length(), 300.4483, 5e-5);
    const SpanCurve inclined(SpanModel::parabola, 300, 8, 161.5, 89e-3);
    EXPECT_GT(std::fabs(inclined.farHeightAboveLowPoint() - 10.8449), 1e-3);
    // The catenary's sags exceed the inclined parabola's by about (l/p)²/48 of them (3.5 mm of
    // 6.2 m here); its length is the printed one to the last digit.
    const SpanCurve catenary(SpanModel::catenary, 300, 8, 161.5, 89e-3);
    EXPECT_NEAR(catenary.farHeightAboveLowPoint(), inclined.farHeightAboveLowPoint(), 5e-3);
    EXPECT_NEAR(catenary.maxSag(), inclined.maxSag() * (1 + square(300 / 1814.6) / 48), 2e-4);
    EXPECT_NEAR(catenary.length(), 300.4483, 5e-5);
}

// The oblique-parabola case of the handbooks: l = 1000 m, h = 150 m, σ₀ = 50 N/mm²,
// γ = 25e-3 N/(m·mm²): the sag 350 m from the lower support is 57.5 m, which is the inclined
// parabola's γ·x·(l − x)/(2σ₀·cos β) (the flat one gives 56.9 m).
TEST(SpanCurve, PublishedObliqueParabola) {
    const SpanCurve parabola(SpanModel::parabola, 1000, 150, 50, 25e-3);
    EXPECT_NEAR(parabola.sagAt(350), 57.5, 0.05);
    const SpanCurve flat(SpanModel::flatParabola, 1000, 150, 50, 25e-3);
    EXPECT_NEAR(flat.sagAt(350), 56.875, 1e-12);
    // Seen from the other end (the higher support near), the same point.
    const SpanCurve reversed(SpanModel::parabola, 1000, -150, 50, 25e-3);
    EXPECT_NEAR(reversed.sagAt(650), parabola.sagAt(350), 1e-12);
    const SpanCurve catenary(SpanModel::catenary, 1000, 150, 50, 25e-3);
    const SpanCurve catenaryReversed(SpanModel::catenary, 1000, -150, 50, 25e-3);
    EXPECT_NEAR(catenaryReversed.sagAt(650), catenary.sagAt(350), 1e-11);
    EXPECT_NEAR(catenary.sagAt(350), 57.5, 1.5);
}

// The parabola model is the state equation's: its largest sag is γ·l²/(8σ₀·cos β) at mid-span.
TEST(SpanCurve, ParabolaIsTheStateEquationsSag) {
    for (double h : {0.0, 40.0, -120.0, 900.0}) {
        const double l = 450, s0 = 70, g = 0.034;
        const double cosAngle = l / std::sqrt(l * l + h * h);
        const SpanCurve c(SpanModel::parabola, l, h, s0, g);
        EXPECT_NEAR(c.maxSag(), g * l * l / (8 * s0 * cosAngle), 1e-12 * c.maxSag());
        EXPECT_EQ(c.maxSagAt(), l / 2);
        EXPECT_NEAR(c.length(), l / cosAngle + g * g * l * l * l * cosAngle / (24 * s0 * s0),
                    1e-12 * l);
    }
}

// Extreme but finite inputs give finite results: no cosh of a large argument is subtracted from
// another, and a very taut span's sag is not lost to cancellation.
TEST(SpanCurve, ExtremeInputsStayFinite) {
    for (double l : {1e-3, 1.0, 2500.0, 1e5}) {
        for (double slope : {0.0, 1e-9, -1e-9, 0.3, -2.0, 50.0, -1e4}) {
            for (double ratio : {1e-3, 0.25, 1.0, 1e3, 1e8}) {
                const double h = slope * l;
                const SpanCurve c(SpanModel::catenary, l, h, 100, 100 / (ratio * l));
                SCOPED_TRACE(::testing::Message() << "l " << l << ", h " << h << ", p/l " << ratio);
                for (double v :
                     {c.lowPoint(), c.nearHeightAboveLowPoint(), c.farHeightAboveLowPoint(),
                      c.maxSag(), c.maxSagAt(), c.length(), c.nearStress(), c.farStress(),
                      c.nearAngle(), c.farAngle(), c.nearVerticalStress(), c.farVerticalStress(),
                      c.sagAt(l / 3), c.heightAt(l / 3)}) {
                    EXPECT_TRUE(std::isfinite(v)) << v;
                }
                EXPECT_GT(c.maxSag(), 0);
            }
        }
    }
    // p = 1e8·l: the sag l²/(8p) is 1e-8 of the span, and stays exact to rounding.
    const SpanCurve taut(SpanModel::catenary, 400, 300, 1e6, 1e6 / 4e10);
    const double l = 400, p = 4e10;
    const double cosAngle = l / 500;
    // Parabola to O((l/p)²): l²/(8p·cos β).
    EXPECT_NEAR(taut.maxSag(), l * l / (8 * p * cosAngle), 1e-12 * taut.maxSag());
}

TEST(SpanCurve, ModelNamesAndRefusals) {
    for (SpanModel m : {SpanModel::catenary, SpanModel::parabola, SpanModel::flatParabola}) {
        EXPECT_EQ(varnel::spanModelNamed(varnel::spanModelName(m)), m);
    }
    EXPECT_FALSE(varnel::spanModelNamed("Catenary").has_value());
    EXPECT_THROW(SpanCurve(SpanModel::catenary, 0, 0, 50, 0.03), std::invalid_argument);
    EXPECT_THROW(SpanCurve(SpanModel::catenary, 300, NAN, 50, 0.03), std::invalid_argument);
    EXPECT_THROW(SpanCurve(SpanModel::catenary, 300, 0, -1, 0.03), std::invalid_argument);
    EXPECT_THROW(SpanCurve(SpanModel::parabola, 300, 0, 50, 0), std::invalid_argument);
    EXPECT_THROW(SpanCurve(SpanModel::parabola, 300, 0, 1e300, 1e-300), std::invalid_argument);
}

// Where cosh(l/(2p)) is beyond a double, every entry to the curve (the span command, Python's
// span_curve through SwungCurve, the profile) is refused with the sag's size, never given
// infinities or NaN; just inside, the figures are finite and the oracle's.
TEST(SpanCurve, BeyondADoubleIsRefusedWithTheSagsSize) {
    struct Case {
        double span, height, stress, load;
    };
    for (const Case& c : {Case{1000, 0, 0.015, 0.03}, Case{1000, 300, 0.02, 0.029},
                          Case{5, -2, 1e-3, 0.5}, Case{2e5, 0, 1, 1e-2}}) {
        SCOPED_TRACE(::testing::Message() << "l " << c.span << ", p " << c.stress / c.load);
        try {
            (void)SpanCurve(SpanModel::catenary, c.span, c.height, c.stress, c.load);
            ADD_FAILURE() << "not refused";
        } catch (const std::domain_error& e) {
            // The level span's sag p·(cosh t − 1) in Real, whose exponent has no such limit.
            const Real p = Real(c.stress) / Real(c.load);
            const Real sag = p * (cosh(Real(c.span) / (2 * p)) - 1);
            using std::floor;
            using std::log10;
            const long exponent = static_cast<long>(floor(log10(sag)));
            EXPECT_GT(exponent, 300);
            if (c.height == 0) {
                EXPECT_NE(std::string(e.what()).find("e" + std::to_string(exponent) + " m"),
                          std::string::npos)
                    << e.what();
            }
        }
        EXPECT_THROW(varnel::SwungCurve(SpanModel::catenary, c.span, c.height, c.stress,
                                        c.load * 1.25, c.load),
                     std::domain_error);
    }
    // l/(2p) = 700: the sag about 5e301·p, a double, and to the last digits.
    const SpanCurve edge(SpanModel::catenary, 1400, 0, 0.03, 0.03);
    const CatenaryOracle exact(1400, 0, 0.03, 0.03);
    EXPECT_LT(relativeError(edge.maxSag(), exact.sag(700)), 1e-12);
    EXPECT_LT(relativeError(edge.farStress(), exact.farStress()), 1e-12);
    EXPECT_LT(relativeError(edge.length(), exact.length()), 1e-12);
}

// A span swung by wind, built in three dimensions in Real: x along the line, y sideways
// (downwind), z up; the chord (l, 0, h) and the load along d = (0, γh, −γv)/γ. The plane's axes
// are u, the chord with its part along d taken out, and w = −d; the catenary hangs in them with
// span c·u and height difference c·w, and its point at plane abscissa X is X·u + Y(X)·w. At a
// horizontal x the conductor lies below the chord by h·x/l − z and beside it by y.
TEST(SwungCurve, IsTheCatenaryInThePlaneOfItsLoad) {
    std::mt19937_64 random(2612);
    std::uniform_real_distribution<double> spans(80, 1500), slopes(-0.7, 0.7), stresses(30, 150),
        verticals(0.03, 0.07), ratios(0.05, 2.5);
#ifdef VARNEL_TEST_MULTIPRECISION
    constexpr double kTolerance = 1e-12;
#else
    constexpr double kTolerance = 1e-10;
#endif
    for (int i = 0; i < 200; ++i) {
        const double l = spans(random), h = slopes(random) * l, s0 = stresses(random);
        const double gv = verticals(random), gh = ratios(random) * gv;
        const double load = std::hypot(gv, gh);
        const varnel::SwungCurve c(SpanModel::catenary, l, h, s0, load, gv);
        // d, its x part 0, from the resultant and the vertical load as the curve takes them
        const Real g = load;
        const Real dz = -Real(gv) / g, dy = sqrt(1 - dz * dz);
        const Real along = Real(h) * dz;  // chord · d
        const Real ux = l, uy = -along * dy, uz = h - along * dz;
        const Real planeSpan = sqrt(ux * ux + uy * uy + uz * uz);
        const Real planeHeight = -along;  // chord · w
        const Real p = Real(s0) / g;
        const Real a = planeSpan / 2 - p * asinh(planeHeight / (2 * p * sinh(planeSpan / (2 * p))));
        const auto y = [&](const Real& x) { return p * (cosh((x - a) / p) - cosh(a / p)); };
        SCOPED_TRACE(::testing::Message() << "l " << l << ", h " << h << ", sigma " << s0 << ", gv "
                                          << gv << ", gh " << gh);
        EXPECT_LE(relativeError(c.planeSpan().span, planeSpan), kTolerance);
        EXPECT_LE(relativeError(c.inPlane().maxSagAt() * l / c.planeSpan().span,
                                (a + p * asinh(planeHeight / planeSpan)) * l / planeSpan),
                  kTolerance);
        EXPECT_LE(
            relativeError(c.maxSagAt(), (a + p * asinh(planeHeight / planeSpan)) * l / planeSpan),
            kTolerance);
        for (double fraction : {0.05, 0.3, 0.5, 0.81}) {
            const double x = fraction * l;
            const Real X = Real(x) * planeSpan / ux;  // u's x part is l/l'
            const Real Y = y(X);
            const Real pointY = X * uy / planeSpan - Y * dy;
            const Real pointZ = X * uz / planeSpan - Y * dz;
            EXPECT_LE(relativeError(c.verticalSagAt(x), Real(h) * x / l - pointZ), kTolerance)
                << "x " << x;
            EXPECT_LE(relativeError(c.sidewaysAt(x), pointY), kTolerance) << "x " << x;
        }
    }
}

// The parabolas keep the span as the design manuals swing it: l and h as they stand, the
// resultant load, the sag along it.
TEST(SwungCurve, TheParabolasSwingTheirOwnCurve) {
    const varnel::SwungCurve c(SpanModel::parabola, 400, 60, 80, std::hypot(0.034, 0.041), 0.034);
    const SpanCurve plain(SpanModel::parabola, 400, 60, 80, std::hypot(0.034, 0.041));
    EXPECT_EQ(c.maxSag(), plain.maxSag());
    EXPECT_EQ(c.maxSagAt(), 200);
    EXPECT_DOUBLE_EQ(c.verticalMaxSag(), plain.maxSag() * 0.034 / std::hypot(0.034, 0.041));
    EXPECT_DOUBLE_EQ(c.sidewaysMaxSag(), plain.maxSag() * 0.041 / std::hypot(0.034, 0.041));
    EXPECT_DOUBLE_EQ(c.swing(), std::atan(0.041 / 0.034));
    // Without wind every model's curve is its vertical one.
    const varnel::SwungCurve still(SpanModel::catenary, 400, 60, 80, 0.034, 0.034);
    EXPECT_EQ(still.maxSag(), SpanCurve(SpanModel::catenary, 400, 60, 80, 0.034).maxSag());
    EXPECT_EQ(still.sidewaysMaxSag(), 0);
    EXPECT_THROW(varnel::SwungCurve(SpanModel::catenary, 400, 60, 80, 0.034, 0.04),
                 std::invalid_argument);
    EXPECT_THROW(varnel::SwungCurve(SpanModel::catenary, 400, 60, 80, 0.034, 0),
                 std::invalid_argument);
}

}  // namespace
