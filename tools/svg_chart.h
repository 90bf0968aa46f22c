// The mechanical characteristic curves of a conductor as SVG: stress against span and sag
// against span, one line per condition, with the allowable stresses and the critical spans where
// the controlling condition changes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/span_analysis.h"

namespace varnel::tool {

// What the chart draws of a table of any length: at most kMaxPoints spans per curve, evenly
// taken with the first and the last.
class ChartSampler {
  public:
    static constexpr std::size_t kMaxPoints = 2000;

    explicit ChartSampler(std::size_t spanCount);
    // Offers span `index` of the table (in order, each once).
    void add(std::size_t index, const SpanState& state);
    const std::vector<SpanState>& samples() const { return samples_; }

  private:
    std::size_t count_;
    std::size_t stride_;
    std::vector<SpanState> samples_;
};

// A critical span inside the table's range: from it on, `condition` controls.
struct CriticalMark {
    double span;  // m
    std::string condition;
};

struct SagChart {
    std::string title;
    std::string caption;  // the design factors
    std::vector<std::string> conditionNames;
    double normalLimit;   // N/mm², drawn across the stress panel
    double averageLimit;  // N/mm²
    std::vector<CriticalMark> critical;
};

std::string sagTableSvg(const SagChart& chart, const ChartSampler& samples);

}  // namespace varnel::tool
