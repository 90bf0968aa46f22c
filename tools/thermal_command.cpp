// varnel thermal: a conductor's steady temperature for a current, or the current (the ampacity)
// for a temperature, with every term of its heat balance.
#include <fmt/format.h>

#include <optional>

#include "thermal/thermal_rating.h"
#include "tools/command.h"
#include "tools/json_output.h"
#include "tools/library_tables.h"
#include "tools/thermal_options.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

struct ThermalInputs {
    std::string conductorsPath;
    std::string conductorName;
    double diameter = 0;        // mm
    double current = 0;         // A
    double maxTemperature = 0;  // °C
    bool json = false;
    ThermalOptions options;
    CLI::Option* diameterOption = nullptr;
    CLI::Option* currentOption = nullptr;
};

std::string report(const ThermalInputs& in, double diameter, const thermal::HeatBalance& b,
                   thermal::Model model, bool forCurrent) {
    const std::string conductor = in.conductorName.empty()
                                      ? fmt::format("{} mm conductor", diameter)
                                      : fmt::format("{}, {} mm", in.conductorName, diameter);
    std::string text = fmt::format(
        "{} ({})\n", forCurrent ? "Steady temperature for a current" : "Ampacity for a temperature",
        thermal::modelName(model));
    text += fmt::format("{}\n", conductor);
    text += fmt::format("temperature  {} \u00B0C\n", number(b.temperature, 2));
    text += fmt::format("current      {} A\n", number(b.current, 1));
    text += fmt::format("resistance   {:.4e} \u03A9/m\n", b.resistance);
    text += fmt::format("joule        {} W/m\n", number(b.joule, 2));
    text += fmt::format("solar        {} W/m\n", number(b.solar, 2));
    text += fmt::format("convection   {} W/m (forced {}, natural {})\n", number(b.convection, 2),
                        number(b.forced, 2), number(b.natural, 2));
    text += fmt::format("radiation    {} W/m\n", number(b.radiation, 2));
    return text;
}

void run(const ThermalInputs& in, ResultStream& out) {
    const ThermalOptions& o = in.options;
    const thermal::Model model = thermalModel(o);
    const thermal::Weather weather = thermalWeather(o);
    std::optional<thermal::Resistance> resistance = givenResistance(o);
    double diameter = in.diameter;
    double strand = o.strandDiameter;
    if (in.diameterOption->count() == 0) {
        loadLibrary(TableKind::Conductors, in.conductorsPath);
        diameter = findConductor(in.conductorName, in.conductorsPath).diameter;
        const std::optional<ThermalRow> row = thermalRow(in.conductorsPath, in.conductorName);
        if (row && !resistance) resistance = thermal::resistanceFromR20(row->r20 / 1000);
        if (row && o.strandOption->count() == 0) strand = row->strandDiameter;
    }
    if (!resistance) {
        throw UsageError(in.diameterOption->count() > 0
                             ? "the resistance is needed: --r20 or --resistance"
                             : fmt::format("the resistance is needed: --r20 or --resistance ({} "
                                           "beside the conductor table has no row for {})",
                                           kThermalRowsFile, in.conductorName));
    }
    thermal::Conductor conductor = thermalConductor(o, diameter, *resistance);
    conductor.strandDiameter = strand / 1000;
    const bool forCurrent = in.currentOption->count() > 0;
    thermal::HeatBalance b;
    try {
        b = forCurrent ? thermal::conductorTemperature(conductor, weather, in.current, model)
                       : thermal::ampacity(conductor, weather, in.maxTemperature, model);
    } catch (const thermal::ThermalInputError& e) {
        throw UsageError(e.what());
    }
    out.write(in.json ? jsonDocument(heatBalanceJson(b, model))
                      : report(in, diameter, b, model, forCurrent));
}

}  // namespace

void addThermalCommand(CLI::App& app, CommandSet& set) {
    auto in = std::make_shared<ThermalInputs>();
    CLI::App* c = app.add_subcommand(
        "thermal",
        "A conductor's steady temperature for a current, or its ampacity for a temperature "
        "(IEEE 738-2012 or CIGRE TB 601)");
    CLI::Option* table = c->add_option("--conductors", in->conductorsPath,
                                       "Conductor table (DBF); the resistance and strands are "
                                       "read from conductor_resistance.csv beside it")
                             ->type_name("FILE");
    CLI::Option* name =
        c->add_option("--conductor", in->conductorName, "Conductor name, as in the table")
            ->type_name("NAME");
    table->needs(name);
    name->needs(table);
    in->diameterOption = set.numbers.add(c, "--diameter", in->diameter,
                                         "Conductor diameter, mm, above 0 (instead of a table)",
                                         "MM", kPositive, false);
    in->diameterOption->excludes(table);
    in->currentOption =
        set.numbers.add(c, "--current", in->current,
                        "Current, A, at least 0: gives the temperature", "A", kNonNegative, false);
    CLI::Option* maxT = set.numbers.add(c, "--max-temperature", in->maxTemperature,
                                        "Highest conductor temperature, \u00B0C: gives the current",
                                        "T", Bounds{-90, 2000}, false);
    in->currentOption->excludes(maxT);
    for (CLI::Option* given : {in->diameterOption, in->currentOption, maxT}) dropDefault(given);
    addThermalOptions(c, set.numbers, in->options);
    c->add_flag("--json", in->json, "One JSON document with every term");
    c->footer(examples(
        {"varnel thermal --diameter 28.14 --max-temperature 100 --ambient 40 --wind 0.61 "
         "--latitude 30 --day 161 --hour 11 --azimuth 90 --emissivity 0.8 --absorptivity 0.8 "
         "--resistance 25:0.07283,75:0.08688",
         "varnel thermal --conductors samples/conductors.dbf --conductor JL/G1A-240/30 "
         "--max-temperature 70"}));
    set.commands.push_back({c, [in, table, maxT](ResultStream& out) {
                                if (table->count() == 0 && in->diameterOption->count() == 0) {
                                    throw UsageError(
                                        "the conductor is needed: --conductors FILE --conductor "
                                        "NAME, or --diameter MM");
                                }
                                if (in->currentOption->count() == 0 && maxT->count() == 0) {
                                    throw UsageError(
                                        "say what to find: --current A (the temperature) or "
                                        "--max-temperature T (the ampacity)");
                                }
                                run(*in, out);
                            }});
}

}  // namespace varnel::tool
