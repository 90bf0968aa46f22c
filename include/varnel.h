/*
 * varnel.h: public interface of the Varnel line design library.
 *
 * Calculation routines for the mechanical design of overhead transmission lines: wind
 * coefficients, specific loads, the conductor state equation, the search for the controlling
 * weather condition of a span, and wind loads on a pole body, a conductor and an insulator string.
 *
 * Plain C99; usable from C++. On 32-bit Windows the library is varnel.dll and every function uses
 * the standard calling convention (__stdcall) with an undecorated name; the 64-bit varnel.dll
 * exports the same undecorated names in the one x64 calling convention. The records below are
 * read and written in place by host and library: their layouts (32-bit ints, doubles on 8-byte
 * boundaries, pointers of 4 bytes on 32-bit Windows and 8 bytes on 64-bit systems) are part of
 * the interface and must not be changed.
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
    double windSpeed;    /* design wind speed, m/s; the wind loads on a support take the basic
                            wind pressure as windSpeed² / 1600 kN/m², the specific load (CalcBZ) as
                            windSpeed² / 16 kgf/m², that is windSpeed² × 9.80665 / 16000 kN/m² */
    double temperature;  /* air temperature, °C */
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
 * A sequence of weather conditions, 16 bytes (32 with 8-byte pointers): a tag byte with no
 * content, then pointers to the first element, one past the last and the end of the reserved
 * storage. The count is (last - first), and 0 whenever first is null. The library only reads
 * sequences a host passes in.
 */
typedef struct WeatherConditionSeq {
    unsigned char allocatorTag;
    WeatherCondition* first;
    WeatherCondition* last;
    WeatherCondition* end;
} WeatherConditionSeq;

/* ---- Design data libraries ----
 *
 * Five module-wide libraries, each a sequence of records that the host reads in place. A library
 * is empty when the module is loaded and released when it is unloaded; the address that its
 * Get...Lib function returns never changes. A load appends the rows of one table (all of them or
 * none: a load that fails leaves the library as it was) and may move the records, so a pointer
 * into a library stays valid only until the next load or clear of that library. Paths are
 * NUL-terminated byte strings in the platform's encoding (the ANSI code page, GBK, on Windows;
 * UTF-8 on Linux); ".dbf" is supplied when the path has no extension, and only a regular file is
 * read. Tables are dBASE III (0x03) or Visual FoxPro (0x30) files, every field 1 to 255 bytes
 * wide; columns are taken by position. Texts are copied
 * as GBK bytes, cut at a character boundary when longer than their field. Numbers are read as the
 * longest decimal prefix of the cell, the same in every locale: 0 when there is none, infinity or
 * 0 beyond the range of a double; whole-number fields take the integer prefix, clamped to the
 * range of int.
 */

/* One weather area and its conditions. 40 bytes (56 with 8-byte pointers). The area owns its
 * condition storage, sized to exactly its conditions (end == last). */
typedef struct WeatherArea {
    char name[24]; /* GBK, at most 23 bytes and a NUL */
    WeatherConditionSeq conditions;
} WeatherArea;

typedef struct WeatherAreaSeq {
    unsigned char allocatorTag;
    WeatherArea* first;
    WeatherArea* last;
    WeatherArea* end;
} WeatherAreaSeq;

typedef struct LineAttribSeq {
    unsigned char allocatorTag;
    LineAttrib* first;
    LineAttrib* last;
    LineAttrib* end;
} LineAttribSeq;

/* One row of an HB line table (12 columns). 176 bytes. */
typedef struct HBLineAttrib {
    char name[32];     /* column 0, GBK, at most 31 bytes and a NUL */
    int column9Number; /* column 9 */
                       /* 4 bytes of alignment, zero */
    double column1Value;
    double column3Value;
    double column2Value;
    double column5Value;
    double column6Value; /* column 6 × 1e-6 */
    double column8Value;
    double column11Value;
    double column4Value;
    double column7Value;
    char column10Text[64]; /* column 10, GBK, at most 63 bytes and a NUL */
} HBLineAttrib;

typedef struct HBLineAttribSeq {
    unsigned char allocatorTag;
    HBLineAttrib* first;
    HBLineAttrib* last;
    HBLineAttrib* end;
} HBLineAttribSeq;

/* One row of an insulator table (25 columns): columns 4 to 24, then 0 to 3. 288 bytes; the
 * 4-byte gaps after column6Number, column9Number, column13Number and column16Number are zero.
 * Texts are GBK with a NUL: at most 23 bytes (columns 5, 11, 18) or 51 bytes (column 24). */
typedef struct InsulatorAttrib {
    double column4Value;
    char column5Text[24];
    int column6Number;
    double column7Value;
    double column8Value;
    int column9Number;
    double column10Value;
    char column11Text[24];
    double column12Value;
    int column13Number;
    double column14Value;
    double column15Value;
    int column16Number;
    double column17Value;
    char column18Text[24];
    double column19Value;
    double column20Value;
    double column21Value;
    double column22Value;
    int column23Number;
    char column24Text[52];
    double column0Value;
    double column1Value;
    double column2Value;
    double column3Value;
} InsulatorAttrib;

typedef struct InsulatorAttribSeq {
    unsigned char allocatorTag;
    InsulatorAttrib* first;
    InsulatorAttrib* last;
    InsulatorAttrib* end;
} InsulatorAttribSeq;

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

/* ---- Weather areas: 15-column table, nine conditions per area ----
 * Columns: 0 name; temperatures (°C) 1 high, 2 low, 3 ice, 4 high wind, 5 installation,
 * 6 external overvoltage, 7 internal overvoltage; wind speeds (m/s) 8 high wind, 9 ice,
 * 10 installation, 11 external, 12 internal overvoltage; 13 ice thickness (mm); 14 annual average
 * temperature (°C). Conditions, in order: low temperature, high wind, annual average, ice, high
 * temperature, check (15 °C, calm), installation, external and internal overvoltage; named in
 * GBK Chinese (低温 大风 年平 覆冰 高温 校验 安装 外过 内过) or, when englishNames is non-zero,
 * "Lowest Temp", "Max. wind vel", "Avg. ann", "Thickest ice", "Max. Temp", "Checkout", "Setting",
 * "L.O", "S.O". Only 年平 is recognised as the annual average condition by StateEquationGetControl.
 * Returns 1 when every row was appended (also for a table without rows), 0 otherwise. */
int VARNEL_CALL LoadWeatherAreaFromDBF(const char* path, int englishNames);
const WeatherAreaSeq* VARNEL_CALL GetWeatherAreaLib(void);
void VARNEL_CALL ClearWeatherAreaLib(void); /* releases every area's conditions; keeps storage */

/* ---- Load-case weather areas: 10-column table, six conditions per area ----
 * Columns: 0 name; temperatures 1 low, 2 high wind, 3 annual average, 4 ice, 5 installation;
 * wind speeds 6 high wind, 7 ice, 8 installation; 9 ice thickness. Conditions: low
 * temperature, high wind, annual average, ice, check, installation. A library of its own,
 * independent of the weather area library. */
int VARNEL_CALL LoadHZWeatherAreaFromDBF(const char* path, int englishNames);
const WeatherAreaSeq* VARNEL_CALL GetHZWeatherAreaLib(void);
void VARNEL_CALL ClearHZWeatherAreaLib(void);

/* ---- Conductors: 11-column table, one LineAttrib per row ----
 * Columns: 0 name, 1 area, 2 diameter, 3 unit mass, 4 column4Value, 5 elastic modulus,
 * 6 expansion coefficient in 1e-6/°C (stored × 1e-6), 7 column7Value, 8 rated strength,
 * 9 column9Number (whole number), 10 column10Text. */
int VARNEL_CALL LoadLineAttribFromDBF(const char* path);
const LineAttribSeq* VARNEL_CALL GetLineAttribLib(void);
void VARNEL_CALL ClearLineAttribLib(void);

/* ---- HB lines: 12-column table, one HBLineAttrib per row ---- */
int VARNEL_CALL LoadHBLineAttribFromDBF(const char* path);
const HBLineAttribSeq* VARNEL_CALL GetHBLineAttribLib(void);
void VARNEL_CALL ClearHBLineAttribLib(void);

/* ---- Insulators: 25-column table, one InsulatorAttrib per row ---- */
int VARNEL_CALL LoadInsulatorAttribFromDBF(const char* path);
const InsulatorAttribSeq* VARNEL_CALL GetInsulatorAttribLib(void);
void VARNEL_CALL ClearInsulatorAttribLib(void);

#ifdef __cplusplus
}
#endif

#endif /* VARNEL_H */
