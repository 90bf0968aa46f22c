#include "design/condition_roles.h"

#include <cstring>

namespace varnel::design {

namespace {

constexpr const char* kSwingNames[] = {
    "\xB4\xF3\xB7\xE7",                  // 大风
    "\xCD\xE2\xB9\xFD",                  // 外过
    "\xC4\xDA\xB9\xFD",                  // 内过
    "\xB4\xF8\xB5\xE7\xD7\xF7\xD2\xB5",  // 带电作业
    "Max. wind vel",
    "L.O",
    "S.O",
};

bool namedForSwing(const WeatherCondition& c) {
    for (const char* name : kSwingNames) {
        if (std::strncmp(c.name, name, sizeof c.name) == 0) return true;
    }
    return false;
}

}  // namespace

std::vector<bool> swingConditions(const WeatherConditionSeq& conditions) {
    const std::size_t n = conditions.size();
    std::vector<bool> checked(n, false);
    bool named = false;
    for (std::size_t k = 0; k < n; ++k) {
        checked[k] = namedForSwing(conditions[k]);
        named = named || checked[k];
    }
    if (named) return checked;
    if (n == 9) {
        checked[1] = checked[7] = checked[8] = true;
    } else if (n == 6) {
        checked[1] = true;
    } else {
        for (std::size_t k = 0; k < n; ++k) checked[k] = conditions[k].windSpeed != 0;
    }
    return checked;
}

}  // namespace varnel::design
