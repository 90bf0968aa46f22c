// The commands of varnel. Each file `*_command.cpp` adds one command to the application: its
// options, its help with an example, and what it does once the command line has been read.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/design_inputs.h"
#include "tools/json_output.h"
#include "tools/number_options.h"
#include "tools/result_stream.h"

namespace varnel::tool {

struct Command {
    CLI::App* app;                           // the command (or the leaf of a command group)
    std::function<void(ResultStream&)> run;  // throws ToolError or UsageError
};

// What every command shares while the command line is being set up: its number options, and the
// list the commands add themselves to.
struct CommandSet {
    NumberOptions numbers;
    std::vector<Command> commands;
};

void addTableCommand(CLI::App& app, CommandSet& set);
void addAreasCommand(CLI::App& app, CommandSet& set);
void addConductorsCommand(CLI::App& app, CommandSet& set);
void addControlCommand(CLI::App& app, CommandSet& set);
void addSagTableCommand(CLI::App& app, CommandSet& set);
void addCriticalCommand(CLI::App& app, CommandSet& set);
void addSectionCommand(CLI::App& app, CommandSet& set);
void addWindCommand(CLI::App& app, CommandSet& set);
void addSpanCommand(CLI::App& app, CommandSet& set);
void addDemoCommand(CLI::App& app, CommandSet& set);
void addThermalCommand(CLI::App& app, CommandSet& set);
void addProfileCommand(CLI::App& app, CommandSet& set);

// The pieces of the commands that the demo walks through.
std::string areasReport(const std::string& path);
std::string conductorsReport(const std::string& path);
std::string controlReport(const DesignOptions& design, double span);
std::string criticalReport(const DesignOptions& design);
void writeSection(const DesignOptions& design, const std::string& sectionPath,
                  const std::string& svgPath, ResultStream& out);
void writeSagTable(const DesignOptions& design, const std::string& spans,
                   const std::string& csvPath, const std::string& svgPath, ResultStream& out);

struct WindInputs {
    double wind = 0;  // m/s
    double ice = 0;   // mm
    // pole
    double topDiameter = 0;   // mm
    double topHeight = 0;     // m
    double taper = 75;        // N of 1:N
    double bottomHeight = 0;  // m
    // conductor
    double diameter = 0;  // mm
    double length = 0;    // m
    double height = 0;    // m
    double angle = 90;    // degrees
    // insulator
    double area = 0;  // m²
};
struct WindResult {
    std::string text;
    Json json;
};
WindResult poleWind(const WindInputs& inputs);  // throws UsageError for a pole upside down
WindResult conductorWind(const WindInputs& inputs);
WindResult insulatorWind(const WindInputs& inputs);

// A note for standard error, "varnel: warning: MESSAGE", written once the command has succeeded
// (a command that fails writes only its one line).
void warn(const std::string& message);

// Spans above this are computed, with a warning: they are more likely metres typed for
// something else (millimetres, a total length) than a line's span.
inline constexpr double kLongSpan = 5000;  // m
// Warns when `span` is above kLongSpan; `where` names the option or the file line.
void warnOfLongSpan(const std::string& where, double span);

// Help text that ends a command's --help: one or more examples, each on its own line.
std::string examples(std::initializer_list<const char*> lines);

}  // namespace varnel::tool
