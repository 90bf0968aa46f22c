/*
 * varnel.h: public interface of the Varnel line design library.
 *
 * Calculation routines for the mechanical design of overhead transmission lines: wind
 * coefficients, specific loads, the conductor state equation, the search for the controlling
 * weather condition of a span, and wind loads on a pole body, a conductor and an insulator string.
 *
 * Plain C99; usable from C++. On 32-bit Windows the library is varnel.dll and every function uses
 * the standard calling convention (__stdcall) with an undecorated name. The records below are
 * read and written in place by host and library: their layouts (32-bit pointers and ints,
 * doubles on 8-byte boundaries) are part of the interface and must not be changed.
 *
 * Units: diameters and ice thickness in mm, areas in mm², unit mass in kg/km, modulus and stresses
 * in N/mm², strength in N, specific loads in N/(m·mm²), lengths and heights in m, wind speed in
 * m/s, wind pressure in kN/m², loads in kN, moments in kN·m, temperatures in °C, angles in degrees.
 *
 * Texts are NUL-terminated GBK (code page 936) byte strings and are never converted.
 */
#ifndef VARNEL_H
#define VARNEL_H

#include <stdbool.h>

#if defined(_WIN32) && !defined(_WIN64)
#define VARNEL_CALL __stdcall
#else
#define VARNEL_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One design weather condition of a weather area. 48 bytes. */
typedef struct WeatherCondition {
    char name[24]; /* GBK, at most 23 bytes and a NUL; "\xC4\xEA\xC6\xBD" (年平) is the annual
                      average condition, the only name the calculations recognise */
    double iceThickness; /* radial ice thickness, mm; 0 without ice */
    double windSpeed; /* design wind speed, m/s; basic wind pressure is windSpeed² / 1600 kN/m² */
    double temperature; /* air temperature, °C */
} WeatherCondition;

/* Attributes of one conductor type. 168 bytes, no padding. */
typedef struct LineAttrib {
    char name[32];         /* type designation, GBK, at most 31 bytes and a NUL */
    double area;           /* cross-sectional area, mm² */
    double diameter;       /* outer diameter, mm */
    double unitMass;       /* mass per length, kg/km */
    double column4Value;   /* carried from the conductor table for the host */
    double elasticModulus; /* modulus of elasticity, N/mm² */
    double expansionCoeff; /* coefficient of linear expansion, 1/°C (not 1e-6/°C) */
    double column7Value;   /* carried from the conductor table for the host */
    double ratedStrength;  /* rated tensile strength, N */
    int column9Number;     /* carried from the conductor table for the host */
    char
        column10Text[68]; /* carried from the conductor table for the host; GBK, at most 67 bytes */
} LineAttrib;

/*
 * A sequence of weather conditions, 16 bytes: a tag byte with no content, then pointers to the
 * first element, one past the last and the end of the reserved storage. The count is
 * (last - first), and 0 whenever first is null. The library only reads sequences a host passes in.
 */
typedef struct WeatherConditionSeq {
    unsigned char allocatorTag;
    WeatherCondition* first;
    WeatherCondition* last;
    WeatherCondition* end;
} WeatherConditionSeq;

/* ---- Wind coefficients (dimensionless) ---- */

/* Wind pressure non-uniformity coefficient of a span: 1.0 below 20 m/s, 0.85 below 30, 0.75 below
 * 35, 0.7 from 35 m/s; times 1.5 when the ice is 20 mm or thicker. */
double VARNEL_CALL CalcWindAsymmetryCoff(double windSpeed, double iceThickness);

/* Shape coefficient of a conductor of the given diameter (mm) and ice thickness (mm): 1.2 when
 * iced (|ice| >= 1e-6 mm) or thinner than 17 mm, else 1.1. */
double VARNEL_CALL CalcLineShapeCoff(double diameter, double iceThickness);

/* Shape coefficient of a ring-section pole from the product of the basic wind pressure (kN/m²)
 * and the square of the pole diameter (m²): 1.2 up to 0.002, 0.7 from 0.015, linear between. */
double VARNEL_CALL CalcRingStickShapeCoff(double pressureTimesDiameterSquared);

/* Wind pressure height variation coefficient at a height above ground (m) for terrain class
 * 'A'..'D' (case-insensitive; any other letter counts as 'B'). groupSelector picks the table:
 * <= 66 normalised to 10 m (classes A-D), 67..499 to 15 m, >= 500 to 20 m (classes A-C).
 * Interpolated linearly between 10 and 450 m, held at the end values outside. */
double VARNEL_CALL CalcWindHeightChangeCoff(double height, char terrainClass, int groupSelector);

/* ---- Specific load ---- */

/* Resultant specific load of a conductor in a weather condition, N/(m·mm²): own weight and ice
 * weight combined with the wind on the iced conductor, divided by the area. NaN for a null
 * pointer. */
double VARNEL_CALL CalcBZ(const WeatherCondition* condition, const LineAttrib* conductor);

/* ---- State equation ---- */

/*
 * Horizontal stress (N/mm²) of a conductor in soughtCondition, given its stress knownStress
 * (N/mm²) in knownCondition, for a span of the given length (m) and height-difference angle
 * cosine (1 for a level span). The stress is written through `stress` and the result is true
 * when it is a finite number; false when it is not (the value is still written) or when any
 * pointer is null (nothing is written then).
 */
bool VARNEL_CALL StateEquationGetForce(double span, double cosAngle, const LineAttrib* conductor,
                                       const WeatherCondition* knownCondition,
                                       const WeatherCondition* soughtCondition, double knownStress,
                                       double* stress);

/*
 * Controlling weather condition of a span: tries each condition in order as the one strung to
 * its allowable stress and returns the index of the first that keeps every other condition
 * within its limit, or -1 (empty sequence, no condition qualifies, or a null pointer).
 * Normal allowable stress: strengthFactor * ratedStrength / safetyFactor / area; annual average
 * allowable stress: avgStressRatio * ratedStrength * strengthFactor / area. Writes an account of
 * the search, in GBK, to the process's standard output.
 */
int VARNEL_CALL StateEquationGetControl(double span, double cosAngle, double avgStressRatio,
                                        const LineAttrib* conductor,
                                        const WeatherConditionSeq* conditions,
                                        double strengthFactor, double safetyFactor);

/* ---- Wind loads on a support ---- */

/*
 * Wind force (kN) on a tapered ring-section pole body and its moment about the ground (kN·m).
 * topDiameter in mm; topHeight and bottomHeight above ground in m; the diameter grows by
 * (length in m) / taper mm downwards. Summed over 100 equal segments. A null condition gives NaN
 * in each output; a null output is skipped.
 */
void VARNEL_CALL CPBodyWindHZ(const WeatherCondition* condition, double topDiameter,
                              double topHeight, double taper, double bottomHeight, double* force,
                              double* moment);

/* Wind load (kN) on a length (m) of conductor at a height above ground (m), with the wind at
 * windAngle degrees to the conductor. NaN for a null pointer. */
double VARNEL_CALL CPLineWindHZ(const WeatherCondition* condition, const LineAttrib* conductor,
                                double span, double height, double windAngle);

/* Wind load (kN) on an insulator string at a height above ground (m) with a wind-exposed area
 * (m²). NaN for a null condition. */
double VARNEL_CALL CPInsuWindHZ(const WeatherCondition* condition, double height, double area);

#ifdef __cplusplus
}
#endif

#endif /* VARNEL_H */
