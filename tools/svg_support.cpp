#include "tools/svg_support.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace varnel::tool::svg {

namespace {
constexpr const char* kColours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                                    "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};
constexpr const char* kDashes[] = {"",    "6 3", "2 2",  "8 3 2 3", "",
                                   "4 4", "1 3", "10 4", "6 2 2 2", "3 6"};
constexpr double kMaxTicks = 50;
}  // namespace

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

double tickStep(double lo, double hi) {
    const double raw = (hi - lo) / 5;
    if (!(raw > 0) || !std::isfinite(raw)) return 1;
    const double magnitude = std::pow(10, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * magnitude >= raw) return m * magnitude;
    }
    return 10 * magnitude;
}

std::vector<double> roundTicks(double lo, double hi) {
    const double step = tickStep(lo, hi);
    const double first = std::ceil(lo / step);
    const double last = std::floor(hi / step + 1e-6);
    std::vector<double> values;
    if (std::isfinite(first) && std::isfinite(last) && last >= first && last - first <= kMaxTicks) {
        for (double k = first; k <= last; k += 1) {
            const double v = k * step;
            if (values.empty() || v > values.back()) values.push_back(v);
        }
    }
    if (values.size() < 2) values = {lo, hi};
    return values;
}

std::vector<double> ticksFrom(double lo, double hi) {
    const double step = tickStep(lo, hi);
    std::vector<double> values{lo};
    for (double v : roundTicks(lo, hi)) {
        // Clear of the first tick by a third of a step, so that their labels do not meet.
        if (v > lo + step / 3 && v > values.back()) values.push_back(v);
    }
    if (values.size() < 2 && hi > lo) values.push_back(hi);
    return values;
}

const char* colour(std::size_t i) {
    return kColours[i % std::size(kColours)];
}

const char* dashes(std::size_t i) {
    return kDashes[i % std::size(kDashes)];
}

std::vector<double> spreadLabels(const std::vector<EndLabel>& labels, double gap, double top,
                                 double bottom) {
    std::vector<std::size_t> order(labels.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return labels[a].y < labels[b].y; });
    std::vector<double> at(labels.size());
    // Downwards, each at least `gap` below the one above; then back up from the bottom edge.
    double next = top;
    for (std::size_t i : order) {
        at[i] = std::max(std::isfinite(labels[i].y) ? labels[i].y : top, next);
        next = at[i] + gap;
    }
    double limit = bottom;
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        at[*it] = std::min(at[*it], limit);
        limit = at[*it] - gap;
    }
    return at;
}

std::string axes(const Plot& p, const std::string& xLabel, const std::string& yLabel) {
    const double bottom = p.top + p.height;
    const double right = p.left + p.width;
    std::string out = fmt::format(
        "<line x1=\"{0}\" y1=\"{1}\" x2=\"{0}\" y2=\"{2}\" stroke=\"black\"/>\n"
        "<line x1=\"{0}\" y1=\"{2}\" x2=\"{3}\" y2=\"{2}\" stroke=\"black\"/>\n",
        p.left, p.top, bottom, right);
    for (const double v : roundTicks(p.yLo, p.yHi)) {
        out += fmt::format(
            "<line x1=\"{0}\" y1=\"{1:.2f}\" x2=\"{2}\" y2=\"{1:.2f}\" stroke=\"#ddd\"/>"
            "<text x=\"{3}\" y=\"{4:.2f}\" text-anchor=\"end\">{5:g}</text>\n",
            p.left, p.y(v), right, p.left - 6, p.y(v) + 4, v);
    }
    for (const double v : ticksFrom(p.xLo, p.xHi)) {
        out += fmt::format(
            "<line x1=\"{0:.2f}\" y1=\"{1}\" x2=\"{0:.2f}\" y2=\"{2}\" stroke=\"#ddd\"/>"
            "<line x1=\"{0:.2f}\" y1=\"{2}\" x2=\"{0:.2f}\" y2=\"{3}\" stroke=\"black\"/>"
            "<text x=\"{0:.2f}\" y=\"{4}\" text-anchor=\"middle\">{5:g}</text>\n",
            p.x(v), p.top, bottom, bottom + 5, bottom + 18, v);
    }
    out += fmt::format(
        "<text x=\"{}\" y=\"{}\" text-anchor=\"middle\">{}</text>\n"
        "<text transform=\"translate({} {}) rotate(-90)\" text-anchor=\"middle\">{}</text>\n",
        p.left + p.width / 2, bottom + 36, escape(xLabel), p.left - 55, p.top + p.height / 2,
        escape(yLabel));
    return out;
}

std::string endLabels(const std::vector<EndLabel>& labels, const Plot& p, double gap) {
    const std::vector<double> at = spreadLabels(labels, gap, p.top + 6, p.top + p.height);
    const double right = p.left + p.width;
    std::string out;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (!std::isfinite(labels[i].y)) continue;
        out += fmt::format(
            "<line x1=\"{0}\" y1=\"{1:.2f}\" x2=\"{2}\" y2=\"{3:.2f}\" stroke=\"{4}\" "
            "stroke-width=\"0.6\"/><text class=\"end-label\" x=\"{5}\" y=\"{6:.2f}\" "
            "fill=\"{4}\">{7}</text>\n",
            right + 2, labels[i].y, right + 14, at[i], labels[i].colour, right + 17, at[i] + 4,
            escape(labels[i].text));
    }
    return out;
}

}  // namespace varnel::tool::svg
