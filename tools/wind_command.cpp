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

// The wind loads take terrain class B. The pole's height coefficient comes from the table
// normalised to 10 m (selector up to 66), the conductor's and the insulator's from the one
// normalised to 15 m (selector 330): each load takes --wind as the speed at that height.
constexpr char kTerrain = 'B';
constexpr int kPoleTable = 0;
constexpr int kLineTable = 330;
constexpr double kPoleReferenceHeight = 10;  // m
constexpr double kLineReferenceHeight = 15;  // m

// The basic wind pressure of the support loads, kN/m².
double basicPressure(double wind) {
    return wind * wind / 1600;
}

// A coefficient as the text shows it: up to six significant figures.
std::string coefficient(double value) {
    return fmt::format("{:.6g}", value);
}

std::string pressureText(double w0) {
    return "W0 " + coefficient(w0) + " kN/m\u00B2 (v\u00B2/1600)";
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
    // One shape coefficient for the whole body, from the top diameter; the height coefficient of
    // each of the 100 segments at its mid-height, from the top one to the bottom one.
    const double w0 = basicPressure(w.wind);
    const double shape = CalcRingStickShapeCoff(w0 * w.topDiameter * w.topDiameter * 1e-6);
    const double half = (w.topHeight - w.bottomHeight) * 0.005;
    const double muTop = CalcWindHeightChangeCoff(w.topHeight - half, kTerrain, kPoleTable);
    const double muBottom = CalcWindHeightChangeCoff(w.bottomHeight + half, kTerrain, kPoleTable);
    WindResult r;
    r.text = fmt::format(
        "Pole body from {} m down to {} m, {} mm at the top, taper {}, wind {} m/s at {} m\n"
        "{}, \u03BCs {} (of W0\u00B7D\u00B2 at the top), \u03BCz {} to {} (top to bottom; "
        "terrain B, 1 at {} m)\n"
        "force  {} kN\nmoment {} kN\u00B7m about the ground\n",
        w.topHeight, w.bottomHeight, w.topDiameter, taperText(w.taper), w.wind,
        kPoleReferenceHeight, pressureText(w0), coefficient(shape), coefficient(muTop),
        coefficient(muBottom), kPoleReferenceHeight, number(force, 6), number(moment, 6));
    r.json = Json{{"pole",
                   {{"wind_m_per_s", w.wind},
                    {"top_diameter_mm", w.topDiameter},
                    {"top_height_m", w.topHeight},
                    {"bottom_height_m", w.bottomHeight},
                    {"taper", taperText(w.taper)}}},
                  {"coefficients",
                   {{"wind_reference_height_m", kPoleReferenceHeight},
                    {"basic_pressure_kN_per_m2", w0},
                    {"mu_s", shape},
                    {"mu_z_top", muTop},
                    {"mu_z_bottom", muBottom}}},
                  {"force_kN", force},
                  {"moment_kN_m", moment}};
    return r;
}

WindResult conductorWind(const WindInputs& w) {
    const WeatherCondition c = windOnly(w);
    LineAttrib a{};
    a.diameter = w.diameter;
    const double load = CPLineWindHZ(&c, &a, w.length, w.height, w.angle);
    const double w0 = basicPressure(w.wind);
    const double alpha = CalcWindAsymmetryCoff(w.wind, w.ice);
    const double muZ = CalcWindHeightChangeCoff(w.height, kTerrain, kLineTable);
    const double muSc = CalcLineShapeCoff(w.diameter, w.ice);
    WindResult r;
    r.text = fmt::format(
        "{} m of conductor, {} mm, at {} m, ice {} mm, wind {} m/s at {}\u00B0 (the speed at {} "
        "m)\n"
        "{}, \u03B1 {}, \u03BCz {} (terrain B, 1 at {} m), \u03BCsc {}\n"
        "load {} kN (\u03BCsc\u00B7\u03BCz\u00B7W0\u00B7\u03B1\u00B7sin\u03B8 times the "
        "length and the bare diameter; ice only in \u03BCsc and \u03B1)\n",
        w.length, w.diameter, w.height, w.ice, w.wind, w.angle, kLineReferenceHeight,
        pressureText(w0), coefficient(alpha), coefficient(muZ), kLineReferenceHeight,
        coefficient(muSc), number(load, 6));
    r.json = Json{{"conductor",
                   {{"wind_m_per_s", w.wind},
                    {"ice_mm", w.ice},
                    {"diameter_mm", w.diameter},
                    {"length_m", w.length},
                    {"height_m", w.height},
                    {"angle_deg", w.angle}}},
                  {"coefficients",
                   {{"wind_reference_height_m", kLineReferenceHeight},
                    {"basic_pressure_kN_per_m2", w0},
                    {"alpha", alpha},
                    {"mu_z", muZ},
                    {"mu_sc", muSc}}},
                  {"load_kN", load}};
    return r;
}

WindResult insulatorWind(const WindInputs& w) {
    const WeatherCondition c = windOnly(w);
    const double load = CPInsuWindHZ(&c, w.height, w.area);
    const double w0 = basicPressure(w.wind);
    const double muZ = CalcWindHeightChangeCoff(w.height, kTerrain, kLineTable);
    WindResult r;
    r.text = fmt::format(
        "Insulator string of {} m\u00B2 at {} m, wind {} m/s (the speed at {} m)\n"
        "{}, \u03BCz {} (terrain B, 1 at {} m)\nload {} kN\n",
        w.area, w.height, w.wind, kLineReferenceHeight, pressureText(w0), coefficient(muZ),
        kLineReferenceHeight, number(load, 6));
    r.json =
        Json{{"insulator", {{"wind_m_per_s", w.wind}, {"height_m", w.height}, {"area_m2", w.area}}},
             {"coefficients",
              {{"wind_reference_height_m", kLineReferenceHeight},
               {"basic_pressure_kN_per_m2", w0},
               {"mu_z", muZ}}},
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
    wind->footer(
        examples({"varnel wind conductor --wind 25 --ice 10 --diameter 21.6 --length 300 "
                  "--height 20",
                  "varnel wind pole --help"}) +
        "\nThe loads take the basic wind pressure W0 = v\u00B2/1600 kN/m\u00B2 and terrain class "
        "B. The\nheight coefficient \u03BCz is 1 at 10 m for the pole, and at 15 m for the "
        "conductor and the\ninsulator: --wind is the speed at that height (the sample weather "
        "areas give speeds\nat 10 m). The conductor's load takes its bare diameter: the ice "
        "enters only through\nthe shape coefficient \u03BCsc (1.2 when iced) and the "
        "non-uniformity coefficient \u03B1 (times\n1.5 from 20 mm). The text and --json give "
        "every coefficient used.\n");
    const auto addWind = [&](CLI::App* cmd, double referenceHeight) {
        numbers.add(cmd, "--wind", w->wind,
                    fmt::format("Wind speed at {} m above ground, m/s, at least 0 (the height "
                                "coefficient \u03BCz, terrain B, is 1 at {} m)",
                                referenceHeight, referenceHeight),
                    "M/S", kNonNegative, true);
        cmd->add_flag("--json", *json,
                      "One JSON document with the inputs, the coefficients used and the result");
    };

    CLI::App* pole = wind->add_subcommand("pole", "A tapered pole body of ring section");
    addWind(pole, kPoleReferenceHeight);
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

    CLI::App* line = wind->add_subcommand(
        "conductor", "A length of conductor (on its bare diameter; ice in \u03BCsc and \u03B1)");
    addWind(line, kLineReferenceHeight);
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
    addWind(insulator, kLineReferenceHeight);
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
