// The batch loop: each row is put together as the scalar functions take it and solved by them,
// so that a row of a batch and the same case alone agree to the bit.
#include "thermal/thermal_batch.h"

#include <cmath>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace varnel::thermal {

namespace {

std::string text(double value) {
    std::ostringstream s;
    s.precision(10);
    s << value;
    return s.str();
}

void requireRows(const Column& c, std::size_t rows, const char* name) {
    if (c.size != 1 && c.size != rows) {
        throw std::invalid_argument(std::string(name) + " holds " + std::to_string(c.size) +
                                    " values for " + std::to_string(rows) + " rows");
    }
}

}  // namespace

double windAngleFromDirection(double direction, double azimuth) {
    // The line has no sense of its own: a wind from its azimuth or from the opposite way runs
    // along it. Folded into [0, 180) the difference is the angle Weather takes.
    const double d = direction - azimuth;
    // A direction from 0 to 360 and an azimuth from 0 to 180 fall in the first three cases,
    // each what fmod gives there (d - 180 is exact from 180 to 360); fmod for the rest.
    if (d >= 0 && d < 180) return d;
    if (d < 0 && d > -180) return d + 180;
    if (d >= 180 && d < 360) return d - 180;
    const double r = std::fmod(d, 180.0);
    return r < 0 ? r + 180 : r;
}

void batchCase(const BatchInputs& in, std::size_t i, Conductor& c, Weather& w) {
    c.diameter = in.diameter[i];
    c.strandDiameter = in.strandDiameter;
    c.emissivity = in.emissivity[i];
    c.absorptivity = in.absorptivity[i];
    c.resistance = Resistance{in.t1[i], in.r1[i], in.t2[i], in.r2[i]};
    c.coreDiameter = in.coreDiameter;
    c.frequency = in.frequency;
    w.ambient = in.ambient[i];
    w.windSpeed = in.windSpeed[i];
    if (in.windDirection.size > 0) {
        const double direction = in.windDirection[i];
        const double azimuth = in.lineAzimuth[i];
        if (!(std::isfinite(direction) && std::isfinite(azimuth))) {
            throw ThermalInputError(
                "the wind's direction and the line's azimuth must be finite "
                "numbers of degrees");
        }
        w.windAngle = windAngleFromDirection(direction, azimuth);
    } else {
        w.windAngle = in.windAngle[i];
    }
    w.elevation = in.elevation[i];
    if (in.sunPosition) {
        const double day = in.day[i];
        if (!(day >= 1 && day <= 366 && day == std::floor(day))) {
            throw ThermalInputError("the day of the year must be a whole day from 1 to 366, not " +
                                    text(day));
        }
        w.sun.direct = false;
        w.sun.latitude = in.latitude[i];
        w.sun.day = static_cast<int>(day);
        w.sun.hour = in.hour[i];
        w.sun.lineAzimuth = in.lineAzimuth[i];
        w.sun.atmosphere = in.atmosphere;
        w.sun.albedo = in.albedo[i];
        w.sun.clearness = -1;
        if (in.clearnessGiven) {
            // Below 0 the library would take the atmosphere's: a given ratio is checked here.
            const double k = in.clearness[i];
            if (!(k >= 0 && k <= 1)) {
                throw ThermalInputError("the clearness ratio must be from 0 to 1, not " + text(k));
            }
            w.sun.clearness = k;
        }
    } else {
        w.sun = noSun();
        w.sun.irradiance = in.irradiance[i];
    }
}

std::vector<RowFailure> solveBatch(const BatchInputs& in, std::size_t rows, Solve solve,
                                   Model model, const BatchOutputs& out, bool stopAtFailure) {
    requireRows(in.value, rows, "the values");
    requireRows(in.ambient, rows, "the ambient");
    requireRows(in.windSpeed, rows, "the wind speed");
    if (in.windDirection.size > 0) {
        requireRows(in.windDirection, rows, "the wind's direction");
        requireRows(in.lineAzimuth, rows, "the line's azimuth");
    } else {
        requireRows(in.windAngle, rows, "the wind angle");
    }
    requireRows(in.elevation, rows, "the elevation");
    if (in.sunPosition) {
        for (const Column* c : {&in.latitude, &in.day, &in.hour, &in.lineAzimuth, &in.albedo}) {
            requireRows(*c, rows, "the sun's position");
        }
        if (in.clearnessGiven) requireRows(in.clearness, rows, "the clearness ratio");
    } else {
        requireRows(in.irradiance, rows, "the irradiance");
    }
    for (const Column* c :
         {&in.emissivity, &in.absorptivity, &in.diameter, &in.t1, &in.r1, &in.t2, &in.r2}) {
        requireRows(*c, rows, "the conductor");
    }
    std::vector<RowFailure> failures;
    Conductor c;
    Weather w;
    for (std::size_t i = 0; i < rows; ++i) {
        HeatBalance b;
        try {
            batchCase(in, i, c, w);
            b = solve == Solve::ampacity ? ampacity(c, w, in.value[i], model)
                                         : conductorTemperature(c, w, in.value[i], model);
        } catch (const ThermalInputError& e) {
            failures.push_back({i, e.what()});
            if (stopAtFailure) return failures;
            constexpr double nan = std::numeric_limits<double>::quiet_NaN();
            b = HeatBalance{nan, nan, nan, nan, nan, nan, nan, nan, nan};
        }
        out.temperature[i] = b.temperature;
        out.current[i] = b.current;
        out.resistance[i] = b.resistance;
        out.joule[i] = b.joule;
        out.solar[i] = b.solar;
        out.convection[i] = b.convection;
        out.forced[i] = b.forced;
        out.natural[i] = b.natural;
        out.radiation[i] = b.radiation;
    }
    return failures;
}

}  // namespace varnel::thermal
