// The mechanical characteristic curves of a conductor as SVG: stress against span and sag
// against span, one line per condition, with the spans where the controlling condition changes
// marked.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/span_analysis.h"

namespace varnel::tool {

// A change of the controlling condition between two neighbouring spans of the table.
struct ControlChange {
    double before;  // the last span with the old controlling condition, m
    double after;   // the first span with the new one, m
    int control;    // the new controlling condition, -1 when none qualifies
};

// What the chart draws of a table of any length: at most kMaxPoints spans per curve, evenly
// taken with the first and the last, and every change of the controlling condition (up to
// kMaxChanges of them), however few spans are drawn.
class ChartSampler {
  public:
    static constexpr std::size_t kMaxPoints = 2000;
    static constexpr std::size_t kMaxChanges = 200;

    explicit ChartSampler(std::size_t spanCount);
    // Offers span `index` of the table (in order, each once).
    void add(std::size_t index, const SpanState& state);

    const std::vector<SpanState>& samples() const { return samples_; }
    const std::vector<ControlChange>& changes() const { return changes_; }
    std::size_t changesLeftOut() const { return changesLeftOut_; }

  private:
    std::size_t count_;
    std::size_t stride_;
    std::vector<SpanState> samples_;
    std::vector<ControlChange> changes_;
    std::size_t changesLeftOut_ = 0;
    bool havePrevious_ = false;
    double previousSpan_ = 0;
    int previousControl_ = -1;
};

std::string sagTableSvg(const std::string& title, const std::vector<std::string>& conditionNames,
                        const ChartSampler& chart);

}  // namespace varnel::tool
