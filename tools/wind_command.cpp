// varnel wind pole|conductor|insulator: the wind loads on a support.
#include <fmt/format.h>

#include "tools/command.h"
#include "tools/design_inputs.h"
#include "tools/json_output.h"
#include "tools/tool_error.h"
#include "varnel.h"

namespace varnel::tool {

namespace {

// The least N of a 1:N taper: a steeper body is no pole (at 1:10 its diameter grows by a tenth
// of a metre for every metre).
constexpr double kSteepestTaper = 10;

// "75" or "1:75": the diameter grows by 1 mm for every N mm of length.
double parseTaper(const std::string& text) {
    const std::string n = text.rfind("1:", 0) == 0 ? text.substr(2) : text;
    const double value = parseNumber("--taper", n, kPositive);
    if (value < kSteepestTaper) {
        throw UsageError(fmt::format(
            "--taper: \"{}\" is steeper than 1:{}; write the taper as N of 1:N, e.g. 75 for 1:75",
            text, kSteepestTaper));
    }
    return value;
}

std::string taperText(double n) {
    return "1:" + shortNumber(n);
}

WeatherCondition windOnly(const WindInputs& w) {
    WeatherCondition c{};
    c.windSpeed = w.wind;
    c.iceThickness = w.ice;
    return c;
}

}  // namespace

WindResult poleWind(const WindInputs& w) {
    if (!(w.topHeight > w.bottomHeight)) {
        throw UsageError(fmt::format("--bottom-height: {} m is not below --top-height {} m",
                                     shortNumber(w.bottomHeight), shortNumber(w.topHeight)));
    }
    const WeatherCondition c = windOnly(w);
    double force = 0, moment = 0;
    // The library takes the taper as the length in m over which the diameter grows by 1 mm.
    CPBodyWindHZ(&c, w.topDiameter, w.topHeight, w.taper / 1000, w.bottomHeight, &force, &moment);
    WindResult r;
    r.text = fmt::format(
        "Pole body from {} m down to {} m, {} mm at the top, taper {}, wind {} m/s\n"
        "force  {} kN\nmoment {} kN\u00B7m about the ground\n",
        w.topHeight, w.bottomHeight, w.topDiameter, taperText(w.taper), w.wind, number(force, 6),
        number(moment, 6));
    r.json = Json{{"pole",
                   {{"wind_m_per_s", w.wind},
                    {"top_diameter_mm", w.topDiameter},
                    {"top_height_m", w.topHeight},
                    {"bottom_height_m", w.bottomHeight},
                    {"taper", taperText(w.taper)}}},
                  {"force_kN", force},
                  {"moment_kN_m", moment}};
    return r;
}

WindResult conductorWind(const WindInputs& w) {
    const WeatherCondition c = windOnly(w);
    LineAttrib a{};
    a.diameter = w.diameter;
    const double load = CPLineWindHZ(&c, &a, w.length, w.height, w.angle);
    WindResult r;
    r.text = fmt::format(
        "{} m of conductor, {} mm, at {} m, wind {} m/s at {}\u00B0, ice {} mm\nload {} kN\n",
        w.length, w.diameter, w.height, w.wind, w.angle, w.ice, number(load, 6));
    r.json = Json{{"conductor",
                   {{"wind_m_per_s", w.wind},
                    {"ice_mm", w.ice},
                    {"diameter_mm", w.diameter},
                    {"length_m", w.length},
                    {"height_m", w.height},
                    {"angle_deg", w.angle}}},
                  {"load_kN", load}};
    return r;
}

WindResult insulatorWind(const WindInputs& w) {
    const WeatherCondition c = windOnly(w);
    const double load = CPInsuWindHZ(&c, w.height, w.area);
    WindResult r;
    r.text = fmt::format("Insulator string of {} m\u00B2 at {} m, wind {} m/s\nload {} kN\n",
                         w.area, w.height, w.wind, number(load, 6));
    r.json =
        Json{{"insulator", {{"wind_m_per_s", w.wind}, {"height_m", w.height}, {"area_m2", w.area}}},
             {"load_kN", load}};
    return r;
}

void addWindCommand(CLI::App& app, CommandSet& set) {
    auto w = std::make_shared<WindInputs>();
    auto json = std::make_shared<bool>(false);
    auto taper = std::make_shared<std::string>();
    NumberOptions& numbers = set.numbers;
    CLI::App* wind = app.add_subcommand("wind", "Wind loads on a support");
    wind->require_subcommand(1);
    const auto addWind = [&](CLI::App* cmd) {
        numbers.add(cmd, "--wind", w->wind, "Wind speed at the reference height, m/s, at least 0",
                    "M/S", kNonNegative, true);
        cmd->add_flag("--json", *json, "One JSON document with the inputs and the result");
    };

    CLI::App* pole = wind->add_subcommand("pole", "A tapered pole body of ring section");
    addWind(pole);
    numbers.add(pole, "--top-diameter", w->topDiameter, "Diameter at the top, mm, above 0", "MM",
                kPositive, true);
    numbers.add(pole, "--top-height", w->topHeight, "Height of the top above ground, m, above 0",
                "METRES", kPositive, true);
    pole->add_option("--taper", *taper,
                     "Taper 1:N, written N or 1:N: the diameter grows by 1 mm for every N mm "
                     "downwards (1:75 is usual for concrete poles); N at least 10")
        ->required()
        ->type_name("N");
    numbers.add(pole, "--bottom-height", w->bottomHeight,
                "Height of the bottom above ground, m, below the top", "METRES", kNonNegative,
                false);
    pole->footer(
        examples({"varnel wind pole --wind 25 --top-diameter 190 --top-height 12 "
                  "--taper 75 --bottom-height 2"}));

    CLI::App* line = wind->add_subcommand("conductor", "A length of conductor");
    addWind(line);
    numbers.add(line, "--ice", w->ice, "Ice thickness, mm, at least 0", "MM", kNonNegative, false);
    numbers.add(line, "--diameter", w->diameter, "Conductor diameter without ice, mm, above 0",
                "MM", kPositive, true);
    numbers.add(line, "--length", w->length, "Length of conductor under the wind, m, at least 0",
                "METRES", kNonNegative, true);
    numbers.add(line, "--height", w->height, "Height above ground, m, at least 0", "METRES",
                kNonNegative, true);
    numbers.add(line, "--angle", w->angle,
                "Angle between the wind and the conductor, degrees, 0 to 180", "DEGREES",
                Bounds{0, 180}, false);
    line->footer(
        examples({"varnel wind conductor --wind 25 --ice 10 --diameter 21.6 --length 300 "
                  "--height 20"}));

    CLI::App* insulator = wind->add_subcommand("insulator", "An insulator string");
    addWind(insulator);
    numbers.add(insulator, "--height", w->height, "Height above ground, m, at least 0", "METRES",
                kNonNegative, true);
    numbers.add(insulator, "--area", w->area, "Area exposed to the wind, m\u00B2, at least 0", "M2",
                kNonNegative, true);
    insulator->footer(examples({"varnel wind insulator --wind 20 --height 15 --area 2"}));

    const auto write = [json](const WindResult& r, ResultStream& out) {
        out.write(*json ? jsonDocument(r.json) : r.text);
    };
    set.commands.push_back({pole, [w, taper, write](ResultStream& out) {
                                w->taper = parseTaper(*taper);
                                write(poleWind(*w), out);
                            }});
    set.commands.push_back(
        {line, [w, write](ResultStream& out) { write(conductorWind(*w), out); }});
    set.commands.push_back(
        {insulator, [w, write](ResultStream& out) { write(insulatorWind(*w), out); }});
}

}  // namespace varnel::tool
