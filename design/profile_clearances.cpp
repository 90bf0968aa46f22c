// The spans of the profile check over the ground and over what they cross: the least clearance
// of the curve of largest sag, the stress at the supports, and each crossing's clearance.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "design/profile_steps.h"

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

// The least straight-line distance from a point beside the line (station x0 − near, offset d,
// elevation e) to the span's conductor hanging as `c` in the plane of its load, swung out
// towards the point by η from the vertical.
double sweptDistance(const ProfileSpan& s, const SpanCurve& c, double eta, double x0, double d,
                     double e) {
    const double sinEta = std::sin(eta);
    const double cosEta = std::cos(eta);
    const auto distance = [&](double x) {
        const double sag = c.sagAt(x);
        const double chord = s.nearAttachment + s.heightDifference * x / s.span;
        return std::sqrt((x - x0) * (x - x0) + (d - sag * sinEta) * (d - sag * sinEta) +
                         (chord - sag * cosEta - e) * (chord - sag * cosEta - e));
    };
    // The nearest point lies no farther along the line than the distance straight across.
    const double reach = distance(x0);
    const double lo = std::max(0.0, x0 - reach);
    const double hi = std::min(s.span, x0 + reach);
    constexpr int kSamples = 64;
    const double step = (hi - lo) / kSamples;
    double best = reach;
    double bestX = x0;
    for (int i = 0; i <= kSamples; ++i) {
        const double x = lo + step * i;
        const double v = distance(x);
        if (v < best) {
            best = v;
            bestX = x;
        }
    }
    // Refine within the samples next to the best by golden sections.
    double a = std::max(lo, bestX - step);
    double b = std::min(hi, bestX + step);
    constexpr double kGolden = 0.6180339887498949;
    for (int i = 0; i < 60 && b - a > 1e-9; ++i) {
        const double x1 = b - kGolden * (b - a);
        const double x2 = a + kGolden * (b - a);
        if (distance(x1) < distance(x2)) {
            b = x2;
        } else {
            a = x1;
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
    return sweptDistance(span, curve, 0, x, offset, elevation);
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
                                    s.maxSagCondition});
        }
        for (std::size_t k = 0; k < nc; ++k) {
            const SpanCurve ck(r.model, s.span, s.heightDifference, sec.stress[k], r.load[k]);
            s.supportStress = std::max({s.supportStress, ck.nearStress(), ck.farStress()});
        }
        if (s.supportStress > s.supportAllowable) {
            const double station = s.heightDifference >= 0 ? s.farStation : s.nearStation;
            r.violations.push_back({ViolationKind::suspensionPoint, i, spanName(towers, i), station,
                                    s.supportStress, s.supportAllowable, std::nullopt});
        }
    }
}

void checkCrossings(ProfileRun& run) {
    LineProfile& r = run.result;
    const std::vector<Crossing>& crossings = run.crossings;
    const std::vector<WeatherCondition>& all = run.all;
    const std::size_t nc = all.size();

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
            check.clearance = sweptDistance(s, c, 0, x0, *x.offset, x.elevation);
            const ProfileSection& sec = r.sections[s.section];
            for (std::size_t k = 0; k < nc; ++k) {
                if (all[k].windSpeed == 0) continue;
                const SpanCurve ck(r.model, s.span, s.heightDifference, sec.stress[k], r.load[k]);
                const double eta = std::atan2(r.horizontalLoad[k], r.verticalLoad[k]);
                const double dk = sweptDistance(s, ck, eta, x0, *x.offset, x.elevation);
                if (dk < check.clearance) {
                    check.clearance = dk;
                    check.condition = k;
                }
            }
        }
        check.ok = !(check.clearance < check.required);
        if (!check.ok) {
            r.violations.push_back({ViolationKind::crossing, i, x.name, x.station, check.clearance,
                                    check.required, check.condition});
        }
        s.crossings.push_back(check);
    }
}

}  // namespace varnel::design::detail
