// The profile drawing: the ground, the towers, the conductor in its condition of largest sag and
// the clearance line under it, the crossings and the violations, as on a plan-and-profile sheet,
// drawn as SVG by `varnel profile --svg`.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "design/line_profile.h"
#include "tools/chart_language.h"
#include "tools/result_stream.h"

namespace varnel::tool {

// What the drawing needs beside the checked profile. Texts in UTF-8.
struct ProfileDrawingInputs {
    const std::vector<design::TerrainPoint>& terrain;
    const std::vector<design::Tower>& towers;
    const std::vector<design::Crossing>& crossings;
    std::string area;            // the weather area's name
    std::string conductor;       // the conductor's name
    double exaggeration = 10;    // vertical scale over horizontal
    std::optional<double> from;  // m, the first station drawn; the line's start when not given
    std::optional<double> to;    // m, the last station drawn; the line's end when not given
    std::string wind;            // the caption's line on the wind (profileWindNote)
    ChartLanguage language = ChartLanguage::en;  // the drawing's own words
};

// The α's source as the outputs name it: GB 50545-2010 Table 10.1.18-1 gives α by the basic
// speed at 10 m in two rows, one for the towers' loads, one for the electrical clearances.
inline constexpr const char* kLoadAlphaTable = "GB 50545-2010 Table 10.1.18-1, tower loads";
inline constexpr const char* kClearanceAlphaTable =
    "GB 50545-2010 Table 10.1.18-1, electrical clearance";

// One line on the wind the check took: the reference height of the area's speeds and the
// terrain class, and the α of the loads and of the swing (the tables', or fixed ones).
std::string profileWindNote(const design::LineProfile& profile,
                            std::optional<double> loadAlpha = std::nullopt,
                            std::optional<double> clearanceAlpha = std::nullopt,
                            ChartLanguage language = ChartLanguage::en);

// Writes the SVG document to `out` (the caller commits it). Throws UsageError for a window
// that holds nothing of the line, ToolError when the file cannot be written.
void writeProfileDrawing(const design::LineProfile& profile, const ProfileDrawingInputs& inputs,
                         OutputFile& out);

}  // namespace varnel::tool
