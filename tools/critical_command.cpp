// varnel critical: the critical spans of a conductor in a weather area, pair by pair, and the
// ranges of span in which each condition controls.
#include <fmt/format.h>

#include <algorithm>
#include <optional>

#include "design/catenary_section.h"
#include "design/critical_spans.h"
#include "tools/command.h"
#include "tools/design_records.h"
#include "tools/json_output.h"
#include "tools/library_tables.h"
#include "tools/text_table.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

struct CriticalOptions {
    DesignOptions design;
    bool json = false;
    std::string model = "parabola";
    double heightDifference = 0;
    bool haveHeightDifference = false;
};

design::SearchFactors searchFactors(const DesignFactors& f) {
    return {f.cosAngle, f.avgRatio, f.strengthFactor, f.safety};
}

struct CriticalResult {
    Design design;
    std::vector<std::string> names;
    design::CriticalSpans spans;
    bool catenary = false;
    std::optional<double> heightDifference;  // m, fixed whatever the span; else l·tan β
};

CriticalResult runCritical(const DesignOptions& o, bool catenary = false,
                           std::optional<double> heightDifference = std::nullopt) {
    CriticalResult r{loadDesign(o), {}, {}, catenary, heightDifference};
    const DesignRecords records(r.design);
    for (std::size_t i = 0; i < conditionCount(*r.design.area); ++i) {
        r.names.push_back(nameOf(r.design.area->conditions.first[i].name));
    }
    r.spans = catenary ? design::catenaryCriticalSpans(records.conductor(), records.conditions(),
                                                       searchFactors(o.factors), heightDifference)
                       : design::criticalSpans(records.conductor(), records.conditions(),
                                               searchFactors(o.factors));
    return r;
}

std::string nameAt(const CriticalResult& r, int index) {
    return index >= 0 ? r.names[static_cast<std::size_t>(index)] : std::string("none qualifies");
}

std::string criticalText(const CriticalResult& r, const DesignFactors& f) {
    std::string out = describeDesign(r.design, f);
    if (r.catenary) {
        out += r.heightDifference
                   ? fmt::format(
                         "Model: catenary, a single span of height difference {} m; each "
                         "condition strung by the catenary change of state\n",
                         number(*r.heightDifference, 3))
                   : std::string(
                         "Model: catenary, a single span at the cosine given; each "
                         "condition strung by the catenary change of state\n");
    }
    TextTable pairs({"condition", "condition", "critical span m"}, {false, false, true});
    for (const auto& p : r.spans.pairs) {
        pairs.addRow({r.names[p.a], r.names[p.b], p.span ? number(*p.span, 3) : "none"});
    }
    out += "\nCritical spans between the candidate conditions\n" + pairs.aligned();
    if (std::any_of(r.spans.pairs.begin(), r.spans.pairs.end(),
                    [](const design::CriticalPair& p) { return !p.span; })) {
        out +=
            "none: the two conditions' limits do not cross at any real span; one of them is "
            "the stricter at every span\n";
    }
    TextTable ranges({"from m", "to m", "controlling"}, {true, true, false});
    for (const auto& range : r.spans.ranges) {
        ranges.addRow({number(range.from, 3), range.to ? number(*range.to, 3) : "-",
                       nameAt(r, range.condition)});
    }
    out += "\nControlling condition by span\n" + ranges.aligned();
    return out;
}

std::string criticalJson(const CriticalResult& r, const DesignFactors& f) {
    Json doc;
    describeDesign(r.design, f, doc);
    Json candidates = Json::array();
    for (std::size_t k : r.spans.candidates) {
        candidates.push_back(conditionRef(static_cast<int>(k), r.names[k]));
    }
    doc["candidates"] = std::move(candidates);
    Json ranges = Json::array();
    for (const auto& range : r.spans.ranges) {
        Json row{{"controlling", conditionRef(range.condition, nameAt(r, range.condition))},
                 {"from_m", range.from},
                 {"to_m", nullptr}};
        if (range.to) row["to_m"] = *range.to;
        ranges.push_back(std::move(row));
    }
    doc["ranges"] = std::move(ranges);
    Json pairs = Json::array();
    for (const auto& p : r.spans.pairs) {
        Json row{{"a", conditionRef(static_cast<int>(p.a), r.names[p.a])},
                 {"b", conditionRef(static_cast<int>(p.b), r.names[p.b])},
                 {"span_m", nullptr}};
        if (p.span) row["span_m"] = *p.span;
        pairs.push_back(std::move(row));
    }
    doc["pairs"] = std::move(pairs);
    doc["model"] = r.catenary ? "catenary" : "parabola";
    if (r.heightDifference) doc["height_difference_m"] = *r.heightDifference;
    return jsonDocument(doc);
}

}  // namespace

std::string criticalReport(const DesignOptions& options) {
    return criticalText(runCritical(options), options.factors);
}

void addCriticalCommand(CLI::App& app, CommandSet& set) {
    auto o = std::make_shared<CriticalOptions>();
    CLI::App* cmd = app.add_subcommand(
        "critical", "Critical spans: which weather condition controls spans of which length");
    addDesignOptions(cmd, set.numbers, o->design);
    cmd->add_flag("--json", o->json, "One JSON document: the ranges and the pairs");
    cmd->add_option("--model", o->model,
                    "catenary (each condition strung by the catenary change of state of a single "
                    "span) or parabola (the state equation; default)")
        ->check(CLI::IsMember({"catenary", "parabola"}))
        ->type_name("MODEL");
    set.numbers
        .add(cmd, "--height-difference", o->heightDifference,
             "With --model catenary: the span's height difference, m, the same whatever its "
             "length (without it, l\u00B7tan \u03B2 from --cos)",
             "METRES", kAnyNumber, false)
        ->excludes("--cos");
    cmd->footer(examples(
        {"varnel critical --areas samples/weather_areas.dbf --area \u5178\u578B\u6C14\u8C61"
         "\u533A\u2165 --conductors samples/conductors.dbf --conductor JL/G1A-240/30"}));
    set.commands.push_back({cmd, [o, cmd](ResultStream& out) {
                                o->haveHeightDifference = cmd->count("--height-difference") > 0;
                                const bool catenary = o->model == "catenary";
                                if (o->haveHeightDifference && !catenary) {
                                    throw UsageError(
                                        "--height-difference: only the catenary takes a height "
                                        "difference; the parabola takes --cos");
                                }
                                const CriticalResult r =
                                    runCritical(o->design, catenary,
                                                o->haveHeightDifference
                                                    ? std::optional<double>(o->heightDifference)
                                                    : std::nullopt);
                                out.write(o->json ? criticalJson(r, o->design.factors)
                                                  : criticalText(r, o->design.factors));
                            }});
}

}  // namespace varnel::tool
