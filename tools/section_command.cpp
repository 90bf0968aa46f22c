// varnel section: a strain section strung to one tension, from a CSV file of its spans: the
// ruling span, the controlling condition and the stress in every condition, each span's sags,
// and the stringing table.
#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <optional>
#include <stdexcept>

#include "calc/decimal_parse.h"
#include "calc/span_curve.h"
#include "design/catenary_section.h"
#include "design/critical_spans.h"
#include "design/strain_section.h"
#include "tools/chart_language.h"
#include "tools/command.h"
#include "tools/design_records.h"
#include "tools/encoding.h"
#include "tools/json_output.h"
#include "tools/library_tables.h"
#include "tools/result_stream.h"
#include "tools/section_current.h"
#include "tools/span_range.h"
#include "tools/stringing_chart.h"
#include "tools/text_table.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

constexpr std::size_t kMaxSpans = 10'000;
constexpr std::size_t kMaxTemperatures = 1000;  // as many as the design layer takes
constexpr const char* kHeader = "span_m,height_difference_m";

struct SectionOptions {
    DesignOptions design;
    std::string sectionPath;
    std::string stringing = "-20:40:5";
    double compensation = 0;
    double suspensionSafety = 2.25;
    std::string csvPath;
    std::string svgPath;
    bool json = false;
    std::string model = "parabola";
    std::string lang = "en";  // the chart's words
    OperatingOptions operating;
};

// One span's curve in one condition, as the section's model hangs it: in the plane of the
// condition's load (calc/span_curve.h, SwungCurve), x horizontal from the near support.
struct SpanFigures {
    double lowPoint;        // m from the near support
    double maxSag;          // m, along the load
    double maxSagAt;        // m from the near support
    double length;          // m
    double nearStress;      // N/mm², along the conductor at the near support
    double farStress;       // N/mm², at the far one
    double verticalMaxSag;  // m, the largest sag's vertical part
};

// Where the two models' largest sags of a span differ by more than this, m, the command warns:
// the model then matters to the clearances (a 1.5 km crossing differs by 2.1 m).
constexpr double kModelsDiffer = 0.3;

std::string readFile(const std::string& pathUtf8) {
    return readWholeFile(pathUtf8, std::size_t{1} << 22,
                         "larger than a section of " + std::to_string(kMaxSpans) + " spans can be");
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
            const auto [ptr, ec] = parseDecimal(first, last, values[k]);
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

// Temperatures of the day on which a conductor is strung: from -100 °C to 200 °C covers every
// climate and every conductor's rated temperature; beyond it the figures mean nothing.
constexpr StepLimits kStringingLimits{Bounds{-100, 200}, kMaxTemperatures, "temperature"};

// The section, designed once; the stringing table's rows are worked out one at a time, so a
// document of many spans and temperatures is written without holding the whole table.
class Section {
  public:
    explicit Section(const SectionOptions& o)
        : options_(o),
          temperatures_(parseSteppedRange("--stringing", o.stringing, kStringingLimits)),
          design_(loadDesign(o.design)),
          records_(design_),
          spans_(readSection(o.sectionPath)) {
        for (std::size_t i = 0; i < conditionCount(*design_.area); ++i) {
            names_.push_back(nameOf(design_.area->conditions.first[i].name));
        }
        const DesignFactors& f = o.design.factors;
        try {
            section_ = design::designSection(records_.conductor(), records_.conditions(),
                                             {1.0, f.avgRatio, f.strengthFactor, f.safety}, spans_);
        } catch (const std::invalid_argument& e) {
            // The records were checked on loading: what is left is the section's.
            throw ToolError(o.sectionPath + ": " + e.what());
        }
        if (section_.controlling < 0) {
            throw ToolError(o.design.areasPath + ": no condition of " + nameOf(design_.area->name) +
                            " qualifies as controlling at the ruling span");
        }
        // The design practice's sag conditions beyond the area's: its ice without wind, then the
        // operating temperature; neither controls.
        if (const auto still = design::iceWithoutWind(records_.conditions())) {
            addExtra(*still, design::iceWithoutWindName(records_.conditions()));
        }
        operating_ = operatingState(o.operating, o.design.conductorsPath, o.design.conductorName,
                                    design_.conductor->diameter);
        if (operating_) {
            addOperatingCondition(section_, records_.conductor(), records_.conditions(), spans_,
                                  operating_->temperature);
            WeatherCondition hot{};
            hot.temperature = operating_->temperature;
            extra_.push_back(hot);
            names_.push_back(operating_->name);
        }
        // The suspension point's limit is worked out as the lowest point's, with its own
        // safety factor.
        suspensionAllowable_ =
            design::allowableStresses(records_.conductor(),
                                      {1.0, f.avgRatio, f.strengthFactor, o.suspensionSafety})
                .normal;
        parabolic_ = section_;
        if (catenary()) {
            section_ = hangAsCatenaries();
            other_ = parabolic_;
        } else {
            // The catenary's figures beside, where its change of state has an answer.
            try {
                other_ = hangAsCatenaries();
            } catch (const ToolError&) {
            }
        }
        for (std::size_t i = 0; i < spans_.size(); ++i) {
            std::vector<SpanFigures> figures;
            for (std::size_t k = 0; k < names_.size(); ++k) {
                const SwungCurve c(curveModel(), spans_[i].length, spans_[i].heightDifference,
                                   section_.stress[k], section_.load[k], section_.verticalLoad[k]);
                const SpanCurve& plane = c.inPlane();
                const double scale = spans_[i].length / c.planeSpan().span;
                figures.push_back({plane.lowPoint() * scale, c.maxSag(), c.maxSagAt(),
                                   plane.length(), plane.nearStress(), plane.farStress(),
                                   c.verticalMaxSag()});
            }
            figures_.push_back(std::move(figures));
            if (const auto other = otherMaxSag(i)) {
                const double mine = section_.spans[i].sag[section_.spans[i].largest];
                if (std::fabs(mine - *other) > kModelsDiffer) {
                    warn(fmt::format(
                        "{}: span {} ({} m): the {}'s largest sag {} m, the {}'s {} m; the model "
                        "matters here",
                        o.sectionPath, i + 1, shortNumber(spans_[i].length), o.model,
                        number(mine, 3), catenary() ? "parabola" : "catenary", number(*other, 3)));
                }
            }
        }
    }
    Section(const Section&) = delete;
    Section& operator=(const Section&) = delete;

    const SectionOptions& options() const { return options_; }
    const Design& design() const { return design_; }
    const std::vector<std::string>& names() const { return names_; }
    const std::vector<design::SpanGeometry>& spans() const { return spans_; }
    const design::SectionDesign& section() const { return section_; }
    const SpanRange& temperatures() const { return temperatures_; }
    double suspensionAllowable() const { return suspensionAllowable_; }
    // Condition k's temperature, °C: the area's, then the extra ones' (ice without wind, the
    // operating condition last).
    double temperature(std::size_t k) const {
        const std::size_t area = conditionCount(*design_.area);
        return k < area ? records_.conditions()[k].temperature : extra_[k - area].temperature;
    }
    // Condition k is one of the area's (a candidate for the controlling condition).
    bool designCondition(std::size_t k) const { return k < conditionCount(*design_.area); }
    bool holds(std::size_t k) const {
        return design::withinLimit(section_.stress[k], section_.limit[k]);
    }
    // The parabola's search at the ruling span, whichever model strings the section.
    int parabolaControlling() const { return parabolic_.controlling; }
    // The other model's largest sag of span i, m; none where it has no answer.
    std::optional<double> otherMaxSag(std::size_t i) const {
        if (!other_) return std::nullopt;
        const design::SpanSags& sp = other_->spans[i];
        return sp.sag[sp.largest];
    }
    bool catenary() const { return options_.model == "catenary"; }
    SpanModel curveModel() const { return catenary() ? SpanModel::catenary : SpanModel::parabola; }
    // Span i's curve in condition k.
    const SpanFigures& figures(std::size_t i, std::size_t k) const { return figures_[i][k]; }
    const std::optional<OperatingState>& operating() const { return operating_; }

    // The largest stress at the span's higher support over every condition, N/mm².
    double supportStress(std::size_t span) const {
        double largest = 0;
        for (double v : section_.spans[span].higherSupportStress) largest = std::max(largest, v);
        return largest;
    }
    bool supportHolds(std::size_t span) const {
        return supportStress(span) <= suspensionAllowable_;
    }

    // Row i of the stringing table: a range of the one temperature gives the very row the whole
    // table has there, since both step from FROM alike.
    design::StringingRow stringingRow(std::size_t i) const {
        const double t = temperatures_.at(i);
        if (catenary()) return catenaryStringingRow(t);
        return design::stringingTable(records_.conductor(), records_.conditions(), section_, spans_,
                                      {t, t, 1}, options_.compensation)
            .front();
    }
    std::vector<design::StringingRow> stringingRows() const {
        std::vector<design::StringingRow> rows;
        for (std::size_t i = 0; i < temperatures_.count; ++i) rows.push_back(stringingRow(i));
        return rows;
    }

  private:
    // Every condition's stress by the catenary change of state of the whole section from its
    // own controlling condition (design/catenary_section.h).
    design::SectionDesign hangAsCatenaries() const {
        try {
            return design::catenarySection(records_.conductor(), records_.conditions(), parabolic_,
                                           spans_, extra_);
        } catch (const design::CatenaryStateError& e) {
            throw stateError(e.condition() < names_.size() ? names_[e.condition()]
                                                           : std::string("its conditions"),
                             e);
        }
    }
    void addExtra(const WeatherCondition& condition, const std::string& name) {
        try {
            design::addExtraCondition(section_, records_.conductor(), records_.conditions(), spans_,
                                      condition);
        } catch (const std::domain_error& e) {
            throw ToolError(options_.sectionPath + ": " + name + ": " + e.what());
        }
        extra_.push_back(condition);
        names_.push_back(name);
    }
    ToolError stateError(const std::string& what, const design::CatenaryStateError& e) const {
        return ToolError(fmt::format("{}: the catenary change of state to {}: {}",
                                     options_.sectionPath, what, e.reason()));
    }
    design::StringingRow catenaryStringingRow(double t) const {
        try {
            return design::catenaryStringingRow(records_.conductor(), records_.conditions(),
                                                section_, spans_, t, options_.compensation);
        } catch (const design::CatenaryStateError& e) {
            throw stateError(temperatures_.format(t) + " \u00B0C", e);
        }
    }

    const SectionOptions& options_;
    SpanRange temperatures_;
    Design design_;
    DesignRecords records_;
    std::vector<design::SpanGeometry> spans_;
    std::vector<std::string> names_;
    design::SectionDesign section_;
    design::SectionDesign parabolic_;
    std::optional<design::SectionDesign> other_;  // the other model's, for the figures beside
    std::vector<WeatherCondition> extra_;         // the conditions after the area's
    double suspensionAllowable_ = 0;
    std::vector<std::vector<SpanFigures>> figures_;
    std::optional<OperatingState> operating_;  // its condition is the last
};

std::string stringingCsvHeader(const Section& r) {
    std::string out = "temperature_degC,stress_N_per_mm2";
    for (std::size_t i = 0; i < r.spans().size(); ++i) out += fmt::format(",sag_span{}_m", i + 1);
    return out + "\n";
}

std::string stringingCsvRow(const Section& r, const design::StringingRow& row) {
    std::string out = r.temperatures().format(row.temperature) + "," + number(row.stress, 4);
    for (double f : row.sag) out += "," + number(f, 4);
    return out + "\n";
}

std::string sectionText(const Section& r, const std::vector<design::StringingRow>& rows) {
    const SectionOptions& o = r.options();
    const design::SectionDesign& s = r.section();
    const std::vector<std::string>& names = r.names();
    const auto control = static_cast<std::size_t>(s.controlling);
    double total = 0;
    for (const auto& sp : r.spans()) total += sp.length;
    std::string out = describeDesign(r.design(), o.design.factors, false);
    out += fmt::format(
        "\nSection of {} span{}, {} m in all: ruling span {} m (cos \u03B2r {})\n"
        "Controlling condition {}: {}, strung to {} N/mm\u00B2\n",
        r.spans().size(), r.spans().size() == 1 ? "" : "s", number(total, 1),
        number(s.ruling.span, 3), number(s.ruling.cosAngle, 6),
        r.catenary() ? "of the whole section" : "at the ruling span", shownText(names[control]),
        number(s.controlStress, 3));
    if (r.catenary()) {
        out +=
            "Model: catenary, the section's spans hung as exact catenaries sharing one "
            "horizontal stress, each condition with wind in the plane of its load; the "
            "controlling condition the first whose limit keeps every other within its own\n";
        if (r.parabolaControlling() != s.controlling) {
            out += fmt::format("The parabola's search at the ruling span picks {}\n",
                               names[static_cast<std::size_t>(r.parabolaControlling())]);
        }
    }

    TextTable stresses(
        {"condition", "load N/(m\u00B7mm\u00B2)", "stress N/mm\u00B2", "limit N/mm\u00B2", "holds"},
        {false, true, true, true, false});
    std::size_t failing = 0;
    for (std::size_t k = 0; k < names.size(); ++k) {
        const bool holds = r.holds(k);
        failing += holds ? 0 : 1;
        stresses.addRow({names[k] + (k == control           ? " *"
                                     : r.designCondition(k) ? ""
                                                            : " +"),
                         fmt::format("{:.6e}", s.load[k]), number(s.stress[k], 3),
                         number(s.limit[k], 3), holds ? "yes" : "NO"});
    }
    out +=
        "\nHorizontal stress in every condition (* controlling; + not the area's, never "
        "controlling)\n" +
        stresses.aligned();
    if (failing > 0) {
        out += fmt::format("! {} condition{} above {} limit\n", failing, failing == 1 ? "" : "s",
                           failing == 1 ? "its" : "their");
    }

    const std::string other = r.catenary() ? "parabola" : "catenary";
    std::vector<std::string> headers{"span", "length m", "height m"};
    headers.insert(headers.end(), names.begin(), names.end());
    headers.insert(headers.end(), {"largest", other + " m", "support N/mm\u00B2"});
    std::vector<bool> right(headers.size(), true);
    right[headers.size() - 3] = false;
    TextTable sags(headers, right);
    std::size_t over = 0;
    for (std::size_t i = 0; i < r.spans().size(); ++i) {
        const design::SpanSags& sp = s.spans[i];
        std::vector<std::string> row{std::to_string(i + 1), shortNumber(r.spans()[i].length),
                                     shortNumber(r.spans()[i].heightDifference)};
        for (double f : sp.sag) row.push_back(number(f, 2));
        row.push_back(names[sp.largest]);
        const auto beside = r.otherMaxSag(i);
        row.push_back(beside ? number(*beside, 2) : "-");
        const bool holds = r.supportHolds(i);
        over += holds ? 0 : 1;
        row.push_back(number(r.supportStress(i), 2) + (holds ? "  " : " !"));
        sags.addRow(row);
    }
    out += r.catenary()
               ? "\nLargest sag of each span's catenary, m (along the load: swung by the wind), "
                 "the parabola's largest beside, and the largest stress at the higher support\n"
               : "\nSag at mid-span, m (along the load: swung by the wind), the catenary's largest "
                 "beside, and the largest stress at the higher support\n";
    out += sags.aligned();
    out +=
        fmt::format("Allowable stress at a suspension point: {} N/mm\u00B2 (safety factor {}){}\n",
                    number(r.suspensionAllowable(), 2), shortNumber(o.suspensionSafety),
                    over == 0 ? std::string()
                              : fmt::format("; ! {} of {} spans above it", over, r.spans().size()));

    std::vector<std::string> sh{"\u00B0C", "stress N/mm\u00B2"};
    for (std::size_t i = 0; i < r.spans().size(); ++i) sh.push_back(fmt::format("span {}", i + 1));
    TextTable stringing(sh, std::vector<bool>(sh.size(), true));
    for (const auto& row : rows) {
        std::vector<std::string> cells{r.temperatures().format(row.temperature),
                                       number(row.stress, 2)};
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

// The swing of a condition's load from the vertical, degrees: acos(γv/γ).
double swingDegrees(double load, double verticalLoad) {
    const LoadPlane p = loadPlane(load, verticalLoad);
    return std::atan2(p.sinSwing, p.cosSwing) * (180 / std::numbers::pi);
}

// One figure of span i's curve in every condition, in the order of "conditions".
Json perCondition(const Section& r, std::size_t i, double SpanFigures::*figure) {
    Json values = Json::array();
    for (std::size_t k = 0; k < r.names().size(); ++k) values.push_back(r.figures(i, k).*figure);
    return values;
}

// The conditions' names as keys of an object. The tables' conditions have names of their own,
// but should one ever repeat, it is told apart by its count, "NAME (2)" for the second, rather
// than one figure overwriting the other.
std::vector<std::string> conditionKeys(const std::vector<std::string>& names) {
    std::vector<std::string> keys;
    keys.reserve(names.size());
    for (std::size_t k = 0; k < names.size(); ++k) {
        const auto before =
            std::count(names.begin(), names.begin() + static_cast<long>(k), names[k]);
        keys.push_back(before == 0 ? names[k] : names[k] + " (" + std::to_string(before + 1) + ")");
    }
    return keys;
}

// A figure per condition as an object keyed by the conditions' names, in their order.
Json byCondition(const Section& r, std::size_t i, const std::vector<std::string>& keys,
                 double SpanFigures::*figure) {
    Json values = Json::object();
    for (std::size_t k = 0; k < keys.size(); ++k) values[keys[k]] = r.figures(i, k).*figure;
    return values;
}

// Per-condition figures are arrays in the order of "conditions", but for the support stresses,
// keyed by condition name; nothing but the current span or stringing row is held while the
// document is written.
void writeSectionJson(const Section& r, ResultStream& out) {
    const SectionOptions& o = r.options();
    const design::SectionDesign& s = r.section();
    const std::vector<std::string>& names = r.names();
    const std::vector<std::string> keys = conditionKeys(names);
    Json head;
    describeDesign(r.design(), o.design.factors, head);
    head["factors"]["suspension_point_safety"] = o.suspensionSafety;
    Json conditions = Json::array();
    for (std::size_t k = 0; k < names.size(); ++k) {
        conditions.push_back(Json{{"name", names[k]},
                                  {"specific_load_N_per_m_mm2", s.load[k]},
                                  {"vertical_load_N_per_m_mm2", s.verticalLoad[k]},
                                  {"swing_deg", swingDegrees(s.load[k], s.verticalLoad[k])},
                                  {"stress_N_per_mm2", s.stress[k]},
                                  {"limit_N_per_mm2", s.limit[k]},
                                  {"holds", r.holds(k)},
                                  {"derived", !r.designCondition(k)},
                                  {"temperature_degC", r.temperature(k)}});
    }
    head["conditions"] = std::move(conditions);
    head["ruling_span_m"] = s.ruling.span;
    head["ruling_cos"] = s.ruling.cosAngle;
    head["controlling"] =
        conditionRef(s.controlling, names[static_cast<std::size_t>(s.controlling)]);
    head["control_stress_N_per_mm2"] = s.controlStress;
    head["parabola_controlling"] = conditionRef(
        r.parabolaControlling(), names[static_cast<std::size_t>(r.parabolaControlling())]);
    head["suspension_point_allowable_N_per_mm2"] = r.suspensionAllowable();
    head["compensation_degC"] = o.compensation;
    head["model"] = o.model;
    if (r.operating()) head["operating"] = operatingJson(*r.operating(), names.size() - 1);

    JsonStream doc([&out](std::string_view text) { out.write(text); }, head);
    doc.beginArray("spans");
    for (std::size_t i = 0; i < r.spans().size(); ++i) {
        const design::SpanSags& sp = s.spans[i];
        const auto beside = r.otherMaxSag(i);
        doc.add(Json{
            {"span_m", r.spans()[i].length},
            {"height_difference_m", r.spans()[i].heightDifference},
            {"sag_m", sp.sag},
            {"max_sag_m", sp.sag[sp.largest]},
            {"other_model_max_sag_m", beside ? Json(*beside) : Json(nullptr)},
            {"max_sag_condition", conditionRef(static_cast<int>(sp.largest), names[sp.largest])},
            {"higher_support_stress_N_per_mm2", sp.higherSupportStress},
            {"max_support_stress_N_per_mm2", r.supportStress(i)},
            {"suspension_point_ok", r.supportHolds(i)},
            {"model", o.model},
            {"low_point_m", perCondition(r, i, &SpanFigures::lowPoint)},
            {"max_sag_at_m", perCondition(r, i, &SpanFigures::maxSagAt)},
            {"vertical_max_sag_m", perCondition(r, i, &SpanFigures::verticalMaxSag)},
            {"length_m", perCondition(r, i, &SpanFigures::length)},
            {"support_stress_N_per_mm2",
             Json{{"near", byCondition(r, i, keys, &SpanFigures::nearStress)},
                  {"far", byCondition(r, i, keys, &SpanFigures::farStress)}}}});
    }
    doc.endArray();
    doc.beginArray("stringing");
    for (std::size_t i = 0; i < r.temperatures().count; ++i) {
        const design::StringingRow row = r.stringingRow(i);
        doc.add(Json{{"temperature_degC", row.temperature},
                     {"stress_N_per_mm2", row.stress},
                     {"sag_m", row.sag}});
    }
    doc.endArray();
    doc.end();
}

void runSectionCommand(const SectionOptions& o, ResultStream& out) {
    if (o.json && o.csvPath == "-") {
        throw UsageError("--csv -: standard output already takes the --json document");
    }
    if (o.svgPath == "-") throw UsageError("--svg -: the chart goes to a file; name one");
    const Section r(o);
    OutputFile* csv = !o.csvPath.empty() && o.csvPath != "-" ? &out.file(o.csvPath) : nullptr;
    OutputFile* svg = !o.svgPath.empty() ? &out.file(o.svgPath) : nullptr;
    // The whole table only where a chart or the terminal's aligned columns need it.
    std::vector<design::StringingRow> rows;
    if (svg || (!o.json && o.csvPath != "-")) rows = r.stringingRows();
    std::string notes;
    if (csv) {
        csv->write(stringingCsvHeader(r));
        for (std::size_t i = 0; i < r.temperatures().count; ++i) {
            csv->write(stringingCsvRow(r, rows.empty() ? r.stringingRow(i) : rows[i]));
        }
        notes += "CSV written to " + o.csvPath + "\n";
    }
    if (svg) {
        svg->write(stringingSvg(nameOf(r.design().conductor->name), rows, r.spans(), o.compensation,
                                r.section().ruling.span, o.model, chartLanguageNamed(o.lang)));
        notes += "SVG written to " + o.svgPath + "\n";
    }
    if (o.json) {
        writeSectionJson(r, out);
    } else if (o.csvPath == "-") {
        out.write(stringingCsvHeader(r));
        for (std::size_t i = 0; i < r.temperatures().count; ++i) {
            out.write(stringingCsvRow(r, r.stringingRow(i)));
        }
    } else {
        out.write(sectionText(r, rows) + notes);
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
                    "Temperatures of the stringing table, \u00B0C, from -100 to 200, at most 1000 "
                    "of them (default -20:40:5)")
        ->type_name("FROM:TO:STEP");
    set.numbers.add(cmd, "--compensate", o->compensation,
                    "Compensate the initial elongation by stringing as at a temperature this many "
                    "\u00B0C lower, from 0 to 100",
                    "DT", Bounds{0, 100}, false);
    set.numbers.add(cmd, "--suspension-safety", o->suspensionSafety,
                    "Safety factor dividing the strength in the allowable stress at a suspension "
                    "point; a support stress above it is flagged",
                    "FACTOR", kPositive, false);
    cmd->add_option("--model", o->model,
                    "catenary (each span hung as an exact catenary, the section's change of state "
                    "solved with them) or parabola (the ruling span's state equation; default)")
        ->check(CLI::IsMember({"catenary", "parabola"}))
        ->type_name("MODEL");
    cmd->add_option("--csv", o->csvPath,
                    "Also write the stringing table as CSV to FILE; - writes only the CSV, to "
                    "standard output")
        ->type_name("FILE");
    cmd->add_option("--svg", o->svgPath, "Also draw the stringing chart as SVG to FILE")
        ->type_name("FILE");
    addChartLanguageOption(cmd, o->lang);
    cmd->add_flag("--json", o->json, "One JSON document instead of the tables");
    addOperatingOptions(cmd, set.numbers, o->operating);
    cmd->footer(
        examples({"varnel section --areas samples/weather_areas.dbf --area \u5178\u578B\u6C14\u8C61"
                  "\u533A\u2165 --conductors samples/conductors.dbf --conductor JL/G1A-240/30 \\\n"
                  "      --section samples/section.csv --compensate 20 --svg stringing.svg"}));
    set.commands.push_back({cmd, [o](ResultStream& out) { runSectionCommand(*o, out); }});
}

}  // namespace varnel::tool
