// Design records shared by the calculations and the libraries, in the byte layout the host reads
// in place. Pointer-free records keep their layout on every platform; the layouts that hold
// pointers are binding in the Windows builds, with 4-byte pointers on 32 bits and 8-byte ones on
// 64 bits (where they are the same as in the 64-bit Linux build).
#pragma once

#include <cstddef>

#include "calc/records/sequence.h"

namespace varnel {

struct WeatherCondition {
    char name[24];        // GBK, NUL-terminated
    double iceThickness;  // mm
    double windSpeed;     // m/s
    double temperature;   // °C
};

struct LineAttrib {
    char name[32];          // GBK, NUL-terminated
    double area;            // mm²
    double diameter;        // mm
    double unitMass;        // kg/km
    double column4Value;    // carried for the host
    double elasticModulus;  // N/mm²
    double expansionCoeff;  // 1/°C
    double column7Value;    // carried for the host
    double ratedStrength;   // N
    int column9Number;      // carried for the host
    char column10Text[68];  // GBK, NUL-terminated, carried for the host
};

using WeatherConditionSeq = Sequence<WeatherCondition>;

static_assert(offsetof(WeatherCondition, name) == 0);
static_assert(offsetof(WeatherCondition, iceThickness) == 24);
static_assert(offsetof(WeatherCondition, windSpeed) == 32);
static_assert(offsetof(WeatherCondition, temperature) == 40);
static_assert(sizeof(WeatherCondition) == 48);

static_assert(offsetof(LineAttrib, name) == 0);
static_assert(offsetof(LineAttrib, area) == 32);
static_assert(offsetof(LineAttrib, diameter) == 40);
static_assert(offsetof(LineAttrib, unitMass) == 48);
static_assert(offsetof(LineAttrib, column4Value) == 56);
static_assert(offsetof(LineAttrib, elasticModulus) == 64);
static_assert(offsetof(LineAttrib, expansionCoeff) == 72);
static_assert(offsetof(LineAttrib, column7Value) == 80);
static_assert(offsetof(LineAttrib, ratedStrength) == 88);
static_assert(offsetof(LineAttrib, column9Number) == 96);
static_assert(offsetof(LineAttrib, column10Text) == 100);
static_assert(sizeof(LineAttrib) == 168);

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(WeatherConditionSeq, allocatorTag) == 0);
static_assert(offsetof(WeatherConditionSeq, first) == 4);
static_assert(offsetof(WeatherConditionSeq, last) == 8);
static_assert(offsetof(WeatherConditionSeq, endOfStorage) == 12);
static_assert(sizeof(WeatherConditionSeq) == 16);
#elif defined(_WIN64) || defined(__LP64__)
// The tag byte is followed by 7 bytes of padding so that the 8-byte pointers are aligned.
static_assert(offsetof(WeatherConditionSeq, allocatorTag) == 0);
static_assert(offsetof(WeatherConditionSeq, first) == 8);
static_assert(offsetof(WeatherConditionSeq, last) == 16);
static_assert(offsetof(WeatherConditionSeq, endOfStorage) == 24);
static_assert(sizeof(WeatherConditionSeq) == 32);
#endif

}  // namespace varnel
