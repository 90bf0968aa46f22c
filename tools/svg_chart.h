// The mechanical characteristic curves of a conductor as SVG: stress against span and sag
// against span, one line per condition, with the spans where the controlling condition changes
// marked.
#pragma once

#include <string>
#include <vector>

#include "tools/span_analysis.h"

namespace varnel::tool {

std::string sagTableSvg(const std::string& title, const std::vector<std::string>& conditionNames,
                        const std::vector<SpanState>& spans);

}  // namespace varnel::tool
