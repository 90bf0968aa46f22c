// The towers of the profile check: wind and weight spans, loads per phase conductor, the swing of
// each suspension string and uplift.
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "calc/wind_loads.h"
#include "design/profile_steps.h"
#include "design/wind_rules.h"

namespace varnel::design::detail {

namespace {

constexpr double kDegree = 0.017453292519943295;  // radians

// The allowed swing of tower `tw` in condition k where it is checked: the tower's own for that
// condition, else its single one in the conditions the practice checks.
std::optional<double> swingLimit(const Tower& tw, const LineProfile& r, std::size_t k) {
    for (const auto& [name, limit] : tw.maxSwingIn) {
        if (name == r.conditions[k]) return limit;
    }
    if (r.swingChecked[k]) return tw.maxSwing;
    return std::nullopt;
}

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
        const double pull = std::fabs(std::sin(0.5 * tw.angle * kDegree));
        // The worst exceedance of an allowed swing, and the most negative weight span of a
        // string pulled up.
        std::optional<std::size_t> swung;
        double excess = 0;
        std::optional<std::size_t> lifted;
        for (std::size_t k = 0; k < nc; ++k) {
            // From the tower to the low point of each adjacent span's curve in the vertical plane.
            double lvBehind = 0, lvAhead = 0;
            double tension = 0;  // N, the sum of the adjacent spans' horizontal tensions
            if (behind) {
                const SpanCurve c = profileCurve(r, t - 1, k);
                lvBehind = c.span() - c.lowPoint();
                tension += c.stress() * conductor.area;
            }
            if (ahead) {
                const SpanCurve c = profileCurve(r, t, k);
                lvAhead = c.lowPoint();
                tension += c.stress() * conductor.area;
            }
            const double lv = lvBehind + lvAhead;
            const double weight = r.verticalLoad[k] * conductor.area;  // N/m
            const double ice = all[k].iceThickness;
            const double v15 = r.windAt15m[k];
            WeatherCondition at15 = all[k];
            at15.windSpeed = v15;
            // The conductor's wind over the wind span at the arm's height, N: with the loads' α
            // on the tower, the clearance's α on the string.
            const double wind =
                1000 * conductorWindLoad(v15, ice, conductor.diameter, pt.horizontalSpan, height,
                                         90, r.loadAlpha[k]);
            const double swingWind =
                1000 * conductorWindLoad(v15, ice, conductor.diameter, pt.horizontalSpan, height,
                                         90, r.clearanceAlpha[k]);
            const double stringWind = 1000 * insulatorWind(at15, height, tw.insulatorArea);
            const double angle = tension * pull;  // the line angle's pull across the line, N
            pt.verticalSpan.push_back(lv);
            pt.verticalLoad.push_back(weight * lv + strings * tw.insulatorWeight);
            pt.horizontalLoad.push_back(wind + strings * stringWind + angle);

            // What holds each string down: the conductor's weight over its weight span and half
            // the string's own (the string a rigid rod pivoting at the arm). A suspension tower
            // has one string; on a strain tower each side's string takes its own side's span,
            // and one side's weight does not hold the other side's string down.
            double down = 0;
            double span = 0;
            if (suspension) {
                down = weight * lv + 0.5 * tw.insulatorWeight;
                span = lv;
            } else {
                down = std::numeric_limits<double>::infinity();
                for (const auto& [present, side] :
                     {std::pair{behind, lvBehind}, std::pair{ahead, lvAhead}}) {
                    const double d = weight * side + 0.5 * tw.insulatorWeight;
                    if (present && d < down) {
                        down = d;
                        span = side;
                    }
                }
            }
            pt.upliftSpan.push_back(span);
            if (!(down > 0)) {
                pt.upliftLoad.emplace_back(-down);
                pt.uplift = true;
                if (!lifted || span < pt.upliftSpan[*lifted]) lifted = k;
            } else {
                pt.upliftLoad.emplace_back(std::nullopt);
            }

            pt.swingLimit.push_back(suspension ? swingLimit(tw, r, k) : std::nullopt);
            if (!suspension) continue;
            // The string swings under its own wind, the conductor's and the line angle's pull
            // (towards the inside of the angle: the side where it adds to the wind's push is the
            // one checked); none where it is pulled up.
            const double across = 0.5 * stringWind + swingWind + angle;
            const double phi = down > 0 ? std::atan(across / down) / kDegree
                                        : std::numeric_limits<double>::quiet_NaN();
            pt.swingAngle.push_back(phi);
            const std::optional<double>& limit = pt.swingLimit.back();
            if (limit && phi > *limit && (!swung || phi - *limit > excess)) {
                swung = k;
                excess = phi - *limit;
            }
        }
        if (swung) {
            r.violations.push_back({ViolationKind::swing, t, tw.name, tw.station,
                                    pt.swingAngle[*swung], *pt.swingLimit[*swung], *swung,
                                    std::nullopt});
            pt.ok = false;
        }
        if (lifted) {
            r.violations.push_back({ViolationKind::uplift, t, tw.name, tw.station,
                                    pt.upliftSpan[*lifted], 0.0, *lifted, pt.upliftLoad[*lifted]});
            pt.ok = false;
        }
    }
}

}  // namespace varnel::design::detail
