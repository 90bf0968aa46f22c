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
                         double rulingSpan, std::string_view model, ChartLanguage language) {
    using svg::escape;
    const bool zh = language == ChartLanguage::zh;
    const bool catenary = model == "catenary";
    std::string caption;
    if (zh) {
        // 模型：悬链线，取最大弧垂；代表档距 … m；无风无冰；Δh：远端悬挂点高于近端为正；
        caption = fmt::format(
            "\u6A21\u578B\uFF1A{}\uFF1B\u4EE3\u8868\u6863\u8DDD {:.2f} m\uFF1B\u65E0\u98CE"
            "\u65E0\u51B0\uFF1B\u0394h\uFF1A\u8FDC\u7AEF\u60AC\u6302\u70B9\u9AD8\u4E8E"
            "\u8FD1\u7AEF\u4E3A\u6B63\uFF1B",
            catenary ? "\u60AC\u94FE\u7EBF\uFF0C\u53D6\u6700\u5927\u5F27\u5782"
                     : chartModelName(language, "parabola"),
            rulingSpan);
        // 按降低 … °C 架线，补偿初伸长 / 未补偿初伸长
        caption += compensation > 0 ? fmt::format(
                                          "\u6309\u964D\u4F4E {} \u00B0C \u67B6\u7EBF\uFF0C\u8865"
                                          "\u507F\u521D\u4F38\u957F",
                                          shortNumber(compensation))
                                    : std::string("\u672A\u8865\u507F\u521D\u4F38\u957F");
    } else {
        caption =
            fmt::format(
                "model: {}; ruling span {:.2f} m; no wind, no ice; \u0394h: far support above "
                "near; ",
                catenary ? "catenary, largest sags" : "parabola", rulingSpan) +
            (compensation > 0 ? fmt::format("strung as at {} \u00B0C lower, for initial elongation",
                                            shortNumber(compensation))
                              : std::string("no compensation for initial elongation"));
    }
    // 架线弧垂曲线：按架线时气温取弧垂
    const std::string title =
        zh ? fmt::format(
                 "{}\uFF1A\u67B6\u7EBF\u5F27\u5782\u66F2\u7EBF\uFF0C\u6309\u67B6"
                 "\u7EBF\u65F6\u6C14\u6E29\u53D6\u5F27\u5782",
                 conductorName)
           : fmt::format("{}: stringing chart, sag to set by the temperature of the day",
                         conductorName);
    std::string out = fmt::format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{0}\" height=\"{1}\" "
        "viewBox=\"0 0 {0} {1}\" font-family=\"sans-serif\" font-size=\"12\">\n"
        "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        "<text x=\"{2}\" y=\"24\" font-size=\"16\">{3}</text>\n"
        "<text class=\"caption\" x=\"{2}\" y=\"44\" font-size=\"11\" fill=\"#444\">{4}</text>\n",
        kWidth, kHeight, kLeft, escape(title), escape(caption));

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
    out += svg::axes(
        plot,
        pick(language, "temperature of the day (\u00B0C)",
             "\u67B6\u7EBF\u65F6\u6C14\u6E29 (\u00B0C)"),  // 架线时气温
        catenary ? pick(language, "largest sag (m)", "\u6700\u5927\u5F27\u5782 (m)")  // 最大弧垂
                 : pick(language, "sag at mid-span (m)",
                        "\u6863\u8DDD\u4E2D\u70B9\u5F27\u5782 (m)"));  // 档距中点弧垂

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
                        fmt::format(fmt::runtime(zh ? "\u7B2C {} \u6863\uFF1A{} m{}"  // 第 … 档
                                                    : "span {}: {} m{}"),
                                    i + 1, shortNumber(spans[i].length),
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
