// One span's curve under a horizontal stress: where the conductor hangs, how long it is and what
// it pulls on its supports, for either model of the curve.
//
// Notation: horizontal span l (m); height of the far support above the near one h (m, negative
// when lower); horizontal stress σ₀ (N/mm²); specific load γ (N/(m·mm²)); catenary parameter
// p = σ₀/γ (m). x is measured horizontally from the near support, heights upwards.
//
// The models:
// - catenary: the exact curve of a flexible conductor, y(x) = p·[cosh((x − a)/p) − cosh(a/p)]
//   above the near support, with its low point at a = l/2 − p·asinh(h / (2p·sinh(l/(2p)))).
// - parabola: the inclined parabola the state equation rests on, the load γ taken per metre of
//   the chord: sag k·x·(l − x) below the chord with k = γ/(2σ₀·cos β), cos β = l/√(l² + h²).
// - flat parabola: the same with cos β taken as 1 (the load per horizontal metre), as the older
//   handbooks give their inclined-span figures.
//
// Example:
//   const SpanCurve curve(SpanModel::catenary, 1000, 150, 50, 25e-3);
//   curve.sagAt(350);  // m below the chord, 350 m from the near (here the lower) support
#pragma once

#include <optional>
#include <string_view>

namespace varnel {

enum class SpanModel { catenary, parabola, flatParabola };

// "catenary", "parabola", "flat-parabola".
std::string_view spanModelName(SpanModel model) noexcept;
// The model of that name, or nothing.
std::optional<SpanModel> spanModelNamed(std::string_view name) noexcept;

class SpanCurve {
  public:
    // Throws std::invalid_argument unless span, stress and load are positive and finite and the
    // height difference is finite. Every result is then finite wherever its true value is within
    // the range of a double (for p ≥ l/1400, about; below, cosh(l/(2p)) itself overflows).
    SpanCurve(SpanModel model, double span, double heightDifference, double stress, double load);

    SpanModel model() const noexcept { return model_; }
    double span() const noexcept { return span_; }                          // l, m
    double heightDifference() const noexcept { return heightDifference_; }  // h, m
    double stress() const noexcept { return stress_; }                      // σ₀, N/mm²
    double load() const noexcept { return load_; }                          // γ, N/(m·mm²)
    double parameter() const noexcept { return parameter_; }                // p = σ₀/γ, m

    // The abscissa of the low point, m from the near support: negative when the near support is
    // the lower one and the curve only rises from it, beyond l when the far one is.
    double lowPoint() const noexcept { return lowPoint_; }
    // Heights of the supports above the low point, m. far − near = h.
    double nearHeightAboveLowPoint() const noexcept { return nearHeight_; }
    double farHeightAboveLowPoint() const noexcept { return farHeight_; }

    // The conductor's height above the near support at x (m), and its sag there: the vertical
    // distance from the chord down to it, m. Any finite x; the curve continues beyond [0, l].
    double heightAt(double x) const noexcept;
    double sagAt(double x) const noexcept;

    // The largest sag, m, and its abscissa, m: where the slope equals h/l (mid-span for the
    // parabolas).
    double maxSag() const noexcept;
    double maxSagAt() const noexcept { return maxSagAt_; }

    // The conductor's length between the supports, m. The catenary's is exact; the parabolas'
    // are the state equation's l/cos β + γ²·l³·cos β/(24σ₀²) (cos β as the model takes it).
    double length() const noexcept { return length_; }

    // The stress along the conductor, N/mm²: σ₀ + γ·(height above the low point), so that
    // far − near = γ·h; for the catenary that is σ₀·cosh((x − a)/p) exactly.
    double stressAt(double x) const noexcept;
    double nearStress() const noexcept { return stress_ + load_ * nearHeight_; }
    double farStress() const noexcept { return stress_ + load_ * farHeight_; }

    // The conductor's angle to the horizontal at each support, radians, positive where it
    // descends from the support into the span.
    double nearAngle() const noexcept;
    double farAngle() const noexcept;

    // The vertical component of the stress at each support, N/mm² (× area = N): the weight of
    // the conductor between the support and the low point, negative when the low point lies
    // beyond that support (the span then lifts it). near + far = the span's whole weight per
    // mm², γ × the length over which the model spreads the load.
    double nearVerticalStress() const noexcept;
    double farVerticalStress() const noexcept;

  private:
    SpanModel model_;
    double span_;
    double heightDifference_;
    double stress_;
    double load_;
    double parameter_;
    // catenary: t = l/(2p) and the level span's length 2p·sinh t; parabolas: k of the sag.
    double halfAngle_ = 0;
    double levelLength_ = 0;
    double sagCoefficient_ = 0;
    double lowPoint_ = 0;
    double farReach_ = 0;  // l − a, formed without that subtraction
    double nearHeight_ = 0;
    double farHeight_ = 0;
    double maxSagAt_ = 0;
    double length_ = 0;
};

}  // namespace varnel
