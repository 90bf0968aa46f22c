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

    LAYOUT(HBLineAttrib, name, 0)
    LAYOUT(HBLineAttrib, column9Number, 32)
    LAYOUT(HBLineAttrib, column1Value, 40)
    LAYOUT(HBLineAttrib, column3Value, 48)
    LAYOUT(HBLineAttrib, column2Value, 56)
    LAYOUT(HBLineAttrib, column5Value, 64)
    LAYOUT(HBLineAttrib, column6Value, 72)
    LAYOUT(HBLineAttrib, column8Value, 80)
    LAYOUT(HBLineAttrib, column11Value, 88)
    LAYOUT(HBLineAttrib, column4Value, 96)
    LAYOUT(HBLineAttrib, column7Value, 104)
    LAYOUT(HBLineAttrib, column10Text, 112)
    if (sizeof(HBLineAttrib) != 176) failures++;

    LAYOUT(InsulatorAttrib, column4Value, 0)
    LAYOUT(InsulatorAttrib, column5Text, 8)
    LAYOUT(InsulatorAttrib, column6Number, 32)
    LAYOUT(InsulatorAttrib, column7Value, 40)
    LAYOUT(InsulatorAttrib, column8Value, 48)
    LAYOUT(InsulatorAttrib, column9Number, 56)
    LAYOUT(InsulatorAttrib, column10Value, 64)
    LAYOUT(InsulatorAttrib, column11Text, 72)
    LAYOUT(InsulatorAttrib, column12Value, 96)
    LAYOUT(InsulatorAttrib, column13Number, 104)
    LAYOUT(InsulatorAttrib, column14Value, 112)
    LAYOUT(InsulatorAttrib, column15Value, 120)
    LAYOUT(InsulatorAttrib, column16Number, 128)
    LAYOUT(InsulatorAttrib, column17Value, 136)
    LAYOUT(InsulatorAttrib, column18Text, 144)
    LAYOUT(InsulatorAttrib, column19Value, 168)
    LAYOUT(InsulatorAttrib, column20Value, 176)
    LAYOUT(InsulatorAttrib, column21Value, 184)
    LAYOUT(InsulatorAttrib, column22Value, 192)
    LAYOUT(InsulatorAttrib, column23Number, 200)
    LAYOUT(InsulatorAttrib, column24Text, 204)
    LAYOUT(InsulatorAttrib, column0Value, 256)
    LAYOUT(InsulatorAttrib, column1Value, 264)
    LAYOUT(InsulatorAttrib, column2Value, 272)
    LAYOUT(InsulatorAttrib, column3Value, 280)
    if (sizeof(InsulatorAttrib) != 288) failures++;

#if defined(_WIN32) && !defined(_WIN64)
    LAYOUT(WeatherArea, name, 0)
    LAYOUT(WeatherArea, conditions.first, 28)
    LAYOUT(WeatherArea, conditions.last, 32)
    LAYOUT(WeatherArea, conditions.end, 36)
    if (sizeof(WeatherArea) != 40) failures++;
    if (sizeof(WeatherAreaSeq) != 16 || sizeof(LineAttribSeq) != 16 ||
        sizeof(HBLineAttribSeq) != 16 || sizeof(InsulatorAttribSeq) != 16) {
        failures++;
    }
    LAYOUT(WeatherConditionSeq, allocatorTag, 0)
    LAYOUT(WeatherConditionSeq, first, 4)
    LAYOUT(WeatherConditionSeq, last, 8)
    LAYOUT(WeatherConditionSeq, end, 12)
    if (sizeof(WeatherConditionSeq) != 16) failures++;
#elif defined(_WIN64) || defined(__LP64__)
    LAYOUT(WeatherArea, name, 0)
    LAYOUT(WeatherArea, conditions.first, 32)
    LAYOUT(WeatherArea, conditions.last, 40)
    LAYOUT(WeatherArea, conditions.end, 48)
    if (sizeof(WeatherArea) != 56) failures++;
    if (sizeof(WeatherAreaSeq) != 32 || sizeof(LineAttribSeq) != 32 ||
        sizeof(HBLineAttribSeq) != 32 || sizeof(InsulatorAttribSeq) != 32) {
        failures++;
    }
    LAYOUT(WeatherConditionSeq, allocatorTag, 0)
    LAYOUT(WeatherConditionSeq, first, 8)
    LAYOUT(WeatherConditionSeq, last, 16)
    LAYOUT(WeatherConditionSeq, end, 24)
    if (sizeof(WeatherConditionSeq) != 32) failures++;
#endif

    /* The libraries are empty and at fixed addresses when the module is loaded. */
    if (GetWeatherAreaLib() == NULL || GetWeatherAreaLib()->first != NULL ||
        GetWeatherAreaLib() == GetHZWeatherAreaLib() || GetLineAttribLib()->first != NULL) {
        failures++;
    }

    value = CalcBZ(&calm, &conductor);
    if (value - 0.0980665 > 1e-15 || 0.0980665 - value > 1e-15) {
        printf("CalcBZ gave %.17g\n", value);
        failures++;
    }
    printf("%d failures\n", failures);
    return failures == 0 ? 0 : 1;
}
