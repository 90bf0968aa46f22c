#include "tools/profile_solve_output.h"

#include <fmt/format.h>

#include <cmath>
#include <stdexcept>

#include "tools/design_inputs.h"
#include "tools/number_options.h"
#include "tools/text_table.h"
#include "tools/thermal_options.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

std::string spanOf(const std::vector<design::Tower>& towers, std::size_t i) {
    return towers[i].name + "-" + towers[i + 1].name;
}

// Where a temperature lies outside the range searched: "below" when the requirement falls short
// already at the lowest, "above" when it holds at the highest; none inside.
const char* beyond(double temperature) {
    if (temperature == -INFINITY) return "below";
    if (temperature == INFINITY) return "above";
    return nullptr;
}

std::string degrees(double temperature, const design::TemperatureLimit& limit) {
    if (temperature == -INFINITY) return "< " + shortNumber(limit.from);
    if (temperature == INFINITY) return "> " + shortNumber(limit.to);
    return number(temperature, 2);
}

std::string sunText(const thermal::Sun& sun) {
    if (sun.direct) return fmt::format("sun {} W/m\u00B2", shortNumber(sun.irradiance));
    return fmt::format("sun at latitude {}\u00B0, day {}, {} h", shortNumber(sun.latitude), sun.day,
                       shortNumber(sun.hour));
}

}  // namespace

SolvedTemperature solveMaxTemperature(
    const design::LineProfile& checked, const LineAttrib& conductor,
    const WeatherConditionSeq& conditions, const std::vector<design::TerrainPoint>& terrain,
    const std::vector<design::Crossing>& crossings, const OperatingOptions& options,
    const std::string& conductorsPath, const std::string& conductorName, double diameterMm) {
    SolvedTemperature r;
    try {
        r.limit =
            design::maxTemperatureForClearances(checked, conductor, conditions, terrain, crossings);
    } catch (const std::domain_error& e) {
        throw ToolError(std::string("--solve max-temperature: ") + e.what());
    }
    if (r.limit.items.empty()) {
        throw UsageError(
            "--solve max-temperature: no clearance to hold; give --ground-clearance or a "
            "crossing");
    }
    for (const CLI::Option* given : options.weatherOptions) {
        if (given->count() > 0) r.currentAsked = true;
    }
    if (!r.currentAsked) return r;

    // The conductor's heat balance, as `section --current` and `thermal` take it.
    const ThermalOptions& t = options.thermal;
    r.model = thermalModel(t);
    r.weather = thermalWeather(t);
    const thermal::Conductor heated =
        tableConductor(t, conductorsPath, conductorName, diameterMm, "--solve's current");
    try {
        thermal::checkInputs(heated, r.weather);
    } catch (const thermal::ThermalInputError& e) {
        throw UsageError(e.what());
    }

    const double limit = r.limit.temperature;
    if (limit == -INFINITY) {
        r.noCurrent = fmt::format("no conductor temperature from {} \u00B0C keeps every clearance",
                                  shortNumber(r.limit.from));
    } else if (limit == INFINITY) {
        r.noCurrent = fmt::format(
            "the clearances hold at every temperature up to {} \u00B0C: the conductor's own "
            "highest temperature limits its current, not the clearances",
            shortNumber(r.limit.to));
    } else if (!(limit > r.weather.ambient)) {
        r.noCurrent = fmt::format(
            "{} \u00B0C is not above the air's {} \u00B0C: no current holds the conductor there",
            number(limit, 2), shortNumber(r.weather.ambient));
    } else {
        try {
            r.ampacity = thermal::ampacity(heated, r.weather, limit, r.model);
        } catch (const thermal::ThermalInputError& e) {
            r.noCurrent = e.what();  // the sun alone heats it past the limit
        }
    }
    return r;
}

std::string requirementName(const design::ClearanceTemperature& item,
                            const std::vector<design::Tower>& towers,
                            const std::vector<design::Crossing>& crossings) {
    if (item.crossing)
        return crossings.at(*item.crossing).name + " over " + spanOf(towers, item.span);
    return "the ground under " + spanOf(towers, item.span);
}

std::string solveText(const SolvedTemperature& s, const std::vector<design::Tower>& towers,
                      const std::vector<design::Crossing>& crossings) {
    const design::TemperatureLimit& l = s.limit;
    TextTable table(
        {"requirement", "span", "crossing", "required m", "temperature \u00B0C", "at m"},
        {false, false, false, true, true, true});
    for (const design::ClearanceTemperature& item : l.items) {
        table.addRow({design::violationKindName(item.kind), spanOf(towers, item.span),
                      item.crossing ? crossings.at(*item.crossing).name : "-",
                      number(item.required, 2), degrees(item.temperature, l),
                      number(item.station, 1)});
    }
    std::string out = fmt::format(
        "\nHighest conductor temperature each clearance allows (still air, no ice; searched "
        "from {} to {} \u00B0C)\n",
        shortNumber(l.from), shortNumber(l.to));
    out += table.aligned();
    const design::ClearanceTemperature* worst = l.limiting ? &l.items[*l.limiting] : nullptr;
    if (l.temperature == INFINITY) {
        out += fmt::format(
            "Limit: none up to {} \u00B0C: every clearance holds at the highest temperature "
            "searched\n",
            shortNumber(l.to));
    } else if (l.temperature == -INFINITY) {
        out += fmt::format(
            "Limit: none from {} \u00B0C: {} falls short of {} m already at the lowest "
            "temperature searched\n",
            shortNumber(l.from), requirementName(*worst, towers, crossings),
            shortNumber(worst->required));
    } else {
        out += fmt::format("Limit: {} \u00B0C, set by {} ({} m, at station {} m)\n",
                           number(l.temperature, 2), requirementName(*worst, towers, crossings),
                           shortNumber(worst->required), number(worst->station, 1));
    }
    if (!s.currentAsked) {
        if (std::isfinite(l.temperature)) {
            out +=
                "Current: give the heat balance's options (--ambient, --wind, --solar, ...) for "
                "the current that holds the conductor there\n";
        }
    } else if (s.ampacity) {
        const thermal::Weather& w = s.weather;
        out += fmt::format(
            "Current at {} \u00B0C: {} A ({}; air {} \u00B0C, wind {} m/s at {}\u00B0 to the "
            "line, {})\n",
            number(l.temperature, 2), number(s.ampacity->current, 1), thermal::modelName(s.model),
            shortNumber(w.ambient), shortNumber(w.windSpeed), shortNumber(w.windAngle),
            sunText(w.sun));
    } else {
        out += "Current: none: " + s.noCurrent + "\n";
    }
    return out;
}

Json solveJson(const SolvedTemperature& s, const std::vector<design::Tower>& towers,
               const std::vector<design::Crossing>& crossings) {
    const design::TemperatureLimit& l = s.limit;
    const auto temperature = [](double t) { return std::isfinite(t) ? Json(t) : Json(nullptr); };
    const auto side = [](double t) {
        const char* b = beyond(t);
        return b ? Json(b) : Json(nullptr);
    };
    Json items = Json::array();
    for (const design::ClearanceTemperature& item : l.items) {
        items.push_back(
            Json{{"kind", design::violationKindName(item.kind)},
                 {"span", spanOf(towers, item.span)},
                 {"span_index", item.span},
                 {"crossing", item.crossing ? Json(crossings.at(*item.crossing).name) : Json()},
                 {"required_m", item.required},
                 {"temperature_degC", temperature(item.temperature)},
                 {"beyond", side(item.temperature)},
                 {"station_m", item.station}});
    }
    Json j{{"sought", "max_temperature"},
           {"searched_degC", {l.from, l.to}},
           {"temperature_degC", temperature(l.temperature)},
           {"beyond", side(l.temperature)},
           {"limiting", l.limiting ? Json(*l.limiting) : Json(nullptr)},
           {"items", std::move(items)},
           {"current_asked", s.currentAsked},
           {"current_A", s.ampacity ? Json(s.ampacity->current) : Json(nullptr)},
           {"heat_balance", s.ampacity ? heatBalanceJson(*s.ampacity, s.model) : Json(nullptr)},
           {"current_note", s.currentAsked && !s.ampacity ? Json(s.noCurrent) : Json(nullptr)}};
    return j;
}

void writeSolveCsv(OutputFile& out, const SolvedTemperature& s,
                   const std::vector<design::Tower>& towers,
                   const std::vector<design::Crossing>& crossings) {
    const design::TemperatureLimit& l = s.limit;
    out.write(kUtf8Bom +
              "kind,span,crossing,required_m,temperature_degC,beyond,station_m,limiting\r\n");
    for (std::size_t k = 0; k < l.items.size(); ++k) {
        const design::ClearanceTemperature& item = l.items[k];
        const char* b = beyond(item.temperature);
        out.write(fmt::format(
            "{},{},{},{},{},{},{},{}\r\n", design::violationKindName(item.kind),
            csvField(spanOf(towers, item.span)),
            item.crossing ? csvField(crossings.at(*item.crossing).name) : std::string(),
            item.required,
            std::isfinite(item.temperature) ? fmt::format("{}", item.temperature) : std::string(),
            b ? b : "", item.station, l.limiting == k ? "yes" : "no"));
    }
}

}  // namespace varnel::tool
