// Evenly stepped values given on the command line as FROM:TO:STEP: the spans of a sag table (m)
// and the temperatures of a stringing table (°C).
#pragma once

#include <cstddef>
#include <string>

#include "tools/number_options.h"

namespace varnel::tool {

struct SpanRange {
    // The most rows a sag table may have.
    static constexpr std::size_t kMaxRows = 10'000'000;

    double from = 0;
    double step = 1;
    std::size_t count = 0;  // at least 1
    int decimals = 0;       // shown after the point: as many as FROM and STEP were written with

    // The design layer steps its temperatures the same way, so a value made here equals the one
    // it makes for the same row, bit for bit.
    double at(std::size_t i) const { return from + step * static_cast<double>(i); }
    std::string format(double value) const;
};

struct StepLimits {
    Bounds bounds;        // of FROM and TO
    std::size_t maxRows;  // the most values
    const char* noun;     // one value, in messages: "span", "temperature"
};

// Throws UsageError "OPTION TEXT: reason" unless TEXT is FROM:TO:STEP with FROM and TO within
// the bounds, FROM <= TO, STEP > 0 large enough that every step gives a larger value, and at most
// maxRows values. TO is included when it lies on a step (to within a billionth of one), as
// floor((TO - FROM) / STEP + 1e-9) + 1 counts them.
SpanRange parseSteppedRange(const std::string& option, const std::string& text,
                            const StepLimits& limits);

// --spans: spans of 0 m and more, at most SpanRange::kMaxRows of them.
SpanRange parseSpanRange(const std::string& text);

}  // namespace varnel::tool
