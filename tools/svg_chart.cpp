#include "tools/svg_chart.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace varnel::tool {

namespace {

constexpr double kWidth = 900;
constexpr double kPanelHeight = 360;
constexpr double kLeft = 80, kRight = 220, kTop = 50, kBottom = 50;
constexpr const char* kColours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                                    "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};

std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// A step of 1, 2 or 5 × 10^k giving about five ticks over [lo, hi].
double tickStep(double lo, double hi) {
    const double raw = (hi - lo) / 5;
    if (!(raw > 0)) return 1;
    const double magnitude = std::pow(10, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * magnitude >= raw) return m * magnitude;
    }
    return 10 * magnitude;
}

// The tick values over [lo, hi]: multiples of a round step, a bounded number of them; where the
// doubles cannot tell the ticks apart (a range far narrower than its magnitude), the two ends.
std::vector<double> ticks(double lo, double hi) {
    const double step = tickStep(lo, hi);
    const double first = std::ceil(lo / step);
    const double last = std::floor(hi / step + 1e-6);
    std::vector<double> values;
    if (std::isfinite(first) && std::isfinite(last) && last >= first && last - first <= 50) {
        for (double k = first; k <= last; k += 1) {
            const double v = k * step;
            if (values.empty() || v > values.back()) values.push_back(v);
        }
    }
    if (values.size() < 2) values = {lo, hi};
    return values;
}

struct Panel {
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
    if (havePrevious_ && state.control != previousControl_) {
        if (changes_.size() < kMaxChanges) {
            changes_.push_back({previousSpan_, state.span, state.control});
        } else {
            ++changesLeftOut_;
        }
    }
    havePrevious_ = true;
    previousSpan_ = state.span;
    previousControl_ = state.control;
}

std::string sagTableSvg(const std::string& title, const std::vector<std::string>& names,
                        const ChartSampler& chart) {
    const std::vector<SpanState>& spans = chart.samples();
    const Panel panels[] = {
        {"Stress", "stress (N/mm\u00B2)", [](const ConditionState& s) { return s.stress; }},
        {"Sag", "sag (m)", [](const ConditionState& s) { return s.sag; }},
    };
    const double height = kTop + 2 * (kPanelHeight + kBottom) + 20;
    std::string svg = fmt::format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{}\" height=\"{}\" "
        "viewBox=\"0 0 {} {}\" font-family=\"sans-serif\" font-size=\"12\">\n"
        "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        "<text x=\"{}\" y=\"24\" font-size=\"16\">{}</text>\n",
        kWidth, height, kWidth, height, kLeft, escape(title));

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
        if (hi <= lo) hi = lo + 1;
        const double yStep = tickStep(lo, hi);
        hi = std::ceil(hi / yStep) * yStep;
        auto x = [&](double span) {
            return kLeft + (span - spanLo) / (spanHi - spanLo) * plotWidth;
        };
        auto y = [&](double v) { return top + plotHeight - (v - lo) / (hi - lo) * plotHeight; };

        svg += fmt::format("<g class=\"panel\" id=\"{}\">\n", p == 0 ? "stress" : "sag");
        svg += fmt::format("<text x=\"{}\" y=\"{}\" font-size=\"14\">{} against span</text>\n",
                           kLeft, top - 8, panel.title);
        // Axes, ticks and grid.
        svg += fmt::format(
            "<line x1=\"{0}\" y1=\"{1}\" x2=\"{0}\" y2=\"{2}\" stroke=\"black\"/>\n"
            "<line x1=\"{0}\" y1=\"{2}\" x2=\"{3}\" y2=\"{2}\" stroke=\"black\"/>\n",
            kLeft, top, top + plotHeight, kLeft + plotWidth);
        for (const double v : ticks(lo, hi)) {
            svg += fmt::format(
                "<line x1=\"{0}\" y1=\"{1:.2f}\" x2=\"{2}\" y2=\"{1:.2f}\" stroke=\"#ddd\"/>"
                "<text x=\"{3}\" y=\"{4:.2f}\" text-anchor=\"end\">{5:g}</text>\n",
                kLeft, y(v), kLeft + plotWidth, kLeft - 6, y(v) + 4, v);
        }
        for (const double s : ticks(spanLo, spanHi)) {
            svg += fmt::format(
                "<line x1=\"{0:.2f}\" y1=\"{1}\" x2=\"{0:.2f}\" y2=\"{2}\" stroke=\"black\"/>"
                "<text x=\"{0:.2f}\" y=\"{3}\" text-anchor=\"middle\">{4:g}</text>\n",
                x(s), top + plotHeight, top + plotHeight + 5, top + plotHeight + 18, s);
        }
        svg += fmt::format(
            "<text x=\"{}\" y=\"{}\" text-anchor=\"middle\">span (m)</text>\n"
            "<text transform=\"translate({} {}) rotate(-90)\" text-anchor=\"middle\">{}</text>\n",
            kLeft + plotWidth / 2, top + plotHeight + 36, kLeft - 55, top + plotHeight / 2,
            panel.axisLabel);

        // One line per condition; a span without a controlling condition breaks the line.
        for (std::size_t c = 0; c < names.size(); ++c) {
            std::string points;
            std::string path;
            for (const auto& s : spans) {
                const double v = c < s.conditions.size() ? panel.value(s.conditions[c]) : NAN;
                if (!std::isfinite(v)) {
                    if (!points.empty()) path += "M" + points;
                    points.clear();
                    continue;
                }
                points +=
                    fmt::format("{}{:.2f},{:.2f}", points.empty() ? "" : " L", x(s.span), y(v));
            }
            if (!points.empty()) path += "M" + points;
            svg += fmt::format(
                "<path class=\"curve\" data-condition=\"{}\" d=\"{}\" fill=\"none\" "
                "stroke=\"{}\" stroke-width=\"1.5\"/>\n",
                escape(names[c]), path, kColours[c % std::size(kColours)]);
        }

        // Where the controlling condition changes. A label too close to the one before it goes a
        // line lower, so that neighbouring changes stay readable.
        double lastLabel = -1e9;
        int labelLine = 0;
        for (const ControlChange& change : chart.changes()) {
            const double at = (change.before + change.after) / 2;
            const std::string label =
                change.control >= 0 && static_cast<std::size_t>(change.control) < names.size()
                    ? names[static_cast<std::size_t>(change.control)]
                    : std::string("none");
            labelLine = x(at) - lastLabel < 40 ? (labelLine + 1) % 8 : 0;
            lastLabel = x(at);
            svg += fmt::format(
                "<line class=\"control-change\" x1=\"{0:.2f}\" y1=\"{1}\" x2=\"{0:.2f}\" "
                "y2=\"{2}\" stroke=\"black\" stroke-dasharray=\"4 3\"/>"
                "<text x=\"{3:.2f}\" y=\"{4}\" font-size=\"10\">{5}</text>\n",
                x(at), top, top + plotHeight, x(at) + 3, top + 10 + 12 * labelLine, escape(label));
        }

        // Legend.
        for (std::size_t c = 0; c < names.size(); ++c) {
            const double ly = top + 10 + 18 * static_cast<double>(c);
            svg += fmt::format(
                "<line x1=\"{0}\" y1=\"{1}\" x2=\"{2}\" y2=\"{1}\" stroke=\"{3}\" "
                "stroke-width=\"2\"/><text x=\"{4}\" y=\"{5}\">{6}</text>\n",
                kLeft + plotWidth + 20, ly, kLeft + plotWidth + 45,
                kColours[c % std::size(kColours)], kLeft + plotWidth + 50, ly + 4,
                escape(names[c]));
        }
        svg += "</g>\n";
    }
    if (chart.changesLeftOut() > 0) {
        svg += fmt::format(
            "<text x=\"{}\" y=\"{}\" font-size=\"11\">{} more changes of the "
            "controlling condition are not marked</text>\n",
            kLeft, height - 8, chart.changesLeftOut());
    }
    svg += "</svg>\n";
    return svg;
}

}  // namespace varnel::tool
