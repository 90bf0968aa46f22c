// varnel critical: the critical spans of a conductor in a weather area, pair by pair, and the
// ranges of span in which each condition controls.
#include <fmt/format.h>

#include <algorithm>

#include "design/critical_spans.h"
#include "tools/command.h"
#include "tools/design_records.h"
#include "tools/json_output.h"
#include "tools/library_tables.h"
#include "tools/text_table.h"

namespace varnel::tool {

namespace {

struct CriticalOptions {
    DesignOptions design;
    bool json = false;
};

design::SearchFactors searchFactors(const DesignFactors& f) {
    return {f.cosAngle, f.avgRatio, f.strengthFactor, f.safety};
}

struct CriticalResult {
    Design design;
    std::vector<std::string> names;
    design::CriticalSpans spans;
};

CriticalResult runCritical(const DesignOptions& o) {
    CriticalResult r{loadDesign(o), {}, {}};
    const DesignRecords records(r.design);
    for (std::size_t i = 0; i < conditionCount(*r.design.area); ++i) {
        r.names.push_back(nameOf(r.design.area->conditions.first[i].name));
    }
    r.spans =
        design::criticalSpans(records.conductor(), records.conditions(), searchFactors(o.factors));
    return r;
}

std::string nameAt(const CriticalResult& r, int index) {
    return index >= 0 ? r.names[static_cast<std::size_t>(index)] : std::string("none qualifies");
}

std::string criticalText(const CriticalResult& r, const DesignFactors& f) {
    std::string out = describeDesign(r.design, f);
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
    cmd->footer(examples(
        {"varnel critical --areas samples/weather_areas.dbf --area \u5178\u578B\u6C14\u8C61"
         "\u533A\u2165 --conductors samples/conductors.dbf --conductor JL/G1A-240/30"}));
    set.commands.push_back({cmd, [o](ResultStream& out) {
                                const CriticalResult r = runCritical(o->design);
                                out.write(o->json ? criticalJson(r, o->design.factors)
                                                  : criticalText(r, o->design.factors));
                            }});
}

}  // namespace varnel::tool
