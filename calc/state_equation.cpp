#include "calc/state_equation.h"

#include <cmath>

#include "calc/conductor_load.h"

namespace varnel {

namespace {

constexpr double kOneTwentyFourth = 0.041666666666666664;
constexpr double kThird = 0.3333333333333333;

// The cubic σ³ + A·σ² − B = 0 in closed form. With σ = |A|·(z − C)/3 and C the sign of A it
// becomes z³ − 3z = 2J, J = 13.5·B/|A|³ − C, whose largest root is 2·cosh(acosh(J)/3) for J ≥ 1
// and 2·cos(acos(J)/3) for −1 ≤ J < 1. B ≥ 0 keeps J ≥ −1, so σ is the largest real root and is
// never negative. Within a few ulps of the root except for A > 0 with J near −1 (σ far below A):
// there 2·cos(…) − 1 cancels, which loses about log10(1/(J + 1)) digits, all of them once J + 1
// is below 1e-16. Infinite or not a number when J overflows (A = 0, or J² beyond 1e308).
double trigonometricRoot(double a, double b) noexcept {
    const double c = a < 0 ? -1.0 : 1.0;
    const double absA = std::fabs(a);
    const double j = 13.5 * b / (absA * absA * absA) - c;
    if (j >= 1) {
        const double acoshJ = std::log(j + std::sqrt(j * j - 1));
        return (2 * std::cosh(acoshJ * kThird) - c) * absA * kThird;
    }
    return (2 * std::cos(std::acos(j) * kThird) - c) * absA * kThird;
}

// The closed form as the library has always given it: ∛B for |A| below 1e-6.
double closedFormRoot(double a, double b) noexcept {
    if (std::fabs(a) < 1e-6) return std::pow(b, kThird);
    return trigonometricRoot(a, b);
}

// A value hi + lo carried in two doubles (|lo| at most half an ulp of hi). The operations are
// error-free transformations that need only doubles rounded to nearest: no fused multiply-add,
// which the i686 build lacks, so both builds give the same bits.
struct Wide {
    double hi;
    double lo;
};

Wide twoSum(double a, double b) noexcept {
    const double s = a + b;
    const double bVirtual = s - a;
    return {s, (a - (s - bVirtual)) + (b - bVirtual)};
}

Wide fastTwoSum(double a, double b) noexcept {  // |a| ≥ |b|
    const double s = a + b;
    return {s, b - (s - a)};
}

// Veltkamp's split: hi holds the upper 26 bits of a, lo the rest, both exact.
Wide split(double a) noexcept {
    const double t = 134217729.0 * a;  // 2^27 + 1
    const double hi = t - (t - a);
    return {hi, a - hi};
}

// Dekker's product: a·b exactly as hi + lo.
Wide twoProduct(double a, double b) noexcept {
    const double p = a * b;
    const Wide x = split(a);
    const Wide y = split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

Wide times(Wide a, double b) noexcept {
    const Wide p = twoProduct(a.hi, b);
    return fastTwoSum(p.hi, p.lo + a.lo * b);
}

Wide plus(Wide a, Wide b) noexcept {
    const Wide s = twoSum(a.hi, b.hi);
    return fastTwoSum(s.hi, s.lo + a.lo + b.lo);
}

Wide dividedBy(Wide a, Wide b) noexcept {
    const double q = a.hi / b.hi;
    const Wide qb = times(b, q);
    return fastTwoSum(q, ((a.hi - qb.hi) - qb.lo + a.lo) / b.hi);
}

// f(σ) = σ²·(σ + A) − B with σ² and σ + A exact and their product kept to twice the precision of
// a double. Near the root the terms cancel to the size of f′·ulp(σ); evaluated plainly, f would
// be rounding noise there and Newton's last step would land an ulp or so off, on a bit that
// depends on where it started (and so on the C library's cos or cosh). A is a.hi + a.lo.
double residual(double s, Wide a, double b) noexcept {
    const Wide parts = split(s);
    const double square = s * s;
    const double squareLow =
        ((parts.hi * parts.hi - square) + 2 * parts.hi * parts.lo) + parts.lo * parts.lo;
    Wide sum = twoSum(s, a.hi);
    sum.lo += a.lo;
    const Wide product = twoProduct(square, sum.hi);
    const double tail = product.lo + (square * sum.lo + squareLow * sum.hi);
    const Wide difference = twoSum(product.hi, -b);
    return difference.hi + (difference.lo + tail);
}

// Newton's iteration on f from s0 > max(0, −2A/3), for B > 0. There f′ = σ·(3σ + 2A) > 0 and f
// is convex (f″ = 6σ + 2A > 0), so the first step lands on or above the root and the rest
// descend to it without overshooting; the error is then squared at each step (relative error
// e becomes at most 3e²). After a step of at most 1e-11 of σ the error is far below an ulp and
// the residual is accurate, so the result is the root of the cubic with these A and B rounded to
// nearest (but for a root within about 1e-21 of σ of a tie), whatever the start.
double newtonRoot(double s0, Wide a, double b) noexcept {
    constexpr int kMaxSteps = 64;  // for the fallback start; the others need one or two steps
    double s = s0;
    for (int step = 0; step < kMaxSteps; ++step) {
        const double delta = residual(s, a, b) / (s * (3 * s + 2 * a.hi));
        s -= delta;
        if (!(std::fabs(delta) > 1e-11 * s)) break;
    }
    return s;
}

// A starting point for Newton above max(0, −2A/3): within a few ulps of the root for the usual
// inputs, so that one step suffices, and within 2e-8 everywhere, so that two do.
double startingPoint(double a, double b) noexcept {
    // J within 1e-6 of −1: σ ≪ A, and σ = √(B/(A + σ)). One substitution of √(B/A) for σ on the
    // right is good to about (σ/A)²/4 = (J + 1)/54 < 2e-8 relative; the closed form does better
    // above this bound and worse below it.
    if (a > 0 && 13.5 * b < 1e-6 * a * a * a) return std::sqrt(b / (a + std::sqrt(b / a)));
    const double s = trigonometricRoot(a, b);
    const double least = a < 0 ? -a : 0;  // the root is at least max(0, −A)
    if (s > least * (2.0 / 3) && std::isfinite(s)) return s;
    // J overflowed (A = 0, or |A| negligible against ∛B, which is then the root to rounding). In
    // any case max(0, −A) + ∛B is above the root, since f is not negative there.
    return least + std::cbrt(b);
}

// The root again, from σ, with A = K/σm² − σm − α·E·c·(tm − t), K = E·c³·γm²·l²/24, formed in
// twice double precision: for when A's terms cancel, so that the rounding of each term, relative
// to the term, is a larger error relative to A and to the root. c³ is formed exactly here. Kept
// out of line: it is rarely needed, and inlined it would make the usual path save and restore
// its intermediate values around every call.
[[gnu::noinline]] double rootWithWideA(double s, double b, double span, double cosAngle, double e,
                                       double expansionCoeff, const LoadState& known,
                                       double temperature, double knownStress) noexcept {
    const double gammaKnown = known.load;
    const Wide k = times(times(twoProduct(cosAngle, cosAngle), cosAngle), e);
    const Wide numerator = times(times(times(times(k, gammaKnown), gammaKnown), span), span);
    const Wide denominator = times(twoProduct(knownStress, knownStress), 24);
    const Wide sag = dividedBy(numerator, denominator);
    const Wide thermal =
        times(times(times(twoSum(known.temperature, -temperature), expansionCoeff), e), cosAngle);
    const Wide sum = plus(sag, Wide{-knownStress, 0});
    return newtonRoot(s, plus(sum, Wide{-thermal.hi, -thermal.lo}), b);
}

}  // namespace

// The state equation
//   σ − E·c³·γ²·l²/(24σ²) = σm − E·c³·γm²·l²/(24σm²) − α·E·c·(t − tm)
// is the cubic σ³ + A·σ² − B = 0, A = E·c³·γm²·l²/(24σm²) − σm − α·E·c·(tm − t),
// B = E·c³·γ²·l²/24. Its largest real root is the stress sought; for B > 0 it is the only root
// above zero, and it lies in [max(0, −A), max(0, −A) + ∛B]. The closed form gives a start that
// Newton's iteration polishes to the last bit of the cubic's root.
double stateEquationStress(double span, double cosAngle, double elasticModulus,
                           double expansionCoeff, const LoadState& known, double knownStress,
                           const LoadState& sought) noexcept {
    const double gammaKnown = known.load;
    const double gamma = sought.load;
    const double e = elasticModulus;
    const double l = span;
    const double sm = knownStress;
    const double k = cosAngle * cosAngle * cosAngle * e;
    const double sag = (k * gammaKnown * gammaKnown * l * l) / (sm * sm * 24);
    const double thermal = (known.temperature - sought.temperature) * expansionCoeff * e * cosAngle;
    const double a = sag - (sm + thermal);
    const double b = k * gamma * gamma * l * l * kOneTwentyFourth;

    if (!(b > 0 && b < HUGE_VAL && std::fabs(a) < HUGE_VAL)) {
        // Zero span or zero load: σ²·(σ + A) = 0.
        if (b == 0 && std::fabs(a) < HUGE_VAL) return a < 0 ? -a : 0.0;
        // Outside B ≥ 0 (a negative modulus or cosine) there is no physical root, and non-finite
        // inputs have no root at all: the closed form's value, not a number or infinite as the
        // case may be, is passed on.
        return closedFormRoot(a, b);
    }
    // The sought state equal to the known one: σm is then an exact root (σm³ + (K/σm² − σm)·σm²
    // − K = 0 with K = B), the only positive one. The rounded A and B would put the computed
    // root an ulp or so away, and a condition strung to its own limit would then exceed it.
    if (sought.load == known.load && sought.temperature == known.temperature && sm > 0 &&
        sm < HUGE_VAL) {
        return sm;
    }
    // An error δA in A moves the root by δA/(3σ + 2A) (from f′·δσ = −σ²·δA). The rounding of A's
    // terms, a few ulps of the largest, thus costs more than a few ulps of σ when the terms
    // exceed 3σ + 2A: short spans at low stress with a large change of temperature.
    const double spread = std::fabs(sag) + std::fabs(sm) + std::fabs(thermal);
    const double s = newtonRoot(startingPoint(a, b), Wide{a, 0}, b);
    if (spread <= 2 * (3 * s + 2 * a)) return s;
    if (!std::isfinite(s)) return closedFormRoot(a, b);  // f overflowed: beyond any real line
    return rootWithWideA(s, b, span, cosAngle, e, expansionCoeff, known, sought.temperature,
                         knownStress);
}

double stateEquationStress(double span, double cosAngle, const LineAttrib& conductor,
                           const WeatherCondition& known, const WeatherCondition& sought,
                           double knownStress) noexcept {
    return stateEquationStress(span, cosAngle, conductor.elasticModulus, conductor.expansionCoeff,
                               {specificLoad(known, conductor), known.temperature}, knownStress,
                               {specificLoad(sought, conductor), sought.temperature});
}

}  // namespace varnel
