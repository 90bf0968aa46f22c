#include "tools/design_records.h"

#include <cstring>

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

}  // namespace varnel::tool
