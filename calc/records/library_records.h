// Records of the design data libraries that the host reads in place: weather areas, HB line
// attributes and insulator attributes. Conductors use LineAttrib (records.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "calc/records/records.h"
#include "calc/records/sequence.h"

namespace varnel {

// A weather area owns the storage of its conditions.
struct WeatherArea {
    char name[24];  // GBK, NUL-terminated, zero-filled behind the NUL
    WeatherConditionSeq conditions;
};

// Appending an area stores a deep copy whose condition storage holds exactly its conditions;
// destroying it gives that storage back.
template <>
struct SequenceTraits<WeatherArea> {
    static void copy(WeatherArea* to, const WeatherArea& from) {
        WeatherArea area{};
        std::memcpy(area.name, from.name, sizeof area.name);
        try {
            area.conditions.reserveExact(from.conditions.size());
            for (const WeatherCondition& c : from.conditions) area.conditions.append(c);
        } catch (...) {
            area.conditions.release();
            throw;
        }
        *to = area;
    }
    static void destroy(WeatherArea& area) noexcept { area.conditions.release(); }
};

struct HBLineAttrib {
    char name[32];
    std::int32_t column9Number;
    // 4 bytes of alignment before the first double, zero in every loaded record
    double column1Value;
    double column3Value;
    double column2Value;
    double column5Value;
    double column6Value;  // table value × 1e-6
    double column8Value;
    double column11Value;
    double column4Value;
    double column7Value;
    char column10Text[64];
};

struct InsulatorAttrib {
    double column4Value;
    char column5Text[24];
    std::int32_t column6Number;
    double column7Value;
    double column8Value;
    std::int32_t column9Number;
    double column10Value;
    char column11Text[24];
    double column12Value;
    std::int32_t column13Number;
    double column14Value;
    double column15Value;
    std::int32_t column16Number;
    double column17Value;
    char column18Text[24];
    double column19Value;
    double column20Value;
    double column21Value;
    double column22Value;
    std::int32_t column23Number;
    char column24Text[52];
    double column0Value;
    double column1Value;
    double column2Value;
    double column3Value;
};

using WeatherAreaLib = Sequence<WeatherArea>;
using LineAttribLib = Sequence<LineAttrib>;
using HBLineAttribLib = Sequence<HBLineAttrib>;
using InsulatorAttribLib = Sequence<InsulatorAttrib>;

static_assert(offsetof(HBLineAttrib, name) == 0);
static_assert(offsetof(HBLineAttrib, column9Number) == 32);
static_assert(offsetof(HBLineAttrib, column1Value) == 40);
static_assert(offsetof(HBLineAttrib, column3Value) == 48);
static_assert(offsetof(HBLineAttrib, column2Value) == 56);
static_assert(offsetof(HBLineAttrib, column5Value) == 64);
static_assert(offsetof(HBLineAttrib, column6Value) == 72);
static_assert(offsetof(HBLineAttrib, column8Value) == 80);
static_assert(offsetof(HBLineAttrib, column11Value) == 88);
static_assert(offsetof(HBLineAttrib, column4Value) == 96);
static_assert(offsetof(HBLineAttrib, column7Value) == 104);
static_assert(offsetof(HBLineAttrib, column10Text) == 112);
static_assert(sizeof(HBLineAttrib) == 176);

static_assert(offsetof(InsulatorAttrib, column4Value) == 0);
static_assert(offsetof(InsulatorAttrib, column5Text) == 8);
static_assert(offsetof(InsulatorAttrib, column6Number) == 32);
static_assert(offsetof(InsulatorAttrib, column7Value) == 40);
static_assert(offsetof(InsulatorAttrib, column8Value) == 48);
static_assert(offsetof(InsulatorAttrib, column9Number) == 56);
static_assert(offsetof(InsulatorAttrib, column10Value) == 64);
static_assert(offsetof(InsulatorAttrib, column11Text) == 72);
static_assert(offsetof(InsulatorAttrib, column12Value) == 96);
static_assert(offsetof(InsulatorAttrib, column13Number) == 104);
static_assert(offsetof(InsulatorAttrib, column14Value) == 112);
static_assert(offsetof(InsulatorAttrib, column15Value) == 120);
static_assert(offsetof(InsulatorAttrib, column16Number) == 128);
static_assert(offsetof(InsulatorAttrib, column17Value) == 136);
static_assert(offsetof(InsulatorAttrib, column18Text) == 144);
static_assert(offsetof(InsulatorAttrib, column19Value) == 168);
static_assert(offsetof(InsulatorAttrib, column20Value) == 176);
static_assert(offsetof(InsulatorAttrib, column21Value) == 184);
static_assert(offsetof(InsulatorAttrib, column22Value) == 192);
static_assert(offsetof(InsulatorAttrib, column23Number) == 200);
static_assert(offsetof(InsulatorAttrib, column24Text) == 204);
static_assert(offsetof(InsulatorAttrib, column0Value) == 256);
static_assert(offsetof(InsulatorAttrib, column1Value) == 264);
static_assert(offsetof(InsulatorAttrib, column2Value) == 272);
static_assert(offsetof(InsulatorAttrib, column3Value) == 280);
static_assert(sizeof(InsulatorAttrib) == 288);

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(WeatherArea, name) == 0);
static_assert(offsetof(WeatherArea, conditions) == 24);
static_assert(offsetof(WeatherArea, conditions) + offsetof(WeatherConditionSeq, first) == 28);
static_assert(offsetof(WeatherArea, conditions) + offsetof(WeatherConditionSeq, last) == 32);
static_assert(offsetof(WeatherArea, conditions) + offsetof(WeatherConditionSeq, endOfStorage) ==
              36);
static_assert(sizeof(WeatherArea) == 40);
static_assert(sizeof(WeatherAreaLib) == 16);
static_assert(sizeof(LineAttribLib) == 16);
static_assert(sizeof(HBLineAttribLib) == 16);
static_assert(sizeof(InsulatorAttribLib) == 16);
#elif defined(_WIN64) || defined(__LP64__)
// 64-bit Windows (LLP64) and 64-bit Linux (LP64) lay these out alike: only pointers are wider.
static_assert(offsetof(WeatherArea, name) == 0);
static_assert(offsetof(WeatherArea, conditions) == 24);
static_assert(offsetof(WeatherArea, conditions) + offsetof(WeatherConditionSeq, first) == 32);
static_assert(offsetof(WeatherArea, conditions) + offsetof(WeatherConditionSeq, last) == 40);
static_assert(offsetof(WeatherArea, conditions) + offsetof(WeatherConditionSeq, endOfStorage) ==
              48);
static_assert(sizeof(WeatherArea) == 56);
static_assert(sizeof(WeatherAreaLib) == 32);
static_assert(sizeof(LineAttribLib) == 32);
static_assert(sizeof(HBLineAttribLib) == 32);
static_assert(sizeof(InsulatorAttribLib) == 32);
#endif

}  // namespace varnel
