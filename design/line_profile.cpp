#include "design/line_profile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>

#include "calc/catenary_state.h"
#include "calc/conductor_load.h"
#include "calc/state_equation.h"
#include "calc/wind_loads.h"
#include "design/strain_section.h"

namespace varnel::design {

namespace {

constexpr double kDegree = 0.017453292519943295;  // radians

std::string shown(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

bool finite(double v) {
    return std::isfinite(v);
}

// The area's conditions, then the max-temperature one (no ice, no wind) when asked for.
std::vector<WeatherCondition> allConditions(const WeatherConditionSeq& area,
                                            const ProfileOptions& options) {
    std::vector<WeatherCondition> all(area.first, area.last);
    if (options.maxTemperature) {
        WeatherCondition still{};
        still.temperature = *options.maxTemperature;
        all.push_back(still);
    }
    return all;
}

void checkInputs(const std::vector<TerrainPoint>& terrain, const std::vector<Tower>& towers,
                 const std::vector<Crossing>& crossings, const ProfileOptions& options) {
    if (terrain.size() < 2) throw std::invalid_argument("the terrain needs at least two points");
    for (std::size_t i = 0; i < terrain.size(); ++i) {
        if (!finite(terrain[i].station) || !finite(terrain[i].elevation)) {
            throw std::invalid_argument("terrain point " + std::to_string(i + 1) +
                                        " is not a finite station and elevation");
        }
        if (i > 0 && !(terrain[i].station > terrain[i - 1].station)) {
            throw std::invalid_argument("terrain stations must increase (point " +
                                        std::to_string(i + 1) + ")");
        }
    }
    if (towers.size() < 2) throw std::invalid_argument("a line needs at least two towers");
    if (towers.front().kind != TowerKind::strain || towers.back().kind != TowerKind::strain) {
        throw std::invalid_argument("the first and the last towers must be strain towers");
    }
    const double from = terrain.front().station;
    const double to = terrain.back().station;
    for (std::size_t i = 0; i < towers.size(); ++i) {
        const Tower& t = towers[i];
        const auto fail = [&](const std::string& why) {
            return std::invalid_argument("tower " + t.name + ": " + why);
        };
        if (!finite(t.station)) throw fail("its station is not finite");
        if (i > 0 && !(t.station > towers[i - 1].station)) {
            throw fail("its station does not follow the previous tower's");
        }
        if (t.station < from || t.station > to) {
            throw fail("its station " + shown(t.station) + " m is off the terrain (" + shown(from) +
                       " to " + shown(to) + " m)");
        }
        if (!(t.armHeight >= 0) || !finite(t.armHeight)) throw fail("a negative arm height");
        if (!(t.insulatorLength >= 0) || !finite(t.insulatorLength)) {
            throw fail("a negative insulator length");
        }
        if (!(t.insulatorWeight >= 0) || !finite(t.insulatorWeight)) {
            throw fail("a negative insulator weight");
        }
        if (!(t.insulatorArea >= 0) || !finite(t.insulatorArea)) {
            throw fail("a negative insulator area");
        }
        if (t.groundElevation && !finite(*t.groundElevation)) {
            throw fail("its ground elevation is not finite");
        }
        if (!finite(t.angle) || std::fabs(t.angle) >= 180) {
            throw fail("a line angle must lie between -180 and 180 degrees");
        }
        if (t.maxSwing && !(*t.maxSwing > 0 && *t.maxSwing <= 180)) {
            throw fail("an allowed swing must lie above 0 and at most 180 degrees");
        }
    }
    for (const Crossing& c : crossings) {
        if (!finite(c.station) || c.station < towers.front().station ||
            c.station > towers.back().station) {
            throw std::invalid_argument("crossing " + c.name + ": its station lies off the line");
        }
        if (!finite(c.elevation)) throw std::invalid_argument("crossing " + c.name + ": elevation");
        if (!(c.clearance >= 0) || !finite(c.clearance)) {
            throw std::invalid_argument("crossing " + c.name + ": a negative clearance");
        }
        if (c.offset && (!(*c.offset >= 0) || !finite(*c.offset))) {
            throw std::invalid_argument("crossing " + c.name + ": a negative offset");
        }
    }
    if (options.groundClearance &&
        (!(*options.groundClearance >= 0) || !finite(*options.groundClearance))) {
        throw std::invalid_argument("the ground clearance must be 0 m or more");
    }
    if (options.maxTemperature && !finite(*options.maxTemperature)) {
        throw std::invalid_argument("the max temperature must be finite");
    }
    if (!(options.suspensionSafety > 0) || !finite(options.suspensionSafety)) {
        throw std::invalid_argument("the suspension safety factor must be above 0");
    }
}

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

std::string spanName(const std::vector<Tower>& towers, std::size_t i) {
    return towers[i].name + "-" + towers[i + 1].name;
}

}  // namespace

const char* violationKindName(ViolationKind kind) noexcept {
    switch (kind) {
        case ViolationKind::ground:
            return "ground";
        case ViolationKind::crossing:
            return "crossing";
        case ViolationKind::swing:
            return "swing";
        case ViolationKind::uplift:
            return "uplift";
        case ViolationKind::suspensionPoint:
            break;
    }
    return "suspension_point";
}

double terrainElevation(const std::vector<TerrainPoint>& terrain, double station) {
    if (terrain.empty()) return 0;
    if (station <= terrain.front().station) return terrain.front().elevation;
    if (station >= terrain.back().station) return terrain.back().elevation;
    const auto next =
        std::upper_bound(terrain.begin(), terrain.end(), station,
                         [](double s, const TerrainPoint& p) { return s < p.station; });
    const TerrainPoint& b = *next;
    const TerrainPoint& a = *(next - 1);
    return a.elevation +
           (b.elevation - a.elevation) * (station - a.station) / (b.station - a.station);
}

SpanCurve profileCurve(const LineProfile& profile, std::size_t span, std::size_t condition) {
    const ProfileSpan& s = profile.spans.at(span);
    return SpanCurve(profile.model, s.span, s.heightDifference,
                     profile.sections.at(s.section).stress.at(condition),
                     profile.verticalLoad.at(condition));
}

LineProfile checkProfile(const LineAttrib& conductor, const WeatherConditionSeq& conditions,
                         const SearchFactors& factors, const std::vector<TerrainPoint>& terrain,
                         const std::vector<Tower>& towers, const std::vector<Crossing>& crossings,
                         const ProfileOptions& options, GivenAverage annualAverage) {
    checkInputs(terrain, towers, crossings, options);
    LineProfile r;
    r.model = options.model;
    const std::vector<WeatherCondition> all = allConditions(conditions, options);
    const std::size_t nc = all.size();
    for (std::size_t k = 0; k < conditions.size(); ++k) {
        r.conditions.push_back(k < options.conditionNames.size() ? options.conditionNames[k]
                                                                 : std::to_string(k + 1));
    }
    if (options.maxTemperature) r.conditions.push_back(options.maxTemperatureName);
    for (const WeatherCondition& c : all) {
        WeatherCondition still = c;
        still.windSpeed = 0;
        const double g = specificLoad(c, conductor);
        const double gv = specificLoad(still, conductor);
        r.load.push_back(g);
        r.verticalLoad.push_back(gv);
        r.horizontalLoad.push_back(std::sqrt(std::max(0.0, g * g - gv * gv)));
    }
    // The suspension point's limit is worked out as the lowest point's, with its own safety.
    SearchFactors atSupport = factors;
    atSupport.cosAngle = 1;
    atSupport.safetyFactor = options.suspensionSafety;
    const double supportAllowable = allowableStresses(conductor, atSupport).normal;

    // Towers: the ground and the conductor's attachment.
    for (const Tower& t : towers) {
        ProfileTower pt;
        pt.groundElevation =
            t.groundElevation ? *t.groundElevation : terrainElevation(terrain, t.station);
        pt.attachment = pt.groundElevation + t.armHeight -
                        (t.kind == TowerKind::suspension ? t.insulatorLength : 0.0);
        r.towers.push_back(std::move(pt));
    }
    for (std::size_t i = 0; i + 1 < towers.size(); ++i) {
        ProfileSpan s;
        s.nearStation = towers[i].station;
        s.farStation = towers[i + 1].station;
        s.nearAttachment = r.towers[i].attachment;
        s.farAttachment = r.towers[i + 1].attachment;
        s.span = s.farStation - s.nearStation;
        s.heightDifference = s.farAttachment - s.nearAttachment;
        s.requiredClearance = options.groundClearance;
        s.supportAllowable = supportAllowable;
        r.spans.push_back(std::move(s));
    }

    // Strain sections, each strung to one horizontal stress per condition.
    SearchFactors level = factors;
    level.cosAngle = 1;
    const ConductorStrain strain{conductor.elasticModulus, conductor.expansionCoeff};
    for (std::size_t first = 0; first + 1 < towers.size();) {
        std::size_t last = first + 1;
        while (towers[last].kind != TowerKind::strain) ++last;
        ProfileSection sec;
        sec.firstTower = first;
        sec.lastTower = last;
        std::vector<SpanGeometry> geometry;
        std::vector<SectionSpan> catenarySpans;
        for (std::size_t i = first; i < last; ++i) {
            geometry.push_back({r.spans[i].span, r.spans[i].heightDifference});
            catenarySpans.push_back({r.spans[i].span, r.spans[i].heightDifference});
            r.spans[i].section = r.sections.size();
        }
        const SectionDesign d =
            designSection(conductor, conditions, level, geometry, annualAverage);
        if (d.controlling < 0) {
            throw std::domain_error("no condition qualifies as controlling in the section from " +
                                    towers[first].name + " to " + towers[last].name);
        }
        sec.rulingSpan = d.ruling.span;
        sec.controlling = static_cast<std::size_t>(d.controlling);
        sec.controlStress = d.controlStress;
        const WeatherCondition& control = all[sec.controlling];
        const LoadState controlState{r.load[sec.controlling], control.temperature};
        for (std::size_t k = 0; k < nc; ++k) {
            double sigma = 0;
            if (options.model == SpanModel::catenary) {
                sigma = catenarySectionStress(catenarySpans, strain, controlState, d.controlStress,
                                              {r.load[k], all[k].temperature});
            } else if (k < d.stress.size()) {
                sigma = d.stress[k];
            } else {
                sigma = stateEquationStress(d.ruling.span, d.ruling.cosAngle, conductor, control,
                                            all[k], d.controlStress);
            }
            if (!(sigma > 0) || !finite(sigma)) {
                throw std::domain_error("the stress of the section from " + towers[first].name +
                                        " to " + towers[last].name + " in condition " +
                                        r.conditions[k] + " cannot be solved");
            }
            sec.stress.push_back(sigma);
        }
        // The largest sag, still air only: the smallest parameter σ₀/γ gives the largest sag in
        // every span of the section, whichever the model.
        bool found = false;
        for (std::size_t k = 0; k < nc; ++k) {
            if (all[k].windSpeed != 0) continue;
            const double p = sec.stress[k] / r.verticalLoad[k];
            if (!found ||
                p < sec.stress[sec.maxSagCondition] / r.verticalLoad[sec.maxSagCondition]) {
                sec.maxSagCondition = k;
                found = true;
            }
        }
        if (!found) {
            for (std::size_t k = 0; k < nc; ++k) {
                if (sec.stress[k] / r.verticalLoad[k] <
                    sec.stress[sec.maxSagCondition] / r.verticalLoad[sec.maxSagCondition]) {
                    sec.maxSagCondition = k;
                }
            }
        }
        r.sections.push_back(std::move(sec));
        first = last;
    }

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
    for (const Violation& v : r.violations) {
        if (v.kind != ViolationKind::swing && v.kind != ViolationKind::uplift) {
            r.spans[v.index].ok = false;
        }
    }
    std::stable_sort(r.violations.begin(), r.violations.end(),
                     [](const Violation& a, const Violation& b) { return a.station < b.station; });
    return r;
}

}  // namespace varnel::design
