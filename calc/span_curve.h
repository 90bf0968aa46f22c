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

// The plane a span hangs in under a load with a horizontal part (wind) beside its vertical one:
// a flexible conductor under a uniform load of fixed direction hangs in the plane of that load
// and its chord, swung from the vertical by η, cos η = γv/γ, sin η = γh/γ.
struct LoadPlane {
    double cosSwing = 1;  // cos η
    double sinSwing = 0;  // sin η
    bool vertical() const noexcept { return sinSwing == 0; }
};

// The plane of a load of resultant `load` and vertical part `verticalLoad` (N/(m·mm²)): sin η
// from γh = √((γ − γv)·(γ + γv)), without the cancellation of γ² − γv². Throws
// std::invalid_argument unless both are finite and 0 < verticalLoad ≤ load.
LoadPlane loadPlane(double load, double verticalLoad);

// A span as it hangs in a load's plane: the span in that plane l' = √(l² + h²·sin²η), measured
// square to the load, and the height difference h' = h·cos η, measured against it. The chord
// √(l'² + h'²) = √(l² + h²) is the same in every plane; in the vertical plane l' = l, h' = h.
struct PlaneSpan {
    double span;
    double heightDifference;
};
PlaneSpan inLoadPlane(double span, double heightDifference, const LoadPlane& plane) noexcept;

class SpanCurve {
  public:
    // Throws std::invalid_argument unless span, stress and load are positive and finite and the
    // height difference is finite, and std::domain_error, saying how large the sag would be,
    // where the curve's figures are beyond the range of a double (a catenary of p below about
    // l/1400, where cosh(l/(2p)) itself overflows). Every result for x in the span is then
    // finite.
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
    void checkRange() const;  // throws std::domain_error

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

// One span swung by a horizontal load: the curve of `model` in the plane of the load and the
// chord, for the resultant load γ and its vertical part γv (N/(m·mm²); a horizontal part
// γh = √(γ² − γv²) beside it), σ₀ the stress square to the load in that plane (the least along
// a catenary). The catenary hangs in the exact plane (inLoadPlane); the parabolas, as the design
// manuals work a wind condition, keep l and h as they stand under the resultant load (their sag
// is then the manuals' swung sag).
//
// x is horizontal along the line from the near support, as in SpanCurve. A point of the curve
// lies below the chord's point at the same x by the sag along the load: sag·cos η of it
// downwards and sag·sin η sideways, downwind.
class SwungCurve {
  public:
    // Throws std::invalid_argument as SpanCurve does, and unless 0 < verticalLoad ≤ load.
    SwungCurve(SpanModel model, double span, double heightDifference, double stress, double load,
               double verticalLoad);

    const SpanCurve& inPlane() const noexcept { return curve_; }
    double swing() const noexcept { return swing_; }  // η, radians from the vertical
    const LoadPlane& plane() const noexcept { return plane_; }
    double load() const noexcept { return curve_.load(); }  // γ, the resultant

    // The sag in the plane at horizontal x (m from the near support), and its parts.
    double sagAt(double x) const noexcept { return curve_.sagAt(planeX(x)); }
    // The conductor's height above the near support at horizontal x, m (the chord's less the
    // sag's vertical part), and the stress along it there, N/mm².
    double heightAt(double x) const noexcept {
        return x / (scale_ * planeSpan_.span) * heightDifference_ - verticalSagAt(x);
    }
    double stressAt(double x) const noexcept { return curve_.stressAt(planeX(x)); }
    // The low point's horizontal x, m from the near support.
    double lowPoint() const noexcept { return curve_.lowPoint() * scale_; }
    double verticalSagAt(double x) const noexcept { return sagAt(x) * plane_.cosSwing; }
    double sidewaysAt(double x) const noexcept { return sagAt(x) * plane_.sinSwing; }

    // The largest sag in the plane, m, and where it is, m horizontally from the near support;
    // every part of the sag is largest there.
    double maxSag() const noexcept { return curve_.maxSag(); }
    double maxSagAt() const noexcept { return curve_.maxSagAt() * scale_; }
    double verticalMaxSag() const noexcept { return maxSag() * plane_.cosSwing; }
    double sidewaysMaxSag() const noexcept { return maxSag() * plane_.sinSwing; }

    // The span and height difference in the plane, m.
    const PlaneSpan& planeSpan() const noexcept { return planeSpan_; }

  private:
    static PlaneSpan spanOf(SpanModel model, double span, double heightDifference,
                            const LoadPlane& plane);
    double planeX(double x) const noexcept { return x / scale_; }

    LoadPlane plane_;
    PlaneSpan planeSpan_;
    double heightDifference_;  // h, m, as given
    SpanCurve curve_;
    double swing_ = 0;
    double scale_ = 1;  // l/l': horizontal metres per metre along the plane's span
};

}  // namespace varnel
