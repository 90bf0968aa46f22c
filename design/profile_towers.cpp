// The towers of the profile check: wind and weight spans, loads per phase conductor, the swing of
// each suspension string and uplift.
#include <algorithm>
#include <cmath>
#include <limits>

#include "calc/wind_loads.h"
#include "design/profile_steps.h"

namespace varnel::design::detail {

namespace {

constexpr double kDegree = 0.017453292519943295;  // radians

}  // namespace

void checkTowers(ProfileRun& run) {
    LineProfile& r = run.result;
    const std::vector<Tower>& towers = run.towers;
    const std::vector<WeatherCondition>& all = run.all;
    const std::size_t nc = all.size();
    const LineAttrib& conductor = run.conductor;

    // Towers: spans, loads and the suspension string's swing in every condition.
    for (std::size_t t = 0; t < towers.size(); ++t) {
        const Tower& tw = towers[t];
        ProfileTower& pt = r.towers[t];
        const bool behind = t > 0;
        const bool ahead = t + 1 < towers.size();
        const double lBehind = behind ? r.spans[t - 1].span : 0.0;
        const double lAhead = ahead ? r.spans[t].span : 0.0;
        pt.horizontalSpan = 0.5 * (lBehind + lAhead);
        const bool suspension = tw.kind == TowerKind::suspension;
        const double sides = (behind ? 1.0 : 0.0) + (ahead ? 1.0 : 0.0);
        // Half a string's weight and wind on each side of a strain tower, the whole string on a
        // suspension tower.
        const double strings = suspension ? 1.0 : 0.5 * sides;
        const double height = std::max(tw.armHeight, 1.0);
        const double halfAngle = 0.5 * tw.angle * kDegree;
        double worstSwing = -std::numeric_limits<double>::infinity();
        std::size_t worstCondition = 0;
        for (std::size_t k = 0; k < nc; ++k) {
            // From the tower to the low point of each adjacent span's curve in the vertical plane.
            double lv = 0;
            double tension = 0;  // N, the sum of the adjacent spans' horizontal tensions
            if (behind) {
                const SpanCurve c = profileCurve(r, t - 1, k);
                lv += c.span() - c.lowPoint();
                tension += c.stress() * conductor.area;
            }
            if (ahead) {
                const SpanCurve c = profileCurve(r, t, k);
                lv += c.lowPoint();
                tension += c.stress() * conductor.area;
            }
            const double weight = r.verticalLoad[k] * conductor.area;  // N/m
            const double wind = 1000 * conductorWind(all[k], conductor, pt.horizontalSpan, height,
                                                     90);  // N
            const double stringWind = 1000 * insulatorWind(all[k], height, tw.insulatorArea);
            pt.verticalSpan.push_back(lv);
            pt.verticalLoad.push_back(weight * lv + strings * tw.insulatorWeight);
            pt.horizontalLoad.push_back(wind + strings * stringWind +
                                        tension * std::fabs(std::sin(halfAngle)));
            if (suspension) {
                const double phi =
                    std::atan2(0.5 * stringWind + wind, 0.5 * tw.insulatorWeight + weight * lv) /
                    kDegree;
                pt.swingAngle.push_back(phi);
                if (all[k].windSpeed != 0 && phi > worstSwing) {
                    worstSwing = phi;
                    worstCondition = k;
                }
                if (lv < 0) pt.uplift = true;
            }
        }
        if (suspension && tw.maxSwing && worstSwing > *tw.maxSwing) {
            r.violations.push_back({ViolationKind::swing, t, tw.name, tw.station, worstSwing,
                                    *tw.maxSwing, worstCondition});
            pt.ok = false;
        }
        if (pt.uplift) {
            const auto least = std::min_element(pt.verticalSpan.begin(), pt.verticalSpan.end());
            r.violations.push_back({ViolationKind::uplift, t, tw.name, tw.station, *least, 0.0,
                                    static_cast<std::size_t>(least - pt.verticalSpan.begin())});
            pt.ok = false;
        }
    }
}

}  // namespace varnel::design::detail
