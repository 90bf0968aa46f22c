/* The public header compiled as C99 with -pedantic -Werror, its layouts checked as a C host sees
 * them, and a call through it. */
#include <stddef.h>
#include <stdio.h>

#include "varnel.h"

#define LAYOUT(type, field, offset)                                                          \
    if (offsetof(type, field) != (offset)) {                                                 \
        printf("%s.%s at %u, expected %u\n", #type, #field, (unsigned)offsetof(type, field), \
               (unsigned)(offset));                                                          \
        failures++;                                                                          \
    }

int main(void) {
    int failures = 0;
    WeatherCondition calm = {"calm", 0.0, 0.0, 15.0};
    LineAttrib conductor = {"test",  100.0, 10.0,    1000.0, 0.0, 73000.0,
                            19.6e-6, 0.0,   75190.0, 0,      ""};
    double value;

    LAYOUT(WeatherCondition, name, 0)
    LAYOUT(WeatherCondition, iceThickness, 24)
    LAYOUT(WeatherCondition, windSpeed, 32)
    LAYOUT(WeatherCondition, temperature, 40)
    if (sizeof(WeatherCondition) != 48) failures++;

    LAYOUT(LineAttrib, name, 0)
    LAYOUT(LineAttrib, area, 32)
    LAYOUT(LineAttrib, diameter, 40)
    LAYOUT(LineAttrib, unitMass, 48)
    LAYOUT(LineAttrib, column4Value, 56)
    LAYOUT(LineAttrib, elasticModulus, 64)
    LAYOUT(LineAttrib, expansionCoeff, 72)
    LAYOUT(LineAttrib, column7Value, 80)
    LAYOUT(LineAttrib, ratedStrength, 88)
    LAYOUT(LineAttrib, column9Number, 96)
    LAYOUT(LineAttrib, column10Text, 100)
    if (sizeof(LineAttrib) != 168) failures++;

#if defined(_WIN32) && !defined(_WIN64)
    LAYOUT(WeatherConditionSeq, allocatorTag, 0)
    LAYOUT(WeatherConditionSeq, first, 4)
    LAYOUT(WeatherConditionSeq, last, 8)
    LAYOUT(WeatherConditionSeq, end, 12)
    if (sizeof(WeatherConditionSeq) != 16) failures++;
#endif

    value = CalcBZ(&calm, &conductor);
    if (value - 0.0980665 > 1e-15 || 0.0980665 - value > 1e-15) {
        printf("CalcBZ gave %.17g\n", value);
        failures++;
    }
    printf("%d failures\n", failures);
    return failures == 0 ? 0 : 1;
}
