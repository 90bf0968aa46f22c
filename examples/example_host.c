/*
 * A host of the Varnel library, written as a design application would use it through varnel.h
 * alone. It loads a weather area table and a conductor table, picks an area and a conductor by
 * name, and walks the usual road: the specific load in each condition, the controlling-condition
 * search for a level span, the stress in every condition from the controlling one, and the wind
 * loads on a support.
 *
 *   example_host WEATHER_AREAS.dbf CONDUCTORS.dbf
 *
 * Texts in the tables and the library's account of the search are GBK (code page 936); pipe the
 * output through `iconv -f GBK -t UTF-8` on a UTF-8 terminal.
 */
#include <stdio.h>
#include <string.h>

#include "varnel.h"

static const char kAreaName[] =
    "\xB5\xE4\xD0\xCD\xC6\xF8\xCF\xF3\xC7\xF8\xA2\xF3"; /* 典型气象区Ⅲ */
static const char kConductorName[] = "JL/G1A-240/30";
static const char kAnnualAverage[] = "\xC4\xEA\xC6\xBD"; /* 年平 */

static const WeatherArea* findArea(const WeatherAreaSeq* areas, const char* name) {
    const WeatherArea* a;
    if (areas->first == NULL) return NULL;
    for (a = areas->first; a != areas->last; ++a) {
        if (strcmp(a->name, name) == 0) return a;
    }
    return NULL;
}

static const LineAttrib* findConductor(const LineAttribSeq* conductors, const char* name) {
    const LineAttrib* c;
    if (conductors->first == NULL) return NULL;
    for (c = conductors->first; c != conductors->last; ++c) {
        if (strcmp(c->name, name) == 0) return c;
    }
    return NULL;
}

int main(int argc, char** argv) {
    const double span = 300.0; /* m, level */
    const double cosAngle = 1.0;
    const double avgRatio = 0.25; /* fraction of the strength allowed at the annual average */
    const double strengthFactor = 0.95;
    const double safetyFactor = 2.5;

    const WeatherArea* area;
    const LineAttrib* conductor;
    const WeatherCondition* conditions;
    int n;
    int i;
    int control;
    double controlStress;
    double force = 0.0;
    double moment = 0.0;

    if (argc != 3) {
        fprintf(stderr, "usage: %s WEATHER_AREAS.dbf CONDUCTORS.dbf\n", argv[0]);
        return 2;
    }
    if (LoadWeatherAreaFromDBF(argv[1], 0) != 1) {
        fprintf(stderr, "%s: not a weather area table\n", argv[1]);
        return 1;
    }
    if (LoadLineAttribFromDBF(argv[2]) != 1) {
        fprintf(stderr, "%s: not a conductor table\n", argv[2]);
        return 1;
    }
    area = findArea(GetWeatherAreaLib(), kAreaName);
    conductor = findConductor(GetLineAttribLib(), kConductorName);
    if (area == NULL || conductor == NULL) {
        fprintf(stderr, "weather area or conductor not in the tables\n");
        return 1;
    }
    conditions = area->conditions.first;
    n = (int)(area->conditions.last - area->conditions.first);

    printf("Weather area %s, %d conditions\n", area->name, n);
    printf(
        "Conductor %s: area %.2f mm2, diameter %.2f mm, %.1f kg/km, E %.0f N/mm2, "
        "expansion %.1fe-6 /C, rated strength %.0f N\n\n",
        conductor->name, conductor->area, conductor->diameter, conductor->unitMass,
        conductor->elasticModulus, conductor->expansionCoeff * 1e6, conductor->ratedStrength);

    printf("%-12s %8s %8s %8s %16s\n", "condition", "ice mm", "wind m/s", "temp C",
           "load N/(m.mm2)");
    for (i = 0; i < n; ++i) {
        printf("%-12s %8.1f %8.2f %8.1f %16.6e\n", conditions[i].name, conditions[i].iceThickness,
               conditions[i].windSpeed, conditions[i].temperature,
               CalcBZ(&conditions[i], conductor));
    }

    printf("\nControlling-condition search, %.0f m level span:\n", span);
    fflush(stdout);
    control = StateEquationGetControl(span, cosAngle, avgRatio, conductor, &area->conditions,
                                      strengthFactor, safetyFactor);
    fflush(stdout);
    if (control < 0) {
        printf("No condition qualifies as controlling.\n");
        return 1;
    }
    /* The controlling condition is strung to its allowable stress. */
    controlStress =
        strcmp(conditions[control].name, kAnnualAverage) == 0
            ? avgRatio * conductor->ratedStrength * strengthFactor / conductor->area
            : strengthFactor * conductor->ratedStrength / safetyFactor / conductor->area;
    printf("Controlling condition: %s (index %d), strung to %.3f N/mm2\n\n",
           conditions[control].name, control, controlStress);

    printf("%-12s %14s\n", "condition", "stress N/mm2");
    for (i = 0; i < n; ++i) {
        double stress = 0.0;
        if (!StateEquationGetForce(span, cosAngle, conductor, &conditions[control], &conditions[i],
                                   controlStress, &stress)) {
            printf("%-12s %14s\n", conditions[i].name, "not a number");
            continue;
        }
        printf("%-12s %14.3f\n", conditions[i].name, stress);
    }

    /* The high wind condition is the second of an area. */
    printf("\nWind loads in %s (%.1f m/s):\n", conditions[1].name, conditions[1].windSpeed);
    CPBodyWindHZ(&conditions[1], 190.0, 12.0, 0.075, 0.0, &force, &moment);
    printf("  12 m pole, 190 mm top, taper 1/75: force %.6f kN, moment %.6f kN.m\n", force, moment);
    printf("  %.0f m of conductor at 15 m, wind across: %.6f kN\n", span,
           CPLineWindHZ(&conditions[1], conductor, span, 15.0, 90.0));
    printf("  insulator string at 15 m, 0.25 m2: %.6f kN\n",
           CPInsuWindHZ(&conditions[1], 15.0, 0.25));

    ClearWeatherAreaLib();
    ClearLineAttribLib();
    return 0;
}
