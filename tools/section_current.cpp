#include "tools/section_current.h"

#include <fmt/format.h>

#include <cmath>
#include <stdexcept>

#include "calc/conductor_load.h"
#include "tools/design_inputs.h"
#include "tools/tool_error.h"

namespace varnel::tool {

void addOperatingOptions(CLI::App* c, NumberOptions& numbers, OperatingOptions& o) {
    o.currentOption = numbers.add(c, "--current", o.current,
                                  "Current, A, at least 0: the conductor's temperature for it "
                                  "becomes a further condition (still air, no ice) beside the "
                                  "area's",
                                  "A", kNonNegative, false);
    o.maxTemperatureOption =
        numbers.add(c, "--max-temperature", o.maxTemperature,
                    "Highest conductor temperature, \u00B0C: a further condition (still air, no "
                    "ice) beside the area's",
                    "T", Bounds{-90, 200}, false);
    o.currentOption->excludes(o.maxTemperatureOption);
    dropDefault(o.currentOption);
    dropDefault(o.maxTemperatureOption);
    // Every option addThermalOptions adds describes the heat balance, which only --current needs.
    const std::size_t before = c->get_options().size();
    addThermalOptions(c, numbers, o.thermal, "--thermal-model");
    const std::vector<CLI::Option*> all = c->get_options();
    o.weatherOptions.assign(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
}

std::optional<OperatingState> operatingState(const OperatingOptions& o,
                                             const std::string& conductorsPath,
                                             const std::string& conductorName, double diameterMm) {
    if (o.currentOption == nullptr) return std::nullopt;  // options never registered
    const bool fromCurrent = o.currentOption->count() > 0;
    if (!fromCurrent) {
        for (const CLI::Option* given : o.weatherOptions) {
            if (given->count() > 0) {
                throw UsageError(given->get_name() +
                                 " describes the heat balance, which only --current needs");
            }
        }
    }
    OperatingState state;
    state.fromCurrent = fromCurrent;
    if (!fromCurrent) {
        if (o.maxTemperatureOption->count() == 0) return std::nullopt;
        state.temperature = o.maxTemperature;
        // 导线温度 (conductor temperature)
        state.name =
            fmt::format("\u5BFC\u7EBF\u6E29\u5EA6 {} \u00B0C", shortNumber(o.maxTemperature));
        return state;
    }
    const ThermalOptions& t = o.thermal;
    state.model = thermalModel(t);
    const thermal::Weather weather = thermalWeather(t);
    const thermal::Conductor conductor =
        tableConductor(t, conductorsPath, conductorName, diameterMm, "--current");
    try {
        state.temperature =
            thermal::conductorTemperature(conductor, weather, o.current, state.model).temperature;
    } catch (const thermal::ThermalInputError& e) {
        throw UsageError(e.what());
    }
    state.current = o.current;
    // The sag table runs the state equation no further than a conductor can be.
    if (state.temperature > 200) {
        throw UsageError(fmt::format(
            "--current {} A heats the conductor to {} \u00B0C, beyond the 200 \u00B0C a sag is "
            "worked out for",
            shortNumber(o.current), number(state.temperature, 1)));
    }
    // 载流 (carrying current)
    state.name = fmt::format("\u8F7D\u6D41 {} A ({} \u00B0C)", shortNumber(o.current),
                             number(state.temperature, 1));
    return state;
}

void addOperatingCondition(design::SectionDesign& s, const LineAttrib& conductor,
                           const WeatherConditionSeq& conditions,
                           const std::vector<design::SpanGeometry>& spans, double temperature) {
    WeatherCondition still{};  // no ice, no wind
    still.temperature = temperature;
    try {
        design::addExtraCondition(s, conductor, conditions, spans, still);
    } catch (const std::domain_error&) {
        throw ToolError(
            fmt::format("the stress at {} \u00B0C is beyond what the state equation can solve",
                        shortNumber(temperature)));
    }
}

Json operatingJson(const OperatingState& state, std::size_t index) {
    Json j{{"condition", conditionRef(static_cast<int>(index), state.name)},
           {"temperature_degC", state.temperature}};
    if (state.fromCurrent) {
        j["current_A"] = state.current;
        j["thermal_model"] = thermal::modelName(state.model);
    }
    return j;
}

}  // namespace varnel::tool
