// What the command's charts share: text escaping, round tick values, the colours and dash
// patterns that tell curves apart, and labels at the ends of curves kept clear of each other.
#pragma once

#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::tool::svg {

// Text for an XML text node or attribute value: the markup characters as entities, and what
// XML 1.0 cannot hold at all replaced by U+FFFD.
std::string escape(std::string_view text);

// A step of 1, 2 or 5 × 10^k giving about five ticks over [lo, hi].
double tickStep(double lo, double hi);

// Tick values over [lo, hi]: `lo` itself, then the round multiples of the step above it that
// stand clear of it, a bounded number of them; where the doubles cannot tell ticks apart (a range
// far narrower than its magnitude), the two ends.
std::vector<double> ticksFrom(double lo, double hi);

// The round multiples of the step over [lo, hi], for an axis that starts at a round value.
std::vector<double> roundTicks(double lo, double hi);

const char* colour(std::size_t i);
// A stroke-dasharray value ("" for a solid line): with the colours, curves are told apart in
// print too, and no two of the first hundred look alike.
const char* dashes(std::size_t i);

// Makes [lo, hi] an axis the doubles can draw: a single value, or two too close for their size
// to be told apart, get a margin each side; values that are not finite give [0, 1].
void widen(double& lo, double& hi);

// The top of an axis from 0 that holds `hi` with a little room: a round multiple of its tick
// step, or `hi` itself where that multiple would overflow.
double roundedTop(double hi);

struct EndLabel {
    double y;  // where the curve ends
    std::string text;
    const char* colour;
    const char* dash = "";  // the curve's, shown in a sample of it beside the text
};
// The labels' heights: each as near its curve's end as it can be with `gap` between
// neighbours, within [top, bottom].
std::vector<double> spreadLabels(const std::vector<EndLabel>& labels, double gap, double top,
                                 double bottom);

// About how wide a text is drawn in a sans-serif face, px: East Asian characters take a square,
// others a little over half of one.
double textWidth(std::string_view utf8, double fontSize);

// A plotting area and the values its edges stand for.
struct Plot {
    double left, top, width, height;  // px
    double xLo, xHi, yLo, yHi;
    double x(double v) const { return left + (v - xLo) / (xHi - xLo) * width; }
    double y(double v) const { return top + height - (v - yLo) / (yHi - yLo) * height; }
};

// The two axes, a light grid at round values up the side and from the first value along the
// bottom, the values, and the axes' labels.
std::string axes(const Plot& plot, const std::string& xLabel, const std::string& yLabel);

// The labels at the ends of the curves, spread clear of each other and each joined to its
// curve's end at x = plot.left + plot.width; each shows a sample of its curve's colour and dashes
// before its text, so that curves whose ends meet are still told apart.
std::string endLabels(const std::vector<EndLabel>& labels, const Plot& plot, double gap);

}  // namespace varnel::tool::svg
