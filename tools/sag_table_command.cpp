// varnel sag-table: the mechanical characteristic table of a conductor in a weather area, the
// stress and the sag in every condition for a range of spans, each strung from its controlling
// condition. Rows are written as they are computed, so a table of millions of spans takes no
// more memory than one of ten; everything that can be refused is refused before the first row.
#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "calc/catenary_state.h"
#include "calc/conductor_load.h"
#include "calc/span_curve.h"
#include "calc/state_equation.h"
#include "design/catenary_section.h"
#include "design/critical_spans.h"
#include "design/strain_section.h"
#include "tools/catenary_restring.h"
#include "tools/chart_language.h"
#include "tools/command.h"
#include "tools/design_inputs.h"
#include "tools/design_records.h"
#include "tools/encoding.h"
#include "tools/json_output.h"
#include "tools/library_tables.h"
#include "tools/span_range.h"
#include "tools/svg_chart.h"
#include "tools/text_table.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

constexpr const char* kStdout = "-";

struct SagTableOptions {
    DesignOptions design;
    std::string spans;
    std::string csvPath;
    std::string svgPath;
    bool bom = false;
    bool json = false;
    std::string model = "parabola";
    std::string lang = "en";  // the chart's words
};

// Terminal columns of fixed width, known before the first row: each as wide as its header and
// at least as wide as a figure of four digits before the point.
class FixedColumns {
  public:
    FixedColumns(std::vector<std::string> headers, std::vector<std::size_t> minWidths)
        : headers_(std::move(headers)) {
        for (std::size_t c = 0; c < headers_.size(); ++c) {
            widths_.push_back(std::max(displayWidth(headers_[c]), minWidths[c]));
        }
    }
    std::string header() const {
        std::vector<std::string> rule;
        for (std::size_t w : widths_) rule.emplace_back(w, '-');
        return row(headers_) + row(rule);
    }
    // The second column is the controlling condition's name, left-aligned; the others are
    // figures, right-aligned.
    std::string row(const std::vector<std::string>& cells) const {
        std::string line;
        line.reserve(128);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const std::size_t w = displayWidth(cells[c]);
            const std::size_t pad = w < widths_[c] ? widths_[c] - w : 0;
            if (c > 0) line += "  ";
            if (c != 1) line.append(pad, ' ');
            line += cells[c];
            if (c == 1) line.append(pad, ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        return line + "\n";
    }

  private:
    std::vector<std::string> headers_;
    std::vector<std::size_t> widths_;
};

// Where the terminal table's second part (the sags) waits while the first (the stresses) is
// written: a temporary file, not memory.
class SpoolFile {
  public:
    SpoolFile() : file_(std::tmpfile()) {
        if (file_ == nullptr) throw ToolError("cannot create a temporary file");
    }
    ~SpoolFile() { std::fclose(file_); }
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;

    void write(const std::string& text) {
        if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
            throw ToolError("cannot write a temporary file");
        }
    }
    void copyTo(ResultStream& out) {
        std::rewind(file_);
        char buffer[1 << 16];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) {
            out.write(std::string_view(buffer, n));
        }
        if (std::ferror(file_)) throw ToolError("cannot read a temporary file");
    }

  private:
    std::FILE* file_;
};

class SagTable {
  public:
    SagTable(const SagTableOptions& o, ResultStream& out) : o_(o), out_(out) {
        if (o.json && o.csvPath == kStdout) {
            throw UsageError("--csv -: standard output already takes the --json document");
        }
        if (o.svgPath == kStdout) throw UsageError("--svg -: the chart goes to a file; name one");
        range_ = parseSpanRange(o.spans);
        if (o.model == "catenary" && !(range_.at(0) > 0)) {
            throw UsageError("--spans " + o.spans + ": the catenary needs spans longer than 0 m");
        }
        warnOfLongSpan("--spans " + o.spans, range_.at(range_.count - 1));
        design_ = loadDesign(o.design);
        records_.emplace(design_);
        analyser_.emplace(*records_, o.design.factors);
        const WeatherArea& area = *design_.area;
        for (std::size_t i = 0; i < conditionCount(area); ++i) {
            names_.push_back(nameOf(area.conditions.first[i].name));
        }
        const DesignFactors& f = o.design.factors;
        factors_ = {f.cosAngle, f.avgRatio, f.strengthFactor, f.safety};
        // The ranges of span each condition controls, by the model's own search: the chart's
        // marks, and with the catenary each row's first guess.
        ranges_ =
            catenary()
                ? design::catenaryCriticalSpans(records_->conductor(), records_->conditions(),
                                                factors_, std::nullopt)
                      .ranges
                : design::criticalSpans(records_->conductor(), records_->conditions(), factors_)
                      .ranges;
        // The design practice's other sag condition: the area's ice without wind.
        iceWithoutWind_ = design::iceWithoutWind(records_->conditions());
        if (iceWithoutWind_) names_.push_back(design::iceWithoutWindName(records_->conditions()));
        if (!o.csvPath.empty() && o.csvPath != kStdout) csvFile_ = &out_.file(o.csvPath);
        if (!o.svgPath.empty()) {
            svgFile_ = &out_.file(o.svgPath);
            chart_.emplace(range_.count);
        }
        if (!o.json && o.csvPath != kStdout) spool_ = std::make_unique<SpoolFile>();
    }

    void run() {
        begin();
        Progress progress("spans", range_.count, out_);
        for (std::size_t i = 0; i < range_.count; ++i) {
            SpanState state = (*analyser_)(range_.at(i));
            if (catenary()) {
                restringAsCatenary(state,
                                   heightDifferenceOf(state.span, o_.design.factors.cosAngle),
                                   *records_, o_.design.factors, rangeAt(state.span));
            }
            if (iceWithoutWind_) addIceWithoutWind(state);
            addRow(i, state);
            progress.update(i + 1);
        }
        end();
    }

  private:
    bool catenary() const { return o_.model == "catenary"; }

    // The condition the ranges give a span, or -1 within a millionth of the span of a bound,
    // where the row's own search decides.
    int rangeAt(double span) const {
        for (const design::ControlRange& r : ranges_) {
            if (r.to && span >= *r.to) continue;
            const double margin = 1e-6 * span;
            if (span - r.from < margin || (r.to && *r.to - span < margin)) return -1;
            return r.condition;
        }
        return -1;
    }

    // The row's ice without wind, strung from its controlling condition by the row's model,
    // held to σN.
    void addIceWithoutWind(SpanState& s) const {
        if (s.control < 0) return;
        const varnel::LineAttrib& c = records_->conductor();
        const varnel::WeatherCondition& control =
            records_->conditions()[static_cast<std::size_t>(s.control)];
        const varnel::WeatherCondition& still = *iceWithoutWind_;
        ConditionState cs;
        cs.specificLoad = varnel::specificLoad(still, c);
        const double cosAngle = o_.design.factors.cosAngle;
        if (catenary()) {
            const double h = heightDifferenceOf(s.span, cosAngle);
            try {
                cs.stress = catenaryStateStress({s.span, h}, {c.elasticModulus, c.expansionCoeff},
                                                loadStateOf(control, c), s.controlStress,
                                                loadStateOf(still, c));
                cs.sag =
                    SpanCurve(SpanModel::catenary, s.span, h, cs.stress, cs.specificLoad).maxSag();
            } catch (const std::exception& e) {
                throw ToolError(fmt::format("{} at {} m: the catenary change of state: {}",
                                            names_.back(), s.span, e.what()));
            }
        } else {
            cs.stress =
                varnel::stateEquationStress(s.span, cosAngle, c, control, still, s.controlStress);
            cs.sag = cs.specificLoad * s.span * s.span / (8 * cs.stress) / cosAngle;
        }
        cs.limit = design::allowableStresses(c, factors_).normal;
        cs.holds = design::withinLimit(cs.stress, cs.limit);
        s.conditions.push_back(cs);
    }
    std::string controlName(const SpanState& s) const {
        return s.control >= 0 ? names_[static_cast<std::size_t>(s.control)] : std::string("-");
    }

    std::string csvHeader() const {
        std::string line = "span_m,controlling";
        for (const auto& n : names_) line += "," + csvField("stress_" + n + "_N_per_mm2");
        for (const auto& n : names_) line += "," + csvField("sag_" + n + "_m");
        return (o_.bom ? kUtf8Bom : "") + line + "\n";
    }
    std::string csvRow(const SpanState& s) const {
        std::string line = range_.format(s.span) + "," + csvField(controlName(s));
        const std::size_t blanks = s.conditions.empty() ? names_.size() : 0;
        for (const auto& c : s.conditions) line += "," + number(c.stress, 4);
        line += std::string(blanks, ',');
        for (const auto& c : s.conditions) line += "," + number(c.sag, 4);
        line += std::string(blanks, ',');
        return line + "\n";
    }

    FixedColumns columns() const {
        std::vector<std::string> headers{"span m", "controlling"};
        headers.insert(headers.end(), names_.begin(), names_.end());
        std::vector<std::size_t> widths{range_.format(range_.at(range_.count - 1)).size(), 1};
        for (const auto& n : names_) widths[1] = std::max(widths[1], displayWidth(n));
        widths.resize(headers.size(), 7);  // 1234.56
        return FixedColumns(std::move(headers), std::move(widths));
    }
    std::string textRow(const FixedColumns& table, const SpanState& s, bool sags) const {
        // The cells' strings keep their storage from one row to the next.
        std::vector<std::string>& cells = cells_;
        cells.resize(2 + names_.size());
        cells[0] = range_.format(s.span);
        cells[1] = controlName(s);
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (i < s.conditions.size()) {
                const ConditionState& c = s.conditions[i];
                cells[2 + i] = number(sags ? c.sag : c.stress, 2);
            } else {
                cells[2 + i] = "-";
            }
        }
        return table.row(cells);
    }

    void begin() {
        if (o_.json) {
            Json head;
            describeDesign(design_, o_.design.factors, head);
            Json conditions = Json::array();
            for (std::size_t k = 0; k < names_.size(); ++k) {
                // The area's ice without wind, last: a sag condition, never controlling.
                const bool derived = iceWithoutWind_ && k + 1 == names_.size();
                conditions.push_back(Json{{"name", names_[k]}, {"derived", derived}});
            }
            head["conditions"] = std::move(conditions);
            head["model"] = o_.model;
            // The document's last member, the rows, follows as they are computed.
            json_.emplace([this](std::string_view text) { out_.write(text); }, head);
            json_->beginArray("spans");
        } else if (o_.csvPath == kStdout) {
            out_.write(csvHeader());
        } else {
            table_.emplace(columns());
            out_.write(describeDesign(design_, o_.design.factors) + "\nStress, N/mm\u00B2\n" +
                       table_->header());
            spool_->write("\nSag, m\n" + table_->header());
        }
        if (csvFile_) csvFile_->write(csvHeader());
    }

    void addRow(std::size_t i, const SpanState& s) {
        if (o_.json) {
            Json row{{"span_m", s.span}, {"controlling", conditionRef(s.control, controlName(s))}};
            Json stress = Json::array(), sag = Json::array();
            for (const auto& c : s.conditions) {
                stress.push_back(c.stress);
                sag.push_back(c.sag);
            }
            row["stress_N_per_mm2"] = std::move(stress);
            row["sag_m"] = std::move(sag);
            json_->add(row);
        } else if (o_.csvPath == kStdout) {
            out_.write(csvRow(s));
        } else {
            out_.write(textRow(*table_, s, false));
            spool_->write(textRow(*table_, s, true));
        }
        if (csvFile_) csvFile_->write(csvRow(s));
        if (chart_) chart_->add(i, s);
    }

    // The chart's words and lines: the design factors, the allowable stresses and the exact
    // critical spans inside the table's range.
    SagChart chartOf() const {
        const DesignFactors& f = o_.design.factors;
        const DesignRecords& records = *records_;
        const StressLimits limits = design::allowableStresses(records.conductor(), factors_);
        const ChartLanguage lang = chartLanguageNamed(o_.lang);
        const std::string conductor = nameOf(design_.conductor->name);
        const std::string area = nameOf(design_.area->name);
        // 年平均运行应力系数 …, 强度系数 …, 安全系数 …；模型：…；各工况均由控制工况推算；弧垂 …
        const std::string caption =
            lang == ChartLanguage::zh
                ? fmt::format(
                      "cos {}\uFF0C\u5E74\u5E73\u5747\u8FD0\u884C\u5E94\u529B\u7CFB\u6570 {}"
                      "\uFF0C\u5F3A\u5EA6\u7CFB\u6570 {}\uFF0C\u5B89\u5168\u7CFB\u6570 {}"
                      "\uFF1B\u6A21\u578B\uFF1A{}\uFF1B\u5404\u5DE5\u51B5\u5747\u7531\u63A7"
                      "\u5236\u5DE5\u51B5\u63A8\u7B97\uFF1B\u5F27\u5782 {}",
                      shortNumber(f.cosAngle), shortNumber(f.avgRatio),
                      shortNumber(f.strengthFactor), shortNumber(f.safety),
                      // 悬链线，高差 l·tan β，各档自有控制工况 / 斜抛物线
                      catenary() ? "\u60AC\u94FE\u7EBF\uFF0C\u9AD8\u5DEE l\u00B7tan \u03B2"
                                   "\uFF0C\u5404\u6863\u81EA\u6709\u63A7\u5236\u5DE5\u51B5"
                                 : chartModelName(lang, "parabola"),
                      // 取最大弧垂
                      catenary() ? "\u53D6\u6700\u5927\u5F27\u5782"
                                 : "\u03B3\u00B7l\u00B2/(8\u03C3\u00B7cos \u03B2)")
                : fmt::format(
                      "cos {}, annual average ratio {}, strength factor {}, safety factor {}; "
                      "model: {}; every condition strung from the controlling one; sag {}",
                      shortNumber(f.cosAngle), shortNumber(f.avgRatio),
                      shortNumber(f.strengthFactor), shortNumber(f.safety),
                      catenary() ? "catenary, the height difference l\u00B7tan \u03B2, its own "
                                   "controlling condition"
                                 : "parabola",
                      catenary() ? "the largest" : "\u03B3\u00B7l\u00B2/(8\u03C3\u00B7cos \u03B2)");
        SagChart chart{lang == ChartLanguage::zh
                           // 应力弧垂曲线
                           ? fmt::format("{}\uFF0C{}\uFF1A\u5E94\u529B\u5F27\u5782\u66F2\u7EBF",
                                         conductor, area)
                           : fmt::format("{} in {}: stress and sag against span", conductor, area),
                       caption,
                       names_,
                       limits.normal,
                       limits.average,
                       {},
                       lang};
        const double first = range_.at(0), last = range_.at(range_.count - 1);
        const std::vector<design::ControlRange>& ranges = ranges_;
        // Each range cut to the table's spans; one that only touches the first or last span is
        // left out unless the table is that one span.
        for (std::size_t i = 0; i < ranges.size(); ++i) {
            const double from = std::max(ranges[i].from, first);
            const double to = i + 1 < ranges.size() ? std::min(ranges[i + 1].from, last) : last;
            if (to > from || (first == last && from == to)) {
                chart.ranges.push_back({from, to,
                                        ranges[i].condition >= 0
                                            ? names_[static_cast<std::size_t>(ranges[i].condition)]
                                            : std::string()});
            }
        }
        return chart;
    }

    void end() {
        std::string notes;
        if (csvFile_) {
            notes += "CSV written to " + o_.csvPath + "\n";
        }
        if (svgFile_) {
            svgFile_->write(sagTableSvg(chartOf(), *chart_));
            notes += "SVG written to " + o_.svgPath + "\n";
        }
        if (o_.json) {
            json_->endArray();
            json_->end();
        } else if (o_.csvPath != kStdout) {
            spool_->copyTo(out_);
            out_.write(notes);
        }
    }

    const SagTableOptions& o_;
    ResultStream& out_;
    SpanRange range_;
    Design design_{};
    std::optional<DesignRecords> records_;
    mutable std::vector<std::string> cells_;
    std::optional<SpanAnalyser> analyser_;
    std::vector<std::string> names_;
    OutputFile* csvFile_ = nullptr;  // owned by out_, which puts them in place at the end
    OutputFile* svgFile_ = nullptr;
    std::optional<ChartSampler> chart_;
    std::unique_ptr<SpoolFile> spool_;
    std::optional<FixedColumns> table_;
    std::optional<JsonStream> json_;
    design::SearchFactors factors_;
    std::vector<design::ControlRange> ranges_;
    std::optional<varnel::WeatherCondition> iceWithoutWind_;
};

}  // namespace

void writeSagTable(const DesignOptions& design, const std::string& spans,
                   const std::string& csvPath, const std::string& svgPath, ResultStream& out) {
    SagTableOptions o;
    o.design = design;
    o.spans = spans;
    o.csvPath = csvPath;
    o.svgPath = svgPath;
    SagTable(o, out).run();
}

static_assert(SpanRange::kMaxRows == 10'000'000, "the help names the limit in words");

void addSagTableCommand(CLI::App& app, CommandSet& set) {
    auto o = std::make_shared<SagTableOptions>();
    CLI::App* cmd = app.add_subcommand(
        "sag-table",
        "Mechanical characteristic table: stress and sag in every condition, span by span");
    addDesignOptions(cmd, set.numbers, o->design);
    cmd->add_option("--spans", o->spans,
                    "Spans from FROM to TO in steps of STEP, m; at most ten million of them")
        ->required()
        ->type_name("FROM:TO:STEP");
    CLI::Option* csv = cmd->add_option(
        "--csv", o->csvPath,
        "Also write the table as CSV to FILE; - writes only the CSV, to standard output");
    csv->type_name("FILE");
    cmd->add_flag("--bom", o->bom,
                  "Start the CSV with a UTF-8 byte order mark, so that spreadsheet programs "
                  "show the names")
        ->needs(csv);
    cmd->add_option("--svg", o->svgPath, "Also draw the curves as SVG to FILE")->type_name("FILE");
    addChartLanguageOption(cmd, o->lang);
    cmd->add_flag("--json", o->json, "One JSON document instead of the tables");
    cmd->add_option("--model", o->model,
                    "catenary (each span's conditions strung from its controlling one as an exact "
                    "catenary, its height difference l\u00B7tan \u03B2 from --cos) or parabola "
                    "(the state equation; default)")
        ->check(CLI::IsMember({"catenary", "parabola"}))
        ->type_name("MODEL");
    cmd->footer(examples(
        {"varnel sag-table --areas samples/weather_areas.dbf --area \u5178\u578B\u6C14\u8C61"
         "\u533A\u2165 --conductors samples/conductors.dbf --conductor JL/G1A-240/30 \\\n"
         "      --spans 50:800:50 --svg sag.svg",
         "varnel sag-table ... --spans 100:1500:10 --csv - --bom > sag.csv"}));
    set.commands.push_back({cmd, [o](ResultStream& out) { SagTable(*o, out).run(); }});
}

}  // namespace varnel::tool
