// varnel profile --solve max-temperature: the highest conductor temperature at which every
// clearance of the checked line still holds (design/profile_solve.h), the requirement that sets
// it, and with the heat balance's options the current that holds the conductor there.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "design/line_profile.h"
#include "design/profile_solve.h"
#include "thermal/thermal_rating.h"
#include "tools/json_output.h"
#include "tools/result_stream.h"
#include "tools/section_current.h"

namespace varnel::tool {

struct SolvedTemperature {
    design::TemperatureLimit limit;
    // The current, asked for by giving any of the heat balance's options.
    bool currentAsked = false;
    thermal::Model model = thermal::Model::ieee738;
    thermal::Weather weather;
    std::optional<thermal::HeatBalance> ampacity;  // at limit.temperature
    std::string noCurrent;                         // why there is none, when asked
};

// The checked line's limit. `options` are the command's heat balance options (--current and
// --max-temperature refused before); the conductor's resistance comes from them or from its row
// in conductor_resistance.csv beside `conductorsPath`. Throws UsageError when there is nothing to
// hold (no ground clearance and no crossing) or the heat balance's options cannot be carried
// out, ToolError when a section's stress cannot be solved.
SolvedTemperature solveMaxTemperature(
    const design::LineProfile& checked, const LineAttrib& conductor,
    const WeatherConditionSeq& conditions, const std::vector<design::TerrainPoint>& terrain,
    const std::vector<design::Crossing>& crossings, const OperatingOptions& options,
    const std::string& conductorsPath, const std::string& conductorName, double diameterMm);

// What a requirement is, in words: "the ground under N1-N2" or "road over N3-N4".
std::string requirementName(const design::ClearanceTemperature& item,
                            const std::vector<design::Tower>& towers,
                            const std::vector<design::Crossing>& crossings);

// The text's part: a table of every requirement's own temperature, the limit and what sets it,
// and the current.
std::string solveText(const SolvedTemperature& solved, const std::vector<design::Tower>& towers,
                      const std::vector<design::Crossing>& crossings);

// The JSON's "solve" member (docs/json.md).
Json solveJson(const SolvedTemperature& solved, const std::vector<design::Tower>& towers,
               const std::vector<design::Crossing>& crossings);

// solve.csv: a row per requirement.
void writeSolveCsv(OutputFile& out, const SolvedTemperature& solved,
                   const std::vector<design::Tower>& towers,
                   const std::vector<design::Crossing>& crossings);

}  // namespace varnel::tool
