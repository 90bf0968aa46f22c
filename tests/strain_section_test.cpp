// The strain section: ruling span, stresses, sags and the stringing table.
#include "design/strain_section.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "calc/state_equation.h"

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
