#include "tools/svg_chart.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "tools/svg_support.h"

namespace varnel::tool {

namespace {

constexpr double kWidth = 960;
constexpr double kPlotHeight = 340;
// Above each plot: the panel's title, then rows for the names of the controlled ranges and the
// critical spans, so that no word stands on a curve.
constexpr double kBand = 62;
constexpr double kLeft = 80, kRight = 290, kTop = 56, kBottom = 56;
constexpr double kLabelGap = 13;
constexpr const char* kLimitColour = "#b00";
constexpr const char* kLimitDashes = "10 4";

struct Panel {
    const char* id;
    const char* title;
    const char* axisLabel;
    double (*value)(const ConditionState&);
};

// A word in the band above a plot.
struct BandLabel {
    double x;  // px, its middle
    double width;
    std::string text;
    const char* cls;
    const char* colour;
    double fontSize;
    int rows[2];  // the rows it may take, the first preferred; 0 is next to the plot
    int row = 0;
};

// Where a word of `width` px centred on `x` stays inside [left, right], as far as it fits.
double keptInside(double x, double width, double left, double right) {
    const double half = width / 2;
    return width < right - left ? std::clamp(x, left + half, right - half) : x;
}

// Rows for the band's words, left to right, each in the first of its rows where it clears the
// word before it; where neither is clear, in the one whose last word ends first.
void placeInRows(std::vector<BandLabel>& labels) {
    std::sort(labels.begin(), labels.end(),
              [](const BandLabel& a, const BandLabel& b) { return a.x < b.x; });
    double rowEnd[3] = {-1e300, -1e300, -1e300};
    for (BandLabel& l : labels) {
        const double left = l.x - l.width / 2;
        l.row = rowEnd[l.rows[0]] <= rowEnd[l.rows[1]] ? l.rows[0] : l.rows[1];
        for (int r : l.rows) {
            if (left >= rowEnd[r] + 6) {
                l.row = r;
                break;
            }
        }
        rowEnd[l.row] = l.x + l.width / 2;
    }
}

std::string curve(const std::vector<std::pair<double, double>>& points, const char* colour,
                  const char* dash, const std::string& attributes) {
    // A span where the condition has no figure breaks the line; a piece of one point is a dot,
    // so that a table of one span still shows.
    std::string path, dots;
    std::size_t piece = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto [x, y] = points[i];
        const bool breaks = !std::isfinite(y);
        if (!breaks) {
            path += fmt::format("{}{:.2f},{:.2f}", piece == 0 ? (path.empty() ? "M" : " M") : " L",
                                x, y);
            ++piece;
        }
        const bool last = i + 1 == points.size();
        if ((breaks || last) && piece == 1) {
            const auto [px, py] = breaks ? points[i - 1] : points[i];
            dots += fmt::format(
                "<circle class=\"point\" cx=\"{:.2f}\" cy=\"{:.2f}\" r=\"3\" fill=\"{}\"/>\n", px,
                py, colour);
        }
        if (breaks) piece = 0;
    }
    return fmt::format(
               "<path class=\"curve\" {} d=\"{}\" fill=\"none\" stroke=\"{}\" "
               "stroke-width=\"1.5\"{}/>\n",
               attributes, path, colour,
               *dash ? fmt::format(" stroke-dasharray=\"{}\"", dash) : "") +
           dots;
}

}  // namespace

ChartSampler::ChartSampler(std::size_t spanCount)
    : count_(spanCount),
      stride_(spanCount <= kMaxPoints ? 1 : (spanCount + kMaxPoints - 2) / (kMaxPoints - 1)) {}

void ChartSampler::add(std::size_t index, const SpanState& state) {
    if (index % stride_ == 0 || index + 1 == count_) samples_.push_back(state);
}

std::string sagTableSvg(const SagChart& chart, const ChartSampler& sampler) {
    using svg::escape;
    const std::vector<SpanState>& spans = sampler.samples();
    const std::vector<std::string>& names = chart.conditionNames;
    const ChartLanguage lang = chart.language;
    const Panel panels[] = {
        {"stress",
         pick(lang, "Stress against span", "\u5E94\u529B\u2014\u6863\u8DDD"),  // 应力—档距
         pick(lang, "stress (N/mm\u00B2)", "\u5E94\u529B (N/mm\u00B2)"),       // 应力
         [](const ConditionState& s) { return s.stress; }},
        {"sag", pick(lang, "Sag against span", "\u5F27\u5782\u2014\u6863\u8DDD"),  // 弧垂—档距
         pick(lang, "sag (m)", "\u5F27\u5782 (m)"),                                // 弧垂
         [](const ConditionState& s) { return s.sag; }},
    };
    const double panelHeight = kBand + kPlotHeight + kBottom;
    const double height = kTop + 2 * panelHeight + 10;
    std::string out = fmt::format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{0}\" height=\"{1}\" "
        "viewBox=\"0 0 {0} {1}\" font-family=\"sans-serif\" font-size=\"12\">\n"
        "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        "<text x=\"{2}\" y=\"24\" font-size=\"16\">{3}</text>\n"
        "<text class=\"caption\" x=\"{2}\" y=\"44\" font-size=\"11\" fill=\"#444\">{4}</text>\n",
        kWidth, height, kLeft, escape(chart.title), escape(chart.caption));

    double spanLo = spans.empty() ? 0 : spans.front().span;
    double spanHi = spans.empty() ? 1 : spans.back().span;
    svg::widen(spanLo, spanHi);
    const double plotWidth = kWidth - kLeft - kRight;
    const auto colourOf = [&](const std::string& name) {
        const auto at = std::find(names.begin(), names.end(), name);
        return at == names.end() ? "#444"
                                 : svg::colour(static_cast<std::size_t>(at - names.begin()));
    };

    for (int p = 0; p < 2; ++p) {
        const Panel& panel = panels[p];
        const double top = kTop + kBand + p * panelHeight;
        double hi = 0;
        for (const auto& s : spans) {
            for (const auto& c : s.conditions) {
                const double v = panel.value(c);
                if (std::isfinite(v)) hi = std::max(hi, v);
            }
        }
        if (p == 0) {
            for (double limit : {chart.normalLimit, chart.averageLimit}) {
                if (std::isfinite(limit)) hi = std::max(hi, limit);
            }
        }
        const svg::Plot plot{kLeft,  top,    plotWidth, kPlotHeight,
                             spanLo, spanHi, 0,         svg::roundedTop(hi)};
        const double right = kLeft + plotWidth, bottom = top + kPlotHeight;

        out += fmt::format("<g class=\"panel\" id=\"{}\">\n", panel.id);
        out += fmt::format("<text x=\"{}\" y=\"{}\" font-size=\"14\">{}</text>\n", kLeft,
                           top - kBand + 14, escape(panel.title));

        // Every other controlled range lightly shaded, under the grid and the curves.
        for (std::size_t r = 1; r < chart.ranges.size(); r += 2) {
            const double x0 = plot.x(chart.ranges[r].from), x1 = plot.x(chart.ranges[r].to);
            out += fmt::format(
                "<rect class=\"range-shade\" x=\"{:.2f}\" y=\"{}\" width=\"{:.2f}\" "
                "height=\"{}\" fill=\"#f3f3f3\"/>\n",
                x0, top, std::max(0.0, x1 - x0), kPlotHeight);
        }
        // The span axis starts at the first span of the table.
        out += svg::axes(plot, pick(lang, "span (m)", "\u6863\u8DDD (m)"),  // 档距
                         panel.axisLabel);

        std::vector<svg::EndLabel> ends;
        // The allowable stresses across the stress panel, named in the margin with the curves.
        if (p == 0) {
            const struct {
                double value;
                const char* cls;
                const char* label;
            } limits[] = {
                {chart.normalLimit, "limit-normal",
                 pick(lang, "allowable", "\u8BB8\u7528\u5E94\u529B")},  // 许用应力
                {chart.averageLimit, "limit-average",
                 pick(
                     lang, "annual average allowable",
                     "\u5E74\u5E73\u5747\u8FD0\u884C\u5E94\u529B\u9650\u503C")}};  // 年平均运行应力限值
            for (const auto& l : limits) {
                if (!std::isfinite(l.value)) continue;
                out += fmt::format(
                    "<line class=\"{0}\" x1=\"{1}\" y1=\"{2:.2f}\" x2=\"{3}\" y2=\"{2:.2f}\" "
                    "stroke=\"{4}\" stroke-width=\"1\" stroke-dasharray=\"{5}\"/>\n",
                    l.cls, kLeft, plot.y(l.value), right, kLimitColour, kLimitDashes);
                ends.push_back({plot.y(l.value),
                                fmt::format("{} {:.2f} N/mm\u00B2", l.label, l.value), kLimitColour,
                                kLimitDashes});
            }
        }

        // One line per condition, each with its own colour and dashes, named at its end.
        for (std::size_t c = 0; c < names.size(); ++c) {
            std::vector<std::pair<double, double>> points;
            points.reserve(spans.size());
            double lastY = NAN;
            for (const auto& s : spans) {
                const double v = c < s.conditions.size() ? panel.value(s.conditions[c]) : NAN;
                const double y = std::isfinite(v) ? plot.y(v) : NAN;
                points.emplace_back(plot.x(s.span), y);
                if (std::isfinite(y)) lastY = y;
            }
            out += curve(points, svg::colour(c), svg::dashes(c),
                         "data-condition=\"" + escape(names[c]) + "\"");
            ends.push_back({lastY, names[c], svg::colour(c), svg::dashes(c)});
        }
        out += svg::endLabels(ends, plot, kLabelGap);

        // Above the plot: each range named by the condition that controls it, and
        // the critical spans between them, a dashed line down through the plot.
        std::vector<BandLabel> band;
        for (std::size_t r = 0; r < chart.ranges.size(); ++r) {
            const ControlledRange& range = chart.ranges[r];
            std::string text =
                range.condition.empty()
                    ? std::string(pick(lang, "none qualifies",
                                       "\u65E0\u63A7\u5236\u5DE5\u51B5"))         // 无控制工况
                    : range.condition + pick(lang, " controls", "\u63A7\u5236");  // 年平控制
            // A range too narrow for the words to stand over it (the English ones are the
            // longer) is named by its condition alone.
            const double x0 = plot.x(range.from), x1 = plot.x(range.to);
            const double at = keptInside((x0 + x1) / 2, svg::textWidth(text, 12), kLeft, right);
            if (!range.condition.empty() && (at < x0 || at > x1)) text = range.condition;
            band.push_back({(x0 + x1) / 2,
                            svg::textWidth(text, 12),
                            text,
                            "control-range",
                            range.condition.empty() ? "#444" : colourOf(range.condition),
                            12,
                            {1, 2}});
            if (r == 0) continue;
            const double mx = plot.x(range.from);
            out += fmt::format(
                "<line class=\"control-change\" data-span=\"{3}\" x1=\"{0:.2f}\" y1=\"{1}\" "
                "x2=\"{0:.2f}\" y2=\"{2}\" stroke=\"black\" stroke-dasharray=\"4 3\"/>\n",
                mx, top - 2, bottom, range.from);
            const std::string value = fmt::format("{:.2f} m", range.from);
            band.push_back(
                {mx, svg::textWidth(value, 10), value, "critical-span", "#222", 10, {0, 2}});
        }
        for (BandLabel& l : band) l.x = keptInside(l.x, l.width, kLeft, right);
        placeInRows(band);
        for (const BandLabel& l : band) {
            out += fmt::format(
                "<text class=\"{}\" x=\"{:.2f}\" y=\"{:.2f}\" text-anchor=\"middle\" "
                "font-size=\"{}\" fill=\"{}\">{}</text>\n",
                l.cls, l.x, top - 5 - 14 * l.row, l.fontSize, l.colour, escape(l.text));
        }
        out += "</g>\n";
    }
    out += "</svg>\n";
    return out;
}

}  // namespace varnel::tool
