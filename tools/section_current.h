// The conductor's operating temperature in a strain section: a current turned into a temperature
// by the heat balance (or the temperature given directly) becomes one more condition of the sag
// table. It is an operating state checked for sag, not a design weather condition: it never
// competes for the controlling condition, and its stress follows from the controlling one by the
// change of state.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "design/strain_section.h"
#include "thermal/thermal_rating.h"
#include "tools/json_output.h"
#include "tools/number_options.h"
#include "tools/thermal_options.h"

namespace varnel::tool {

struct OperatingOptions {
    double current = 0;         // A
    double maxTemperature = 0;  // °C
    ThermalOptions thermal;
    CLI::Option* currentOption = nullptr;
    CLI::Option* maxTemperatureOption = nullptr;
    std::vector<CLI::Option*> weatherOptions;  // given only with --current
};

// Adds --current, --max-temperature and the heat balance's options (its model as
// --thermal-model, beside the section's own options) to `command`.
void addOperatingOptions(CLI::App* command, NumberOptions& numbers, OperatingOptions& options);

// The operating state the options ask for.
struct OperatingState {
    std::string name;        // UTF-8, for the outputs only
    double temperature = 0;  // °C
    double current = 0;      // A, 0 when the temperature was given
    bool fromCurrent = false;
    thermal::Model model = thermal::Model::ieee738;
};

// None when neither --current nor --max-temperature was given. The conductor's diameter and
// name come from its table; its resistance from the options or conductor_resistance.csv beside
// that table. Throws UsageError for options that cannot be carried out.
std::optional<OperatingState> operatingState(const OperatingOptions& options,
                                             const std::string& conductorsPath,
                                             const std::string& conductorName, double diameterMm);

// Appends the condition (no ice, no wind, `temperature`) to every per-condition figure of the
// section, its stress from the controlling condition at the ruling span; the largest sag of each
// span counts it.
void addOperatingCondition(design::SectionDesign& section, const LineAttrib& conductor,
                           const WeatherConditionSeq& conditions,
                           const std::vector<design::SpanGeometry>& spans, double temperature);

// The state's JSON: its condition's index among "conditions", the temperature and the current.
Json operatingJson(const OperatingState& state, std::size_t index);

}  // namespace varnel::tool
