// varnel profile: the line over the ground. With the towers where they stand on the terrain, the
// conductor's clearance to the ground and to what the line crosses, what each tower carries, and
// every figure that falls short of its limit.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "design/line_profile.h"
#include "design/strain_section.h"
#include "design/wind_rules.h"
#include "tools/chart_language.h"
#include "tools/command.h"
#include "tools/design_records.h"
#include "tools/encoding.h"
#include "tools/json_output.h"
#include "tools/library_tables.h"
#include "tools/profile_drawing.h"
#include "tools/profile_inputs.h"
#include "tools/profile_solve_output.h"
#include "tools/section_current.h"
#include "tools/text_table.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

struct ProfileCommandOptions {
    DesignOptions design;
    std::string terrainPath;
    std::string towersPath;
    std::string crossingsPath;
    double groundClearance = 0;
    CLI::Option* groundClearanceOption = nullptr;
    double suspensionSafety = 2.25;
    std::string model = "catenary";
    std::string csvDir;
    bool json = false;
    OperatingOptions operating;
    std::string svgPath;
    std::string lang = "en";  // the drawing's words
    double exaggeration = 10;
    double from = 0, to = 0;
    CLI::Option* fromOption = nullptr;
    CLI::Option* toOption = nullptr;
    std::string windHeight = "10";
    double alphaLoads = 0, alphaClearance = 0;
    CLI::Option* alphaLoadsOption = nullptr;
    CLI::Option* alphaClearanceOption = nullptr;
    std::string solve;  // what to solve for: "max-temperature"
    CLI::Option* solveOption = nullptr;
};

// Everything the outputs need: the inputs as read and the checked line.
struct CheckedLine {
    Design design;
    std::vector<design::TerrainPoint> terrain;
    std::vector<design::Tower> towers;
    std::vector<design::Crossing> crossings;
    std::optional<OperatingState> operating;
    std::vector<double> temperatures;  // °C, per condition
    std::vector<bool> windy;           // per condition
    std::vector<double> ice;           // mm, per condition
    std::vector<double> wind;          // m/s, per condition
    design::LineProfile profile;
    std::optional<SolvedTemperature> solved;  // with --solve max-temperature
};

std::string spanName(const CheckedLine& r, std::size_t i);

// The other model's largest sag beside a span's, when they differ by more than this, m.
constexpr double kModelsDiffer = 0.3;

const char* otherModel(const ProfileCommandOptions& o) {
    return o.model == "catenary" ? "parabola" : "catenary";
}

void warnWhereTheModelMatters(const ProfileCommandOptions& o, const CheckedLine& r) {
    for (std::size_t i = 0; i < r.profile.spans.size(); ++i) {
        const design::ProfileSpan& s = r.profile.spans[i];
        if (s.otherModelMaxSag && std::fabs(s.maxSag - *s.otherModelMaxSag) > kModelsDiffer) {
            warn(
                fmt::format("span {} ({} m): the {}'s largest sag {} m, the {}'s {} m; the model "
                            "matters here",
                            spanName(r, i), shortNumber(s.span), o.model, number(s.maxSag, 3),
                            otherModel(o), number(*s.otherModelMaxSag, 3)));
        }
    }
}

// The conditions of a section above their limits, by name; "-" where every one holds.
std::string failingConditions(const design::LineProfile& p, const design::ProfileSection& s) {
    std::string out;
    for (std::size_t k = 0; k < s.stress.size(); ++k) {
        if (design::withinLimit(s.stress[k], s.limit[k])) continue;
        if (!out.empty()) out += ", ";
        out += fmt::format("{} {} > {}", p.conditions[k], number(s.stress[k], 3),
                           number(s.limit[k], 3));
    }
    return out.empty() ? std::string("-") : "! " + out;
}

CheckedLine checkLine(const ProfileCommandOptions& o) {
    CheckedLine r{loadDesign(o.design), {}, {}, {}, {}, {}, {}, {}, {}, {}, {}};
    const bool solving = o.solveOption->count() > 0;
    const DesignRecords records(r.design);
    r.terrain = readTerrain(o.terrainPath);
    if (!solving) {
        r.operating = operatingState(o.operating, o.design.conductorsPath, o.design.conductorName,
                                     r.design.conductor->diameter);
    }
    design::ProfileOptions options;
    if (o.groundClearanceOption->count() > 0) options.groundClearance = o.groundClearance;
    options.model = *spanModelNamed(o.model);
    options.suspensionSafety = o.suspensionSafety;
    options.windHeight = o.windHeight == "15" ? 15 : 10;
    if (o.alphaLoadsOption->count() > 0) options.loadAlpha = o.alphaLoads;
    if (o.alphaClearanceOption->count() > 0) options.clearanceAlpha = o.alphaClearance;
    for (std::size_t k = 0; k < conditionCount(*r.design.area); ++k) {
        const ::WeatherCondition& c = r.design.area->conditions.first[k];
        options.conditionNames.push_back(nameOf(c.name));
        r.temperatures.push_back(c.temperature);
        r.windy.push_back(c.windSpeed != 0);
        r.ice.push_back(c.iceThickness);
        r.wind.push_back(c.windSpeed);
    }
    // The area's ice without wind follows its conditions (design::ProfileOptions).
    if (const auto still = design::iceWithoutWind(records.conditions())) {
        r.temperatures.push_back(still->temperature);
        r.windy.push_back(false);
        r.ice.push_back(still->iceThickness);
        r.wind.push_back(0);
    }
    if (r.operating) {
        options.maxTemperature = r.operating->temperature;
        options.maxTemperatureName = r.operating->name;
        r.temperatures.push_back(r.operating->temperature);
        r.windy.push_back(false);
        r.ice.push_back(0);
        r.wind.push_back(0);
    }
    std::vector<std::string> names = options.conditionNames;
    if (r.operating) names.push_back(options.maxTemperatureName);
    std::vector<std::string> warnings;
    r.towers = readTowers(o.towersPath, r.terrain, names, &warnings);
    for (const std::string& w : warnings) warn(w);
    std::size_t longSpans = 0;
    for (std::size_t i = 0; i + 1 < r.towers.size(); ++i) {
        const double span = r.towers[i + 1].station - r.towers[i].station;
        if (span > kLongSpan && longSpans++ == 0) {
            warnOfLongSpan(o.towersPath + ": span " + r.towers[i].name + "-" + r.towers[i + 1].name,
                           span);
        }
    }
    if (longSpans > 1) {
        warn(fmt::format("{}: {} more spans are longer than {} m", o.towersPath, longSpans - 1,
                         kLongSpan));
    }
    if (!o.crossingsPath.empty()) r.crossings = readCrossings(o.crossingsPath, r.towers);
    if (solving && !options.groundClearance && r.crossings.empty()) {
        throw UsageError(
            "--solve max-temperature: no clearance to hold; give --ground-clearance or a "
            "crossing");
    }
    const DesignFactors& f = o.design.factors;
    try {
        r.profile = design::checkProfile(records.conductor(), records.conditions(),
                                         {1.0, f.avgRatio, f.strengthFactor, f.safety}, r.terrain,
                                         r.towers, r.crossings, options);
    } catch (const std::invalid_argument& e) {
        throw ToolError(o.towersPath + ": " + e.what());
    } catch (const std::domain_error& e) {
        throw ToolError(o.towersPath + ": " + e.what());
    }
    warnWhereTheModelMatters(o, r);
    if (solving) {
        r.solved = solveMaxTemperature(r.profile, records.conductor(), records.conditions(),
                                       r.terrain, r.crossings, o.operating, o.design.conductorsPath,
                                       o.design.conductorName, r.design.conductor->diameter);
    }
    return r;
}

// --solve finds the conductor's temperature (and the current for it), which --max-temperature
// and --current fix; the heat balance's options serve --current or --solve.
void checkSolveOptions(const ProfileCommandOptions& o) {
    const OperatingOptions& op = o.operating;
    if (o.solveOption->count() > 0) {
        for (const CLI::Option* given : {op.maxTemperatureOption, op.currentOption}) {
            if (given->count() > 0) {
                throw UsageError(given->get_name() +
                                 " fixes the conductor's temperature, which --solve "
                                 "max-temperature finds: give one or the other");
            }
        }
        return;
    }
    if (op.currentOption->count() > 0) return;
    for (const CLI::Option* given : op.weatherOptions) {
        if (given->count() > 0) {
            throw UsageError(given->get_name() +
                             " describes the heat balance, which only --current or --solve "
                             "needs");
        }
    }
}

const char* kindName(design::TowerKind kind) {
    return kind == design::TowerKind::strain ? "strain" : "suspension";
}

std::string spanName(const CheckedLine& r, std::size_t i) {
    return r.towers[i].name + "-" + r.towers[i + 1].name;
}

const char* unitOf(design::ViolationKind kind) {
    switch (kind) {
        case design::ViolationKind::swing:
            return "deg";
        case design::ViolationKind::suspensionPoint:
            return "N/mm\u00B2";
        default:
            break;
    }
    return "m";
}

double largest(const std::vector<double>& v) {
    return v.empty() ? NAN : *std::max_element(v.begin(), v.end());
}
double smallest(const std::vector<double>& v) {
    return v.empty() ? NAN : *std::min_element(v.begin(), v.end());
}

std::optional<double> fixedAlpha(const CLI::Option* option, double value) {
    return option->count() > 0 ? std::optional<double>(value) : std::nullopt;
}

std::string upperFirst(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 32);
    return text;
}

// What the wind is in every condition with wind: the area's speed, at 15 m, the towers' and the
// clearances' α and whether the swing is checked in it.
std::string windText(const design::LineProfile& p, std::optional<double> fixedLoads,
                     std::optional<double> fixedClearance) {
    TextTable t({"condition", "wind m/s at 10 m", "at 15 m", "\u03B1 loads", "\u03B1 clearance",
                 "swing checked"},
                {false, true, true, true, true, false});
    bool any = false;
    for (std::size_t k = 0; k < p.conditions.size(); ++k) {
        if (p.windAt15m[k] == 0) continue;
        any = true;
        t.addRow({p.conditions[k], number(p.windAt10m[k], 2), number(p.windAt15m[k], 2),
                  number(p.loadAlpha[k], 3), number(p.clearanceAlpha[k], 3),
                  p.swingChecked[k] ? "yes" : "no"});
    }
    std::string out = "\n" + upperFirst(profileWindNote(p, fixedLoads, fixedClearance)) + "\n";
    if (any) out += t.aligned();
    return out;
}

std::string profileText(const ProfileCommandOptions& o, const CheckedLine& r) {
    const design::LineProfile& p = r.profile;
    const std::vector<std::string>& names = p.conditions;
    std::string out = describeDesign(r.design, o.design.factors, false);
    out += fmt::format(
        "\nLine of {} towers, {} m from station {} to {}; model: {}\n", r.towers.size(),
        number(r.towers.back().station - r.towers.front().station, 1),
        shortNumber(r.towers.front().station), shortNumber(r.towers.back().station), o.model);
    out += windText(p, fixedAlpha(o.alphaLoadsOption, o.alphaLoads),
                    fixedAlpha(o.alphaClearanceOption, o.alphaClearance));

    std::vector<std::string> sh{"section", "spans", "ruling m", "controlling", "largest sag"};
    for (const std::string& n : names) sh.push_back(n);
    sh.push_back("above its limit");
    std::vector<bool> sr(sh.size(), true);
    sr[0] = sr[3] = sr[4] = sr.back() = false;
    TextTable sections(sh, sr);
    for (const design::ProfileSection& s : p.sections) {
        std::vector<std::string> row{r.towers[s.firstTower].name + "-" + r.towers[s.lastTower].name,
                                     std::to_string(s.lastTower - s.firstTower),
                                     number(s.rulingSpan, 1), names[s.controlling],
                                     names[s.maxSagCondition]};
        for (double v : s.stress) row.push_back(number(v, 2));
        row.push_back(failingConditions(p, s));
        sections.addRow(row);
    }
    out +=
        "\nStrain sections: horizontal stress in every condition, N/mm\u00B2, each held to "
        "its limit (\u03C3A for the annual average, \u03C3N for the others)\n" +
        sections.aligned();

    TextTable spans(
        {"span", "length m", "height m", "sag m", std::string(otherModel(o)) + " m", "low point m",
         "clearance m", "at m", "required m", "crossings", "support N/mm\u00B2", ""},
        {false, true, true, true, true, true, true, true, true, false, true, false});
    for (std::size_t i = 0; i < p.spans.size(); ++i) {
        const design::ProfileSpan& s = p.spans[i];
        std::string crossings;
        for (const design::CrossingCheck& c : s.crossings) {
            if (!crossings.empty()) crossings += "; ";
            crossings +=
                fmt::format("{} {}/{}{}", r.crossings[c.crossing].name, number(c.clearance, 2),
                            shortNumber(c.required), c.ok ? "" : " !");
        }
        spans.addRow(
            {spanName(r, i), number(s.span, 1), number(s.heightDifference, 2), number(s.maxSag, 2),
             s.otherModelMaxSag ? number(*s.otherModelMaxSag, 2) : "-",
             number(s.lowPointStation, 1), number(s.minClearance, 2),
             number(s.minClearanceStation, 1),
             s.requiredClearance ? shortNumber(*s.requiredClearance) : "-",
             crossings.empty() ? "-" : crossings, number(s.supportStress, 2), s.ok ? "" : "!"});
    }
    out += fmt::format(
        "\nSpans in the condition of largest sag: clearance to the ground (least, and where), "
        "crossings (clearance/required, m); suspension-point allowable {} N/mm\u00B2\n",
        number(p.spans.front().supportAllowable, 2));
    out += spans.aligned();

    TextTable towers({"tower", "station m", "kind", "ground m", "conductor m", "wind span m",
                      "weight span m", "vertical N", "horizontal N", "swing deg", "uplift N", ""},
                     {false, true, false, true, true, true, true, true, true, true, true, false});
    for (std::size_t t = 0; t < r.towers.size(); ++t) {
        const design::ProfileTower& pt = p.towers[t];
        // The largest swing in the conditions it is checked in (a string pulled up has none).
        double swing = NAN;
        for (std::size_t k = 0; k < pt.swingAngle.size(); ++k) {
            if (pt.swingLimit[k] || p.swingChecked[k]) {
                if (pt.swingAngle[k] > swing || std::isnan(swing)) swing = pt.swingAngle[k];
            }
        }
        double up = NAN;
        for (const auto& u : pt.upliftLoad) {
            if (u && !(*u <= up)) up = *u;
        }
        towers.addRow(
            {r.towers[t].name, shortNumber(r.towers[t].station), kindName(r.towers[t].kind),
             number(pt.groundElevation, 2), number(pt.attachment, 2), number(pt.horizontalSpan, 1),
             number(smallest(pt.verticalSpan), 1) + " to " + number(largest(pt.verticalSpan), 1),
             number(largest(pt.verticalLoad), 0), number(largest(pt.horizontalLoad), 0),
             std::isnan(swing) ? "-" : number(swing, 1), std::isnan(up) ? "-" : number(up, 0),
             pt.uplift ? "uplift" : (pt.ok ? "" : "!")});
    }
    out +=
        "\nTowers: weight span over every condition, the largest loads per phase conductor, the "
        "largest swing where it is checked, the largest net upward load on a string pulled up\n";
    out += towers.aligned();

    if (!p.violations.empty()) {
        TextTable v({"kind", "where", "station m", "figure", "limit", "condition", "upward N"},
                    {false, false, true, true, true, false, true});
        for (const design::Violation& x : p.violations) {
            v.addRow({design::violationKindName(x.kind), x.where, number(x.station, 1),
                      number(x.value, 2) + " " + unitOf(x.kind),
                      number(x.limit, 2) + " " + unitOf(x.kind),
                      x.condition ? names[*x.condition] : "-", x.load ? number(*x.load, 0) : "-"});
        }
        out += "\nViolations\n" + v.aligned();
    }
    if (r.solved) out += solveText(*r.solved, r.towers, r.crossings);

    const std::size_t n = p.violations.size();
    out += fmt::format("{} violation{}\n", n, n == 1 ? "" : "s");
    return out;
}

std::vector<bool> holdsOf(const design::ProfileSection& s) {
    std::vector<bool> holds;
    for (std::size_t k = 0; k < s.stress.size(); ++k) {
        holds.push_back(design::withinLimit(s.stress[k], s.limit[k]));
    }
    return holds;
}

Json conditionOf(const CheckedLine& r, std::optional<std::size_t> k) {
    if (!k) return nullptr;
    return conditionRef(static_cast<int>(*k), r.profile.conditions[*k]);
}

void writeProfileJson(const ProfileCommandOptions& o, const CheckedLine& r, ResultStream& out) {
    const design::LineProfile& p = r.profile;
    Json head;
    describeDesign(r.design, o.design.factors, head);
    head["factors"]["suspension_point_safety"] = o.suspensionSafety;
    head["model"] = o.model;
    head["wind"] =
        Json{{"reference_height_m", p.windHeight},
             {"terrain_class", std::string(1, design::kWindTerrain)},
             {"routines_height_m", 15},
             {"alpha_loads",
              o.alphaLoadsOption->count() > 0 ? Json(o.alphaLoads) : Json(kLoadAlphaTable)},
             {"alpha_clearance", o.alphaClearanceOption->count() > 0 ? Json(o.alphaClearance)
                                                                     : Json(kClearanceAlphaTable)},
             {"note", profileWindNote(p, fixedAlpha(o.alphaLoadsOption, o.alphaLoads),
                                      fixedAlpha(o.alphaClearanceOption, o.alphaClearance))}};
    Json conditions = Json::array();
    for (std::size_t k = 0; k < p.conditions.size(); ++k) {
        conditions.push_back(Json{{"name", p.conditions[k]},
                                  {"ice_mm", r.ice[k]},
                                  {"wind_m_per_s", r.wind[k]},
                                  {"wind_10m_m_per_s", p.windAt10m[k]},
                                  {"wind_15m_m_per_s", p.windAt15m[k]},
                                  {"alpha_loads", p.loadAlpha[k]},
                                  {"alpha_clearance", p.clearanceAlpha[k]},
                                  {"swing_checked", static_cast<bool>(p.swingChecked[k])},
                                  {"temperature_degC", r.temperatures[k]},
                                  {"specific_load_N_per_m_mm2", p.load[k]},
                                  {"vertical_load_N_per_m_mm2", p.verticalLoad[k]},
                                  {"horizontal_load_N_per_m_mm2", p.horizontalLoad[k]}});
    }
    head["conditions"] = std::move(conditions);
    if (r.operating) head["operating"] = operatingJson(*r.operating, p.conditions.size() - 1);
    head["ground_clearance_m"] =
        o.groundClearanceOption->count() > 0 ? Json(o.groundClearance) : Json(nullptr);
    head["suspension_point_allowable_N_per_mm2"] = p.spans.front().supportAllowable;
    if (r.solved) head["solve"] = solveJson(*r.solved, r.towers, r.crossings);

    JsonStream doc([&out](std::string_view text) { out.write(text); }, head);
    doc.beginArray("sections");
    for (const design::ProfileSection& s : p.sections) {
        doc.add(Json{{"from", r.towers[s.firstTower].name},
                     {"to", r.towers[s.lastTower].name},
                     {"spans", s.lastTower - s.firstTower},
                     {"ruling_span_m", s.rulingSpan},
                     {"controlling", conditionOf(r, s.controlling)},
                     {"control_stress_N_per_mm2", s.controlStress},
                     {"stress_N_per_mm2", s.stress},
                     {"limit_N_per_mm2", s.limit},
                     {"holds", holdsOf(s)},
                     {"max_sag_condition", conditionOf(r, s.maxSagCondition)}});
    }
    doc.endArray();
    doc.beginArray("spans");
    for (std::size_t i = 0; i < p.spans.size(); ++i) {
        const design::ProfileSpan& s = p.spans[i];
        Json crossings = Json::array();
        for (const design::CrossingCheck& c : s.crossings) {
            const design::Crossing& x = r.crossings[c.crossing];
            crossings.push_back(Json{{"name", x.name},
                                     {"station_m", x.station},
                                     {"offset_m", x.offset ? Json(*x.offset) : Json(nullptr)},
                                     {"clearance_m", c.clearance},
                                     {"required_m", c.required},
                                     {"condition", conditionOf(r, c.condition)},
                                     {"conductor_swing_deg", c.conductorSwing},
                                     {"string_swing_deg", {c.nearStringSwing, c.farStringSwing}},
                                     {"ok", c.ok}});
        }
        doc.add(Json{{"from", r.towers[i].name},
                     {"to", r.towers[i + 1].name},
                     {"section", s.section},
                     {"span_m", s.span},
                     {"height_difference_m", s.heightDifference},
                     {"near_attachment_m", s.nearAttachment},
                     {"far_attachment_m", s.farAttachment},
                     {"max_sag_condition", conditionOf(r, s.maxSagCondition)},
                     {"max_sag_m", s.maxSag},
                     {"other_model_max_sag_m",
                      s.otherModelMaxSag ? Json(*s.otherModelMaxSag) : Json(nullptr)},
                     {"low_point_station_m", s.lowPointStation},
                     {"min_clearance_m", s.minClearance},
                     {"min_clearance_station_m", s.minClearanceStation},
                     {"required_clearance_m",
                      s.requiredClearance ? Json(*s.requiredClearance) : Json(nullptr)},
                     {"crossings", std::move(crossings)},
                     {"support_stress_N_per_mm2", s.supportStress},
                     {"ok", s.ok}});
    }
    doc.endArray();
    doc.beginArray("towers");
    for (std::size_t t = 0; t < r.towers.size(); ++t) {
        const design::ProfileTower& pt = p.towers[t];
        const design::Tower& w = r.towers[t];
        Json swing = nullptr;
        if (w.kind == design::TowerKind::suspension) {
            swing = Json::array();
            for (double a : pt.swingAngle) swing.push_back(std::isnan(a) ? Json(nullptr) : Json(a));
        }
        Json limits = Json::array(), upward = Json::array();
        for (const auto& l : pt.swingLimit) limits.push_back(l ? Json(*l) : Json(nullptr));
        for (const auto& u : pt.upliftLoad) upward.push_back(u ? Json(*u) : Json(nullptr));
        doc.add(Json{{"name", w.name},
                     {"station_m", w.station},
                     {"kind", kindName(w.kind)},
                     {"ground_elevation_m", pt.groundElevation},
                     {"attachment_m", pt.attachment},
                     {"horizontal_span_m", pt.horizontalSpan},
                     {"vertical_span_m", pt.verticalSpan},
                     {"vertical_load_N", pt.verticalLoad},
                     {"horizontal_load_N", pt.horizontalLoad},
                     {"swing_angle_deg", std::move(swing)},
                     {"max_swing_deg", w.maxSwing ? Json(*w.maxSwing) : Json(nullptr)},
                     {"swing_limit_deg", std::move(limits)},
                     {"uplift_load_N", std::move(upward)},
                     {"uplift_span_m", pt.upliftSpan},
                     {"uplift", pt.uplift},
                     {"ok", pt.ok}});
    }
    doc.endArray();
    doc.beginArray("violations");
    for (const design::Violation& v : p.violations) {
        doc.add(Json{{"kind", design::violationKindName(v.kind)},
                     {"where", v.where},
                     {"station_m", v.station},
                     {"value", v.value},
                     {"limit", v.limit},
                     {"unit", unitOf(v.kind)},
                     {"condition", conditionOf(r, v.condition)},
                     {"load_N", v.load ? Json(*v.load) : Json(nullptr)}});
    }
    doc.endArray();
    doc.end();
}

std::string full(double v) {
    return std::isfinite(v) ? fmt::format("{}", v) : std::string();
}

// Into files of `out`, put in place with the run's other outputs when it has succeeded.
void writeProfileCsv(const std::string& dir, const CheckedLine& r, ResultStream& out) {
    const design::LineProfile& p = r.profile;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(nativePath(dir)), ec);
    if (ec) throw ToolError(dir + ": cannot make the folder: " + ec.message());
    const auto file = [&](const char* name) { return dir + "/" + name; };
    OutputFile& spans = out.file(file("spans.csv"));
    OutputFile& towers = out.file(file("towers.csv"));
    OutputFile& violations = out.file(file("violations.csv"));

    spans.write(kUtf8Bom +
                "from,to,span_m,height_difference_m,max_sag_condition,max_sag_m,"
                "low_point_station_m,min_clearance_m,min_clearance_station_m,required_clearance_m,"
                "support_stress_N_per_mm2,ok,other_model_max_sag_m\r\n");
    for (std::size_t i = 0; i < p.spans.size(); ++i) {
        const design::ProfileSpan& s = p.spans[i];
        spans.write(fmt::format(
            "{},{},{},{},{},{},{},{},{},{},{},{},{}\r\n", csvField(r.towers[i].name),
            csvField(r.towers[i + 1].name), full(s.span), full(s.heightDifference),
            csvField(p.conditions[s.maxSagCondition]), full(s.maxSag), full(s.lowPointStation),
            full(s.minClearance), full(s.minClearanceStation),
            s.requiredClearance ? full(*s.requiredClearance) : "", full(s.supportStress),
            s.ok ? "yes" : "no", s.otherModelMaxSag ? full(*s.otherModelMaxSag) : ""));
    }
    // One row per tower and condition.
    // The swing is empty at a strain tower and where the string is pulled up; the uplift load
    // is the net upward load on the string (the worse side of a strain tower) where it is.
    towers.write(kUtf8Bom +
                 "name,station_m,kind,condition,horizontal_span_m,vertical_span_m,vertical_load_N,"
                 "horizontal_load_N,swing_angle_deg,uplift,uplift_load_N,alpha_clearance,"
                 "swing_limit_deg\r\n");
    for (std::size_t t = 0; t < r.towers.size(); ++t) {
        const design::ProfileTower& pt = p.towers[t];
        for (std::size_t k = 0; k < p.conditions.size(); ++k) {
            towers.write(fmt::format("{},{},{},{},{},{},{},{},{},{},{},{},{}\r\n",
                                     csvField(r.towers[t].name), full(r.towers[t].station),
                                     kindName(r.towers[t].kind), csvField(p.conditions[k]),
                                     full(pt.horizontalSpan), full(pt.verticalSpan[k]),
                                     full(pt.verticalLoad[k]), full(pt.horizontalLoad[k]),
                                     pt.swingAngle.empty() ? std::string() : full(pt.swingAngle[k]),
                                     pt.upliftLoad[k] ? "yes" : "no",
                                     pt.upliftLoad[k] ? full(*pt.upliftLoad[k]) : std::string(),
                                     full(p.clearanceAlpha[k]),
                                     pt.swingLimit[k] ? full(*pt.swingLimit[k]) : std::string()));
        }
    }
    violations.write(kUtf8Bom + "kind,where,station_m,value,limit,unit,condition,load_N\r\n");
    for (const design::Violation& v : p.violations) {
        violations.write(fmt::format(
            "{},{},{},{},{},{},{},{}\r\n", design::violationKindName(v.kind), csvField(v.where),
            full(v.station), full(v.value), full(v.limit), csvField(unitOf(v.kind)),
            v.condition ? csvField(p.conditions[*v.condition]) : "",
            v.load ? full(*v.load) : std::string()));
    }
    if (r.solved) writeSolveCsv(out.file(file("solve.csv")), *r.solved, r.towers, r.crossings);
}

void runProfileCommand(const ProfileCommandOptions& o, ResultStream& out) {
    if (o.csvDir == "-") throw UsageError("--csv -: the CSV files go into a folder; name one");
    if (o.svgPath == "-") throw UsageError("--svg -: the drawing goes to a file; name one");
    if (o.fromOption->count() > 0 && o.toOption->count() > 0 && !(o.to > o.from)) {
        throw UsageError("--to: must be beyond --from");
    }
    checkSolveOptions(o);
    const CheckedLine r = checkLine(o);
    std::string notes;
    if (!o.csvDir.empty()) {
        writeProfileCsv(o.csvDir, r, out);
        notes += "CSV written to " + o.csvDir + " (spans.csv, towers.csv, violations.csv" +
                 (r.solved ? ", solve.csv" : "") + ")\n";
    }
    if (!o.svgPath.empty()) {
        OutputFile& svg = out.file(o.svgPath);
        ProfileDrawingInputs drawing{
            r.terrain,
            r.towers,
            r.crossings,
            nameOf(r.design.area->name),
            nameOf(r.design.conductor->name),
            o.exaggeration,
            {},
            {},
            profileWindNote(r.profile, fixedAlpha(o.alphaLoadsOption, o.alphaLoads),
                            fixedAlpha(o.alphaClearanceOption, o.alphaClearance),
                            chartLanguageNamed(o.lang)),
            chartLanguageNamed(o.lang)};
        if (o.fromOption->count() > 0) drawing.from = o.from;
        if (o.toOption->count() > 0) drawing.to = o.to;
        writeProfileDrawing(r.profile, drawing, svg);
        notes += "SVG written to " + o.svgPath + "\n";
    }
    if (o.json) {
        writeProfileJson(o, r, out);
    } else {
        out.write(profileText(o, r) + notes);
    }
}

}  // namespace

void addProfileCommand(CLI::App& app, CommandSet& set) {
    auto o = std::make_shared<ProfileCommandOptions>();
    CLI::App* cmd = app.add_subcommand(
        "profile",
        "The line over the ground: clearances to the ground and crossings, tower spans and loads");
    addDesignOptions(cmd, set.numbers, o->design, false);
    cmd->add_option("--terrain", o->terrainPath,
                    "The ground along the centreline, CSV: station_m,elevation_m, stations "
                    "increasing")
        ->required()
        ->type_name("FILE");
    cmd->add_option("--towers", o->towersPath,
                    "The towers, CSV: name,station_m,kind (strain or suspension),arm_height_m,"
                    "insulator_length_m,insulator_weight_N and optional ground_elevation_m,"
                    "angle_deg,max_swing_deg,insulator_area_m2,max_angle_deg and "
                    "max_swing_<CONDITION>_deg")
        ->required()
        ->type_name("FILE");
    cmd->add_option("--crossings", o->crossingsPath,
                    "What the line crosses, CSV: name,station_m,elevation_m,clearance_m and "
                    "optional offset_m")
        ->type_name("FILE");
    o->groundClearanceOption = set.numbers.add(
        cmd, "--ground-clearance", o->groundClearance,
        "Clearance the conductor must keep to the ground, m; without it clearances are only "
        "reported",
        "M", kNonNegative, false);
    set.numbers.add(cmd, "--suspension-safety", o->suspensionSafety,
                    "Safety factor dividing the strength in the allowable stress at a suspension "
                    "point (default 2.25)",
                    "FACTOR", kPositive, false);
    cmd->add_option("--model", o->model,
                    "catenary (default: each span an exact catenary, each section's change of "
                    "state solved with them) or parabola (the ruling span's state equation)")
        ->check(CLI::IsMember({"catenary", "parabola"}))
        ->type_name("MODEL");
    cmd->add_option("--csv", o->csvDir,
                    "Also write spans.csv, towers.csv and violations.csv into the folder DIR")
        ->type_name("DIR");
    cmd->add_flag("--json", o->json, "One JSON document instead of the tables");
    cmd->add_option("--svg", o->svgPath, "Also draw the profile as SVG to FILE")->type_name("FILE");
    addChartLanguageOption(cmd, o->lang);
    set.numbers.add(cmd, "--exaggeration", o->exaggeration,
                    "The drawing's vertical scale over its horizontal scale (default 10)", "RATIO",
                    Bounds{1, 100}, false);
    o->fromOption = set.numbers.add(cmd, "--from", o->from,
                                    "The first station drawn, m (default the line's start)", "M",
                                    kAnyNumber, false);
    o->toOption =
        set.numbers.add(cmd, "--to", o->to, "The last station drawn, m (default the line's end)",
                        "M", kAnyNumber, false);
    cmd->add_option("--wind-height", o->windHeight,
                    "The height, m, at which the area's wind speeds are given: 10 (default, the "
                    "design practice's; converted to 15 m for the conductor's and the strings' "
                    "wind loads, terrain B) or 15 (taken as they are)")
        ->check(CLI::IsMember({"10", "15"}))
        ->type_name("M");
    o->alphaLoadsOption = set.numbers.add(
        cmd, "--alpha-loads", o->alphaLoads,
        "The wind pressure non-uniformity factor of the towers' loads, in place of GB 50545-2010 "
        "Table 10.1.18-1's row for them (above 0, at most 1)",
        "A", Bounds{0, 1, true, false}, false);
    o->alphaClearanceOption = set.numbers.add(
        cmd, "--alpha-clearance", o->alphaClearance,
        "The wind pressure non-uniformity factor of the swing of strings and conductors, in "
        "place of GB 50545-2010 Table 10.1.18-1's row for the electrical clearance (above 0, at "
        "most 1)",
        "A", Bounds{0, 1, true, false}, false);
    addOperatingOptions(cmd, set.numbers, o->operating);
    o->solveOption =
        cmd->add_option("--solve", o->solve,
                        "max-temperature: the highest conductor temperature (still air, no ice) "
                        "at which every clearance holds, what limits it and, with the heat "
                        "balance's options, the current that holds the conductor there")
            ->check(CLI::IsMember({"max-temperature"}))
            ->type_name("WHAT");
    cmd->footer(
        examples({"varnel profile --areas samples/weather_areas.dbf --area \u5178\u578B\u6C14\u8C61"
                  "\u533A\u2165 --conductors samples/conductors.dbf --conductor JL/G1A-240/30 \\\n"
                  "      --terrain terrain.csv --towers towers.csv --crossings crossings.csv "
                  "--ground-clearance 7",
                  "varnel profile ... --ground-clearance 7 --solve max-temperature --ambient 40 "
                  "--wind 0.5 --solar 1000"}));
    set.commands.push_back({cmd, [o](ResultStream& out) { runProfileCommand(*o, out); }});
}

}  // namespace varnel::tool
