#include "design/line_profile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "calc/conductor_load.h"
#include "design/condition_roles.h"
#include "design/profile_steps.h"
#include "design/strain_section.h"
#include "design/wind_rules.h"

namespace varnel::design {

namespace {

std::string shown(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

bool finite(double v) {
    return std::isfinite(v);
}

// The area's conditions, its ice without wind, then the max-temperature one (no ice, no wind)
// when asked for.
std::vector<WeatherCondition> allConditions(const WeatherConditionSeq& area,
                                            const ProfileOptions& options) {
    std::vector<WeatherCondition> all(area.first, area.last);
    if (options.iceWithoutWind) {
        if (const auto still = iceWithoutWind(area)) all.push_back(*still);
    }
    if (options.maxTemperature) {
        WeatherCondition still{};
        still.temperature = *options.maxTemperature;
        all.push_back(still);
    }
    return all;
}

// The names of the conditions as the results give them, for a message.
std::string listed(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

void checkInputs(const std::vector<TerrainPoint>& terrain, const std::vector<Tower>& towers,
                 const std::vector<Crossing>& crossings, const ProfileOptions& options,
                 const std::vector<std::string>& conditionNames) {
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
        for (std::size_t j = 0; j < i; ++j) {
            if (towers[j].name == t.name) {
                throw fail("the name is taken by tower " + std::to_string(j + 1) +
                           " as well; each tower needs a name of its own");
            }
        }
        if (t.maxAngle && !(*t.maxAngle >= 0 && *t.maxAngle < 180)) {
            throw fail("a largest line angle must lie from 0 to below 180 degrees");
        }
        if (t.maxAngle && std::fabs(t.angle) > *t.maxAngle) {
            throw fail("a line angle of " + shown(t.angle) + " degrees is more than the " +
                       shown(*t.maxAngle) + " its type takes");
        }
        if (t.kind == TowerKind::suspension && std::fabs(t.angle) >= 90) {
            throw fail("a line angle of " + shown(t.angle) +
                       " degrees: no suspension string takes 90 degrees or more");
        }
        for (const auto& [name, limit] : t.maxSwingIn) {
            if (std::find(conditionNames.begin(), conditionNames.end(), name) ==
                conditionNames.end()) {
                throw fail("an allowed swing in condition " + name +
                           ", which the area does not have (its conditions: " +
                           listed(conditionNames) + ")");
            }
            if (!(limit > 0 && limit <= 90)) {
                throw fail("the allowed swing in " + name +
                           " must lie above 0 and at most 90 degrees");
            }
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
    if (options.windHeight != 10 && options.windHeight != 15) {
        throw std::invalid_argument("the wind's reference height must be 10 or 15 m, not " +
                                    shown(options.windHeight));
    }
    for (const auto& [alpha, what] : {std::pair{options.loadAlpha, "the towers' loads"},
                                      std::pair{options.clearanceAlpha, "the clearances"}}) {
        if (alpha && !(*alpha > 0 && *alpha <= 1)) {
            throw std::invalid_argument(std::string("the wind's non-uniformity factor for ") +
                                        what + " must lie above 0 and at most 1");
        }
    }
}

}  // namespace

std::string detail::spanName(const std::vector<Tower>& towers, std::size_t i) {
    return towers[i].name + "-" + towers[i + 1].name;
}

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
    LineProfile r;
    r.model = options.model;
    const std::vector<WeatherCondition> all = allConditions(conditions, options);
    for (std::size_t k = 0; k < conditions.size(); ++k) {
        r.conditions.push_back(k < options.conditionNames.size() ? options.conditionNames[k]
                                                                 : std::to_string(k + 1));
    }
    if (options.iceWithoutWind && iceWithoutWind(conditions)) {
        r.conditions.push_back(iceWithoutWindName(conditions));
    }
    if (options.maxTemperature) r.conditions.push_back(options.maxTemperatureName);
    checkInputs(terrain, towers, crossings, options, r.conditions);
    r.windHeight = options.windHeight;
    r.swingChecked = swingConditions(conditions);
    r.swingChecked.resize(all.size(), false);  // the conductor's temperature: still air
    for (const WeatherCondition& c : all) {
        r.windAt10m.push_back(speedAt10m(c.windSpeed, options.windHeight));
        r.windAt15m.push_back(speedAt15m(c.windSpeed, options.windHeight));
        r.loadAlpha.push_back(options.loadAlpha.value_or(towerLoadAlpha(r.windAt10m.back())) *
                              heavyIceFactor(c.iceThickness));
        r.clearanceAlpha.push_back(
            options.clearanceAlpha.value_or(clearanceAlpha(r.windAt10m.back())) *
            heavyIceFactor(c.iceThickness));
    }
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

    detail::ProfileRun run{conductor, conditions, factors,       terrain, towers,
                           crossings, options,    annualAverage, all,     r};
    detail::stringSections(run);
    detail::checkSpans(run);
    // The crossings beside the line take the strings' swing from the towers.
    detail::checkTowers(run);
    detail::checkCrossings(run);
    for (const Violation& v : r.violations) {
        if (v.kind != ViolationKind::swing && v.kind != ViolationKind::uplift) {
            r.spans[v.index].ok = false;
        }
    }
    // In order of station, and at one station in the order of the kinds.
    std::stable_sort(r.violations.begin(), r.violations.end(),
                     [](const Violation& a, const Violation& b) {
                         if (a.station != b.station) return a.station < b.station;
                         return a.kind < b.kind;
                     });
    return r;
}

}  // namespace varnel::design
