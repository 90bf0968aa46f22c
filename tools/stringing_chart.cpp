#include "tools/stringing_chart.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "tools/number_options.h"
#include "tools/svg_support.h"

namespace varnel::tool {

namespace {
constexpr double kWidth = 940, kHeight = 560;
constexpr double kLeft = 80, kRight = 250, kTop = 78, kBottom = 60;
}  // namespace

std::string stringingSvg(const std::string& conductorName,
                         const std::vector<design::StringingRow>& rows,
                         const std::vector<design::SpanGeometry>& spans, double compensation,
                         double rulingSpan, std::string_view model) {
    using svg::escape;
    const std::string caption =
        fmt::format(
            "model: {}; ruling span {:.2f} m; no wind, no ice; \u0394h: far support above near; ",
            model == "catenary" ? "catenary, largest sags" : "parabola", rulingSpan) +
        (compensation > 0 ? fmt::format("strung as at {} \u00B0C lower, for initial elongation",
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

    double tLo = rows.empty() ? 0 : rows.front().temperature;
    double tHi = rows.empty() ? 1 : rows.back().temperature;
    svg::widen(tLo, tHi);
    double hi = 0;
    for (const auto& r : rows) {
        for (double f : r.sag) {
            if (std::isfinite(f)) hi = std::max(hi, f);
        }
    }
    hi = svg::roundedTop(hi);
    const double plotWidth = kWidth - kLeft - kRight;
    const double plotHeight = kHeight - kTop - kBottom;
    const svg::Plot plot{kLeft, kTop, plotWidth, plotHeight, tLo, tHi, 0, hi};
    auto x = [&](double t) { return plot.x(t); };
    auto y = [&](double f) { return plot.y(f); };
    out += svg::axes(plot, "temperature of the day (\u00B0C)",
                     model == "catenary" ? "largest sag (m)" : "sag at mid-span (m)");

    std::vector<svg::EndLabel> ends;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        std::string path;
        double lastX = NAN, lastY = NAN;
        std::size_t points = 0;
        for (const auto& r : rows) {
            if (i >= r.sag.size() || !std::isfinite(r.sag[i])) continue;
            path += fmt::format("{}{:.2f},{:.2f}", path.empty() ? "M" : " L", x(r.temperature),
                                y(r.sag[i]));
            lastX = x(r.temperature);
            lastY = y(r.sag[i]);
            ++points;
        }
        const char* dash = svg::dashes(i);
        out += fmt::format(
            "<path class=\"curve\" data-span=\"{}\" d=\"{}\" fill=\"none\" stroke=\"{}\" "
            "stroke-width=\"1.5\"{}/>\n",
            i + 1, path, svg::colour(i),
            *dash ? fmt::format(" stroke-dasharray=\"{}\"", dash) : "");
        // One temperature gives each span a point, not a line.
        if (points == 1) {
            out += fmt::format(
                "<circle class=\"point\" cx=\"{:.2f}\" cy=\"{:.2f}\" r=\"3\" fill=\"{}\"/>\n",
                lastX, lastY, svg::colour(i));
        }
        ends.push_back({lastY,
                        fmt::format("span {}: {} m{}", i + 1, shortNumber(spans[i].length),
                                    spans[i].heightDifference != 0
                                        ? fmt::format(", \u0394h = {} m",
                                                      shortNumber(spans[i].heightDifference))
                                        : ""),
                        svg::colour(i), dash});
    }
    out += svg::endLabels(ends, plot, 13);
    out += "</svg>\n";
    return out;
}

}  // namespace varnel::tool
