#include "calc/span_curve.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>

namespace varnel {

namespace {

// Beyond this |z| the series below would take more than about 30 terms; there sinh(z)/z is large
// and its differences are taken directly.
constexpr double kSeriesLimit = 4;

// (g(t) − g(u)) / (t² − u²) for g(z) = sinh(z)/z = Σ z²ᵏ/(2k + 1)!, as the series
//   Σₖ≥₁ cₖ/(2k + 1)!,  cₖ = (T^k − U^k)/(T − U) = Σⱼ Tʲ·U^(k−1−j),  T = t², U = u²,
// whose terms are all positive: no cancellation, whatever t and u. For |t|, |u| ≤ kSeriesLimit.
double sinhcDividedDifference(double t, double u) noexcept {
    const double tt = t * t;
    const double uu = u * u;
    double c = 1;       // c₁
    double uPower = 1;  // U^(k−1)
    double factorial = 6;
    double sum = c / factorial;
    for (int k = 1; k < 60; ++k) {
        uPower *= uu;
        c = tt * c + uPower;  // c_{k+1}
        factorial *= (2.0 * k + 2) * (2.0 * k + 3);
        const double term = c / factorial;
        sum += term;
        if (term <= 1e-17 * sum) break;
    }
    return sum;
}

// u·(g(t) − g(u)) = u·sinh(t)/t − sinh(u), with g as above, for 0 < t.
double sinhcGap(double t, double u) noexcept {
    if (t <= kSeriesLimit && std::fabs(u) <= kSeriesLimit) {
        return u * (t - u) * (t + u) * sinhcDividedDifference(t, u);
    }
    return u * (std::sinh(t) / t) - std::sinh(u);
}

// g(t) − 1 = sinh(t)/t − 1 for 0 < t.
double sinhcMinusOne(double t) noexcept {
    if (t <= kSeriesLimit) return t * t * sinhcDividedDifference(t, 0);
    return std::sinh(t) / t - 1;
}

double square(double v) noexcept {
    return v * v;
}

}  // namespace

std::string_view spanModelName(SpanModel model) noexcept {
    switch (model) {
        case SpanModel::catenary:
            return "catenary";
        case SpanModel::parabola:
            return "parabola";
        case SpanModel::flatParabola:
            return "flat-parabola";
    }
    return "";
}

std::optional<SpanModel> spanModelNamed(std::string_view name) noexcept {
    for (SpanModel m : {SpanModel::catenary, SpanModel::parabola, SpanModel::flatParabola}) {
        if (spanModelName(m) == name) return m;
    }
    return std::nullopt;
}

SpanCurve::SpanCurve(SpanModel model, double span, double heightDifference, double stress,
                     double load)
    : model_(model),
      span_(span),
      heightDifference_(heightDifference),
      stress_(stress),
      load_(load),
      parameter_(stress / load) {
    const auto positive = [](double v) { return v > 0 && std::isfinite(v); };
    if (!positive(span)) throw std::invalid_argument("the span must be a positive length");
    if (!std::isfinite(heightDifference)) {
        throw std::invalid_argument("the height difference must be a finite number");
    }
    if (!positive(stress)) throw std::invalid_argument("the stress must be above 0");
    if (!positive(load)) throw std::invalid_argument("the specific load must be above 0");
    if (!positive(parameter_)) {
        throw std::invalid_argument("the stress over the specific load is beyond a double");
    }

    const double l = span;
    const double h = heightDifference;
    const double p = parameter_;
    const double chord = std::hypot(l, h);
    if (model != SpanModel::catenary) {
        const double cosAngle = model == SpanModel::parabola ? l / chord : 1.0;
        sagCoefficient_ = 1 / (2 * p * cosAngle);
        // The vertex, where the slope h/l − k·(l − 2x) vanishes: l − 2a = h/(k·l).
        const double offset = h / (2 * sagCoefficient_ * l);
        lowPoint_ = l / 2 - offset;
        farReach_ = l / 2 + offset;
        nearHeight_ = sagCoefficient_ * square(lowPoint_);
        farHeight_ = sagCoefficient_ * square(farReach_);
        maxSagAt_ = l / 2;
        length_ = chord + load * load * l * l * l * cosAngle / (24 * stress * stress);
        checkRange();
        return;
    }

    // t = l/(2p); the level span's length D = 2p·sinh t; b = asinh(h/D), so a = l/2 − p·b and
    // the supports lie at (x − a)/p = t − b and t + b.
    halfAngle_ = l / (2 * p);
    levelLength_ = 2 * p * std::sinh(halfAngle_);
    const double b = std::asinh(h / levelLength_);
    lowPoint_ = l / 2 - p * b;
    farReach_ = l / 2 + p * b;
    // p·(cosh z − 1) = 2p·sinh²(z/2): the heights without subtracting 1 from a cosh.
    nearHeight_ = 2 * p * square(std::sinh(lowPoint_ / (2 * p)));
    farHeight_ = 2 * p * square(std::sinh(farReach_ / (2 * p)));
    length_ = std::hypot(h, levelLength_);

    // The slope sinh((x − a)/p) equals h/l at x = a + p·asinh(h/l), that is
    //   x = l/2 + p·(asinh X − asinh Y),  X = h/l,  Y = h/D = X/g,  g = D/l = sinh(t)/t,
    // with asinh X − asinh Y = asinh(X·√(1 + Y²) − Y·√(1 + X²)) and that argument written as
    //   X·(g² − 1)/g² / (√(1 + Y²) + √(1 + X²)/g)
    // (its two terms nearly cancel when p ≫ l; here nothing does).
    const double x = h / l;
    const double y = h / levelLength_;
    double g = 0, gapRatio = 0;  // (g² − 1)/g²
    if (halfAngle_ <= kSeriesLimit) {
        const double gMinusOne = sinhcMinusOne(halfAngle_);
        g = 1 + gMinusOne;
        gapRatio = gMinusOne * (g + 1) / (g * g);
    } else {  // g² may overflow; 1/g may underflow to 0, which is then exact enough
        const double r = halfAngle_ / std::sinh(halfAngle_);
        g = 1 / r;
        gapRatio = (1 - r) * (1 + r);
    }
    const double argument = x * gapRatio / (std::hypot(1.0, y) + std::hypot(1.0, x) / g);
    maxSagAt_ = l / 2 + p * std::asinh(argument);
    checkRange();
}

void SpanCurve::checkRange() const {
    // The largest figures of the curve in the span: its sag, its length and the stress at the
    // higher support; every other lies between them and 0. A catenary whose parameter is far
    // below the span (p < l/1400 or so) has cosh(l/(2p)) beyond a double; its size is then told
    // in logarithms: the sag of a level span is p·(cosh t − 1) ≈ p·eᵗ/2.
    const double reach = std::max(nearHeight_, farHeight_);
    if (std::isfinite(maxSag()) && std::isfinite(length_) && std::isfinite(reach) &&
        std::isfinite(stress_ + load_ * reach) && std::isfinite(lowPoint_) &&
        std::isfinite(maxSagAt_)) {
        return;
    }
    const double log10Sag =
        model_ == SpanModel::catenary
            ? std::log10(parameter_ / 2) + halfAngle_ / std::numbers::ln10
            : std::log10(span_) + std::log10(span_ / parameter_) - std::log10(8.0);
    const double exponent = std::floor(log10Sag);
    char text[256];
    std::snprintf(text, sizeof text,
                  "a span of %.6g m with p = stress/load = %.6g m would sag about %.1fe%.0f m: "
                  "its figures are beyond the range of a double; the stress is too low or the "
                  "load too high for this span",
                  span_, parameter_, std::pow(10.0, log10Sag - exponent), exponent);
    throw std::domain_error(text);
}

double SpanCurve::heightAt(double x) const noexcept {
    const double l = span_;
    if (model_ != SpanModel::catenary) {
        return heightDifference_ * x / l - sagCoefficient_ * x * (l - x);
    }
    // p·[cosh((x − a)/p) − cosh(a/p)] = 2p·sinh(x/(2p))·sinh((x − 2a)/(2p)).
    const double p = parameter_;
    return 2 * p * std::sinh(x / (2 * p)) * std::sinh((x - 2 * lowPoint_) / (2 * p));
}

double SpanCurve::sagAt(double x) const noexcept {
    const double l = span_;
    if (model_ != SpanModel::catenary) return sagCoefficient_ * x * (l - x);
    // With u = (x − l/2)/p, t = l/(2p) and b as in the constructor, h·x/l − y(x) is
    //   p·[sinh b·u·(g(t) − g(u)) + cosh b·(cosh t − cosh u)],   g(z) = sinh(z)/z,
    // where sinh b = h/D, cosh b = L/D, and cosh t − cosh u = 2·sinh(x/(2p))·sinh((l − x)/(2p)).
    // Both terms vanish at the supports as the sag does, the first is at most t/3 of the second
    // for x in the span, and neither is a difference of large numbers.
    const double p = parameter_;
    const double u = (x - l / 2) / p;
    const double sinhB = heightDifference_ / levelLength_;
    const double coshB = length_ / levelLength_;
    const double coshGap = 2 * std::sinh(x / (2 * p)) * std::sinh((l - x) / (2 * p));
    return p * (sinhB * sinhcGap(halfAngle_, u) + coshB * coshGap);
}

double SpanCurve::maxSag() const noexcept {
    return sagAt(maxSagAt_);
}

double SpanCurve::stressAt(double x) const noexcept {
    if (model_ != SpanModel::catenary) {
        return stress_ + load_ * sagCoefficient_ * square(x - lowPoint_);
    }
    return stress_ * std::cosh((x - lowPoint_) / parameter_);
}

double SpanCurve::nearAngle() const noexcept {
    if (model_ != SpanModel::catenary) return std::atan(2 * sagCoefficient_ * lowPoint_);
    return std::atan(std::sinh(lowPoint_ / parameter_));
}

double SpanCurve::farAngle() const noexcept {
    if (model_ != SpanModel::catenary) return std::atan(2 * sagCoefficient_ * farReach_);
    return std::atan(std::sinh(farReach_ / parameter_));
}

double SpanCurve::nearVerticalStress() const noexcept {
    if (model_ != SpanModel::catenary) return stress_ * 2 * sagCoefficient_ * lowPoint_;
    return stress_ * std::sinh(lowPoint_ / parameter_);
}

double SpanCurve::farVerticalStress() const noexcept {
    if (model_ != SpanModel::catenary) return stress_ * 2 * sagCoefficient_ * farReach_;
    return stress_ * std::sinh(farReach_ / parameter_);
}

LoadPlane loadPlane(double load, double verticalLoad) {
    if (!(verticalLoad > 0 && verticalLoad <= load && load < HUGE_VAL)) {
        throw std::invalid_argument(
            "the vertical load must be above 0 and at most the resultant, both finite");
    }
    if (verticalLoad == load) return {};
    const double horizontal = std::sqrt((load - verticalLoad) * (load + verticalLoad));
    return {verticalLoad / load, horizontal / load};
}

PlaneSpan inLoadPlane(double span, double heightDifference, const LoadPlane& plane) noexcept {
    if (plane.vertical()) return {span, heightDifference};
    return {std::hypot(span, heightDifference * plane.sinSwing), heightDifference * plane.cosSwing};
}

PlaneSpan SwungCurve::spanOf(SpanModel model, double span, double heightDifference,
                             const LoadPlane& plane) {
    if (!(span > 0 && span < HUGE_VAL)) {
        throw std::invalid_argument("the span must be a positive length");
    }
    if (!std::isfinite(heightDifference)) {
        throw std::invalid_argument("the height difference must be a finite number");
    }
    // The parabolas keep the span as it stands (see the header).
    return model == SpanModel::catenary ? inLoadPlane(span, heightDifference, plane)
                                        : PlaneSpan{span, heightDifference};
}

SwungCurve::SwungCurve(SpanModel model, double span, double heightDifference, double stress,
                       double load, double verticalLoad)
    : plane_(loadPlane(load, verticalLoad)),
      planeSpan_(spanOf(model, span, heightDifference, plane_)),
      heightDifference_(heightDifference),
      curve_(model, planeSpan_.span, planeSpan_.heightDifference, stress, load),
      swing_(std::atan2(plane_.sinSwing, plane_.cosSwing)),
      scale_(span / planeSpan_.span) {}

}  // namespace varnel
