// The profile check's three input files: the terrain along the centreline, the towers and the
// crossings. CSV with a header line naming the columns (in any order), UTF-8 or GBK, CRLF line
// ends, a UTF-8 byte order mark and blank lines allowed. Every refusal is a ToolError of one line,
// "FILE: line N, column C (NAME): reason" (or "FILE: line N: reason" for a whole row).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "design/line_profile.h"

namespace varnel::tool {

// station_m,elevation_m, stations increasing.
std::vector<design::TerrainPoint> parseTerrain(std::string_view text, const std::string& path);

// name,station_m,kind,arm_height_m,insulator_length_m,insulator_weight_N and, optional (a column
// left out or a cell left empty), ground_elevation_m, angle_deg, max_swing_deg,
// insulator_area_m2, max_angle_deg and max_swing_<CONDITION>_deg (the allowed swing in the
// condition the area names CONDITION). Names each a tower's own; stations increasing and on the
// terrain; the first and the last towers strain towers; kind strain (耐张) or suspension (直线);
// no line angle past max_angle_deg, nor of 90° or more at a suspension tower. With
// `conditions` (the area's names) each max_swing_<CONDITION>_deg must name one of them. A ground
// elevation more than 5 m from the terrain's at the station adds a line to `warnings`.
std::vector<design::Tower> parseTowers(std::string_view text, const std::string& path,
                                       const std::vector<design::TerrainPoint>& terrain,
                                       const std::vector<std::string>& conditions = {},
                                       std::vector<std::string>* warnings = nullptr);

// name,station_m,elevation_m,clearance_m and optional offset_m; each station between the first
// and the last tower's.
std::vector<design::Crossing> parseCrossings(std::string_view text, const std::string& path,
                                             const std::vector<design::Tower>& towers);

// The same from files.
std::vector<design::TerrainPoint> readTerrain(const std::string& path);
std::vector<design::Tower> readTowers(const std::string& path,
                                      const std::vector<design::TerrainPoint>& terrain,
                                      const std::vector<std::string>& conditions = {},
                                      std::vector<std::string>* warnings = nullptr);
std::vector<design::Crossing> readCrossings(const std::string& path,
                                            const std::vector<design::Tower>& towers);

}  // namespace varnel::tool
