#include "calc/state_equation.h"

#include <cmath>

#include "calc/conductor_load.h"

namespace varnel {

namespace {
constexpr double kOneTwentyFourth = 0.041666666666666664;
constexpr double kThird = 0.3333333333333333;
}  // namespace

// The state equation
//   σ − E·c³·γ²·l²/(24σ²) = σm − E·c³·γm²·l²/(24σm²) − α·E·c·(t − tm)
// is the cubic σ³ + A·σ² − B = 0. With σ = |A|·(z − C)/3 and C the sign of A it becomes
// z³ − 3z = 2J, J = 13.5·B/|A|³ − C, whose largest root is 2·cosh(acosh(J)/3) for J ≥ 1 and
// 2·cos(acos(J)/3) for −1 ≤ J < 1. B ≥ 0 keeps J ≥ −1, so σ is the largest real root and is
// never negative.
double stateEquationStress(double span, double cosAngle, const LineAttrib& conductor,
                           const WeatherCondition& known, const WeatherCondition& sought,
                           double knownStress) noexcept {
    const double gammaKnown = specificLoad(known, conductor);
    const double gamma = specificLoad(sought, conductor);
    const double e = conductor.elasticModulus;
    const double l = span;
    const double sm = knownStress;
    const double k = std::pow(cosAngle, 3) * e;
    const double a =
        (k * gammaKnown * gammaKnown * l * l) / (sm * sm * 24) -
        (sm + (known.temperature - sought.temperature) * conductor.expansionCoeff * e * cosAngle);
    const double b = k * gamma * gamma * l * l * kOneTwentyFourth;
    const double c = a < 0 ? -1.0 : 1.0;
    const double absA = std::fabs(a);
    if (absA < 1e-6) return std::pow(b, kThird);
    const double j = 13.5 * b / std::pow(absA, 3) - c;
    if (j >= 1) {
        const double acoshJ = std::log(j + std::sqrt(j * j - 1));
        return (2 * std::cosh(acoshJ * kThird) - c) * absA * kThird;
    }
    return (2 * std::cos(std::acos(j) * kThird) - c) * absA * kThird;
}

}  // namespace varnel
