#include "tools/span_range.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "tools/design_inputs.h"
#include "tools/number_options.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

// Digits after the point of a number as typed; 6 for one in exponent form.
int decimalsOf(const std::string& text) {
    if (text.find_first_of("eE") != std::string::npos) return 6;
    const std::size_t point = text.find('.');
    if (point == std::string::npos) return 0;
    return static_cast<int>(std::min<std::size_t>(text.size() - point - 1, 9));
}

}  // namespace

std::string SpanRange::format(double span) const {
    return number(span, decimals);
}

SpanRange parseSteppedRange(const std::string& option, const std::string& text,
                            const StepLimits& limits) {
    const auto fail = [&](const std::string& why) {
        return UsageError(option + " " + text + ": " + why);
    };
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t colon; (colon = text.find(':', start)) != std::string::npos;
         start = colon + 1) {
        parts.push_back(text.substr(start, colon - start));
    }
    parts.push_back(text.substr(start));
    if (parts.size() != 3) throw fail("expected FROM:TO:STEP");
    double values[3];
    const char* names[] = {"FROM", "TO", "STEP"};
    for (std::size_t k = 0; k < 3; ++k) {
        try {
            values[k] = parseNumber(names[k], parts[k], kAnyNumber);
        } catch (const UsageError&) {
            throw fail("\"" + parts[k] + "\" is not a finite number");
        }
    }
    const double from = values[0], to = values[1], step = values[2];
    for (std::size_t k = 0; k < 2; ++k) {
        try {
            parseNumber(names[k], parts[k], limits.bounds);
        } catch (const UsageError& e) {
            throw fail(e.what());  // FROM: "-1000" must be at least -100
        }
    }
    if (to < from) throw fail("TO is below FROM");
    if (!(step > 0)) throw fail("STEP must be above 0");

    const double rows = std::floor((to - from) / step + 1e-9) + 1;
    if (!(rows <= static_cast<double>(limits.maxRows))) {
        throw fail(fmt::format("more than {} {}s", limits.maxRows, limits.noun));
    }
    SpanRange range;
    range.from = from;
    range.step = step;
    range.count = static_cast<std::size_t>(rows);
    // The spacing of doubles is widest at the value farthest from 0: a step of more than twice it
    // there gives every row a value of its own.
    const double last = range.at(range.count - 1);
    const double wide = std::max(std::fabs(from), std::fabs(last));
    const double spacing = std::nextafter(wide, std::numeric_limits<double>::infinity()) - wide;
    if (!(step > 2 * spacing)) {
        throw fail(fmt::format("a step of {} does not change a {} of {}", shortNumber(step),
                               limits.noun, shortNumber(last)));
    }
    range.decimals = std::max(decimalsOf(parts[0]), decimalsOf(parts[2]));
    return range;
}

SpanRange parseSpanRange(const std::string& text) {
    return parseSteppedRange("--spans", text, {kNonNegative, SpanRange::kMaxRows, "span"});
}

}  // namespace varnel::tool
