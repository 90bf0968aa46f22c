#include "calc/catenary_state.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <stdexcept>
#include <string>

#include "calc/conductor_load.h"

namespace varnel {

namespace {

// Gauss–Legendre nodes on [−1, 1] (the positive half; the rule is symmetric) and weights.
struct Node {
    double x;
    double w;
};
constexpr Node kFour[] = {{0.8611363115940526, 0.34785484513745385},
                          {0.33998104358485626, 0.6521451548625461}};
constexpr Node kSix[] = {{0.932469514203152, 0.17132449237917036},
                         {0.6612093864662645, 0.3607615730481386},
                         {0.2386191860831969, 0.46791393457269104}};
constexpr Node kEight[] = {{0.9602898564975363, 0.10122853629037626},
                           {0.7966664774136267, 0.22238103445337448},
                           {0.525532409916329, 0.31370664587788727},
                           {0.1834346424956498, 0.362683783378362}};

// The rule for a panel of half-width w in z. The integrand is cosh z/(K + q·cosh z), q = σ₀/E
// a few thousandths: on the panel it is cosh z to within a factor close to 1, and the n-point
// rule's error for cosh over [−w, w] is below w^(2n+1)·2^(2n+1)·(n!)⁴/((2n + 1)·((2n)!)³)
// relative: under 1e-17 for 4 nodes up to w = 0.06, 6 nodes up to 0.25 and 8 up to 0.5.
std::span<const Node> ruleFor(double halfWidth) noexcept {
    if (halfWidth <= 0.06) return kFour;
    if (halfWidth <= 0.25) return kSix;
    return kEight;
}

struct LengthAndSlope {
    double length;  // L₀, m
    double slope;   // dL₀/dσ₀, m/(N/mm²)
};

void checkSpan(const SectionSpan& s) {
    if (!(s.span > 0 && std::isfinite(s.span))) {
        throw std::invalid_argument("a span must be a positive length");
    }
    if (!std::isfinite(s.heightDifference)) {
        throw std::invalid_argument("a height difference must be a finite number");
    }
}

void checkState(const LoadState& state, const char* which) {
    if (!(state.load > 0 && std::isfinite(state.load))) {
        throw std::invalid_argument(std::string("the ") + which +
                                    " condition's specific load must be above 0");
    }
    if (!std::isfinite(state.temperature)) {
        throw std::invalid_argument(std::string("the ") + which +
                                    " condition's temperature must be a finite number");
    }
}

void checkConductor(const ConductorStrain& c) {
    if (!(c.elasticModulus > 0 && std::isfinite(c.elasticModulus))) {
        throw std::invalid_argument("the elastic modulus must be above 0");
    }
    if (!std::isfinite(c.expansionCoeff)) {
        throw std::invalid_argument("the expansion coefficient must be a finite number");
    }
}

// 1 + α·(t − t₀): the thermal part of the strain, which must leave the conductor some length.
double thermalFactor(const ConductorStrain& c, double temperature) {
    if (!std::isfinite(c.referenceTemperature)) {
        throw std::invalid_argument("the reference temperature must be a finite number");
    }
    const double k = 1 + c.expansionCoeff * (temperature - c.referenceTemperature);
    if (!(k > 0 && std::isfinite(k))) {
        throw std::invalid_argument(
            "the change of temperature shrinks the conductor to nothing (1 + alpha*(t - t0) <= 0)");
    }
    return k;
}

// L₀ of a taut span and its derivative in σ₀ by the series of the integrand in r = q/K:
//   L₀ = (p/K)·Σₙ (−r)ⁿ·Jₙ₊₁,  Jₘ = ∫ coshᵐ z dz from z₁ = b − t to z₂ = b + t,
// whose terms fall as (r·cosh z)ⁿ, below 1e-17 within ten terms where r·cosh z ≤ 1/64 (σ at the
// supports under E/64: every conductor under tension). J₁ and J₂ are taken in closed forms
// without differences (z₁ + z₂ = 2b, z₂ − z₁ = 2t):
//   J₁ = 2·cosh b·sinh t,  J₂ = t + cosh 2b·sinh t·cosh t,
// the others by Jₘ = [coshᵐ⁻¹ z·sinh z]/m + (m − 1)/m·Jₘ₋₂, whose bracket may lose digits to
// cancellation where the span is taut and steep, at most (z/t)·ε of a term already r² small.
// The derivative: ∂L₀/∂p = S/K + (p/K)·[g(z)·dz/dp] from z₁ to z₂ with S the sum and
// g(z) = Σ (−r)ⁿ coshⁿ⁺¹ z = cosh z/(1 + r·cosh z); ∂L₀/∂q = −(p/K²)·Σ n·(−r)ⁿ⁻¹·Jₙ₊₁.
// Returns false, leaving `out` alone, where the series would converge too slowly.
constexpr double kInverse[12] = {0,       1,       1.0 / 2, 1.0 / 3, 1.0 / 4,  1.0 / 5,
                                 1.0 / 6, 1.0 / 7, 1.0 / 8, 1.0 / 9, 1.0 / 10, 1.0 / 11};

bool seriesIntegral(const SectionSpan& s, double stress, double load, double k, double modulus,
                    LengthAndSlope& out) noexcept {
    const double l = s.span;
    const double p = stress / load;
    const double t = l / (2 * p);
    if (!(t < 4)) return false;
    // Every hyperbolic function here from one expm1 and one square root: with E = eᵗ − 1,
    // sinh t = E·(2 + E)/(2·(1 + E)) keeps its digits however small t is; and e^b, b = asinh u,
    // is u + cosh b or 1/(cosh b − u), whichever adds.
    const double em1 = std::expm1(t);
    const double et = 1 + em1;
    const double iet = 1 / et;
    const double sinhT = em1 * (2 + em1) * iet / 2;
    const double coshT = (et + iet) / 2;
    const double u = s.heightDifference / (2 * p * sinhT);
    const double coshB = std::sqrt(1 + u * u);
    if (!(coshB < 1e6)) return false;
    const double eb = u >= 0 ? u + coshB : 1 / (coshB - u);
    const double ieb = u >= 0 ? 1 / eb : coshB - u;
    const double r = stress / (modulus * k);
    const double e1 = eb * iet, ie1 = ieb * et;  // e^z₁ and e^−z₁, z₁ = b − t
    const double e2 = eb * et, ie2 = ieb * iet;  // z₂ = b + t
    const double c1 = (e1 + ie1) / 2, s1 = (e1 - ie1) / 2;
    const double c2 = (e2 + ie2) / 2, s2 = (e2 - ie2) / 2;
    const double ratio = r * std::max(c1, c2);
    if (!(ratio <= 1.0 / 64)) return false;

    // Jₘ for m = 1 … 11, and the brackets coshᵐ⁻¹ z·sinh z at each end, stepped by cosh².
    double j[12];
    j[1] = 2 * coshB * sinhT;
    j[2] = t + (1 + 2 * u * u) * sinhT * coshT;
    double top1 = s1, top2 = s2;                  // m = 1: cosh⁰ z·sinh z
    double top1Odd = c1 * s1, top2Odd = c2 * s2;  // m = 2
    const double cc1 = c1 * c1, cc2 = c2 * c2;
    double sum = j[1] - r * j[2];
    double dq = j[2];   // Σ n·(−r)ⁿ⁻¹·Jₙ₊₁ from n = 1
    double power = -r;  // (−r)ⁿ
    double bound = ratio;
    int m = 2;
    while (bound > 1e-17 && m < 11) {
        ++m;
        double& a1 = (m % 2 == 1) ? top1 : top1Odd;
        double& a2 = (m % 2 == 1) ? top2 : top2Odd;
        a1 *= cc1;
        a2 *= cc2;
        j[m] = (a2 - a1 + (m - 1) * j[m - 2]) * kInverse[m];
        dq += (m - 1) * power * j[m];  // n = m − 1: n·(−r)ⁿ⁻¹ = (m − 1)·power
        power *= -r;
        sum += power * j[m];
        bound *= ratio;
    }
    if (bound > 1e-17) return false;

    const double tanhB = u / coshB;
    const double cothGap = t * coshT / sinhT - 1;
    const double dz1 = (t + tanhB * cothGap) / p;
    const double dz2 = (-t + tanhB * cothGap) / p;
    const double g1 = c1 / (1 + r * c1);
    const double g2 = c2 / (1 + r * c2);
    const double dLdp = sum / k + (p / k) * (g2 * dz2 - g1 * dz1);
    const double dLdq = -(p / (k * k)) * dq;
    out = {p / k * sum, dLdp / load + dLdq / modulus};
    return true;
}

// L₀ of one span and its derivative in σ₀. With E = exp(−|z|), 1/cosh z = 2E/(1 + E²) and
// tanh|z| = (1 − E²)/(1 + E²): no overflow for any z, so a very slack span (cosh z beyond a
// double) still gives the integrand's limit E/σ₀.
//   d/dσ₀ [1/(K/C + q)] = (K·tanh z·(dz/dσ₀)/C − 1/E) / (K/C + q)²,  C = cosh z, q = σ₀/E,
// with z = x/p − t + b, so that dz/dp = (t − x/p + tanh b·(t·coth t − 1))/p and dp/dσ₀ = 1/γ.
LengthAndSlope spanIntegral(const SectionSpan& s, double stress, double load, double k,
                            double modulus) noexcept {
    if (LengthAndSlope series{}; seriesIntegral(s, stress, load, k, modulus, series)) {
        return series;
    }
    const double l = s.span;
    const double p = stress / load;
    const double t = l / (2 * p);
    const double sinhT = std::sinh(t);
    const double b = std::asinh(s.heightDifference / (2 * p * sinhT));
    const double q = stress / modulus;
    const double tanhB = std::tanh(b);
    // t·coth t − 1, only for the slope (an error of a few ulps of 1 there costs Newton nothing).
    const double cothGap = t * std::cosh(t) / sinhT - 1;
    const double dzShift = (t + tanhB * cothGap) / (p * load);  // the part of dz/dσ₀ without x
    const double dzPerX = -1 / (p * p * load);

    // Panels at most 1 wide in z (their x-width is l/m, z-width 2t/m), up to a number that only
    // spans far slacker than any line (p below l/256) would reach.
    const double panels = std::clamp(std::ceil(2 * t), 1.0, 256.0);
    const double width = l / panels;
    const std::span<const Node> rule = ruleFor(t / panels);
    double length = 0;
    double slope = 0;
    const auto at = [&](double x, double weight) {
        const double z = x / p - t + b;
        const double e = std::exp(-std::fabs(z));
        const double e2 = e * e;
        const double inverseCosh = 2 * e / (1 + e2);
        const double tanhZ = std::copysign((1 - e2) / (1 + e2), z);
        const double denominator = k * inverseCosh + q;
        const double value = 1 / denominator;
        const double dz = dzShift + dzPerX * x;
        length += weight * value;
        slope += weight * (k * inverseCosh * tanhZ * dz - 1 / modulus) * value * value;
    };
    for (double i = 0; i < panels; ++i) {
        const double centre = (i + 0.5) * width;
        const double half = width / 2;
        for (const Node& n : rule) {
            at(centre - half * n.x, half * n.w);
            at(centre + half * n.x, half * n.w);
        }
    }
    return {length, slope};
}

struct Section {
    std::span<const SectionSpan> spans;
    double modulus;

    LengthAndSlope at(double stress, double load, double k) const noexcept {
        LengthAndSlope sum{0, 0};
        for (const SectionSpan& s : spans) {
            const LengthAndSlope one = spanIntegral(s, stress, load, k, modulus);
            sum.length += one.length;
            sum.slope += one.slope;
        }
        return sum;
    }
};

// A start for Newton: the parabolic state equation at the section's ruling span (for one span,
// the span itself), which is within a fraction of a percent for the usual spans.
double parabolicStart(std::span<const SectionSpan> spans, const ConductorStrain& c,
                      const LoadState& known, double knownStress, const LoadState& sought) {
    double sumLc = 0, sumLcc = 0, sumL3c = 0;
    for (const SectionSpan& s : spans) {
        const double cosAngle = s.span / std::hypot(s.span, s.heightDifference);
        sumLc += s.span / cosAngle;
        sumLcc += s.span / (cosAngle * cosAngle);
        sumL3c += s.span * s.span * s.span * cosAngle;
    }
    const double cosRuling = sumLc / sumLcc;
    const double ruling = std::sqrt(sumL3c / sumLcc / (cosRuling * cosRuling * cosRuling));
    return stateEquationStress(ruling, cosRuling, c.elasticModulus, c.expansionCoeff, known,
                               knownStress, sought);
}

// The root of L₀(σ₀) = target, L₀ decreasing. Newton's steps are kept inside the bracket
// (lo, hi) of what has been learnt of the sign; outside it, or before one side is known, the
// bracket is halved or doubled. Near the root L₀ is known to rounding only, so the steps end when
// they no longer shrink the residual.
double solve(const Section& section, double load, double k, double target, double start) {
    double lo = 0;         // L₀(lo) > target
    double hi = HUGE_VAL;  // L₀(hi) < target
    double s = start > 0 && std::isfinite(start) ? start : 1;
    double best = s;
    double bestResidual = HUGE_VAL;
    for (int step = 0; step < 200; ++step) {
        const LengthAndSlope f = section.at(s, load, k);
        const double residual = f.length - target;
        if (residual == 0) return s;
        const bool improved = std::fabs(residual) < bestResidual;
        if (improved) {
            best = s;
            bestResidual = std::fabs(residual);
        }
        if (residual > 0) {
            lo = std::max(lo, s);
        } else {
            hi = std::min(hi, s);
        }
        if (!(lo < hi)) return best;  // the sign flickers: rounding has been reached
        double next = s - residual / f.slope;
        const bool newton = next > lo && next < hi;
        if (!newton) {
            next = hi == HUGE_VAL ? 2 * std::max(s, lo) : lo == 0 ? hi / 2 : lo + (hi - lo) / 2;
        }
        const double change = std::fabs(next - s);
        // Newton's error is squared at each step (times f″/(2f′)·σ, of order 1 here): after a
        // step of 1e-7 of σ what is left is of order 1e-14, below what the rounding of L₀ lets
        // any σ be told apart (1e-16·E/σ₀, about 1e-13), and one more evaluation would only
        // confirm it. From the parabola's start that is most often the second step.
        if (newton && change <= 1e-7 * s) return next;
        if (change <= 2 * DBL_EPSILON * s) return improved ? next : best;
        if (!improved && change <= 1e-9 * s) return best;
        if (!(next > DBL_MIN && next < DBL_MAX)) {
            throw std::domain_error(
                "no horizontal stress within the range of a double keeps the unstressed length");
        }
        s = next;
    }
    return best;
}

}  // namespace

double unstressedLength(const SectionSpan& span, double stress, const LoadState& state,
                        const ConductorStrain& conductor) {
    checkSpan(span);
    checkState(state, "given");
    checkConductor(conductor);
    if (!(stress > 0 && std::isfinite(stress))) {
        throw std::invalid_argument("the stress must be above 0");
    }
    const double k = thermalFactor(conductor, state.temperature);
    return spanIntegral(span, stress, state.load, k, conductor.elasticModulus).length;
}

double catenarySectionStress(std::span<const SectionSpan> spans, const ConductorStrain& conductor,
                             const LoadState& known, double knownStress, const LoadState& sought) {
    if (spans.empty()) throw std::invalid_argument("a section needs at least one span");
    for (const SectionSpan& s : spans) checkSpan(s);
    checkState(known, "known");
    checkState(sought, "sought");
    checkConductor(conductor);
    if (!(knownStress > 0 && std::isfinite(knownStress))) {
        throw std::invalid_argument("the known stress must be above 0");
    }
    const double knownK = thermalFactor(conductor, known.temperature);
    const double k = thermalFactor(conductor, sought.temperature);
    if (known.load == sought.load && known.temperature == sought.temperature) return knownStress;
    const Section section{spans, conductor.elasticModulus};
    const double target = section.at(knownStress, known.load, knownK).length;
    return solve(section, sought.load, k, target,
                 parabolicStart(spans, conductor, known, knownStress, sought));
}

double catenaryStateStress(const SectionSpan& span, const ConductorStrain& conductor,
                           const LoadState& known, double knownStress, const LoadState& sought) {
    return catenarySectionStress(std::span<const SectionSpan>(&span, 1), conductor, known,
                                 knownStress, sought);
}

double catenaryStateStress(const SectionSpan& span, const LineAttrib& conductor,
                           const WeatherCondition& known, const WeatherCondition& sought,
                           double knownStress) {
    return catenaryStateStress(span, {conductor.elasticModulus, conductor.expansionCoeff},
                               {specificLoad(known, conductor), known.temperature}, knownStress,
                               {specificLoad(sought, conductor), sought.temperature});
}

}  // namespace varnel
