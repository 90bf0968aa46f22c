#include "tools/stringing_chart.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "tools/number_options.h"
#include "tools/svg_support.h"

namespace varnel::tool {

namespace {
constexpr double kWidth = 900, kHeight = 560;
constexpr double kLeft = 80, kRight = 190, kTop = 78, kBottom = 60;
}  // namespace

std::string stringingSvg(const std::string& conductorName,
                         const std::vector<design::StringingRow>& rows,
                         const std::vector<design::SpanGeometry>& spans, double compensation,
                         double rulingSpan) {
    using svg::escape;
    const std::string caption =
        fmt::format("ruling span {:.2f} m; no wind, no ice; ", rulingSpan) +
        (compensation > 0 ? fmt::format("initial elongation compensated: strung as at {} \u00B0C "
                                        "lower than the temperature of the day",
                                        shortNumber(compensation))
                          : std::string("no compensation for initial elongation"));
    std::string out = fmt::format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{0}\" height=\"{1}\" "
        "viewBox=\"0 0 {0} {1}\" font-family=\"sans-serif\" font-size=\"12\">\n"
        "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        "<text x=\"{2}\" y=\"24\" font-size=\"16\">{3}: stringing chart, sag to set by the "
        "temperature of the day</text>\n"
        "<text class=\"caption\" x=\"{2}\" y=\"44\" font-size=\"11\" fill=\"#444\">{4}</text>\n",
        kWidth, kHeight, kLeft, escape(conductorName), escape(caption));

    const double tLo = rows.empty() ? 0 : rows.front().temperature;
    double tHi = rows.empty() ? 1 : rows.back().temperature;
    if (!(tHi > tLo)) tHi = tLo + 1;
    double hi = 0;
    for (const auto& r : rows) {
        for (double f : r.sag) {
            if (std::isfinite(f)) hi = std::max(hi, f);
        }
    }
    if (!(hi > 0)) hi = 1;
    const double step = svg::tickStep(0, hi);
    hi = std::ceil(hi * 1.04 / step) * step;
    const double plotWidth = kWidth - kLeft - kRight;
    const double plotHeight = kHeight - kTop - kBottom;
    auto x = [&](double t) { return kLeft + (t - tLo) / (tHi - tLo) * plotWidth; };
    auto y = [&](double f) { return kTop + plotHeight - f / hi * plotHeight; };

    out += fmt::format(
        "<line x1=\"{0}\" y1=\"{1}\" x2=\"{0}\" y2=\"{2}\" stroke=\"black\"/>\n"
        "<line x1=\"{0}\" y1=\"{2}\" x2=\"{3}\" y2=\"{2}\" stroke=\"black\"/>\n",
        kLeft, kTop, kTop + plotHeight, kLeft + plotWidth);
    for (const double v : svg::roundTicks(0, hi)) {
        out += fmt::format(
            "<line x1=\"{0}\" y1=\"{1:.2f}\" x2=\"{2}\" y2=\"{1:.2f}\" stroke=\"#ddd\"/>"
            "<text x=\"{3}\" y=\"{4:.2f}\" text-anchor=\"end\">{5:g}</text>\n",
            kLeft, y(v), kLeft + plotWidth, kLeft - 6, y(v) + 4, v);
    }
    for (const double t : svg::ticksFrom(tLo, tHi)) {
        out += fmt::format(
            "<line x1=\"{0:.2f}\" y1=\"{1}\" x2=\"{0:.2f}\" y2=\"{2}\" stroke=\"#ddd\"/>"
            "<text x=\"{0:.2f}\" y=\"{3}\" text-anchor=\"middle\">{4:g}</text>\n",
            x(t), kTop, kTop + plotHeight, kTop + plotHeight + 18, t);
    }
    out += fmt::format(
        "<text x=\"{}\" y=\"{}\" text-anchor=\"middle\">temperature of the day (\u00B0C)</text>\n"
        "<text transform=\"translate({} {}) rotate(-90)\" text-anchor=\"middle\">sag at "
        "mid-span (m)</text>\n",
        kLeft + plotWidth / 2, kTop + plotHeight + 40, kLeft - 50, kTop + plotHeight / 2);

    std::vector<svg::EndLabel> ends;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        std::string path;
        double lastY = NAN;
        for (const auto& r : rows) {
            if (i >= r.sag.size() || !std::isfinite(r.sag[i])) continue;
            path += fmt::format("{}{:.2f},{:.2f}", path.empty() ? "M" : " L", x(r.temperature),
                                y(r.sag[i]));
            lastY = y(r.sag[i]);
        }
        const char* dash = svg::dashes(i);
        out += fmt::format(
            "<path class=\"curve\" data-span=\"{}\" d=\"{}\" fill=\"none\" stroke=\"{}\" "
            "stroke-width=\"1.5\"{}/>\n",
            i + 1, path, svg::colour(i),
            *dash ? fmt::format(" stroke-dasharray=\"{}\"", dash) : "");
        ends.push_back(
            {lastY,
             fmt::format("span {}: {} m{}", i + 1, shortNumber(spans[i].length),
                         spans[i].heightDifference != 0
                             ? fmt::format(", h {}", shortNumber(spans[i].heightDifference))
                             : ""),
             svg::colour(i)});
    }
    const std::vector<double> at = svg::spreadLabels(ends, 13, kTop + 6, kTop + plotHeight);
    for (std::size_t i = 0; i < ends.size(); ++i) {
        if (!std::isfinite(ends[i].y)) continue;
        out += fmt::format(
            "<line x1=\"{0}\" y1=\"{1:.2f}\" x2=\"{2}\" y2=\"{3:.2f}\" stroke=\"{4}\" "
            "stroke-width=\"0.6\"/><text class=\"end-label\" x=\"{5}\" y=\"{6:.2f}\" "
            "fill=\"{4}\">{7}</text>\n",
            kLeft + plotWidth + 2, ends[i].y, kLeft + plotWidth + 14, at[i], ends[i].colour,
            kLeft + plotWidth + 17, at[i] + 4, escape(ends[i].text));
    }
    out += "</svg>\n";
    return out;
}

}  // namespace varnel::tool
