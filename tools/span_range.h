// The spans of a sag table, FROM:TO:STEP in metres.
#pragma once

#include <cstddef>
#include <string>

namespace varnel::tool {

struct SpanRange {
    // The most rows a table may have.
    static constexpr std::size_t kMaxRows = 10'000'000;

    double from = 0;
    double step = 1;
    std::size_t count = 0;  // at least 1
    int decimals = 0;       // shown after the point: as many as FROM and STEP were written with

    double at(std::size_t i) const { return from + step * static_cast<double>(i); }
    std::string format(double span) const;
};

// Throws UsageError "--spans TEXT: reason" unless TEXT is FROM:TO:STEP with finite numbers,
// 0 <= FROM <= TO, STEP > 0 large enough that every step gives a larger span, and at most
// kMaxRows spans. TO is included when it lies on a step (to within a billionth of one).
SpanRange parseSpanRange(const std::string& text);

}  // namespace varnel::tool
