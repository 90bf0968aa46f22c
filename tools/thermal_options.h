// The options that describe a conductor's heat balance, shared by every command that turns a
// current into a temperature: the weather, the sun, the surface and the resistance. The
// conductor's diameter comes from the command (its table or --diameter).
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "thermal/thermal_rating.h"
#include "tools/json_output.h"
#include "tools/number_options.h"

namespace varnel::tool {

struct ThermalOptions {
    double ambient = 40;  // °C
    double wind = 0.5;    // m/s
    double windAngle = 90;
    double elevation = 0;
    // The sun: its position, or an irradiance given directly.
    double latitude = 0;
    double day = 0;
    double hour = 0;
    double azimuth = 0;
    std::string atmosphere = "clear";
    double albedo = 0.1;
    double clearness = 1;  // cigre601's clearness ratio, instead of --atmosphere
    double solar = 1000;   // W/m², when no position is given
    double emissivity = 0.9;
    double absorptivity = 0.9;
    double strandDiameter = 0;  // mm
    double coreDiameter = 0;    // mm, with --core-diameter: the resistances are DC ones
    double frequency = 50;      // Hz
    double r20 = 0;             // Ω/km
    std::string resistance;     // "T1:R1,T2:R2", °C and Ω/km
    std::string model = "ieee738";
    std::string modelOptionName = "--model";  // as the command names it, for its errors
    // The options themselves, to tell which were given.
    CLI::Option* latitudeOption = nullptr;
    CLI::Option* dayOption = nullptr;
    CLI::Option* hourOption = nullptr;
    CLI::Option* azimuthOption = nullptr;
    CLI::Option* atmosphereOption = nullptr;
    CLI::Option* albedoOption = nullptr;
    CLI::Option* clearnessOption = nullptr;
    CLI::Option* solarOption = nullptr;
    CLI::Option* strandOption = nullptr;
    CLI::Option* coreOption = nullptr;
    CLI::Option* frequencyOption = nullptr;
    CLI::Option* r20Option = nullptr;
    CLI::Option* resistanceOption = nullptr;
};

// Adds the options to `command`. The resistance (--r20 or --resistance) is not required here: a
// command may find it elsewhere (a conductor's row in conductor_resistance.csv). The model's
// option takes another name where the command has a --model of its own.
void addThermalOptions(CLI::App* command, NumberOptions& numbers, ThermalOptions& options,
                       const std::string& modelOption = "--model");

// Takes the "(default N)" off the help of a number option that has no default (one of several
// alternatives, or one whose absence means "unknown").
void dropDefault(CLI::Option* option);

// The resistance given on the command line, Ω/m; none when neither option was given. Throws
// UsageError for a --resistance that does not read.
std::optional<thermal::Resistance> givenResistance(const ThermalOptions& options);

// The weather and the model the options describe, and the conductor of `diameterMm` with the
// surface and `resistance`. Throws UsageError for options that contradict each other.
thermal::Weather thermalWeather(const ThermalOptions& options);
thermal::Model thermalModel(const ThermalOptions& options);
thermal::Conductor thermalConductor(const ThermalOptions& options, double diameterMm,
                                    const thermal::Resistance& resistance);

// What the heat balance needs of a conductor beyond its table: conductor_resistance.csv beside
// the conductor table (UTF-8, a header row, then NAME,R20,STRAND_DIAMETER).
inline constexpr const char* kThermalRowsFile = "conductor_resistance.csv";
struct ThermalRow {
    double r20 = 0;             // DC resistance at 20 °C, Ω/km
    double strandDiameter = 0;  // the outer layer's strands, mm
};
// The row of `name` in the file beside `conductorsPath`; none when there is no such file or row.
// Throws ToolError naming the file and line for a row that does not read.
std::optional<ThermalRow> thermalRow(const std::string& conductorsPath, const std::string& name);

// The heated conductor of a command whose conductor comes from a table (`diameterMm` from its
// row): the resistance and the outer strands' diameter from the options, else from the
// conductor's row of conductor_resistance.csv beside `conductorsPath`. Throws UsageError,
// naming `needs` (the option that needs a resistance), when neither gives one.
thermal::Conductor tableConductor(const ThermalOptions& options, const std::string& conductorsPath,
                                  const std::string& conductorName, double diameterMm,
                                  const std::string& needs);

// The heat terms as JSON members, in the order the command writes them.
Json heatBalanceJson(const thermal::HeatBalance& balance, thermal::Model model);

}  // namespace varnel::tool
