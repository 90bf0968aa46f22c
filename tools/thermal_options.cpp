#include "tools/thermal_options.h"

#include <fmt/format.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

// "T:R" with T in °C and R in Ω/km, as a point in °C and Ω/m.
std::pair<double, double> resistancePoint(const std::string& text, const std::string& whole) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        throw UsageError("--resistance: \"" + whole +
                         "\" is not two points T1:R1,T2:R2 (\u00B0C and \u03A9/km)");
    }
    // No temperature lies below absolute zero.
    const double t = parseNumber("--resistance", text.substr(0, colon), Bounds{-273.15});
    const double r = parseNumber("--resistance", text.substr(colon + 1), kPositive);
    return {t, r / 1000};
}

std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> cells;
    std::stringstream s(line);
    std::string cell;
    while (std::getline(s, cell, ',')) cells.push_back(cell);
    return cells;
}

}  // namespace

std::optional<ThermalRow> thermalRow(const std::string& conductorsPath, const std::string& name) {
    // The path as UTF-8 both ways, so that Windows does not read it in its ANSI code page.
    const std::u8string table(conductorsPath.begin(), conductorsPath.end());
    const std::filesystem::path path =
        std::filesystem::path(table).parent_path() / kThermalRowsFile;
    const std::u8string shownU8 = path.u8string();
    const std::string shown(shownU8.begin(), shownU8.end());
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::string line;
    std::getline(in, line);  // the header
    int lineNumber = 1;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> cells = splitCsv(line);
        if (cells.empty() || cells[0] != name) continue;
        if (cells.size() < 3) {
            throw ToolError(
                fmt::format("{}: line {}: expected NAME,R20,STRAND_DIAMETER", shown, lineNumber));
        }
        try {
            return ThermalRow{parseNumber("R20", cells[1], kPositive),
                              parseNumber("STRAND_DIAMETER", cells[2], kNonNegative)};
        } catch (const UsageError& e) {
            throw ToolError(fmt::format("{}: line {}: {}", shown, lineNumber, e.what()));
        }
    }
    return std::nullopt;
}

void dropDefault(CLI::Option* option) {
    const std::string text = option->get_description();
    const std::size_t at = text.rfind(" (default ");
    if (at != std::string::npos) option->description(text.substr(0, at));
}

void addThermalOptions(CLI::App* c, NumberOptions& numbers, ThermalOptions& o,
                       const std::string& modelOption) {
    numbers.add(c, "--ambient", o.ambient, "Air temperature, \u00B0C", "T", Bounds{-90, 60}, false);
    numbers.add(c, "--wind", o.wind, "Wind speed at the conductor, m/s, at least 0", "M/S",
                kNonNegative, false);
    numbers.add(c, "--wind-angle", o.windAngle,
                "Angle between the wind and the line, degrees, 0 to 180 (90 across it)", "DEG",
                Bounds{0, 180}, false);
    numbers.add(c, "--elevation", o.elevation, "Elevation of the line above sea level, m", "M",
                Bounds{-500, 6000}, false);
    o.latitudeOption = numbers.add(c, "--latitude", o.latitude,
                                   "Latitude, degrees north (south negative); with --day, "
                                   "--hour and --azimuth the sun is placed in the sky",
                                   "DEG", Bounds{-90, 90}, false);
    o.dayOption = numbers.add(c, "--day", o.day, "Day of the year, 1 to 366 (10 June is 161)", "N",
                              Bounds{1, 366}, false);
    o.hourOption =
        numbers.add(c, "--hour", o.hour, "Solar time, hours, 0 to 24", "H", Bounds{0, 24}, false);
    o.azimuthOption =
        numbers.add(c, "--azimuth", o.azimuth, "The line's direction, degrees clockwise from north",
                    "DEG", Bounds{-360, 360}, false);
    o.atmosphereOption =
        c->add_option("--atmosphere", o.atmosphere, "clear or industrial (default clear)")
            ->type_name("clear|industrial");
    o.albedoOption =
        numbers.add(c, "--albedo", o.albedo, "Ground reflectance, 0 to 1 (cigre601 only)", "A",
                    Bounds{0, 1}, false);
    o.clearnessOption = numbers.add(
        c, "--clearness", o.clearness,
        "Clearness ratio of the direct beam, 0 to 1, instead of --atmosphere (cigre601 only)", "K",
        Bounds{0, 1}, false);
    o.clearnessOption->excludes(o.atmosphereOption);
    o.solarOption = numbers.add(c, "--solar", o.solar,
                                "Solar irradiance on the conductor, W/m\u00B2, instead of the "
                                "sun's position",
                                "W/M2", kNonNegative, false);
    numbers.add(c, "--emissivity", o.emissivity, "Emissivity of the surface, 0 to 1", "E",
                Bounds{0, 1}, false);
    numbers.add(c, "--absorptivity", o.absorptivity, "Solar absorptivity of the surface, 0 to 1",
                "A", Bounds{0, 1}, false);
    o.strandOption =
        numbers.add(c, "--strand-diameter", o.strandDiameter,
                    "Diameter of the outer layer's strands, mm: sets cigre601's surface roughness "
                    "(unknown: taken as rough)",
                    "MM", kNonNegative, false);
    o.coreOption = numbers.add(c, "--core-diameter", o.coreDiameter,
                               "Diameter of the steel core, mm: the resistances are then DC ones "
                               "and cigre601 adds the skin effect (0: an all-aluminium conductor)",
                               "MM", kNonNegative, false);
    o.frequencyOption = numbers.add(c, "--frequency", o.frequency,
                                    "The current's frequency, Hz, for the skin effect", "HZ",
                                    Bounds{0, 1000}, false);
    o.frequencyOption->needs(o.coreOption);
    o.r20Option = numbers.add(c, "--r20", o.r20,
                              "DC resistance at 20 \u00B0C, \u03A9/km (aluminium's temperature "
                              "coefficient 0.00403/\u00B0C)",
                              "OHM/KM", kPositive, false);
    o.resistanceOption =
        c->add_option("--resistance", o.resistance,
                      "Resistance at two temperatures, \u00B0C and \u03A9/km, e.g. "
                      "25:0.07283,75:0.08688")
            ->type_name("T1:R1,T2:R2");
    o.r20Option->excludes(o.resistanceOption);
    o.modelOptionName = modelOption;
    c->add_option(modelOption, o.model, "ieee738 (default) or cigre601")
        ->type_name("ieee738|cigre601");
    for (CLI::Option* given : {o.latitudeOption, o.dayOption, o.hourOption, o.azimuthOption,
                               o.clearnessOption, o.strandOption, o.coreOption, o.r20Option}) {
        dropDefault(given);
    }
    for (CLI::Option* position : {o.latitudeOption, o.dayOption, o.hourOption, o.azimuthOption,
                                  o.atmosphereOption, o.albedoOption, o.clearnessOption}) {
        o.solarOption->excludes(position);
    }
}

std::optional<thermal::Resistance> givenResistance(const ThermalOptions& o) {
    if (o.r20Option->count() > 0) return thermal::resistanceFromR20(o.r20 / 1000);
    if (o.resistanceOption->count() == 0) return std::nullopt;
    const std::size_t comma = o.resistance.find(',');
    if (comma == std::string::npos) {
        throw UsageError("--resistance: \"" + o.resistance +
                         "\" is not two points T1:R1,T2:R2 (\u00B0C and \u03A9/km)");
    }
    const auto [t1, r1] = resistancePoint(o.resistance.substr(0, comma), o.resistance);
    const auto [t2, r2] = resistancePoint(o.resistance.substr(comma + 1), o.resistance);
    if (t1 == t2) {
        throw UsageError("--resistance: \"" + o.resistance +
                         "\" gives both resistances at the same temperature");
    }
    return thermal::Resistance{t1, r1, t2, r2};
}

thermal::Weather thermalWeather(const ThermalOptions& o) {
    thermal::Weather w;
    w.ambient = o.ambient;
    w.windSpeed = o.wind;
    w.windAngle = o.windAngle;
    w.elevation = o.elevation;
    const CLI::Option* position[] = {o.latitudeOption, o.dayOption, o.hourOption, o.azimuthOption};
    std::size_t given = 0;
    for (const CLI::Option* p : position) given += p->count() > 0 ? 1 : 0;
    if (given == 0) {
        if (o.atmosphereOption->count() > 0 || o.albedoOption->count() > 0 ||
            o.clearnessOption->count() > 0) {
            throw UsageError(
                "--atmosphere, --albedo and --clearness need the sun's position: --latitude, "
                "--day, --hour and --azimuth");
        }
        w.sun = thermal::noSun();
        w.sun.irradiance = o.solar;
        return w;
    }
    if (given < 4) {
        throw UsageError(
            "the sun's position needs all of --latitude, --day, --hour and "
            "--azimuth");
    }
    if (o.day != std::floor(o.day)) {
        throw UsageError(
            fmt::format("--day: \"{}\" is not a whole day of the year", shortNumber(o.day)));
    }
    w.sun.direct = false;
    w.sun.latitude = o.latitude;
    w.sun.day = static_cast<int>(o.day);
    w.sun.hour = o.hour;
    w.sun.lineAzimuth = o.azimuth;
    try {
        w.sun.atmosphere = thermal::atmosphereFromName(o.atmosphere);
    } catch (const thermal::ThermalInputError& e) {
        throw UsageError(std::string("--atmosphere: ") + e.what());
    }
    w.sun.albedo = o.albedo;
    if (o.clearnessOption->count() > 0) {
        // IEEE 738's irradiance has no such ratio: a clearness there would be silently lost.
        if (o.model != "cigre601") {
            throw UsageError("--clearness is cigre601's: with " + o.modelOptionName + " " +
                             o.model + " the sky is --atmosphere clear or industrial");
        }
        w.sun.clearness = o.clearness;
    }
    return w;
}

thermal::Model thermalModel(const ThermalOptions& o) {
    try {
        return thermal::modelFromName(o.model);
    } catch (const thermal::ThermalInputError& e) {
        throw UsageError(o.modelOptionName + ": " + e.what());
    }
}

thermal::Conductor thermalConductor(const ThermalOptions& o, double diameterMm,
                                    const thermal::Resistance& resistance) {
    thermal::Conductor c;
    c.diameter = diameterMm / 1000;
    c.strandDiameter = o.strandDiameter / 1000;
    c.emissivity = o.emissivity;
    c.absorptivity = o.absorptivity;
    c.resistance = resistance;
    // Said here in the option's millimetres; the library would say it in metres.
    if (o.strandOption->count() > 0 && !(o.strandDiameter < diameterMm / 2)) {
        throw UsageError(
            fmt::format("--strand-diameter: \"{}\" must be below half the conductor's diameter, "
                        "{} mm",
                        shortNumber(o.strandDiameter), shortNumber(diameterMm / 2)));
    }
    if (o.coreOption->count() > 0) {
        // IEEE 738 takes the resistances as AC ones: a skin effect there would count twice.
        if (o.model != "cigre601") {
            throw UsageError("--core-diameter is cigre601's: with " + o.modelOptionName + " " +
                             o.model + " the resistances are taken as AC ones");
        }
        if (!(o.coreDiameter < diameterMm)) {
            throw UsageError(
                fmt::format("--core-diameter: \"{}\" must be below the conductor's diameter, {} mm",
                            shortNumber(o.coreDiameter), shortNumber(diameterMm)));
        }
        c.coreDiameter = o.coreDiameter / 1000;
        c.frequency = o.frequency;
    }
    return c;
}

Json heatBalanceJson(const thermal::HeatBalance& b, thermal::Model model) {
    return Json{{"model", thermal::modelName(model)},
                {"temperature_degC", b.temperature},
                {"current_A", b.current},
                {"resistance_ohm_per_m", b.resistance},
                {"joule_W_per_m", b.joule},
                {"solar_W_per_m", b.solar},
                {"convection_W_per_m", b.convection},
                {"forced_W_per_m", b.forced},
                {"natural_W_per_m", b.natural},
                {"radiation_W_per_m", b.radiation}};
}

thermal::Conductor tableConductor(const ThermalOptions& options, const std::string& conductorsPath,
                                  const std::string& conductorName, double diameterMm,
                                  const std::string& needs) {
    std::optional<thermal::Resistance> resistance = givenResistance(options);
    double strand = options.strandDiameter;
    const std::optional<ThermalRow> row = thermalRow(conductorsPath, conductorName);
    if (row && !resistance) resistance = thermal::resistanceFromR20(row->r20 / 1000);
    if (row && options.strandOption->count() == 0) strand = row->strandDiameter;
    if (!resistance) {
        throw UsageError(fmt::format(
            "{} needs the resistance: --r20 or --resistance ({} beside the conductor table has "
            "no row for {})",
            needs, kThermalRowsFile, conductorName));
    }
    thermal::Conductor conductor = thermalConductor(options, diameterMm, *resistance);
    conductor.strandDiameter = strand / 1000;
    return conductor;
}

}  // namespace varnel::tool
