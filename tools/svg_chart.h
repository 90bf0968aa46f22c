// The mechanical characteristic curves of a conductor as SVG: stress against span and sag
// against span, one line per condition, with the allowable stresses, the critical spans where
// the controlling condition changes and the name of the condition that controls each range.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/chart_language.h"
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

// The spans one condition controls, cut to the table's range: from `from` to `to`, m (equal for
// a table of one span). The critical spans are the `from` of every range after the first.
struct ControlledRange {
    double from, to;        // m
    std::string condition;  // its name; empty where no condition qualifies
};

struct SagChart {
    std::string title;
    std::string caption;  // the design factors
    std::vector<std::string> conditionNames;
    double normalLimit;                   // N/mm², drawn across the stress panel
    double averageLimit;                  // N/mm²
    std::vector<ControlledRange> ranges;  // in order of span
    ChartLanguage language = ChartLanguage::en;
};

std::string sagTableSvg(const SagChart& chart, const ChartSampler& samples);

}  // namespace varnel::tool
