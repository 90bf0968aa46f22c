#include "tools/svg_chart.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "tools/svg_support.h"

namespace varnel::tool {

namespace {

constexpr double kWidth = 960;
constexpr double kPanelHeight = 360;
constexpr double kLeft = 80, kRight = 260, kTop = 78, kBottom = 56;
constexpr double kLabelGap = 12;

struct Panel {
    const char* id;
    const char* title;
    const char* axisLabel;
    double (*value)(const ConditionState&);
};

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
    const Panel panels[] = {
        {"stress", "Stress against span", "stress (N/mm\u00B2)",
         [](const ConditionState& s) { return s.stress; }},
        {"sag", "Sag against span", "sag (m)", [](const ConditionState& s) { return s.sag; }},
    };
    const double height = kTop + 2 * (kPanelHeight + kBottom) + 10;
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
    if (!(spanHi > spanLo)) spanHi = spanLo + 1;
    if (!(spanHi > spanLo)) spanLo = spanHi - 1;  // spans too large for a unit to tell apart
    const double plotWidth = kWidth - kLeft - kRight;

    for (int p = 0; p < 2; ++p) {
        const Panel& panel = panels[p];
        const double top = kTop + p * (kPanelHeight + kBottom);
        const double plotHeight = kPanelHeight - 20;
        double lo = 0, hi = 0;
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
        if (hi <= lo) hi = lo + 1;
        const double yStep = svg::tickStep(lo, hi);
        hi = std::ceil(hi * 1.04 / yStep) * yStep;
        const svg::Plot plot{kLeft, top, plotWidth, plotHeight, spanLo, spanHi, lo, hi};
        auto x = [&](double span) { return plot.x(span); };
        auto y = [&](double v) { return plot.y(v); };

        out += fmt::format("<g class=\"panel\" id=\"{}\">\n", panel.id);
        out += fmt::format("<text x=\"{}\" y=\"{}\" font-size=\"14\">{}</text>\n", kLeft, top - 8,
                           panel.title);
        // The span axis starts at the first span of the table.
        out += svg::axes(plot, "span (m)", panel.axisLabel);

        // The allowable stresses, across the stress panel.
        if (p == 0) {
            const struct {
                double value;
                const char* cls;
                const char* label;
            } limits[] = {{chart.normalLimit, "limit-normal", "allowable"},
                          {chart.averageLimit, "limit-average", "annual average allowable"}};
            for (const auto& l : limits) {
                if (!std::isfinite(l.value)) continue;
                out += fmt::format(
                    "<line class=\"{0}\" x1=\"{1}\" y1=\"{2:.2f}\" x2=\"{3}\" y2=\"{2:.2f}\" "
                    "stroke=\"#b00\" stroke-width=\"1\" stroke-dasharray=\"10 4\"/>"
                    "<text x=\"{4}\" y=\"{5:.2f}\" font-size=\"10\" fill=\"#b00\">{6} "
                    "{7:.2f} N/mm\u00B2</text>\n",
                    l.cls, kLeft, y(l.value), kLeft + plotWidth, kLeft + 4, y(l.value) - 3, l.label,
                    l.value);
            }
        }

        // One line per condition, each with its own colour and dashes; a span without a
        // controlling condition breaks the line. The name stands at the line's end.
        std::vector<svg::EndLabel> ends;
        for (std::size_t c = 0; c < names.size(); ++c) {
            std::string points, path;
            double lastY = NAN;
            for (const auto& s : spans) {
                const double v = c < s.conditions.size() ? panel.value(s.conditions[c]) : NAN;
                if (!std::isfinite(v)) {
                    if (!points.empty()) path += "M" + points;
                    points.clear();
                    continue;
                }
                points +=
                    fmt::format("{}{:.2f},{:.2f}", points.empty() ? "" : " L", x(s.span), y(v));
                lastY = y(v);
            }
            if (!points.empty()) path += "M" + points;
            const char* dash = svg::dashes(c);
            out += fmt::format(
                "<path class=\"curve\" data-condition=\"{}\" d=\"{}\" fill=\"none\" "
                "stroke=\"{}\" stroke-width=\"1.5\"{}/>\n",
                escape(names[c]), path, svg::colour(c),
                *dash ? fmt::format(" stroke-dasharray=\"{}\"", dash) : "");
            ends.push_back({lastY, names[c], svg::colour(c)});
        }
        out += svg::endLabels(ends, plot, kLabelGap);

        // The critical spans, each with its value and the condition that controls from it on;
        // labels too close to the one before go a line lower.
        double lastLabel = -1e9;
        int labelLine = 0;
        for (const CriticalMark& mark : chart.critical) {
            const double mx = x(mark.span);
            labelLine = mx - lastLabel < 90 ? (labelLine + 1) % 6 : 0;
            lastLabel = mx;
            out += fmt::format(
                "<line class=\"control-change\" x1=\"{0:.2f}\" y1=\"{1}\" x2=\"{0:.2f}\" "
                "y2=\"{2}\" stroke=\"black\" stroke-dasharray=\"4 3\"/>"
                "<text x=\"{3:.2f}\" y=\"{4}\" font-size=\"10\">{5:.2f} m: {6}</text>\n",
                mx, top, top + plotHeight, mx + 3, top + 10 + 12 * labelLine, mark.span,
                escape(mark.condition));
        }
        out += "</g>\n";
    }
    out += "</svg>\n";
    return out;
}

}  // namespace varnel::tool
