/*
 * Prints the size of every record and sequence in varnel.h and the offset of each of its fields,
 * and width, as the C compiler lays them out, one per line:
 *
 *   WeatherCondition size 48
 *   WeatherCondition.iceThickness 24 8
 *
 * The C# kit's test compares these with its own declarations, so both sides are measured.
 */
#include <stddef.h>
#include <stdio.h>

#include "varnel.h"

#define SIZE(type) printf("%s size %u\n", #type, (unsigned)sizeof(type))
#define FIELD(type, field)                                                  \
    printf("%s.%s %u %u\n", #type, #field, (unsigned)offsetof(type, field), \
           (unsigned)sizeof(((type*)0)->field))
#define SEQUENCE(type)         \
    SIZE(type);                \
    FIELD(type, allocatorTag); \
    FIELD(type, first);        \
    FIELD(type, last);         \
    FIELD(type, end)

int main(void) {
    SIZE(WeatherCondition);
    FIELD(WeatherCondition, name);
    FIELD(WeatherCondition, iceThickness);
    FIELD(WeatherCondition, windSpeed);
    FIELD(WeatherCondition, temperature);

    SIZE(LineAttrib);
    FIELD(LineAttrib, name);
    FIELD(LineAttrib, area);
    FIELD(LineAttrib, diameter);
    FIELD(LineAttrib, unitMass);
    FIELD(LineAttrib, column4Value);
    FIELD(LineAttrib, elasticModulus);
    FIELD(LineAttrib, expansionCoeff);
    FIELD(LineAttrib, column7Value);
    FIELD(LineAttrib, ratedStrength);
    FIELD(LineAttrib, column9Number);
    FIELD(LineAttrib, column10Text);

    SIZE(WeatherArea);
    FIELD(WeatherArea, name);
    FIELD(WeatherArea, conditions);

    SIZE(HBLineAttrib);
    FIELD(HBLineAttrib, name);
    FIELD(HBLineAttrib, column9Number);
    FIELD(HBLineAttrib, column1Value);
    FIELD(HBLineAttrib, column3Value);
    FIELD(HBLineAttrib, column2Value);
    FIELD(HBLineAttrib, column5Value);
    FIELD(HBLineAttrib, column6Value);
    FIELD(HBLineAttrib, column8Value);
    FIELD(HBLineAttrib, column11Value);
    FIELD(HBLineAttrib, column4Value);
    FIELD(HBLineAttrib, column7Value);
    FIELD(HBLineAttrib, column10Text);

    SIZE(InsulatorAttrib);
    FIELD(InsulatorAttrib, column4Value);
    FIELD(InsulatorAttrib, column5Text);
    FIELD(InsulatorAttrib, column6Number);
    FIELD(InsulatorAttrib, column7Value);
    FIELD(InsulatorAttrib, column8Value);
    FIELD(InsulatorAttrib, column9Number);
    FIELD(InsulatorAttrib, column10Value);
    FIELD(InsulatorAttrib, column11Text);
    FIELD(InsulatorAttrib, column12Value);
    FIELD(InsulatorAttrib, column13Number);
    FIELD(InsulatorAttrib, column14Value);
    FIELD(InsulatorAttrib, column15Value);
    FIELD(InsulatorAttrib, column16Number);
    FIELD(InsulatorAttrib, column17Value);
    FIELD(InsulatorAttrib, column18Text);
    FIELD(InsulatorAttrib, column19Value);
    FIELD(InsulatorAttrib, column20Value);
    FIELD(InsulatorAttrib, column21Value);
    FIELD(InsulatorAttrib, column22Value);
    FIELD(InsulatorAttrib, column23Number);
    FIELD(InsulatorAttrib, column24Text);
    FIELD(InsulatorAttrib, column0Value);
    FIELD(InsulatorAttrib, column1Value);
    FIELD(InsulatorAttrib, column2Value);
    FIELD(InsulatorAttrib, column3Value);

    SEQUENCE(WeatherConditionSeq);
    SEQUENCE(WeatherAreaSeq);
    SEQUENCE(LineAttribSeq);
    SEQUENCE(HBLineAttribSeq);
    SEQUENCE(InsulatorAttribSeq);
    return 0;
}
