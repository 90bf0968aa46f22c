// varnel section: a strain section strung to one tension, from a CSV file of its spans: the
// ruling span, the controlling condition and the stress in every condition, each span's sags,
// and the stringing table.
#include <fmt/format.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "design/strain_section.h"
#include "tools/command.h"
#include "tools/design_records.h"
#include "tools/encoding.h"
#include "tools/library_tables.h"
#include "tools/stringing_chart.h"
#include "tools/text_table.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

constexpr std::size_t kMaxSpans = 10'000;
constexpr const char* kHeader = "span_m,height_difference_m";

struct SectionOptions {
    DesignOptions design;
    std::string sectionPath;
    std::string stringing = "-20:40:5";
    double compensation = 0;
    std::string csvPath;
    std::string svgPath;
    bool json = false;
};

std::string readFile(const std::string& pathUtf8) {
    std::FILE* f = std::fopen(nativePath(pathUtf8).c_str(), "rb");
    if (f == nullptr) throw ToolError(pathUtf8 + ": cannot open: " + std::strerror(errno));
    std::string text;
    char buffer[1 << 14];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        text.append(buffer, n);
        if (text.size() > (1u << 22)) {
            std::fclose(f);
            throw ToolError(pathUtf8 + ": larger than a section of " + std::to_string(kMaxSpans) +
                            " spans can be");
        }
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) throw ToolError(pathUtf8 + ": cannot read");
    return text;
}

std::string trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return std::string(s);
}

// span_m,height_difference_m with a header line; a UTF-8 byte order mark, CRLF line ends and
// blank lines are allowed. Throws ToolError "FILE: line N: reason".
std::vector<design::SpanGeometry> readSection(const std::string& path) {
    std::string text = readFile(path);
    if (text.rfind(kUtf8Bom, 0) == 0) text.erase(0, kUtf8Bom.size());
    std::vector<design::SpanGeometry> spans;
    std::size_t lineNo = 0;
    std::size_t longSpans = 0;
    bool header = false;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = trimmed(std::string_view(text).substr(start, end - start));
        start = end + 1;
        ++lineNo;
        if (line.empty()) continue;
        const auto fail = [&](const std::string& why) {
            return ToolError(fmt::format("{}: line {}: {}", path, lineNo, why));
        };
        if (!header) {
            if (line != kHeader) throw fail(std::string("the first line must be ") + kHeader);
            header = true;
            continue;
        }
        const std::size_t comma = line.find(',');
        if (comma == std::string::npos || line.find(',', comma + 1) != std::string::npos) {
            throw fail("expected two numbers: span_m,height_difference_m");
        }
        double values[2];
        const std::string cells[2] = {trimmed(line.substr(0, comma)),
                                      trimmed(line.substr(comma + 1))};
        for (int k = 0; k < 2; ++k) {
            const char* first = cells[k].data();
            const char* last = first + cells[k].size();
            const auto [ptr, ec] = std::from_chars(first, last, values[k]);
            if (ec != std::errc() || ptr != last || first == last || !std::isfinite(values[k])) {
                throw fail(quotedText(cells[k]) + " is not a number");
            }
        }
        if (!(values[0] > 0)) throw fail("a span must be longer than 0 m");
        if (spans.size() == kMaxSpans) {
            throw fail(fmt::format("more than {} spans", kMaxSpans));
        }
        spans.push_back({values[0], values[1]});
        if (values[0] > kLongSpan && longSpans++ == 0) {
            warnOfLongSpan(fmt::format("{}: line {}", path, lineNo), values[0]);
        }
    }
    if (longSpans > 1) {
        warn(fmt::format("{}: {} more spans are longer than {} m", path, longSpans - 1, kLongSpan));
    }
    if (!header) throw ToolError(path + ": empty; the first line must be " + kHeader);
    if (spans.empty()) throw ToolError(path + ": no spans after the header");
    return spans;
}

design::TemperatureRange parseTemperatures(const std::string& text) {
    const auto fail = [&](const std::string& why) {
        return UsageError("--stringing " + text + ": " + why);
    };
    const std::size_t a = text.find(':');
    const std::size_t b = a == std::string::npos ? a : text.find(':', a + 1);
    if (b == std::string::npos || text.find(':', b + 1) != std::string::npos) {
        throw fail("expected FROM:TO:STEP");
    }
    const std::string parts[3] = {text.substr(0, a), text.substr(a + 1, b - a - 1),
                                  text.substr(b + 1)};
    double v[3];
    for (int k = 0; k < 3; ++k) {
        try {
            v[k] = parseNumber("", parts[k], kAnyNumber);
        } catch (const UsageError&) {
            throw fail("\"" + parts[k] + "\" is not a finite number");
        }
    }
    if (v[1] < v[0]) throw fail("TO is below FROM");
    if (!(v[2] > 0)) throw fail("STEP must be above 0");
    if ((v[1] - v[0]) / v[2] >= 1000) throw fail("more than 1000 temperatures");
    return {v[0], v[1], v[2]};
}

struct SectionResult {
    Design design;
    std::vector<std::string> names;
    std::vector<design::SpanGeometry> spans;
    design::SectionDesign section;
    std::vector<design::StringingRow> stringing;
};

SectionResult runSection(const SectionOptions& o) {
    const design::TemperatureRange temperatures = parseTemperatures(o.stringing);
    SectionResult r{loadDesign(o.design), {}, readSection(o.sectionPath), {}, {}};
    const DesignRecords records(r.design);
    for (std::size_t i = 0; i < conditionCount(*r.design.area); ++i) {
        r.names.push_back(nameOf(r.design.area->conditions.first[i].name));
    }
    const DesignFactors& f = o.design.factors;
    try {
        r.section = design::designSection(records.conductor(), records.conditions(),
                                          {1.0, f.avgRatio, f.strengthFactor, f.safety}, r.spans);
    } catch (const std::invalid_argument& e) {
        // The records were checked on loading: what is left is the section's.
        throw ToolError(o.sectionPath + ": " + e.what());
    }
    if (r.section.controlling < 0) {
        throw ToolError(o.design.areasPath + ": no condition of " + nameOf(r.design.area->name) +
                        " qualifies as controlling at the ruling span");
    }
    r.stringing = design::stringingTable(records.conductor(), records.conditions(), r.section,
                                         r.spans, temperatures, o.compensation);
    return r;
}

std::string stringingCsv(const SectionResult& r) {
    std::string out = "temperature_c,stress_N/mm2";
    for (std::size_t i = 0; i < r.spans.size(); ++i) out += fmt::format(",sag_span{}_m", i + 1);
    out += "\n";
    for (const auto& row : r.stringing) {
        out += fmt::format("{},{}", shortNumber(row.temperature), number(row.stress, 4));
        for (double f : row.sag) out += "," + number(f, 4);
        out += "\n";
    }
    return out;
}

std::string sectionText(const SectionResult& r, const SectionOptions& o) {
    const design::SectionDesign& s = r.section;
    const auto control = static_cast<std::size_t>(s.controlling);
    double total = 0;
    for (const auto& sp : r.spans) total += sp.length;
    std::string out = describeDesign(r.design, o.design.factors, false);
    out += fmt::format(
        "\nSection of {} span{}, {} m in all: ruling span {} m (cos \u03B2r {})\n"
        "Controlling condition at the ruling span: {}, strung to {} N/mm\u00B2\n",
        r.spans.size(), r.spans.size() == 1 ? "" : "s", number(total, 1), number(s.ruling.span, 3),
        number(s.ruling.cosAngle, 6), r.names[control], number(s.controlStress, 3));

    TextTable stresses({"condition", "load N/(m\u00B7mm\u00B2)", "stress N/mm\u00B2"},
                       {false, true, true});
    for (std::size_t k = 0; k < r.names.size(); ++k) {
        stresses.addRow({r.names[k] + (k == control ? " *" : ""), fmt::format("{:.6e}", s.load[k]),
                         number(s.stress[k], 3)});
    }
    out += "\nHorizontal stress in every condition (* controlling)\n" + stresses.aligned();

    std::vector<std::string> headers{"span", "length m", "height m"};
    headers.insert(headers.end(), r.names.begin(), r.names.end());
    headers.insert(headers.end(), {"largest", "support N/mm\u00B2"});
    std::vector<bool> right(headers.size(), true);
    right[headers.size() - 2] = false;
    TextTable sags(headers, right);
    for (std::size_t i = 0; i < r.spans.size(); ++i) {
        const design::SpanSags& sp = s.spans[i];
        std::vector<std::string> row{std::to_string(i + 1), shortNumber(r.spans[i].length),
                                     shortNumber(r.spans[i].heightDifference)};
        for (double f : sp.sag) row.push_back(number(f, 2));
        row.push_back(r.names[sp.largest]);
        double support = 0;
        for (double v : sp.higherSupportStress) support = std::max(support, v);
        row.push_back(number(support, 2));
        sags.addRow(row);
    }
    out += "\nSag at mid-span, m, and the largest stress at the higher support\n" + sags.aligned();

    std::vector<std::string> sh{"\u00B0C", "stress N/mm\u00B2"};
    for (std::size_t i = 0; i < r.spans.size(); ++i) sh.push_back(fmt::format("span {}", i + 1));
    TextTable stringing(sh, std::vector<bool>(sh.size(), true));
    for (const auto& row : r.stringing) {
        std::vector<std::string> cells{shortNumber(row.temperature), number(row.stress, 2)};
        for (double f : row.sag) cells.push_back(number(f, 2));
        stringing.addRow(cells);
    }
    out += "\nStringing table: sag to set, m, by the temperature of the day, no wind or ice";
    out += o.compensation != 0
               ? fmt::format(" (initial elongation compensated by {} \u00B0C lower)\n",
                             shortNumber(o.compensation))
               : "\n";
    out += stringing.aligned();
    return out;
}

std::string sectionJson(const SectionResult& r, const SectionOptions& o) {
    const design::SectionDesign& s = r.section;
    Json doc;
    describeDesign(r.design, o.design.factors, doc);
    doc["ruling_span_m"] = s.ruling.span;
    doc["ruling_cos"] = s.ruling.cosAngle;
    doc["controlling"] = r.names[static_cast<std::size_t>(s.controlling)];
    doc["control_stress_N_per_mm2"] = s.controlStress;
    Json stress = Json::object();
    for (std::size_t k = 0; k < r.names.size(); ++k) stress[r.names[k]] = s.stress[k];
    doc["stress"] = std::move(stress);
    Json spans = Json::array();
    for (std::size_t i = 0; i < r.spans.size(); ++i) {
        const design::SpanSags& sp = s.spans[i];
        Json sag = Json::object(), support = Json::object();
        for (std::size_t k = 0; k < r.names.size(); ++k) {
            sag[r.names[k]] = sp.sag[k];
            support[r.names[k]] = sp.higherSupportStress[k];
        }
        spans.push_back(Json{{"span_m", r.spans[i].length},
                             {"height_difference_m", r.spans[i].heightDifference},
                             {"sag_m", std::move(sag)},
                             {"max_sag_m", sp.sag[sp.largest]},
                             {"max_sag_condition", r.names[sp.largest]},
                             {"higher_support_stress_N_per_mm2", std::move(support)}});
    }
    doc["spans"] = std::move(spans);
    doc["compensation_c"] = o.compensation;
    Json stringing = Json::array();
    for (const auto& row : r.stringing) {
        stringing.push_back(
            Json{{"temperature_c", row.temperature}, {"stress", row.stress}, {"sag_m", row.sag}});
    }
    doc["stringing"] = std::move(stringing);
    return jsonDocument(doc);
}

void runSectionCommand(const SectionOptions& o, ResultStream& out) {
    if (o.json && o.csvPath == "-") {
        throw UsageError("--csv -: standard output already takes the --json document");
    }
    if (o.svgPath == "-") throw UsageError("--svg -: the chart goes to a file; name one");
    const SectionResult r = runSection(o);
    std::optional<OutputFile> csv, svg;
    if (!o.csvPath.empty() && o.csvPath != "-") csv.emplace(o.csvPath);
    if (!o.svgPath.empty()) svg.emplace(o.svgPath);
    std::string notes;
    if (csv) {
        csv->write(stringingCsv(r));
        csv->commit();
        notes += "CSV written to " + o.csvPath + "\n";
    }
    if (svg) {
        svg->write(stringingSvg(nameOf(r.design.conductor->name), r.stringing, r.spans,
                                o.compensation, r.section.ruling.span));
        svg->commit();
        notes += "SVG written to " + o.svgPath + "\n";
    }
    if (o.json) {
        out.write(sectionJson(r, o));
    } else if (o.csvPath == "-") {
        out.write(stringingCsv(r));
    } else {
        out.write(sectionText(r, o) + notes);
    }
}

}  // namespace

void writeSection(const DesignOptions& design, const std::string& sectionPath,
                  const std::string& svgPath, ResultStream& out) {
    SectionOptions o;
    o.design = design;
    o.sectionPath = sectionPath;
    o.svgPath = svgPath;
    runSectionCommand(o, out);
}

void addSectionCommand(CLI::App& app, CommandSet& set) {
    auto o = std::make_shared<SectionOptions>();
    CLI::App* cmd = app.add_subcommand(
        "section", "A strain section: ruling span, stresses, sags of each span, stringing table");
    addDesignOptions(cmd, set.numbers, o->design, false);
    cmd->add_option("--section", o->sectionPath,
                    "The spans, CSV: a header line span_m,height_difference_m, then one span a "
                    "line (the height of its far support above its near one, m)")
        ->required()
        ->type_name("FILE");
    cmd->add_option("--stringing", o->stringing,
                    "Temperatures of the stringing table, \u00B0C (default -20:40:5)")
        ->type_name("FROM:TO:STEP");
    set.numbers.add(cmd, "--compensate", o->compensation,
                    "Compensate the initial elongation by stringing as at a temperature this many "
                    "\u00B0C lower",
                    "DT", kNonNegative, false);
    cmd->add_option("--csv", o->csvPath,
                    "Also write the stringing table as CSV to FILE; - writes only the CSV, to "
                    "standard output")
        ->type_name("FILE");
    cmd->add_option("--svg", o->svgPath, "Also draw the stringing chart as SVG to FILE")
        ->type_name("FILE");
    cmd->add_flag("--json", o->json, "One JSON document instead of the tables");
    cmd->footer(
        examples({"varnel section --areas samples/weather_areas.dbf --area \u5178\u578B\u6C14\u8C61"
                  "\u533A\u2165 --conductors samples/conductors.dbf --conductor JL/G1A-240/30 \\\n"
                  "      --section samples/section.csv --compensate 20 --svg stringing.svg"}));
    set.commands.push_back({cmd, [o](ResultStream& out) { runSectionCommand(*o, out); }});
}

}  // namespace varnel::tool
