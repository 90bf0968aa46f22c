#include "tools/svg_support.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string_view>
#include <utility>

#include "tools/encoding.h"

namespace varnel::tool::svg {

namespace {
constexpr const char* kColours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                                    "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};
// All different, so that a colour and a dash pattern together tell a hundred curves apart.
constexpr const char* kDashes[] = {"",    "6 3", "2 2",  "8 3 2 3", "12 3",
                                   "4 4", "1 3", "10 4", "6 2 2 2", "3 6"};
constexpr double kMaxTicks = 50;
}  // namespace

std::string escape(std::string_view text) {
    // What XML 1.0 cannot hold (control characters other than tab, line feed and carriage
    // return, bytes that are not UTF-8, surrogates, U+FFFE and U+FFFF) becomes U+FFFD, so that
    // a damaged name still leaves the file well-formed and shows where it was damaged.
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
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
                case '\'':
                    out += "&apos;";
                    break;
                default:
                    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                        out += kReplacement;
                    } else {
                        out += static_cast<char>(c);
                    }
            }
            ++i;
            continue;
        }
        // The lead byte gives the sequence's length and the smallest code point it may carry
        // (anything smaller is an overlong form).
        std::size_t length = 0;
        char32_t code = 0, least = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2, code = c & 0x1Fu, least = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3, code = c & 0x0Fu, least = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4, code = c & 0x07u, least = 0x10000;
        } else {
            out += kReplacement;
            ++i;
            continue;
        }
        std::size_t k = 1;
        for (; k < length && i + k < text.size(); ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0u) != 0x80u) break;
            code = (code << 6) | (d & 0x3Fu);
        }
        const bool whole = k == length;
        const bool allowed = whole && code >= least && code <= 0x10FFFF &&
                             !(code >= 0xD800 && code <= 0xDFFF) && code != 0xFFFE &&
                             code != 0xFFFF;
        if (allowed) {
            out += text.substr(i, length);
        } else {
            out += kReplacement;
        }
        i += k;  // a cut sequence is one replacement; the byte that cut it starts afresh
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
        // Counted, not run up to `last`: beyond 2^53 adding 1 to a double leaves it as it was.
        const auto count = static_cast<int>(last - first) + 1;
        for (int k = 0; k < count; ++k) {
            const double v = (first + k) * step;
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
    // Shifted by one at each round of the colours: curve i and curve i + 10 share a colour but
    // not a pattern.
    return kDashes[(i + i / std::size(kColours)) % std::size(kDashes)];
}

void widen(double& lo, double& hi) {
    if (!std::isfinite(lo) || !std::isfinite(hi)) {
        lo = 0, hi = 1;
        return;
    }
    if (hi > lo && std::isfinite(hi - lo)) return;
    if (hi < lo) std::swap(lo, hi);
    // A single value (or two the doubles cannot tell apart at that size) stands in the middle.
    const double margin = std::max(1.0, std::max(std::abs(lo), std::abs(hi)) * 0.05);
    lo -= margin;
    hi += margin;
}

double roundedTop(double hi) {
    if (!(hi > 0) || !std::isfinite(hi)) return 1;
    const double step = tickStep(0, hi);
    const double top = std::ceil(hi * 1.04 / step) * step;
    return std::isfinite(top) && top > hi ? top : hi;
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
        const char* dash = labels[i].dash != nullptr ? labels[i].dash : "";
        out += fmt::format(
            "<line x1=\"{0}\" y1=\"{1:.2f}\" x2=\"{2}\" y2=\"{3:.2f}\" stroke=\"{4}\" "
            "stroke-width=\"0.6\"/><line class=\"swatch\" x1=\"{2}\" y1=\"{3:.2f}\" "
            "x2=\"{5}\" y2=\"{3:.2f}\" stroke=\"{4}\" stroke-width=\"1.5\"{6}/>"
            "<text class=\"end-label\" x=\"{7}\" y=\"{8:.2f}\" fill=\"{4}\">{9}</text>\n",
            right + 2, labels[i].y, right + 14, at[i], labels[i].colour, right + 34,
            *dash ? fmt::format(" stroke-dasharray=\"{}\"", dash) : "", right + 38, at[i] + 4,
            escape(labels[i].text));
    }
    return out;
}

double textWidth(std::string_view utf8, double fontSize) {
    std::size_t characters = 0;
    for (char c : utf8) characters += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
    const std::size_t columns = displayWidth(utf8);
    const std::size_t wide = columns > characters ? columns - characters : 0;
    return (static_cast<double>(wide) + 0.6 * static_cast<double>(characters - wide)) * fontSize;
}

}  // namespace varnel::tool::svg
