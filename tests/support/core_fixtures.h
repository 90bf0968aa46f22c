// Records of the calculation core (namespace varnel) for tests and benchmarks that call the core
// or the design layer directly; support/fixtures.h has the public header's.
#pragma once

#include <vector>

#include "calc/records/records.h"
#include "support/record_values.h"

namespace varnel::test {

inline WeatherCondition coreCondition(const char* name, double ice, double wind,
                                      double temperature) {
    return conditionOf<WeatherCondition>(name, ice, wind, temperature);
}

inline LineAttrib coreJlg1a240() {
    return jlg1a240Of<LineAttrib>();
}

// Conditions held in a vector, with a sequence that views them (and owns nothing).
struct ConditionList {
    std::vector<WeatherCondition> list;
    WeatherConditionSeq seq{};

    explicit ConditionList(std::vector<WeatherCondition> conditions) : list(std::move(conditions)) {
        seq.first = list.data();
        seq.last = seq.endOfStorage = list.data() + list.size();
    }
    ConditionList(const ConditionList&) = delete;
    ConditionList& operator=(const ConditionList&) = delete;
};

// The nine conditions of the typical weather area VI, in the weather area table's order.
inline std::vector<WeatherCondition> areaSixConditions() {
    return {coreCondition("\xB5\xCD\xCE\xC2", 0, 0, -20),    // 低温
            coreCondition("\xB4\xF3\xB7\xE7", 0, 23.5, -5),  // 大风
            coreCondition("\xC4\xEA\xC6\xBD", 0, 0, 10),     // 年平
            coreCondition("\xB8\xB2\xB1\xF9", 10, 10, -5),   // 覆冰
            coreCondition("\xB8\xDF\xCE\xC2", 0, 0, 40),     // 高温
            coreCondition("\xD0\xA3\xD1\xE9", 0, 0, 15),     // 校验
            coreCondition("\xB0\xB2\xD7\xB0", 0, 10, -10),   // 安装
            coreCondition("\xCD\xE2\xB9\xFD", 0, 10, 15),    // 外过
            coreCondition("\xC4\xDA\xB9\xFD", 0, 15, 10)};   // 内过
}

}  // namespace varnel::test
