// The stringing chart as SVG: the sag to set each span to, against the temperature of the day.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "design/strain_section.h"
#include "tools/chart_language.h"

namespace varnel::tool {

std::string stringingSvg(const std::string& conductorName,
                         const std::vector<design::StringingRow>& rows,
                         const std::vector<design::SpanGeometry>& spans, double compensation,
                         double rulingSpan, std::string_view model,
                         ChartLanguage language = ChartLanguage::en);

}  // namespace varnel::tool
