// The state equation of a span solved without the library's solver: the cubic's coefficients
// formed in a wider number type from the same double inputs, and its largest real root found by
// Newton's iteration in that type, then certified by a change of sign.
#pragma once

#include <cmath>
#include <optional>

#include "varnel.h"

namespace varnel::test {

template <typename Real>
struct StateCubic {
    Real a;  // s³ + a·s² − b = 0
    Real b;
};

// A = E·c³·γm²·l²/(24σm²) − σm − α·E·c·(tm − t) and B = E·c³·γ²·l²/24, every operation in Real.
// The specific loads are the library's (CalcBZ has tests of its own); everything after them is
// formed here.
template <typename Real>
StateCubic<Real> stateCubic(double span, double cosAngle, const ::LineAttrib& conductor,
                            const ::WeatherCondition& known, const ::WeatherCondition& sought,
                            double knownStress) {
    const Real gm = CalcBZ(&known, &conductor);
    const Real g = CalcBZ(&sought, &conductor);
    const Real e = conductor.elasticModulus;
    const Real c = cosAngle;
    const Real l = span;
    const Real sm = knownStress;
    const Real dt = Real(known.temperature) - Real(sought.temperature);
    const Real k = e * c * c * c * l * l / 24;
    return {k * gm * gm / (sm * sm) - sm - Real(conductor.expansionCoeff) * e * c * dt, k * g * g};
}

// The largest real root of s³ + a·s² − b = 0 for b > 0, to `tolerance` relative, or nothing when
// the root cannot be certified. For b > 0 the cubic f is negative on [0, max(0, −a)] and rises
// beyond it, so its one root there is the largest. Above that root f is increasing and convex:
// Newton's iteration from any point above it descends to it without overshooting.
template <typename Real>
std::optional<Real> largestCubicRoot(Real a, Real b, Real tolerance) {
    auto f = [&](const Real& s) { return s * s * (s + a) - b; };
    const Real least = a < 0 ? Real(-a) : Real(0);
    Real s = least + 1;
    while (f(s) < 0) s = least + 2 * (s - least);
    for (int i = 0; i < 500; ++i) {
        const Real step = f(s) / (s * (3 * s + 2 * a));
        s -= step;
        if (step <= tolerance * s) break;
    }
    // Certificate: f changes sign across [s·(1 − 2·tolerance), s·(1 + 2·tolerance)], or across
    // [max(0, −a), s·(1 + 2·tolerance)] where that is narrower.
    const Real below = s * (1 - 2 * tolerance);
    const Real above = s * (1 + 2 * tolerance);
    if (!(f(below > least ? below : least) <= 0 && f(above) > 0)) return std::nullopt;
    return s;
}

}  // namespace varnel::test
