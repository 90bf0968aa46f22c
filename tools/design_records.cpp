#include "tools/design_records.h"

#include <cstring>
#include <stdexcept>

#include "design/input_checks.h"
#include "tools/library_tables.h"
#include "tools/tool_error.h"

namespace varnel::tool {

static_assert(sizeof(::LineAttrib) == sizeof(varnel::LineAttrib));
static_assert(sizeof(::WeatherCondition) == sizeof(varnel::WeatherCondition));

DesignRecords::DesignRecords(const Design& design) {
    std::memcpy(&conductor_, design.conductor, sizeof conductor_);
    const std::size_t n = conditionCount(*design.area);
    storage_.resize(n);
    if (n > 0) std::memcpy(storage_.data(), design.area->conditions.first, n * sizeof storage_[0]);
    conditions_.first = storage_.data();
    conditions_.last = storage_.data() + n;
    conditions_.endOfStorage = conditions_.last;
}

void checkDesign(const Design& design, const DesignOptions& o) {
    const DesignRecords records(design);
    try {
        design::checkConductor(records.conductor());
    } catch (const std::invalid_argument& e) {
        throw ToolError(o.conductorsPath + ": conductor " + nameOf(design.conductor->name) + ": " +
                        e.what());
    }
    try {
        design::checkConditions(records.conditions());
        (void)design::findAnnualAverage(records.conditions());
    } catch (const std::invalid_argument& e) {
        throw ToolError(o.areasPath + ": area " + nameOf(design.area->name) + ": " + e.what());
    }
}

}  // namespace varnel::tool
