// varnel control: the controlling condition of one span, with the library's account of its
// search, then every condition strung from the controlling one.
#include <fmt/format.h>

#include <cmath>
#include <optional>
#include <stdexcept>

#include "tools/catenary_restring.h"
#include "tools/command.h"
#include "tools/design_inputs.h"
#include "tools/design_records.h"
#include "tools/encoding.h"
#include "tools/json_output.h"
#include "tools/library_output.h"
#include "tools/library_tables.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

struct ControlOptions {
    DesignOptions design;
    double span = 0;
    bool raw = false;
    bool json = false;
    std::string model = "parabola";
    double heightDifference = 0;
    bool haveHeightDifference = false;
};

struct ControlResult {
    Design design;
    SpanState state;
    std::string account;  // GBK, as the library wrote it
    bool catenary = false;
    double heightDifference = 0;  // m, the catenary's
    int parabolaControl = -1;     // the library's search's, beside the catenary's own
};

ControlResult runControl(const DesignOptions& options, double span) {
    ControlResult r{loadDesign(options), {}, {}};
    r.account = captureStandardOutput([&] {
        r.state =
            analyseSpan(span, *r.design.conductor, r.design.area->conditions, options.factors);
    });
    return r;
}

// The cosine is --cos or, with --height-difference, l/√(l² + h²) (set when the options are read);
// without a height difference the catenary hangs the span with that of --cos, l·tan β, its far
// support the higher.
ControlResult runControl(const ControlOptions& o) {
    const DesignOptions& design = o.design;
    const bool catenary = o.model == "catenary";
    if (catenary && !(o.span > 0)) {
        throw UsageError("--span: the catenary needs a span longer than 0 m");
    }
    ControlResult r = runControl(design, o.span);
    if (catenary) {
        r.catenary = true;
        r.heightDifference = o.haveHeightDifference
                                 ? o.heightDifference
                                 : heightDifferenceOf(o.span, design.factors.cosAngle);
        const DesignRecords records(r.design);
        r.parabolaControl =
            restringAsCatenary(r.state, r.heightDifference, records, design.factors);
    }
    return r;
}

std::string controlText(const ControlResult& r, const DesignFactors& factors, bool raw) {
    const WeatherArea& area = *r.design.area;
    std::string out = describeDesign(r.design, factors);
    out += fmt::format("span {} m\n", r.state.span);
    out += raw ? r.account : gbkToUtf8(r.account);
    if (r.state.control < 0) return out + "\nNo condition qualifies as controlling.\n";
    out += fmt::format("\nControlling condition{}: {}, strung to {} N/mm\u00B2\n\n",
                       r.catenary ? " by the catenary" : "",
                       nameOf(area.conditions.first[r.state.control].name),
                       number(r.state.controlStress, 3));
    if (r.catenary) {
        if (r.parabolaControl != r.state.control) {
            out += fmt::format(
                "The library's search above rests on the parabola and picks {}; strung from it, "
                "a condition would go beyond its limit as a catenary\n\n",
                r.parabolaControl >= 0 ? nameOf(area.conditions.first[r.parabolaControl].name)
                                       : std::string("none"));
        }
        out += fmt::format(
            "Model: catenary, height difference {} m: the controlling condition the first whose "
            "limit keeps every other within its own, every condition strung from it as an exact "
            "catenary (a condition with wind in the plane of its load); sag the largest, along "
            "the load\n\n",
            number(r.heightDifference, 3));
    }
    return out + spanTable(area, r.state);
}

std::string controlJson(const ControlResult& r, const DesignFactors& factors) {
    Json doc;
    describeDesign(r.design, factors, doc);
    const Json span = spanJson(*r.design.area, *r.design.conductor, r.state);
    for (const auto& [key, value] : span.items()) doc[key] = value;
    doc["model"] = r.catenary ? "catenary" : "parabola";
    if (r.catenary) {
        doc["height_difference_m"] = r.heightDifference;
        doc["parabola_controlling"] =
            r.parabolaControl >= 0
                ? conditionRef(r.parabolaControl,
                               nameOf(r.design.area->conditions.first[r.parabolaControl].name))
                : Json(nullptr);
    }
    return jsonDocument(doc);
}

}  // namespace

std::string controlReport(const DesignOptions& options, double span) {
    return controlText(runControl(options, span), options.factors, false);
}

void addControlCommand(CLI::App& app, CommandSet& set) {
    auto o = std::make_shared<ControlOptions>();
    CLI::App* cmd = app.add_subcommand(
        "control", "Controlling condition of a span, with the library's account of its search");
    addDesignOptions(cmd, set.numbers, o->design);
    set.numbers.add(cmd, "--span", o->span, "Span length, m, at least 0", "METRES", kNonNegative,
                    true);
    CLI::Option* raw =
        cmd->add_flag("--raw", o->raw, "The account as the library writes it (GBK bytes)");
    cmd->add_flag("--json", o->json,
                  "One JSON document: the controlling condition and, for every condition, its "
                  "specific load, stress, sag, limit and whether it holds")
        ->excludes(raw);
    cmd->add_option("--model", o->model,
                    "catenary (every condition strung from the controlling one as an exact "
                    "catenary) or parabola (the state equation; default)")
        ->check(CLI::IsMember({"catenary", "parabola"}))
        ->type_name("MODEL");
    CLI::Option* height =
        set.numbers.add(cmd, "--height-difference", o->heightDifference,
                        "Height of the far support above the near one, m; gives the cosine "
                        "l/\u221A(l\u00B2 + h\u00B2) in place of --cos",
                        "METRES", kAnyNumber, false);
    height->excludes("--cos");
    cmd->footer(examples(
        {"varnel control --areas samples/weather_areas.dbf --area \u5178\u578B\u6C14\u8C61"
         "\u533A\u2162 --conductors samples/conductors.dbf --conductor JL/G1A-240/30 --span 300"}));
    set.commands.push_back({cmd, [o, cmd](ResultStream& out) {
                                warnOfLongSpan("--span", o->span);
                                o->haveHeightDifference = cmd->count("--height-difference") > 0;
                                if (o->haveHeightDifference) {
                                    o->design.factors.cosAngle =
                                        o->span / std::hypot(o->span, o->heightDifference);
                                }
                                const ControlResult r = runControl(*o);
                                out.write(o->json ? controlJson(r, o->design.factors)
                                                  : controlText(r, o->design.factors, o->raw));
                            }});
}

}  // namespace varnel::tool
