#include "calc/catenary_state.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <stdexcept>
#include <string>

#include "calc/conductor_load.h"
#include "calc/span_curve.h"

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
    double length = 0;             // L₀, m
    double slope = 0;              // dL₀/dσ₀, m/(N/mm²)
    double curvature = 0;          // d²L₀/dσ₀², m/(N/mm²)²
    bool curvatureWorked = false;  // the quadrature leaves it out
};

// The temperatures a conductor is solved at, °C: beyond any climate or conductor rating, a
// temperature is a mistake (a sought 1e132 °C), not a state.
constexpr double kLowestTemperature = -100;
constexpr double kHighestTemperature = 400;

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
    if (!(state.temperature >= kLowestTemperature && state.temperature <= kHighestTemperature)) {
        throw std::invalid_argument(std::string("the ") + which +
                                    " condition's temperature must be from -100 to 400 degC");
    }
    if (!(state.verticalLoad > 0 && state.verticalLoad <= state.load)) {
        throw std::invalid_argument(std::string("the ") + which +
                                    " condition's vertical load must be above 0 and at most its "
                                    "specific load");
    }
}

// The spans as they hang in the plane of a state's load (calc/span_curve.h).
std::vector<SectionSpan> inPlane(std::span<const SectionSpan> spans, const LoadPlane& plane) {
    std::vector<SectionSpan> out;
    out.reserve(spans.size());
    for (const SectionSpan& s : spans) {
        const PlaneSpan p = inLoadPlane(s.span, s.heightDifference, plane);
        out.push_back({p.span, p.heightDifference});
    }
    return out;
}

LoadPlane planeOf(const LoadState& state) {
    return loadPlane(state.load, state.verticalLoad);
}

bool samePlane(const LoadPlane& a, const LoadPlane& b) noexcept {
    return a.cosSwing == b.cosSwing && a.sinSwing == b.sinSwing;
}

bool sameState(const LoadState& a, const LoadState& b) noexcept {
    return a.load == b.load && a.temperature == b.temperature && a.verticalLoad == b.verticalLoad;
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
    if (!(c.referenceTemperature >= kLowestTemperature &&
          c.referenceTemperature <= kHighestTemperature)) {
        throw std::invalid_argument("the reference temperature must be from -100 to 400 degC");
    }
    const double k = 1 + c.expansionCoeff * (temperature - c.referenceTemperature);
    if (!(k > 0 && std::isfinite(k))) {
        throw std::invalid_argument(
            "the change of temperature shrinks the conductor to nothing (1 + alpha*(t - t0) <= 0)");
    }
    return k;
}

// What the evaluations in one condition share: its specific load γ, the thermal factor
// K = 1 + α·(t − t₀), the modulus E, and the reciprocals the evaluations multiply by.
struct Condition {
    double load;
    double k;
    double modulus;
    double invLoad;  // 1/γ
    double invK;     // 1/K
    double invEk;    // 1/(E·K)

    Condition(double load_, double k_, double modulus_) noexcept
        : load(load_),
          k(k_),
          modulus(modulus_),
          invLoad(1 / load_),
          invK(1 / k_),
          invEk(1 / (modulus_ * k_)) {}
};

// sinh t and cosh t for t > 0, and two differences that cancel for small t,
//   t·cosh t − sinh t = Σₖ₌₁ 2k·t²ᵏ⁺¹/(2k + 1)!,  sinh t·cosh t − t = Σₖ₌₁ 4ᵏ·t²ᵏ⁺¹/(2k + 1)!.
// Up to t = 0.5 all by their series, without a division: the first terms left out are below
// 1e-17 of the sums (the last below 1e-8: it serves only terms weighing r² ~ 1e-6). Beyond,
// from one expm1 and the differences as they stand.
struct Hyperbolic {
    double sinh;
    double cosh;
    double gap;      // t·cosh t − sinh t
    double halfGap;  // sinh t·cosh t − t
};

Hyperbolic hyperbolic(double t) noexcept {
    if (t <= 0.5) {
        const double x = t * t;
        const double x2 = x * x;
        const double x4 = x2 * x2;
        const double s = ((1 + x * (1.0 / 6)) + x2 * (1.0 / 120 + x * (1.0 / 5040))) +
                         x4 * ((1.0 / 362880 + x * (1.0 / 39916800)) +
                               x2 * (1.0 / 6227020800 + x * (1.0 / 1307674368000)));
        const double c =
            ((1 + x * 0.5) + x2 * (1.0 / 24 + x * (1.0 / 720))) +
            x4 * ((1.0 / 40320 + x * (1.0 / 3628800)) +
                  x2 * ((1.0 / 479001600 + x * (1.0 / 87178291200)) + x2 * (1.0 / 20922789888000)));
        const double g = ((1.0 / 3 + x * (1.0 / 30)) + x2 * (1.0 / 840 + x * (1.0 / 45360))) +
                         x4 * ((1.0 / 3991680 + x * (1.0 / 518918400)) + x2 * (1.0 / 93405312000));
        const double h = ((2.0 / 3 + x * (2.0 / 15)) + x2 * (4.0 / 315 + x * (2.0 / 2835))) +
                         x4 * (4.0 / 155925 + x * (4.0 / 6081075));
        const double t3 = t * x;
        return {t * s, c, t3 * g, t3 * h};
    }
    const double em1 = std::expm1(t);
    const double et = 1 + em1;
    const double iet = 1 / et;
    const double sinhT = em1 * (2 + em1) * iet / 2;
    const double coshT = (et + iet) / 2;
    return {sinhT, coshT, t * coshT - sinhT, sinhT * coshT - t};
}

// L₀ of a taut span, and its first two derivatives in σ₀, by the series of the integrand in
// r = σ₀/(E·K):
//   L₀ = G/K,  G = Σₙ (−r)ⁿ·Fₙ₊₁,  Fₘ = p·Jₘ,  Jₘ = ∫ coshᵐ z dz from z₁ = b − t to z₂ = b + t,
// whose terms fall as (r·cosh z)ⁿ, below 1e-17 within ten terms where r·cosh z ≤ 1/64 (σ at the
// supports under E/64: every conductor under tension). F₁ and F₂ are taken in closed forms
// without differences (w = 2p·sinh t, the chord-wise length; u = h/w = sinh b):
//   F₁ = S = √(h² + w²),  F₂ = T = l/2 + (w/2 + h²/w)·cosh t,
// the others by Jₘ = [coshᵐ⁻¹ z·sinh z]/m + (m − 1)/m·Jₘ₋₂, whose bracket may lose digits to
// cancellation where the span is taut and steep, at most (z/t)·ε of a term already r² small.
//
// The derivatives, with p = σ₀/γ and r as the variables (d/dσ₀ = ∂p/γ + ∂r/(E·K)):
//   dL₀/dσ₀ = (G_p/γ + G_r/(E·K))/K,
//   d²L₀/dσ₀² = (G_pp/γ² + 2·G_pr/(γ·E·K) + G_rr/(E·K)²)/K.
// S′, S″, T′ and T″ in closed forms, with t′ = −t/p and w′ = −2·(t·cosh t − sinh t) taken by its
// series where the difference would cancel:
//   S′ = w·w′/S,  S″ = (w′²·h² + w·w″·S²)/S³,  w″ = 2t²·sinh t/p,
//   T′ and T″ from T = l/2 + a·cosh t, a = w/2 + h²/w;
// for m ≥ 3, Fₘ′ = Jₘ + p·Jₘ′ and Fₘ″ = 2Jₘ′ + p·Jₘ″ with
//   Jₘ′ = coshᵐ z₂·z₂′ − coshᵐ z₁·z₁′,
//   Jₘ″ = m·coshᵐ⁻¹ z₂·sinh z₂·z₂′² + coshᵐ z₂·z₂″ − (the same at z₁),
//   z₂,₁′ = b′ ∓ t/p,  z₂,₁″ = b″ ± 2t/p²,  b′ = tanh b·g/p,  g = t·coth t − 1,
//   b″ = b′·g/(p·cosh² b) + tanh b·g′/p − b′/p,  g′ = −(t/p)·(sinh t·cosh t − t)/sinh² t.
// These terms weigh r² or less against the closed forms', so their own cancellations cost
// nothing that shows. The second derivative is within some 1e-7 of a difference of slopes
// (itself good to about that), which is what the solve's step needs of it.
// Returns false, leaving `out` alone, where the series would converge too slowly.
constexpr double kInverse[12] = {0,       1,       1.0 / 2, 1.0 / 3, 1.0 / 4,  1.0 / 5,
                                 1.0 / 6, 1.0 / 7, 1.0 / 8, 1.0 / 9, 1.0 / 10, 1.0 / 11};

template <int kOrder>  // 0: L₀ alone; 1: and its slope; 2: and its curvature
bool seriesIntegral(const SectionSpan& s, double stress, const Condition& c,
                    LengthAndSlope& out) noexcept {
    const double l = s.span;
    const double h = s.heightDifference;
    const double p = stress * c.invLoad;
    const double ip = c.load / stress;  // 1/p
    const double t = 0.5 * l * ip;
    if (!(t < 4)) return false;
    const Hyperbolic th = hyperbolic(t);
    const double sinhT = th.sinh;
    const double coshT = th.cosh;
    const double w = 2 * p * sinhT;
    const double iw = 1 / w;
    const double S = std::sqrt(w * w + h * h);  // = p·J₁, the span's length
    const double u = h * iw;
    const double coshB = S * iw;
    if (!(coshB < 1e6)) return false;
    const double r = stress * c.invEk;
    // cosh and sinh of z₁ = b − t and z₂ = b + t, cosh b = √(1 + u²) and sinh b = u
    const double cc = coshB * coshT;
    const double us = u * sinhT;
    const double uc = u * coshT;
    const double cs = coshB * sinhT;
    const double c1 = cc - us, c2 = cc + us;
    const double s1 = uc - cs, s2 = uc + cs;
    const double ratio = r * std::max(c1, c2);
    if (!(ratio <= 1.0 / 64)) return false;

    // z₁′, z₂′, z₁″, z₂″ for the derivatives of the terms m ≥ 3
    double z1d = 0, z2d = 0, z1dd = 0, z2dd = 0;
    const double tt = t * t;
    const double gapT = th.gap;
    const double hh = h * h;
    const double iS = 1 / S;
    if constexpr (kOrder >= 1) {
        const double tanhB = h * iS;
        const double isinhT = 2 * p * iw;
        const double g = gapT * isinhT;
        const double bd = tanhB * g * ip;
        const double tip = t * ip;
        z2d = bd - tip;
        z1d = bd + tip;
        if constexpr (kOrder >= 2) {
            const double gd = -tip * th.halfGap * isinhT * isinhT;
            const double sechB2 = w * w * iS * iS;
            const double bdd = (bd * g * sechB2 + tanhB * gd - bd) * ip;
            const double tip2 = 2 * tip * ip;
            z2dd = bdd + tip2;
            z1dd = bdd - tip2;
        }
    }

    // Jₘ for m = 1 … 11, and the brackets coshᵐ⁻¹ z·sinh z at each end, stepped by cosh².
    double j[12];
    j[1] = 2 * coshB * sinhT;
    j[2] = t + (1 + 2 * u * u) * sinhT * coshT;
    double top1 = s1, top2 = s2;                  // m = 1: cosh⁰ z·sinh z
    double top1Odd = c1 * s1, top2Odd = c2 * s2;  // m = 2
    const double cc1 = c1 * c1, cc2 = c2 * c2;
    double pow1 = c1 * cc1, pow2 = c2 * cc2;  // coshᵐ z at each end, from m = 3
    double sum = j[1] - r * j[2];
    double dq = j[2];                 // Σ n·(−r)ⁿ⁻¹·Jₙ₊₁ from n = 1
    double dqq = 0;                   // Σ n·(n − 1)·(−r)ⁿ⁻²·Jₙ₊₁ from n = 2
    double power2 = 1;                // (−r)ⁿ⁻²
    double power = -r;                // (−r)ⁿ
    double gp = 0, gpp = 0, gpr = 0;  // the terms m ≥ 3 of G_p, G_pp and G_pr
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
        dqq += (m - 1) * (m - 2) * power2 * j[m];
        if (kOrder >= 1 && m <= 5) {
            // n = m − 1: (−r)ⁿ = power·(−r), n·(−1)ⁿ·rⁿ⁻¹ = −(m − 1)·power. Beyond m = 5 the
            // terms weigh r⁵ (some 1e-15) of the closed forms' and are left out.
            const double jd = pow2 * z2d - pow1 * z1d;
            const double fd = j[m] + p * jd;
            gp -= r * power * fd;
            gpr -= (m - 1) * power * fd;
            if constexpr (kOrder >= 2) {
                const double jdd =
                    m * (a2 * z2d * z2d - a1 * z1d * z1d) + pow2 * z2dd - pow1 * z1dd;
                gpp -= r * power * (2 * jd + p * jdd);
            }
            pow1 *= c1;
            pow2 *= c2;
        }
        power2 *= -r;
        power *= -r;
        sum += power * j[m];
        bound *= ratio;
    }
    if (bound > 1e-17) return false;
    out.length = p * sum * c.invK;
    if constexpr (kOrder == 0) return true;

    const double w1 = -2 * gapT;
    const double iww = iw * iw;
    const double a0 = w / 2 + hh * iw;
    const double a1 = w1 / 2 - hh * w1 * iww;
    const double ch1 = -t * sinhT * ip;
    const double d1S = w * w1 * iS;
    const double d1T = a1 * coshT + a0 * ch1;
    const double gP = d1S - r * d1T + gp;
    const double gR = -p * dq;
    out.slope = (gP * c.invLoad + gR * c.invEk) * c.invK;
    if constexpr (kOrder == 1) return true;

    const double w2 = 2 * tt * sinhT * ip;
    const double d2S = (w1 * w1 * hh + w * w2 * S * S) * iS * iS * iS;
    const double a2 = w2 / 2 - hh * (w2 * iww - 2 * w1 * w1 * iww * iw);
    const double ch2 = (2 * t * sinhT + tt * coshT) * ip * ip;
    const double d2T = a2 * coshT + 2 * a1 * ch1 + a0 * ch2;
    const double gPP = d2S - r * d2T + gpp;
    const double gPR = -d1T + gpr;
    const double gRR = p * dqq;
    out.curvature =
        (gPP * c.invLoad * c.invLoad + 2 * gPR * c.invLoad * c.invEk + gRR * c.invEk * c.invEk) *
        c.invK;
    out.curvatureWorked = true;
    return true;
}

// L₀ of one span and its derivative in σ₀. With E = exp(−|z|), 1/cosh z = 2E/(1 + E²) and
// tanh|z| = (1 − E²)/(1 + E²): no overflow for any z, so a very slack span (cosh z beyond a
// double) still gives the integrand's limit E/σ₀.
//   d/dσ₀ [1/(K/C + q)] = (K·tanh z·(dz/dσ₀)/C − 1/E) / (K/C + q)²,  C = cosh z, q = σ₀/E,
// with z = x/p − t + b, so that dz/dp = (t − x/p + tanh b·(t·coth t − 1))/p and dp/dσ₀ = 1/γ.
template <int kOrder>
LengthAndSlope spanIntegral(const SectionSpan& s, double stress, const Condition& c) noexcept {
    if (LengthAndSlope series{}; seriesIntegral<kOrder>(s, stress, c, series)) return series;
    const double load = c.load;
    const double k = c.k;
    const double modulus = c.modulus;
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

// L₀ of a section, the sum over its spans, with its derivatives; the curvature is worked only
// when every span's is.
template <int kOrder = 2>
LengthAndSlope sectionIntegral(std::span<const SectionSpan> spans, double stress,
                               const Condition& c) noexcept {
    LengthAndSlope sum;
    sum.curvatureWorked = true;
    for (const SectionSpan& s : spans) {
        const LengthAndSlope one = spanIntegral<kOrder>(s, stress, c);
        sum.length += one.length;
        sum.slope += one.slope;
        sum.curvature += one.curvature;
        sum.curvatureWorked = sum.curvatureWorked && one.curvatureWorked;
    }
    if (!sum.curvatureWorked) sum.curvature = 0;
    return sum;
}

// The section's ruling span and its cosine, on which the parabolic state equation gives the
// solve its start: for one span, the span itself.
struct Ruling {
    double span;
    double cosAngle;
};

Ruling rulingOf(std::span<const SectionSpan> spans) noexcept {
    if (spans.size() == 1) {
        const SectionSpan& s = spans.front();
        return {s.span, s.span / std::hypot(s.span, s.heightDifference)};
    }
    double sumLc = 0, sumLcc = 0, sumL3c = 0;
    for (const SectionSpan& s : spans) {
        const double cosAngle = s.span / std::hypot(s.span, s.heightDifference);
        sumLc += s.span / cosAngle;
        sumLcc += s.span / (cosAngle * cosAngle);
        sumL3c += s.span * s.span * s.span * cosAngle;
    }
    const double cosRuling = sumLc / sumLcc;
    return {std::sqrt(sumL3c / sumLcc / (cosRuling * cosRuling * cosRuling)), cosRuling};
}

// The root of L₀(σ₀) = target, L₀ decreasing and convex, from `start`. The steps are kept
// inside the bracket (lo, hi) of what has been learnt of the sign; outside it, or before one
// side is known, the bracket is halved or doubled.
//
// The step. Where the curvature is worked, L₀ is taken near σ₀ as the parabolic state equation
// has it, A + B/σ₀² + C·σ₀ (the sag's length and the stretch), with B and C from the slope f′
// and the curvature f″ there (B = f″·σ₀⁴/6, C = f′ + f″·σ₀/3), and its root is the next point.
// A short step (Newton's under 1e-4 of σ₀) is taken on the model's Taylor polynomial with one
// division; a longer one as Halley's step followed by one of Newton's on the model. The model's
// own error is far below Halley's: the catenary departs from it by an error of about
//   ε·(2/3)·|f″/f′|·δ³/σ₀,   δ the step,
// ε the relative departure of L₀‴ from the model's −4f″/σ₀ (a few hundredths for a taut span,
// where it goes as t² and r), rather than Halley's [(f″/2f′)² − f‴/6f′]·δ³. A step whose
// estimate, with ε = 1, is below 1e-16 of σ₀ is taken as the root: from a start within 1e-6 of
// it, one evaluation with derivatives. Where the curvature is not worked, Newton's steps.
//
// After a step not so taken the next evaluation is of L₀ alone (about half the cost of L₀ with
// its derivatives): its slope is carried over from the model, wrong by about |f″·δ/f′|·
// (1e-4 + 2|δ|/σ₀) relative at most, and a Newton step is taken with it.
//
// When to stop otherwise. The rounding of L₀ lets stresses be told apart to about 1e-16·E/σ₀
// (1e-13), so a step whose own error is below some 1e-14 of σ₀ is taken without a further
// evaluation to confirm it. Newton's error after a step δ is about (f″/2f′)·δ², of order δ²/σ₀:
// a step of 1e-7 of σ₀, when the slope is exact, and when it is carried over, its error times the
// step under 1e-15 of σ₀ as well.
double solveRoot(std::span<const SectionSpan> spans, const Condition& c, double target,
                 double start) {
    double lo = 0;         // L₀(lo) > target
    double hi = HUGE_VAL;  // L₀(hi) < target
    double s = start > 0 && std::isfinite(start) ? start : 1;
    double best = s;
    double bestResidual = HUGE_VAL;
    bool carried = false;  // evaluate L₀ alone, the slope carried from the last point
    double carriedSlope = 0;
    double slopeError = 0;  // relative, of a carried slope
    for (int step = 0; step < 200; ++step) {
        const double inverseStress = 1 / s;  // off the evaluation's path
        LengthAndSlope f;
        if (carried) {
            f.length = sectionIntegral<0>(spans, s, c).length;
            f.slope = carriedSlope;
        } else {
            f = sectionIntegral<2>(spans, s, c);
            slopeError = 0;
        }
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
        const double inverse = 1 / f.slope;
        double next = s - residual * inverse;
        bool modelled = false;
        double estimate = HUGE_VAL;  // of the error of a modelled step, ε = 1
        double modelSlope = 0;       // the model's slope at `next`
        const double newtonStep = next - s;
        if (f.curvatureWorked && std::fabs(newtonStep) <= 1e-4 * s) {
            // A short step, taken on the model's Taylor polynomial about s,
            //   P(d) = R + f′·d + f″·d²/2 − (2/3)·(f″/s)·d³,
            // with one division: Chebyshev's step, then Newton's on P with f′ for P′. Their errors
            // are of the order of (f″·d/f′)³·d, far below the model's own for |d| ≤ 1e-4·s.
            const double cubic = (2.0 / 3) * f.curvature * inverseStress;
            double d = newtonStep * (1 - 0.5 * f.curvature * newtonStep * inverse);
            const double dd = d * d;
            d -= (residual + f.slope * d + 0.5 * f.curvature * dd - cubic * dd * d) * inverse;
            next = s + d;
            modelled = true;
            estimate = std::fabs(cubic * d * d * d * inverse);
            modelSlope = f.slope + f.curvature * d - 3 * cubic * d * d;
        } else if (f.curvatureWorked) {
            // Halley's denominator f′ − f″·R/(2f′) keeps f′'s sign for any step the bracket
            // allows near the root; where it would not, the Newton step stands.
            const double denominator = f.slope - f.curvature * residual / (2 * f.slope);
            if (denominator / f.slope > 0.5) {
                const double b = f.curvature * s * s * s * s / 6;
                const double cc = f.slope + f.curvature * s / 3;
                double d = -residual / denominator;
                const double x = s + d;
                const double inverseXs = 1 / (x * s);
                const double m = residual + cc * d - b * d * (x + s) * inverseXs * inverseXs;
                const double mSlope = cc - 2 * b * inverseXs * inverseXs * s * s / x;
                if (mSlope < 0) d -= m / mSlope;
                next = s + d;
                modelled = true;
                estimate = std::fabs(2 * f.curvature * d * d * d / (3 * f.slope * s));
                modelSlope = mSlope < 0 ? mSlope : f.slope + f.curvature * d;
            }
        }
        const bool inside = next > lo && next < hi;
        if (!inside) {
            next = hi == HUGE_VAL ? 2 * std::max(s, lo) : lo == 0 ? hi / 2 : lo + (hi - lo) / 2;
        }
        const double change = std::fabs(next - s);
        if (inside && modelled && estimate <= 1e-16 * s) return next;
        if (inside && !modelled && change <= 1e-7 * s && slopeError * change <= 1e-15 * s) {
            return next;
        }
        if (change <= 2 * DBL_EPSILON * s) return improved ? next : best;
        if (!improved && change <= 1e-9 * s) return best;
        if (!(next > DBL_MIN && next < DBL_MAX)) {
            throw std::domain_error(
                "no horizontal stress within the range of a double keeps the unstressed length");
        }
        carried = modelled && inside;
        if (carried) {
            carriedSlope = modelSlope;
            slopeError = std::fabs(f.curvature * (next - s) / f.slope) *
                         (1e-4 + 2 * std::fabs(next - s) / s);
        }
        s = next;
    }
    return best;
}

// The root, held to what a root is: a stress whose L₀ is the target's to rounding (some 1e-16
// of it per span; 1e-12 leaves room for long sections), or, where L₀ hardly moves with the
// stress (a conductor stretched past any real one's strain), one that the residual puts within
// 1e-8 of its own value, (L₀ − target)/L₀′ being the stress's error to first order. The steps
// above trust their local model near a root; where there is none within a double's range (a
// temperature far outside any climate), they can stop on a stress that is not one, which is
// refused here rather than returned.
double solve(std::span<const SectionSpan> spans, const Condition& c, double target, double start) {
    const double root = solveRoot(spans, c, target, start);
    const LengthAndSlope f = sectionIntegral<1>(spans, root, c);
    const double residual = std::fabs(f.length - target);
    if (!(residual <= 1e-12 * target || residual <= 1e-8 * root * std::fabs(f.slope))) {
        throw std::domain_error(
            "no horizontal stress within the range of a double keeps the unstressed length");
    }
    return root;
}

// The root of the ruling span's parabolic state equation, σ³ + A·σ² − B = 0
// (calc/state_equation.h), to some 1e-4: Halley's steps from the known stress (the root itself
// when nothing changes) or from −A if that is higher, until one moves it by less than 5 % (its
// error then of the order of the cube of that). The parabola's own departure from the catenary is
// 1e-4 to 1e-3, so more would be lost on the next step. For B > 0 the cubic has one positive root,
// the stress sought. Where the steps do not settle on it, the state equation's own solve.
//
// The known and the sought state may hang in different planes (a wind condition's is tilted),
// each with its ruling span l and cosine c there. The chord l/c being the same in every plane,
// the parabola's unstressed lengths l/c − (l/c²)·σ/E − (l/c)·α·Δt + γ²·l³·c/(24σ²) equated give
//   σs − E·cs³·ls²·γs²/(24σs²) = (cs/ck)·[σk − E·ck³·lk²·γk²/(24σk²)] − α·E·cs·(ts − tk),
// the usual equation when the planes are one.
detail::RulingCubic rulingCubic(const Ruling& ruling, const ConductorStrain& conductor,
                                const LoadState& known, double knownStress) noexcept {
    const double l = ruling.span;
    const double cosAngle = ruling.cosAngle;
    const double lengthTerm =
        cosAngle * cosAngle * cosAngle * conductor.elasticModulus * l * l / 24;
    return {l, cosAngle, lengthTerm,
            lengthTerm * known.load * known.load / (knownStress * knownStress),
            conductor.expansionCoeff * conductor.elasticModulus * cosAngle};
}

// `known` is the known state's cubic; `sought` the sought plane's (its knownSag unused), the same
// object when the two states hang in one plane.
double parabolicStart(const detail::RulingCubic& known, const detail::RulingCubic& sought,
                      const ConductorStrain& conductor, const LoadState& knownState,
                      double knownStress, const LoadState& soughtState) {
    const double dt = knownState.temperature - soughtState.temperature;
    const double a = &known == &sought
                         ? known.knownSag - (knownStress + dt * known.thermal)
                         : sought.cosAngle / known.cosAngle * (known.knownSag - knownStress) -
                               dt * sought.thermal;
    const double b = sought.lengthTerm * soughtState.load * soughtState.load;
    // The root lies above max(0, −A), where the cubic rises and is convex; below −2A/3 it falls,
    // and a step from there may be short and still far from the root.
    double x = std::max(knownStress, -a);
    for (int i = 0; i < 8; ++i) {
        const double f = x * x * (x + a) - b;
        const double slope = x * (3 * x + 2 * a);
        const double step = 2 * f * slope / (2 * slope * slope - f * (6 * x + 2 * a));
        x -= step;
        if (!(std::fabs(step) > 0.05 * x)) {
            if (x > 0 && 3 * x + 2 * a > 0 && x < HUGE_VAL) return x;
            break;
        }
    }
    return stateEquationStress(sought.span, sought.cosAngle, conductor.elasticModulus,
                               conductor.expansionCoeff, knownState, knownStress, soughtState);
}

// L₀ of a span and its slope by the first terms of its expansion in t² = (γ·l/(2σ₀))² and r,
// for spans with t ≤ 1: a start for the solve, within some 1e-6 of the root after one Newton
// step from the parabola's, not a figure to keep. With c the span's cosine and L_c its chord,
//   S = L_c·√(1 + c²·(t²/3 + 2t⁴/45 + t⁶/315)),
//   T = l/2 + [(l/2)·(1 + t²/6 + t⁴/120) + (h²/l)·(1 − t²/6 + 7t⁴/360)]·(1 + t²/2 + t⁴/24),
//   p·J₃ ≈ l·cosh b·(cosh² b + (t²/6)·(9·cosh² b − 6)),  p·J₄ ≈ l·cosh⁴ b,
//   cosh² b ≈ 1 + (h/l)²·(1 − t²/3 + t⁴/15),  cosh b ≈ (L_c/l)·(1 − c²·(h/l)²·t²/6),
// and L₀ = (S − r·T + r²·p·J₃ − r³·p·J₄)/K; the slope leaves out the last two's change with t.
LengthAndSlope approximateLength(const detail::SpanExpansion& s, double stress,
                                 const Condition& c) noexcept {
    const double l = s.span;
    const double slope2 = s.slope2;
    const double cos2 = s.cos2;
    const double chord = s.chord;
    const double y = 1 / stress;
    const double t2 = 0.25 * l * l * c.load * c.load * y * y;
    const double dt2 = -2 * t2 * y;  // dt²/dσ₀
    const double poly = t2 * (1.0 / 3 + t2 * (2.0 / 45 + t2 * (1.0 / 315)));
    const double dPoly = 1.0 / 3 + t2 * (4.0 / 45 + t2 * (3.0 / 315));
    const double square = 1 + cos2 * poly;
    const double root = std::sqrt(square);
    const double length = chord * root;
    // d√x = dx·√x/(2x): the division beside the square root rather than after it
    const double dLength = 0.5 * chord * cos2 * dPoly * dt2 * root / square;
    const double steep = s.steep;
    const double a = 0.5 * l * (1 + t2 * (1.0 / 6 + t2 / 120)) +
                     steep * (1 + t2 * (-1.0 / 6 + t2 * (7.0 / 360)));
    const double dA = 0.5 * l * (1.0 / 6 + t2 / 60) + steep * (-1.0 / 6 + t2 * (7.0 / 180));
    const double coshT = 1 + t2 * (0.5 + t2 / 24);
    const double dCoshT = 0.5 + t2 / 12;
    const double t = 0.5 * l + a * coshT;
    const double dT = (dA * coshT + a * dCoshT) * dt2;
    const double coshB2 = 1 + slope2 * (1 + t2 * (-1.0 / 3 + t2 / 15));
    const double coshB = chord / l * (1 - slope2 * cos2 * t2 / 6);
    const double u = l * coshB * (coshB2 + t2 / 6 * (9 * coshB2 - 6));
    const double v = l * coshB2 * coshB2;
    const double r = stress * c.invEk;
    const double g = length - r * (t - r * (u - r * v));
    const double dG = dLength - t * c.invEk - r * dT + (2 * u - 3 * r * v) * r * c.invEk;
    LengthAndSlope out;
    out.length = g * c.invK;
    out.slope = dG * c.invK;
    return out;
}

// The start of the solve in the sought condition: the ruling span's parabolic root, and the
// spans' expansions there, for one Newton step to the target. The expansions are taken where
// every span is taut enough for them (t ≤ 1).
struct Start {
    double stress;
    double length = 0;        // of the expansions at `stress`
    double inverseSlope = 0;  // 1/(their slope); 0 where they are not taken
};

const detail::SpanExpansion& expansionOf(const detail::SpanExpansion& e) noexcept {
    return e;
}
detail::SpanExpansion expansionOf(const SectionSpan& s) noexcept {
    return detail::SpanExpansion(s);
}

// `spans` of SectionSpan (each span's expansion worked here) or of their SpanExpansion, in the
// sought state's plane; `known` and `sought` the two planes' cubics (one object for one plane).
template <typename Spans>
Start startFor(const Spans& spans, const detail::RulingCubic& known,
               const detail::RulingCubic& sought, const ConductorStrain& conductor,
               const LoadState& knownState, double knownStress, const LoadState& soughtState,
               const Condition& c) {
    Start start{parabolicStart(known, sought, conductor, knownState, knownStress, soughtState)};
    LengthAndSlope sum;
    for (const auto& s : spans) {
        if (!(c.load * s.span <= 2 * start.stress)) return start;
        const LengthAndSlope one = approximateLength(expansionOf(s), start.stress, c);
        sum.length += one.length;
        sum.slope += one.slope;
    }
    start.length = sum.length;
    start.inverseSlope = 1 / sum.slope;
    return start;
}

// The start brought within some 1e-6 of the catenary's root by the Newton step on the
// expansions, where it stays within a factor of two; otherwise the parabola's root as it is.
double refined(const Start& start, double target) noexcept {
    const double next = start.stress - (start.length - target) * start.inverseSlope;
    return next > start.stress / 2 && next < 2 * start.stress ? next : start.stress;
}

void checkSection(std::span<const SectionSpan> spans) {
    if (spans.empty()) throw std::invalid_argument("a section needs at least one span");
    for (const SectionSpan& s : spans) checkSpan(s);
}

void checkKnownStress(double knownStress) {
    if (!(knownStress > 0 && std::isfinite(knownStress))) {
        throw std::invalid_argument("the known stress must be above 0");
    }
}

// The sought condition's stress (already checked, its thermal factor `k`), the known
// condition's L₀ (`target`) already worked; `spans` and `expansions` in the sought state's plane.
template <typename Expansions>
double soughtStress(std::span<const SectionSpan> spans, const Expansions& expansions,
                    const detail::RulingCubic& known, const detail::RulingCubic& soughtCubic,
                    const ConductorStrain& conductor, const LoadState& knownState,
                    double knownStress, double target, const LoadState& sought, double k) {
    const Condition c(sought.load, k, conductor.elasticModulus);
    const Start start =
        startFor(expansions, known, soughtCubic, conductor, knownState, knownStress, sought, c);
    return solve(spans, c, target, refined(start, target));
}

// The section's L₀ in `state` (its thermal factor `k`), its spans hung in the state's plane.
double sectionLength(std::span<const SectionSpan> spans, double stress, const LoadState& state,
                     double k, const ConductorStrain& conductor) {
    const Condition c(state.load, k, conductor.elasticModulus);
    if (state.verticalLoad == state.load) return sectionIntegral<0>(spans, stress, c).length;
    const std::vector<SectionSpan> swung = inPlane(spans, planeOf(state));
    return sectionIntegral<0>(std::span<const SectionSpan>(swung), stress, c).length;
}

}  // namespace

detail::SpanExpansion::SpanExpansion(const SectionSpan& s) noexcept
    : span(s.span),
      heightDifference(s.heightDifference),
      slope2((s.heightDifference / s.span) * (s.heightDifference / s.span)),
      cos2(1 / (1 + slope2)),
      chord(std::sqrt(s.span * s.span + s.heightDifference * s.heightDifference)),
      steep(s.heightDifference * s.heightDifference / s.span) {}

LoadState loadStateOf(const WeatherCondition& condition, const LineAttrib& conductor) noexcept {
    WeatherCondition still = condition;
    still.windSpeed = 0;
    return {specificLoad(condition, conductor), condition.temperature,
            specificLoad(still, conductor)};
}

double unstressedLength(const SectionSpan& span, double stress, const LoadState& state,
                        const ConductorStrain& conductor) {
    checkSpan(span);
    checkState(state, "given");
    checkConductor(conductor);
    if (!(stress > 0 && std::isfinite(stress))) {
        throw std::invalid_argument("the stress must be above 0");
    }
    const double k = thermalFactor(conductor, state.temperature);
    return sectionLength(std::span<const SectionSpan>(&span, 1), stress, state, k, conductor);
}

CatenaryChangeOfState::CatenaryChangeOfState(std::span<const SectionSpan> spans,
                                             const ConductorStrain& conductor,
                                             const LoadState& known, double knownStress)
    : spans_(spans.begin(), spans.end()),
      conductor_(conductor),
      known_(known),
      knownStress_(knownStress) {
    checkSection(spans_);
    checkState(known, "known");
    checkConductor(conductor);
    checkKnownStress(knownStress);
    const LoadPlane plane = planeOf(known);
    knownVertical_ = plane.vertical();
    expansions_.reserve(spans_.size());
    for (const SectionSpan& s : spans_) expansions_.emplace_back(s);
    // The still-air plane's cubic: the known state's own when it is in still air too.
    stillCubic_ = rulingCubic(rulingOf(spans_), conductor, known, knownStress);
    if (knownVertical_) {
        cubic_ = stillCubic_;
    } else {
        const std::vector<SectionSpan> swung = inPlane(spans_, plane);
        cubic_ = rulingCubic(rulingOf(swung), conductor, known, knownStress);
    }
    length_ = sectionLength(spans_, knownStress, known, thermalFactor(conductor, known.temperature),
                            conductor);
}

double CatenaryChangeOfState::stressIn(const LoadState& sought) const {
    checkState(sought, "sought");
    const double k = thermalFactor(conductor_, sought.temperature);
    if (sameState(known_, sought)) return knownStress_;
    if (sought.verticalLoad == sought.load) {
        // The spans' constants worked once, at construction.
        return soughtStress(spans_, expansions_, cubic_, knownVertical_ ? cubic_ : stillCubic_,
                            conductor_, known_, knownStress_, length_, sought, k);
    }
    // A plane of wind: the spans' constants worked here, for that plane.
    const LoadPlane plane = planeOf(sought);
    const std::vector<SectionSpan> swung = inPlane(spans_, plane);
    if (samePlane(plane, planeOf(known_))) {
        return soughtStress(swung, swung, cubic_, cubic_, conductor_, known_, knownStress_, length_,
                            sought, k);
    }
    const detail::RulingCubic soughtCubic =
        rulingCubic(rulingOf(swung), conductor_, known_, knownStress_);
    return soughtStress(swung, swung, cubic_, soughtCubic, conductor_, known_, knownStress_,
                        length_, sought, k);
}

double catenarySectionStress(std::span<const SectionSpan> spans, const ConductorStrain& conductor,
                             const LoadState& known, double knownStress, const LoadState& sought) {
    checkSection(spans);
    checkState(known, "known");
    checkConductor(conductor);
    checkKnownStress(knownStress);
    const double knownK = thermalFactor(conductor, known.temperature);
    checkState(sought, "sought");
    const double k = thermalFactor(conductor, sought.temperature);
    if (sameState(known, sought)) return knownStress;
    const double target = sectionLength(spans, knownStress, known, knownK, conductor);
    if (known.verticalLoad == known.load && sought.verticalLoad == sought.load) {
        const detail::RulingCubic cubic =
            rulingCubic(rulingOf(spans), conductor, known, knownStress);
        return soughtStress(spans, spans, cubic, cubic, conductor, known, knownStress, target,
                            sought, k);
    }
    const LoadPlane knownPlane = planeOf(known);
    const LoadPlane soughtPlane = planeOf(sought);
    std::vector<SectionSpan> knownSpans, soughtSpans;
    if (!knownPlane.vertical()) knownSpans = inPlane(spans, knownPlane);
    if (!soughtPlane.vertical()) soughtSpans = inPlane(spans, soughtPlane);
    const std::span<const SectionSpan> inKnown =
        knownPlane.vertical() ? spans : std::span<const SectionSpan>(knownSpans);
    const std::span<const SectionSpan> inSought =
        soughtPlane.vertical() ? spans : std::span<const SectionSpan>(soughtSpans);
    const detail::RulingCubic knownCubic =
        rulingCubic(rulingOf(inKnown), conductor, known, knownStress);
    if (samePlane(knownPlane, soughtPlane)) {
        return soughtStress(inSought, inSought, knownCubic, knownCubic, conductor, known,
                            knownStress, target, sought, k);
    }
    const detail::RulingCubic soughtCubic =
        rulingCubic(rulingOf(inSought), conductor, known, knownStress);
    return soughtStress(inSought, inSought, knownCubic, soughtCubic, conductor, known, knownStress,
                        target, sought, k);
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
                               loadStateOf(known, conductor), knownStress,
                               loadStateOf(sought, conductor));
}

}  // namespace varnel
