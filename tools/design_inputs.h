// The inputs of a span design, shared by control, sag-table and demo: the weather area and the
// conductor, found by name in their tables, and the factors of the search.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "tools/json_output.h"
#include "tools/number_options.h"
#include "tools/span_analysis.h"
#include "varnel.h"

namespace varnel::tool {

struct DesignOptions {
    std::string areasPath;
    std::string areaName;
    std::string conductorsPath;
    std::string conductorName;
    bool loadCase = false;
    DesignFactors factors;
};

// `withCos`: the span's cosine is an option (a section takes its spans' own).
void addDesignOptions(CLI::App* command, NumberOptions& numbers, DesignOptions& options,
                      bool withCos = true);

struct Design {
    const ::WeatherArea* area;
    const ::LineAttrib* conductor;
};

// Loads both tables into the library and finds the area and the conductor, then checks them as
// checkDesign does. Throws ToolError.
Design loadDesign(const DesignOptions& options);

// The loaders take any row as the table holds it; the design refuses at once, with ToolError
// naming the table, the row and the field, a conductor or an area no calculation can use (and
// an area whose annual-average condition cannot be told).
void checkDesign(const Design& design, const DesignOptions& options);

std::size_t conditionCount(const ::WeatherArea& area);

// Two lines: the area, the conductor's figures and the factors (the cosine only `withCos`).
std::string describeDesign(const Design& design, const DesignFactors& factors, bool withCos = true);
// The same as JSON members: "area", "conductor" and "factors".
void describeDesign(const Design& design, const DesignFactors& factors, Json& into);
Json conductorJson(const ::LineAttrib& conductor);

// The rows of one span: specific load, stress, sag, limit and whether it holds.
std::string spanTable(const ::WeatherArea& area, const SpanState& state);
// As JSON members: "span_m", "controlling" and "control_stress_N_per_mm2" (null when no
// condition qualifies) and "conditions";
// without a controlling condition only each condition's name and specific load are known.
Json spanJson(const ::WeatherArea& area, const ::LineAttrib& conductor, const SpanState& state);

}  // namespace varnel::tool
