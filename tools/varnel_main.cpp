// varnel: the library's own command. It is a host of the library like the design application:
// the libraries are loaded and the calculations run through the library's entry points; the
// table reader is used directly only to show raw tables and to say why a table would not load.
//
// Everything a command prints is gathered first and written when the command has succeeded, so
// a failure never leaves half a result on the screen: it is one line on standard error and a
// non-zero status.
#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dbf/dbase.h"
#include "tools/encoding.h"
#include "tools/library_output.h"
#include "tools/library_tables.h"
#include "tools/span_analysis.h"
#include "tools/svg_chart.h"
#include "tools/text_table.h"
#include "tools/tool_error.h"
#include "varnel.h"

namespace varnel::tool {
namespace {

// ---- small helpers ----

std::string number(double value, int decimals) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    return fmt::format("{:.{}f}", value, decimals);
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(nativePath(path), std::ios::binary);
    if (!out || !out.write(content.data(), static_cast<std::streamsize>(content.size())) ||
        !out.flush()) {
        throw ToolError(path + ": cannot write");
    }
}

void emit(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

std::size_t conditionCount(const WeatherArea& area) {
    return area.conditions.first == nullptr
               ? 0
               : static_cast<std::size_t>(area.conditions.last - area.conditions.first);
}

std::vector<std::string> conditionNames(const WeatherArea& area) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < conditionCount(area); ++i) {
        names.push_back(nameOf(area.conditions.first[i].name));
    }
    return names;
}

// A number option: the whole text must be a finite number, at least `min` (or above it).
CLI::Validator numberFrom(double min, bool inclusive) {
    return CLI::Validator(
        [min, inclusive](std::string& text) -> std::string {
            double value = 0;
            std::size_t used = 0;
            try {
                value = std::stod(text, &used);
            } catch (const std::exception&) {
                used = 0;
            }
            if (used == 0 || used != text.size() || !std::isfinite(value)) {
                return "\"" + text + "\" is not a number";
            }
            if (inclusive ? value < min : value <= min) {
                return "\"" + text + "\" must be " + (inclusive ? "at least " : "above ") +
                       fmt::format("{}", min);
            }
            return {};
        },
        inclusive ? fmt::format("NUMBER >= {}", min) : fmt::format("NUMBER > {}", min));
}
const CLI::Validator kAnyNumber = numberFrom(-1e308, true);
const CLI::Validator kNonNegative = numberFrom(0, true);
const CLI::Validator kPositive = numberFrom(0, false);

// ---- the design inputs shared by control, sag-table and demo ----

struct DesignOptions {
    std::string areasPath;
    std::string areaName;
    std::string conductorsPath;
    std::string conductorName;
    bool loadCase = false;
    DesignFactors factors;
};

void addDesignOptions(CLI::App* cmd, DesignOptions& o) {
    cmd->add_option("--areas", o.areasPath, "Weather area table (DBF)")->required();
    cmd->add_option("--area", o.areaName, "Weather area name, as in the table")->required();
    cmd->add_option("--conductors", o.conductorsPath, "Conductor table (DBF)")->required();
    cmd->add_option("--conductor", o.conductorName, "Conductor name, as in the table")->required();
    cmd->add_flag("--load-case", o.loadCase,
                  "The areas table is a load-case table (10 fields, six conditions)");
    cmd->add_option("--cos", o.factors.cosAngle,
                    "Cosine of the span's height-difference angle (1 for a level span)")
        ->capture_default_str()
        ->check(kPositive & CLI::Validator(
                                [](std::string& t) -> std::string {
                                    return std::stod(t) <= 1 ? "" : "\"" + t + "\" is above 1";
                                },
                                ""));
    cmd->add_option("--avg-ratio", o.factors.avgRatio,
                    "Fraction of the strength allowed in the annual average condition")
        ->capture_default_str()
        ->check(kPositive);
    cmd->add_option("--strength-factor", o.factors.strengthFactor,
                    "Factor applied to the rated strength in both limits")
        ->capture_default_str()
        ->check(kPositive);
    cmd->add_option("--safety", o.factors.safety,
                    "Safety factor dividing the strength in the normal limit")
        ->capture_default_str()
        ->check(kPositive);
}

struct Design {
    const WeatherArea* area;
    const LineAttrib* conductor;
};

Design loadDesign(const DesignOptions& o) {
    const TableKind kind = o.loadCase ? TableKind::LoadCaseAreas : TableKind::WeatherAreas;
    loadLibrary(kind, o.areasPath);
    loadLibrary(TableKind::Conductors, o.conductorsPath);
    const WeatherArea& area = findArea(kind, o.areaName, o.areasPath);
    const LineAttrib& conductor = findConductor(o.conductorName, o.conductorsPath);
    return {&area, &conductor};
}

std::string describeDesign(const Design& d, const DesignFactors& f) {
    const LineAttrib& c = *d.conductor;
    return fmt::format(
        "Weather area {}; conductor {}: {} mm\u00B2, {} mm, {} kg/km, E {} N/mm\u00B2, "
        "\u03B1 {}e-6/\u00B0C, rated strength {} N\n"
        "cos {}, annual average ratio {}, strength factor {}, safety factor {}\n",
        nameOf(d.area->name), nameOf(c.name), c.area, c.diameter, c.unitMass, c.elasticModulus,
        c.expansionCoeff * 1e6, c.ratedStrength, f.cosAngle, f.avgRatio, f.strengthFactor,
        f.safety);
}

// The rows of one span: specific load, stress, sag, limit and whether it holds.
std::string spanTable(const WeatherArea& area, const SpanState& state) {
    TextTable table({"condition", "load N/(m\u00B7mm\u00B2)", "stress N/mm\u00B2", "sag m",
                     "limit N/mm\u00B2", "holds"},
                    {false, true, true, true, true, false});
    for (std::size_t i = 0; i < state.conditions.size(); ++i) {
        const ConditionState& s = state.conditions[i];
        std::string name = nameOf(area.conditions.first[i].name);
        if (static_cast<int>(i) == state.control) name += " *";
        table.addRow({name, fmt::format("{:.6e}", s.specificLoad), number(s.stress, 3),
                      number(s.sag, 3), number(s.limit, 3), s.holds ? "yes" : "NO"});
    }
    return table.aligned() + "* controlling condition\n";
}

// ---- spans FROM:TO:STEP ----

std::vector<double> parseSpans(const std::string& text) {
    const auto fail = [&](const std::string& why) {
        return ToolError("--spans " + text + ": " + why);
    };
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t colon; (colon = text.find(':', start)) != std::string::npos;
         start = colon + 1) {
        parts.push_back(text.substr(start, colon - start));
    }
    parts.push_back(text.substr(start));
    if (parts.size() != 3) throw fail("expected FROM:TO:STEP");
    double values[3];
    for (std::size_t k = 0; k < 3; ++k) {
        try {
            std::size_t used = 0;
            values[k] = std::stod(parts[k], &used);
            if (used != parts[k].size() || !std::isfinite(values[k])) {
                throw std::invalid_argument(parts[k]);
            }
        } catch (const std::exception&) {
            throw fail("\"" + parts[k] + "\" is not a number");
        }
    }
    const double from = values[0], to = values[1], step = values[2];
    if (from < 0) throw fail("spans cannot be negative");
    if (to < from) throw fail("TO is below FROM");
    if (step <= 0) throw fail("STEP must be positive");
    const double count = std::floor((to - from) / step + 1e-9) + 1;
    if (count > 1e6) throw fail("more than a million spans");
    std::vector<double> spans;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        spans.push_back(from + step * static_cast<double>(i));
    }
    return spans;
}

// ---- commands ----

struct TableCommand {
    std::string path;
    bool csv = false;
    bool raw = false;

    std::string run() const {
        std::size_t fields = 0;
        const std::string problem = tableProblem(path, &fields);
        if (!problem.empty()) throw ToolError(path + ": " + problem);
        CDbase table;
        table.Open(nativePath(path).c_str(), 0);
        TextList names;
        table.GetFieldNames(names);
        auto text = [&](const std::string& s) { return raw ? s : gbkToUtf8(s); };
        std::vector<std::string> headers;
        for (const auto& n : names) headers.push_back(text(n));
        TextTable out(headers);
        TextList values;
        for (int r = 0; r < table.GetRecordCount(); ++r) {
            table.GetRecord(r, values);
            std::vector<std::string> cells;
            for (const auto& v : values) cells.push_back(text(v));
            out.addRow(cells);
        }
        if (csv) return out.csv();
        return out.aligned() +
               fmt::format("{} fields, {} records\n", names.size(), table.GetRecordCount());
    }
};

struct AreasCommand {
    std::string path;
    bool loadCase = false;
    bool english = false;

    std::string run() const {
        const TableKind kind = loadCase ? TableKind::LoadCaseAreas : TableKind::WeatherAreas;
        loadLibrary(kind, path, english);
        const WeatherAreaSeq* areas = loadCase ? GetHZWeatherAreaLib() : GetWeatherAreaLib();
        TextTable out({"area", "condition", "ice mm", "wind m/s", "temperature \u00B0C"},
                      {false, false, true, true, true});
        std::size_t n =
            areas->first == nullptr ? 0 : static_cast<std::size_t>(areas->last - areas->first);
        for (std::size_t a = 0; a < n; ++a) {
            const WeatherArea& area = areas->first[a];
            for (std::size_t i = 0; i < conditionCount(area); ++i) {
                const WeatherCondition& c = area.conditions.first[i];
                out.addRow({i == 0 ? nameOf(area.name) : "", nameOf(c.name),
                            number(c.iceThickness, 1), number(c.windSpeed, 2),
                            number(c.temperature, 1)});
            }
        }
        return out.aligned() + fmt::format("{} areas\n", n);
    }
};

struct ConductorsCommand {
    std::string path;

    std::string run() const {
        loadLibrary(TableKind::Conductors, path);
        const LineAttribSeq* lib = GetLineAttribLib();
        TextTable out(
            {"name", "area mm\u00B2", "diameter mm", "mass kg/km", "column 4", "E N/mm\u00B2",
             "\u03B1 1e-6/\u00B0C", "column 7", "strength N", "column 9", "column 10"},
            {false, true, true, true, true, true, true, true, true, true, false});
        const std::size_t n =
            lib->first == nullptr ? 0 : static_cast<std::size_t>(lib->last - lib->first);
        for (std::size_t i = 0; i < n; ++i) {
            const LineAttrib& c = lib->first[i];
            out.addRow({nameOf(c.name), fmt::format("{}", c.area), fmt::format("{}", c.diameter),
                        fmt::format("{}", c.unitMass), fmt::format("{}", c.column4Value),
                        fmt::format("{}", c.elasticModulus),
                        fmt::format("{:.4g}", c.expansionCoeff * 1e6),
                        fmt::format("{}", c.column7Value), fmt::format("{}", c.ratedStrength),
                        fmt::format("{}", c.column9Number), nameOf(c.column10Text)});
        }
        return out.aligned() + fmt::format("{} conductors\n", n);
    }
};

struct ControlCommand {
    DesignOptions design;
    double span = 0;
    bool raw = false;

    std::string run() const {
        const Design d = loadDesign(design);
        SpanState state;
        const std::string account = captureStandardOutput(
            [&] { state = analyseSpan(span, *d.conductor, d.area->conditions, design.factors); });
        std::string out = describeDesign(d, design.factors);
        out += fmt::format("span {} m\n", span);
        out += raw ? account : gbkToUtf8(account);
        if (state.control < 0) return out + "\nNo condition qualifies as controlling.\n";
        out += fmt::format("\nControlling condition: {}, strung to {} N/mm\u00B2\n\n",
                           nameOf(d.area->conditions.first[state.control].name),
                           number(state.controlStress, 3));
        return out + spanTable(*d.area, state);
    }
};

struct SagTableCommand {
    DesignOptions design;
    std::string spans;
    std::string csvPath;
    std::string svgPath;

    std::string run() const {
        const std::vector<double> spanList = parseSpans(spans);
        const Design d = loadDesign(design);
        std::vector<SpanState> states;
        states.reserve(spanList.size());
        discardStandardOutput([&] {
            for (double l : spanList) {
                states.push_back(analyseSpan(l, *d.conductor, d.area->conditions, design.factors));
            }
        });
        const std::vector<std::string> names = conditionNames(*d.area);
        std::string out = describeDesign(d, design.factors);
        out += render(names, states, false);
        if (!csvPath.empty()) {
            writeFile(csvPath, render(names, states, true));
            out += "CSV written to " + csvPath + "\n";
        }
        if (!svgPath.empty()) {
            const std::string title = fmt::format("{} in {}: stress and sag against span",
                                                  nameOf(d.conductor->name), nameOf(d.area->name));
            writeFile(svgPath, sagTableSvg(title, names, states));
            out += "SVG written to " + svgPath + "\n";
        }
        return out;
    }

    // The stress table and the sag table, or as CSV one row per span with both.
    static std::string render(const std::vector<std::string>& names,
                              const std::vector<SpanState>& states, bool csv) {
        auto controlName = [&](const SpanState& s) {
            return s.control >= 0 ? names[static_cast<std::size_t>(s.control)] : std::string("-");
        };
        if (csv) {
            std::vector<std::string> headers{"span_m", "controlling"};
            for (const auto& n : names) headers.push_back("stress_" + n + "_N/mm2");
            for (const auto& n : names) headers.push_back("sag_" + n + "_m");
            TextTable table(headers);
            for (const auto& s : states) {
                std::vector<std::string> row{fmt::format("{}", s.span), controlName(s)};
                for (const auto& c : s.conditions) row.push_back(number(c.stress, 4));
                for (const auto& c : s.conditions) row.push_back(number(c.sag, 4));
                table.addRow(row);
            }
            return table.csv();
        }
        std::string out;
        for (int part = 0; part < 2; ++part) {
            std::vector<std::string> headers{"span m", "controlling"};
            headers.insert(headers.end(), names.begin(), names.end());
            std::vector<bool> right(headers.size(), true);
            right[1] = false;
            TextTable table(headers, right);
            for (const auto& s : states) {
                std::vector<std::string> row{fmt::format("{}", s.span), controlName(s)};
                for (const auto& c : s.conditions) {
                    row.push_back(part == 0 ? number(c.stress, 2) : number(c.sag, 2));
                }
                table.addRow(row);
            }
            out += part == 0 ? "\nStress, N/mm\u00B2\n" : "\nSag, m\n";
            out += table.aligned();
        }
        return out;
    }
};

struct WindCommand {
    double wind = 0;
    double ice = 0;
    // pole
    double topDiameter = 0, topHeight = 0, taper = 0, bottomHeight = 0;
    // conductor
    double diameter = 0, length = 0, height = 0, angle = 90;
    // insulator
    double area = 0;

    WeatherCondition condition() const {
        WeatherCondition c{};
        c.windSpeed = wind;
        c.iceThickness = ice;
        return c;
    }

    std::string pole() const {
        const WeatherCondition c = condition();
        double force = 0, moment = 0;
        CPBodyWindHZ(&c, topDiameter, topHeight, taper, bottomHeight, &force, &moment);
        return fmt::format(
            "Pole body from {} m down to {} m, {} mm at the top, taper {}, wind {} m/s\n"
            "force  {} kN\nmoment {} kN\u00B7m about the ground\n",
            topHeight, bottomHeight, topDiameter, taper, wind, number(force, 6), number(moment, 6));
    }
    std::string conductor() const {
        const WeatherCondition c = condition();
        LineAttrib a{};
        a.diameter = diameter;
        return fmt::format(
            "{} m of conductor, {} mm, at {} m, wind {} m/s at {}\u00B0, ice {} mm\n"
            "load {} kN\n",
            length, diameter, height, wind, angle, ice,
            number(CPLineWindHZ(&c, &a, length, height, angle), 6));
    }
    std::string insulator() const {
        const WeatherCondition c = condition();
        return fmt::format("Insulator string of {} m\u00B2 at {} m, wind {} m/s\nload {} kN\n",
                           area, height, wind, number(CPInsuWindHZ(&c, height, area), 6));
    }
};

struct DemoCommand {
    std::string samples = "samples";
    std::string outDir = ".";

    std::string run() const {
        const std::filesystem::path dir(samples);
        DesignOptions o;
        o.areasPath = (dir / "weather_areas.dbf").string();
        o.conductorsPath = (dir / "conductors.dbf").string();
        // Area VI: the controlling condition changes twice between 50 and 800 m.
        o.areaName = "\u5178\u578B\u6C14\u8C61\u533A\u2165";  // 典型气象区Ⅵ
        o.conductorName = "JL/G1A-240/30";

        std::string out = "The typical road through the library, on the shipped samples.\n\n";
        out += "1. Weather areas from " + o.areasPath + "\n";
        out += AreasCommand{o.areasPath, false, false}.run();
        out += "\n2. Conductors from " + o.conductorsPath + "\n";
        out += ConductorsCommand{o.conductorsPath}.run();
        out += "\n3. Controlling condition of a 300 m level span, " + o.conductorName + " in " +
               o.areaName + "\n";
        out += ControlCommand{o, 300.0, false}.run();

        out += "\n4. Wind loads on the support in the high wind condition\n";
        loadLibrary(TableKind::WeatherAreas, o.areasPath);
        loadLibrary(TableKind::Conductors, o.conductorsPath);
        const WeatherArea& area = findArea(TableKind::WeatherAreas, o.areaName, o.areasPath);
        const LineAttrib& conductor = findConductor(o.conductorName, o.conductorsPath);
        const WeatherCondition& highWind = area.conditions.first[1];
        WindCommand w;
        w.wind = highWind.windSpeed;
        w.topDiameter = 190;
        w.topHeight = 12;
        w.taper = 0.075;
        w.diameter = conductor.diameter;
        w.length = 300;
        w.height = 15;
        w.area = 0.25;
        out += w.pole() + w.conductor() + w.insulator();

        const std::filesystem::path outPath(outDir);
        std::error_code ec;
        std::filesystem::create_directories(outPath, ec);
        SagTableCommand sag{o, "50:800:50", (outPath / "sag_table.csv").string(),
                            (outPath / "sag_table.svg").string()};
        out += "\n5. Mechanical characteristic table, spans 50 to 800 m\n";
        out += sag.run();
        return out;
    }
};

}  // namespace
}  // namespace varnel::tool

int main(int argc, char** argv) {
    using namespace varnel::tool;
    CLI::App app{
        "varnel: line design calculations on dBASE design tables (GBK), through the Varnel "
        "library"};
    app.require_subcommand(1);
    // A command-line mistake is one line, as every other failure.
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return std::string("varnel: ") + e.what() + " (see --help)\n";
    });
    app.set_help_all_flag("--help-all", "Show help for every command");

    TableCommand table;
    auto* tableCmd = app.add_subcommand("table", "Show any DBF table: field names and rows");
    tableCmd->add_option("FILE", table.path, "The table")->required();
    tableCmd->add_flag("--csv", table.csv, "Write CSV instead of an aligned table");
    tableCmd->add_flag("--raw", table.raw, "Texts as their bytes, not converted from GBK");

    AreasCommand areas;
    auto* areasCmd = app.add_subcommand("areas", "Show the weather areas of a table as loaded");
    areasCmd->add_option("FILE", areas.path, "Weather area table")->required();
    areasCmd->add_flag("--load-case", areas.loadCase, "A load-case table (10 fields)");
    areasCmd->add_flag("--english", areas.english, "English condition names");

    ConductorsCommand conductors;
    auto* conductorsCmd =
        app.add_subcommand("conductors", "Show the conductors of a table as loaded");
    conductorsCmd->add_option("FILE", conductors.path, "Conductor table")->required();

    ControlCommand control;
    auto* controlCmd = app.add_subcommand(
        "control", "Controlling condition of a span, with the library's account");
    addDesignOptions(controlCmd, control.design);
    controlCmd->add_option("--span", control.span, "Span length, m")
        ->required()
        ->check(kNonNegative);
    controlCmd->add_flag("--raw", control.raw, "The account as the library writes it (GBK)");

    SagTableCommand sag;
    auto* sagCmd = app.add_subcommand(
        "sag-table", "Mechanical characteristic table: stress and sag in every condition by span");
    addDesignOptions(sagCmd, sag.design);
    sagCmd->add_option("--spans", sag.spans, "Spans FROM:TO:STEP, m")->required();
    sagCmd->add_option("--csv", sag.csvPath, "Also write the table as CSV to this file");
    sagCmd->add_option("--svg", sag.svgPath, "Also draw the curves as SVG to this file");

    WindCommand wind;
    auto* windCmd = app.add_subcommand("wind", "Wind loads on a support");
    windCmd->require_subcommand(1);
    auto* poleCmd = windCmd->add_subcommand("pole", "Tapered ring-section pole body");
    poleCmd->add_option("--wind", wind.wind, "Wind speed, m/s")->required()->check(kNonNegative);
    poleCmd->add_option("--top-diameter", wind.topDiameter, "Diameter at the top, mm")
        ->required()
        ->check(kNonNegative);
    poleCmd->add_option("--top-height", wind.topHeight, "Height of the top above ground, m")
        ->required()
        ->check(kNonNegative);
    poleCmd
        ->add_option("--taper", wind.taper,
                     "Taper divisor: the diameter grows by (length in m) / taper mm downwards")
        ->required()
        ->check(kPositive);
    poleCmd
        ->add_option("--bottom-height", wind.bottomHeight, "Height of the bottom above ground, m")
        ->capture_default_str()
        ->check(kNonNegative);
    auto* lineCmd = windCmd->add_subcommand("conductor", "A length of conductor");
    lineCmd->add_option("--wind", wind.wind, "Wind speed, m/s")->required()->check(kNonNegative);
    lineCmd->add_option("--ice", wind.ice, "Ice thickness, mm")
        ->capture_default_str()
        ->check(kNonNegative);
    lineCmd->add_option("--diameter", wind.diameter, "Conductor diameter, mm")
        ->required()
        ->check(kNonNegative);
    lineCmd->add_option("--length", wind.length, "Length under wind, m")
        ->required()
        ->check(kNonNegative);
    lineCmd->add_option("--height", wind.height, "Height above ground, m")
        ->required()
        ->check(kNonNegative);
    lineCmd->add_option("--angle", wind.angle, "Angle between wind and conductor, degrees")
        ->capture_default_str()
        ->check(kAnyNumber);
    auto* insulatorCmd = windCmd->add_subcommand("insulator", "An insulator string");
    insulatorCmd->add_option("--wind", wind.wind, "Wind speed, m/s")
        ->required()
        ->check(kNonNegative);
    insulatorCmd->add_option("--height", wind.height, "Height above ground, m")
        ->required()
        ->check(kNonNegative);
    insulatorCmd->add_option("--area", wind.area, "Wind-exposed area, m\u00B2")
        ->required()
        ->check(kNonNegative);

    DemoCommand demo;
    auto* demoCmd = app.add_subcommand(
        "demo", "The typical road on the shipped samples, ending with the sag table and its SVG");
    demoCmd->add_option("--samples", demo.samples, "Folder of the sample tables")
        ->capture_default_str();
    demoCmd->add_option("--out", demo.outDir, "Folder for sag_table.csv and sag_table.svg")
        ->capture_default_str();

    try {
#ifdef _WIN32
        (void)argc;
        (void)argv;
        std::vector<std::string> args = utf8Arguments();
        std::reverse(args.begin(), args.end());
        args.pop_back();  // the program name
        app.parse(args);
#else
        app.parse(argc, argv);
#endif
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }

    try {
        std::string out;
        if (*tableCmd) out = table.run();
        if (*areasCmd) out = areas.run();
        if (*conductorsCmd) out = conductors.run();
        if (*controlCmd) out = control.run();
        if (*sagCmd) out = sag.run();
        if (*poleCmd) out = wind.pole();
        if (*lineCmd) out = wind.conductor();
        if (*insulatorCmd) out = wind.insulator();
        if (*demoCmd) out = demo.run();
        emit(out);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "varnel: %s\n", e.what());
        return 1;
    }
}
