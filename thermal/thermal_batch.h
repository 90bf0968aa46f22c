// Many cases of the heat balance in one call: every input a column that either holds one value
// for all the rows or one value per row, as a year of hourly weather does. A row that has no
// answer (an input out of range, a current no temperature holds) is reported with its reason and
// leaves NaN in the outputs; the other rows are solved all the same.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "thermal/thermal_rating.h"

namespace varnel::thermal {

// One value for every row (size 1) or one per row (the batch's size).
struct Column {
    const double* values = nullptr;
    std::size_t size = 0;
    double operator[](std::size_t row) const { return values[size == 1 ? 0 : row]; }
};

// The inputs by column, in the library's units (m, Ω/m, °C, degrees, W/m²).
struct BatchInputs {
    Column value;  // the current, A (a temperature) or the maximum temperature, °C (an ampacity)
    Column ambient;
    Column windSpeed;
    // Either the angle between the wind and the line, or the direction the wind blows from
    // (degrees clockwise from north) with the line's azimuth: `windDirection.size` 0 for the
    // first.
    Column windAngle;
    Column windDirection;
    Column lineAzimuth;  // also the sun's
    Column elevation;
    bool sunPosition = false;  // the sun from the position, else `irradiance` square on the line
    Column irradiance;
    Column latitude;
    Column day;  // whole days of the year
    Column hour;
    Atmosphere atmosphere = Atmosphere::clear;
    Column albedo;
    // CIGRE's clearness ratio, each 0 to 1, when `clearnessGiven`; else the atmosphere's.
    bool clearnessGiven = false;
    Column clearness;
    Column emissivity;
    Column absorptivity;
    Column diameter;
    double strandDiameter = 0;
    Column t1, r1, t2, r2;  // the resistance's two points
    double coreDiameter = -1;
    double frequency = 50;
};

// Where the answers go: nine arrays of the batch's size, in HeatBalance's order.
struct BatchOutputs {
    double* temperature = nullptr;
    double* current = nullptr;
    double* resistance = nullptr;
    double* joule = nullptr;
    double* solar = nullptr;
    double* convection = nullptr;
    double* forced = nullptr;
    double* natural = nullptr;
    double* radiation = nullptr;
};

struct RowFailure {
    std::size_t row = 0;
    std::string reason;
};

enum class Solve { temperature, ampacity };

// The row's case as the scalar functions take it. Throws ThermalInputError for a day that is not
// a whole one or a wind direction that is not finite.
void batchCase(const BatchInputs& in, std::size_t row, Conductor& conductor, Weather& weather);

// Solves rows [0, rows). Every column must hold 1 or `rows` values (else std::invalid_argument).
// With `stopAtFailure` it returns at the first row without an answer; otherwise it fills that
// row with NaN and goes on. The failures, in row order.
std::vector<RowFailure> solveBatch(const BatchInputs& in, std::size_t rows, Solve solve,
                                   Model model, const BatchOutputs& out, bool stopAtFailure);

// The angle between a wind blowing from `direction` and a line of `azimuth` (both degrees
// clockwise from north), 0 to 180 as Weather::windAngle takes it.
double windAngleFromDirection(double direction, double azimuth);

}  // namespace varnel::thermal
