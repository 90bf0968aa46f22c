#include "tools/svg_support.h"

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

}  // namespace varnel::tool::svg
