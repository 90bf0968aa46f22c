/*
 * A host of the Varnel library, written as a design application would use it through varnel.h
 * alone: a conductor and a weather area of nine design conditions filled in code, the specific
 * load in each condition, the controlling-condition search for a level span, the stress in every
 * condition from the controlling one, and the wind loads on a support.
 *
 * The library's account of the search is GBK text (code page 936); pipe the output through
 * `iconv -f GBK -t UTF-8` on a UTF-8 terminal.
 */
#include <stdio.h>
#include <string.h>

#include "varnel.h"

enum { kConditions = 9 };

/* The condition names as the weather area library gives them (GBK), and English labels. */
static const char* const kNames[kConditions] = {
    "\xB5\xCD\xCE\xC2", /* 低温 */
    "\xB4\xF3\xB7\xE7", /* 大风 */
    "\xC4\xEA\xC6\xBD", /* 年平 */
    "\xB8\xB2\xB1\xF9", /* 覆冰 */
    "\xB8\xDF\xCE\xC2", /* 高温 */
    "\xD0\xA3\xD1\xE9", /* 校验 */
    "\xB0\xB2\xD7\xB0", /* 安装 */
    "\xCD\xE2\xB9\xFD", /* 外过 */
    "\xC4\xDA\xB9\xFD", /* 内过 */
};
static const char* const kLabels[kConditions] = {
    "lowest temperature", "maximum wind",         "annual average",
    "thickest ice",       "maximum temperature",  "check",
    "installation",       "external overvoltage", "internal overvoltage"};

/* ice (mm), wind (m/s), temperature (°C) of each condition */
static const double kWeather[kConditions][3] = {{0, 0, -10},  {0, 27, -5}, {0, 0, 15},
                                                {10, 10, -5}, {0, 0, 40},  {0, 0, 15},
                                                {0, 10, -5},  {0, 10, 15}, {0, 15, 15}};

int main(void) {
    const double span = 300.0; /* m, level */
    const double cosAngle = 1.0;
    const double avgRatio = 0.25; /* fraction of the strength allowed at the annual average */
    const double strengthFactor = 0.95;
    const double safetyFactor = 2.5;

    WeatherCondition conditions[kConditions];
    WeatherConditionSeq area;
    LineAttrib conductor;
    int i;
    int control;
    double controlStress;
    double force = 0.0;
    double moment = 0.0;

    memset(&conductor, 0, sizeof conductor);
    strcpy(conductor.name, "JL/G1A-240/30");
    conductor.area = 275.96;
    conductor.diameter = 21.6;
    conductor.unitMass = 922.2;
    conductor.elasticModulus = 73000.0;
    conductor.expansionCoeff = 19.6e-6;
    conductor.ratedStrength = 75190.0;

    memset(conditions, 0, sizeof conditions);
    for (i = 0; i < kConditions; ++i) {
        strcpy(conditions[i].name, kNames[i]);
        conditions[i].iceThickness = kWeather[i][0];
        conditions[i].windSpeed = kWeather[i][1];
        conditions[i].temperature = kWeather[i][2];
    }
    memset(&area, 0, sizeof area);
    area.first = conditions;
    area.last = conditions + kConditions;
    area.end = conditions + kConditions;

    printf(
        "Conductor %s: area %.2f mm2, diameter %.1f mm, %.1f kg/km, E %.0f N/mm2, "
        "expansion %.1fe-6 /C, rated strength %.0f N\n\n",
        conductor.name, conductor.area, conductor.diameter, conductor.unitMass,
        conductor.elasticModulus, conductor.expansionCoeff * 1e6, conductor.ratedStrength);

    printf("%-22s %8s %8s %8s %16s\n", "condition", "ice mm", "wind m/s", "temp C",
           "load N/(m.mm2)");
    for (i = 0; i < kConditions; ++i) {
        printf("%-22s %8.1f %8.1f %8.1f %16.6e\n", kLabels[i], conditions[i].iceThickness,
               conditions[i].windSpeed, conditions[i].temperature,
               CalcBZ(&conditions[i], &conductor));
    }

    printf("\nControlling-condition search, %.0f m level span:\n", span);
    fflush(stdout);
    control = StateEquationGetControl(span, cosAngle, avgRatio, &conductor, &area, strengthFactor,
                                      safetyFactor);
    fflush(stdout);
    if (control < 0) {
        printf("No condition qualifies as controlling.\n");
        return 1;
    }
    controlStress = strcmp(conditions[control].name, kNames[2]) == 0
                        ? avgRatio * conductor.ratedStrength * strengthFactor / conductor.area
                        : strengthFactor * conductor.ratedStrength / safetyFactor / conductor.area;
    printf("Controlling condition: %s (index %d), strung to %.3f N/mm2\n\n", kLabels[control],
           control, controlStress);

    printf("%-22s %14s\n", "condition", "stress N/mm2");
    for (i = 0; i < kConditions; ++i) {
        double stress = 0.0;
        if (!StateEquationGetForce(span, cosAngle, &conductor, &conditions[control], &conditions[i],
                                   controlStress, &stress)) {
            printf("%-22s %14s\n", kLabels[i], "not a number");
            continue;
        }
        printf("%-22s %14.3f\n", kLabels[i], stress);
    }

    printf("\nWind loads in the maximum wind condition (%.0f m/s):\n", conditions[1].windSpeed);
    CPBodyWindHZ(&conditions[1], 190.0, 12.0, 0.075, 0.0, &force, &moment);
    printf("  12 m pole, 190 mm top, taper 1/75: force %.6f kN, moment %.6f kN.m\n", force, moment);
    printf("  300 m of conductor at 15 m, wind across: %.6f kN\n",
           CPLineWindHZ(&conditions[1], &conductor, span, 15.0, 90.0));
    printf("  insulator string at 15 m, 0.25 m2: %.6f kN\n",
           CPInsuWindHZ(&conditions[1], 15.0, 0.25));
    return 0;
}
