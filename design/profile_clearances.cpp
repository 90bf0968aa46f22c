// The spans of the profile check over the ground and over what they cross: the least clearance
// of the curve of largest sag, the stress at the supports, and each crossing's clearance.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

#include "design/profile_steps.h"
#include "design/wind_rules.h"

namespace varnel::design::detail {

namespace {

// Where the curve's slope is `slope`, m from the near support: the convex curve less a straight
// line is least there (or at an end of the interval).
double whereSlopeIs(const SpanCurve& c, double slope) {
    switch (c.model()) {
        case SpanModel::catenary:
            return c.lowPoint() + c.parameter() * std::asinh(slope);
        case SpanModel::parabola:
            // y' = 2k·(x − a), 2k = γ/(σ₀·cos β) = 1/(p·cos β)
            return c.lowPoint() +
                   slope * c.parameter() * c.span() / std::hypot(c.span(), c.heightDifference());
        case SpanModel::flatParabola:
            break;
    }
    return c.lowPoint() + slope * c.parameter();
}

struct Least {
    double value = std::numeric_limits<double>::infinity();
    double at = 0;
    void offer(double v, double x) {
        if (v < value) {
            value = v;
            at = x;
        }
    }
};

// The least vertical clearance over the ground of span `s` hanging as `c`: at every terrain
// point inside the span, at the towers, and where the clearance is least between points.
Least groundClearance(const ProfileSpan& s, const SpanCurve& c,
                      const std::vector<TerrainPoint>& terrain) {
    const auto clearanceAt = [&](double x) {
        return s.nearAttachment + c.heightAt(x) - terrainElevation(terrain, s.nearStation + x);
    };
    std::vector<double> xs{0};
    const auto inside =
        std::upper_bound(terrain.begin(), terrain.end(), s.nearStation,
                         [](double station, const TerrainPoint& p) { return station < p.station; });
    for (auto p = inside; p != terrain.end() && p->station < s.farStation; ++p) {
        xs.push_back(p->station - s.nearStation);
    }
    xs.push_back(s.span);
    Least least;
    for (std::size_t j = 0; j + 1 < xs.size(); ++j) {
        const double xa = xs[j];
        const double xb = xs[j + 1];
        const double ga = terrainElevation(terrain, s.nearStation + xa);
        const double gb = terrainElevation(terrain, s.nearStation + xb);
        least.offer(clearanceAt(xa), xa);
        const double x = whereSlopeIs(c, (gb - ga) / (xb - xa));
        if (x > xa && x < xb) least.offer(clearanceAt(x), x);
    }
    least.offer(clearanceAt(s.span), s.span);
    least.at += s.nearStation;
    return least;
}

// Span `s`'s conductor in a condition, as a function of t from 0 (near clamp) to 1 (far
// clamp): the clamps where the strings hold them, and the curve between them in the plane of
// the chord and the load, the load swung from the vertical by η towards +y. y is across the
// line (towards what is checked), z up.
struct SwungConductor {
    double span = 0;                        // m, along the line
    double y0 = 0, z0 = 0, y1 = 0, z1 = 0;  // m, the clamps
    double sinEta = 0, cosEta = 1;
    std::optional<SpanCurve> curve;  // in the load's plane: span l', height difference h'

    // With clamps at (0, y0, z0) and (l, y1, z1), chord c = (l, Δy, Δz) and the load's direction
    // u = (0, sin η, −cos η): in the plane they span, the height difference (against u) is
    // h' = −c·u = Δz·cos η − Δy·sin η and the span across the load
    // l' = √(|c|² − (c·u)²) = √(l² + (Δy·cos η + Δz·sin η)²); with the clamps level across the
    // line (Δy = 0), l' = √(l² + h²·sin²η) and h' = h·cos η.
    SwungConductor(SpanModel model, const ProfileSpan& s, double stress, double verticalLoad,
                   double windLoad, double nearSwing, double nearLength, double farSwing,
                   double farLength)
        : span(s.span) {
        const double eta = std::atan2(windLoad, verticalLoad);
        sinEta = std::sin(eta);
        cosEta = std::cos(eta);
        y0 = nearLength * std::sin(nearSwing);
        z0 = s.nearAttachment + nearLength * (1 - std::cos(nearSwing));
        y1 = farLength * std::sin(farSwing);
        z1 = s.farAttachment + farLength * (1 - std::cos(farSwing));
        const double dy = y1 - y0, dz = z1 - z0;
        curve.emplace(model, std::hypot(span, dy * cosEta + dz * sinEta), dz * cosEta - dy * sinEta,
                      stress, std::hypot(verticalLoad, windLoad));
    }

    // The distance from the point (x0 along the line, d across, elevation e) to the conductor
    // at t.
    double distance(double t, double x0, double d, double e) const {
        const double sag = curve->sagAt(t * curve->span());
        const double x = t * span;
        const double y = y0 + t * (y1 - y0) + sag * sinEta;
        const double z = z0 + t * (z1 - z0) - sag * cosEta;
        return std::sqrt((x - x0) * (x - x0) + (d - y) * (d - y) + (z - e) * (z - e));
    }
};

// The least straight-line distance from a point beside the line (x0 from the near tower, offset
// d, elevation e) to the conductor.
double sweptDistance(const SwungConductor& c, double x0, double d, double e) {
    const auto distance = [&](double t) { return c.distance(t, x0, d, e); };
    // The nearest point lies no farther along the line than the distance straight across.
    const double reach = distance(x0 / c.span);
    const double lo = std::max(0.0, (x0 - reach) / c.span);
    const double hi = std::min(1.0, (x0 + reach) / c.span);
    constexpr int kSamples = 64;
    const double step = (hi - lo) / kSamples;
    double best = reach;
    double bestT = x0 / c.span;
    for (int i = 0; i <= kSamples; ++i) {
        const double t = lo + step * i;
        const double v = distance(t);
        if (v < best) {
            best = v;
            bestT = t;
        }
    }
    // Refine within the samples next to the best by golden sections.
    double a = std::max(lo, bestT - step);
    double b = std::min(hi, bestT + step);
    constexpr double kGolden = 0.6180339887498949;
    for (int i = 0; i < 80 && b - a > 1e-12; ++i) {
        const double t1 = b - kGolden * (b - a);
        const double t2 = a + kGolden * (b - a);
        if (distance(t1) < distance(t2)) {
            b = t2;
        } else {
            a = t1;
        }
    }
    return std::min(best, distance(0.5 * (a + b)));
}

}  // namespace

LeastClearance spanGroundClearance(const ProfileSpan& span, const SpanCurve& curve,
                                   const std::vector<TerrainPoint>& terrain) {
    const Least least = groundClearance(span, curve, terrain);
    return {least.value, least.at};
}

double stillAirDistance(const ProfileSpan& span, const SpanCurve& curve, double x, double offset,
                        double elevation) {
    const SwungConductor still(curve.model(), span, curve.stress(), curve.load(), 0, 0, 0, 0, 0);
    return sweptDistance(still, x, offset, elevation);
}

void checkSpans(ProfileRun& run) {
    LineProfile& r = run.result;
    const std::vector<Tower>& towers = run.towers;
    const std::vector<TerrainPoint>& terrain = run.terrain;
    const std::size_t nc = run.all.size();

    // Spans: the curve of the largest sag over the ground, the crossings, the supports.
    for (std::size_t i = 0; i < r.spans.size(); ++i) {
        ProfileSpan& s = r.spans[i];
        const ProfileSection& sec = r.sections[s.section];
        s.maxSagCondition = sec.maxSagCondition;
        const SpanCurve c = profileCurve(r, i, s.maxSagCondition);
        s.maxSag = c.maxSag();
        s.lowPointStation = s.nearStation + c.lowPoint();
        const Least least = groundClearance(s, c, terrain);
        s.minClearance = least.value;
        s.minClearanceStation = least.at;
        if (s.requiredClearance && s.minClearance < *s.requiredClearance) {
            r.violations.push_back({ViolationKind::ground, i, spanName(towers, i),
                                    s.minClearanceStation, s.minClearance, *s.requiredClearance,
                                    s.maxSagCondition, std::nullopt});
        }
        std::size_t worst = 0;
        for (std::size_t k = 0; k < nc; ++k) {
            // In the plane of the condition's load, where the section's stress was solved.
            const SwungCurve swung = swungProfileCurve(r, i, k);
            const double largest =
                std::max(swung.inPlane().nearStress(), swung.inPlane().farStress());
            if (largest > s.supportStress) {
                s.supportStress = largest;
                worst = k;
            }
        }
        if (s.supportStress > s.supportAllowable) {
            const double station = s.heightDifference >= 0 ? s.farStation : s.nearStation;
            r.violations.push_back({ViolationKind::suspensionPoint, i, spanName(towers, i), station,
                                    s.supportStress, s.supportAllowable, worst, std::nullopt});
        }
    }
}

void checkCrossings(ProfileRun& run) {
    LineProfile& r = run.result;
    const std::vector<Crossing>& crossings = run.crossings;
    const std::vector<Tower>& towers = run.towers;
    const std::vector<WeatherCondition>& all = run.all;
    const std::size_t nc = all.size();

    // A suspension string's swing in condition k, radians, and its length: the swing check's
    // angle; a string pulled up is taken held out level (90°), as far aside as it reaches.
    const auto string = [&](std::size_t t, std::size_t k) -> std::pair<double, double> {
        if (towers[t].kind != TowerKind::suspension) return {0.0, 0.0};
        const double phi = r.towers[t].swingAngle[k];
        return {std::isnan(phi) ? 0.5 * std::numbers::pi : phi * std::numbers::pi / 180,
                towers[t].insulatorLength};
    };

    for (std::size_t j = 0; j < crossings.size(); ++j) {
        const Crossing& x = crossings[j];
        std::size_t i = 0;
        while (i + 1 < r.spans.size() && x.station > r.spans[i].farStation) ++i;
        ProfileSpan& s = r.spans[i];
        const double x0 = x.station - s.nearStation;
        CrossingCheck check;
        check.crossing = j;
        check.required = x.clearance;
        check.condition = s.maxSagCondition;
        const SpanCurve c = profileCurve(r, i, s.maxSagCondition);
        if (!x.offset) {
            check.clearance = s.nearAttachment + c.heightAt(x0) - x.elevation;
        } else {
            const ProfileSection& sec = r.sections[s.section];
            const double height = std::max(0.5 * (towers[i].armHeight + towers[i + 1].armHeight),
                                           1.0);  // m, where the span's wind is taken
            // Still air: the curve of largest sag, the strings plumb.
            check.clearance =
                sweptDistance(SwungConductor(r.model, s, sec.stress[s.maxSagCondition],
                                             r.verticalLoad[s.maxSagCondition], 0, 0, 0, 0, 0),
                              x0, *x.offset, x.elevation);
            for (std::size_t k = 0; k < nc; ++k) {
                if (all[k].windSpeed == 0) continue;
                // The conductor's sideways specific load, N/(m·mm²): the wind routine's on a
                // metre of it at 15 m's speed, at the mean of the two arms' heights, with the
                // clearance's α, as the strings' swing takes it.
                const double wind =
                    1000 *
                    conductorWindLoad(r.windAt15m[k], all[k].iceThickness, run.conductor.diameter,
                                      1, height, 90, r.clearanceAlpha[k]) /
                    run.conductor.area;
                const auto [nearPhi, nearLength] = string(i, k);
                const auto [farPhi, farLength] = string(i + 1, k);
                const SwungConductor swung(r.model, s, sec.stress[k], r.verticalLoad[k], wind,
                                           nearPhi, nearLength, farPhi, farLength);
                const double dk = sweptDistance(swung, x0, *x.offset, x.elevation);
                if (dk < check.clearance) {
                    check.clearance = dk;
                    check.condition = k;
                    check.conductorSwing =
                        std::atan2(wind, r.verticalLoad[k]) * 180 / std::numbers::pi;
                    check.nearStringSwing = nearPhi * 180 / std::numbers::pi;
                    check.farStringSwing = farPhi * 180 / std::numbers::pi;
                }
            }
        }
        check.ok = !(check.clearance < check.required);
        if (!check.ok) {
            r.violations.push_back({ViolationKind::crossing, i, x.name, x.station, check.clearance,
                                    check.required, check.condition, std::nullopt});
        }
        s.crossings.push_back(check);
    }
}

}  // namespace varnel::design::detail
