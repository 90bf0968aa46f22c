#include "tools/profile_inputs.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "calc/decimal_parse.h"
#include "tools/encoding.h"
#include "tools/file_text.h"
#include "tools/number_options.h"
#include "tools/result_stream.h"
#include "tools/text_table.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

// 400 km of terrain every metre is about 10 MB; a file past 64 MB is not a profile.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 26;
constexpr std::size_t kMaxRows = 2'000'000;
// m: a tower's ground elevation this far from the terrain's at its station is warned of.
constexpr double kGroundMismatch = 5;

std::string readWhole(const std::string& pathUtf8) {
    return readWholeFile(pathUtf8, kMaxFileBytes, "larger than 64 MB");
}

std::string trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return std::string(s);
}

// The cells of one line: commas separate; a cell may be quoted, a quote inside doubled.
std::optional<std::vector<std::string>> cellsOf(std::string_view line) {
    std::vector<std::string> cells;
    std::string cell;
    bool quoted = false;
    bool wasQuoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"' && trimmed(cell).empty()) {
            quoted = wasQuoted = true;
            cell.clear();
        } else if (c == ',') {
            cells.push_back(wasQuoted ? cell : trimmed(cell));
            cell.clear();
            wasQuoted = false;
        } else {
            cell += c;
        }
    }
    if (quoted) return std::nullopt;
    cells.push_back(wasQuoted ? cell : trimmed(cell));
    return cells;
}

struct Column {
    const char* name;
    bool required;
};

// A column whose name follows a pattern (PREFIX…SUFFIX), as max_swing_<condition>_deg.
struct ColumnPattern {
    const char* prefix;
    const char* suffix;
};

// A CSV table read row by row, its cells found by the header's names.
class Table {
  public:
    Table(std::string_view raw, const std::string& path, std::vector<Column> columns,
          std::optional<ColumnPattern> pattern = std::nullopt)
        : path_(path),
          text_(fileTextAsUtf8(raw, path)),
          columns_(std::move(columns)),
          at_(columns_.size(), kNone) {
        if (!next()) throw ToolError(path_ + ": empty; the first line must name the columns");
        for (std::size_t c = 0; c < row_.size(); ++c) {
            std::size_t k = 0;
            while (k < columns_.size() && row_[c] != columns_[k].name) ++k;
            if (k == columns_.size() && pattern && matches(row_[c], *pattern)) {
                const std::string_view name(row_[c]);
                for (const Patterned& seen : patterned_) {
                    if (row_[seen.column] == name) {
                        throw ToolError(fmt::format("{}: line {}, column {}: {} named twice", path_,
                                                    line_, c + 1, name));
                    }
                }
                patterned_.push_back(
                    {std::string(name.substr(std::strlen(pattern->prefix),
                                             name.size() - std::strlen(pattern->prefix) -
                                                 std::strlen(pattern->suffix))),
                     c});
                continue;
            }
            if (k == columns_.size()) {
                throw ToolError(fmt::format("{}: line {}, column {}: unknown column {}", path_,
                                            line_, c + 1, quotedText(row_[c])));
            }
            if (at_[k] != kNone) {
                throw ToolError(fmt::format("{}: line {}, column {}: {} named twice", path_, line_,
                                            c + 1, columns_[k].name));
            }
            at_[k] = c;
        }
        for (std::size_t k = 0; k < columns_.size(); ++k) {
            if (columns_[k].required && at_[k] == kNone) {
                throw ToolError(
                    fmt::format("{}: line {}: missing column {}", path_, line_, columns_[k].name));
            }
        }
        width_ = row_.size();
        header_ = row_;
    }

    // The next row that is not blank; false at the end.
    bool next() {
        while (start_ <= text_.size()) {
            std::size_t end = text_.find('\n', start_);
            if (end == std::string::npos) end = text_.size();
            const std::string line = trimmed(std::string_view(text_).substr(start_, end - start_));
            start_ = end + 1;
            ++line_;
            if (line.empty()) continue;
            auto cells = cellsOf(line);
            if (!cells) throw fail("a quote is not closed");
            row_ = std::move(*cells);
            if (width_ != 0 && row_.size() != width_) {
                throw fail(fmt::format("{} cells where the header names {}", row_.size(), width_));
            }
            if (++rows_ > kMaxRows) throw fail(fmt::format("more than {} rows", kMaxRows));
            return true;
        }
        return false;
    }

    ToolError fail(const std::string& why) const {
        return ToolError(fmt::format("{}: line {}: {}", path_, line_, why));
    }
    ToolError fail(std::size_t k, const std::string& why) const {
        return ToolError(fmt::format("{}: line {}, column {} ({}): {}", path_, line_, at_[k] + 1,
                                     columns_[k].name, why));
    }

    bool has(std::size_t k) const { return at_[k] != kNone && !row_[at_[k]].empty(); }
    const std::string& text(std::size_t k) const {
        if (!has(k)) throw fail(k, "empty");
        return row_[at_[k]];
    }
    double number(std::size_t k) const {
        const std::string& cell = text(k);
        double v = 0;
        const char* first = cell.data();
        const char* last = first + cell.size();
        const auto [ptr, ec] = parseDecimal(first, last, v);
        if (ec != std::errc() || ptr != last || !std::isfinite(v)) {
            throw fail(k, quotedText(cell) + " is not a number");
        }
        return v;
    }
    std::optional<double> optionalNumber(std::size_t k) const {
        if (!has(k)) return std::nullopt;
        return number(k);
    }
    std::size_t line() const { return line_; }
    const std::string& path() const { return path_; }

    // The columns that follow the pattern: what stands between its prefix and suffix, and the
    // column's index.
    struct Patterned {
        std::string middle;
        std::size_t column;
    };
    const std::vector<Patterned>& patterned() const { return patterned_; }
    bool hasCell(std::size_t column) const { return !row_[column].empty(); }
    double numberAt(std::size_t column) const {
        const std::string& cell = row_[column];
        double v = 0;
        const char* first = cell.data();
        const char* last = first + cell.size();
        const auto [ptr, ec] = parseDecimal(first, last, v);
        if (ec != std::errc() || ptr != last || !std::isfinite(v)) {
            throw failAt(column, quotedText(cell) + " is not a number");
        }
        return v;
    }
    // A refusal of the cell in `column` of this line, or of the header's when on line 1.
    ToolError failAt(std::size_t column, const std::string& why) const {
        return ToolError(fmt::format("{}: line {}, column {} ({}): {}", path_, line_, column + 1,
                                     header_[column], why));
    }

  private:
    static bool matches(std::string_view name, const ColumnPattern& p) {
        const std::size_t a = std::strlen(p.prefix), b = std::strlen(p.suffix);
        return name.size() > a + b && name.substr(0, a) == p.prefix &&
               name.substr(name.size() - b) == p.suffix;
    }
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::string path_;
    std::string text_;
    std::vector<Column> columns_;
    std::vector<std::size_t> at_;
    std::vector<std::string> row_;
    std::size_t start_ = 0;
    std::size_t line_ = 0;
    std::size_t width_ = 0;
    std::size_t rows_ = 0;
    std::vector<std::string> header_;
    std::vector<Patterned> patterned_;
};

}  // namespace

std::vector<design::TerrainPoint> parseTerrain(std::string_view raw, const std::string& path) {
    enum { kStation, kElevation };
    Table t(raw, path, {{"station_m", true}, {"elevation_m", true}});
    std::vector<design::TerrainPoint> points;
    while (t.next()) {
        const design::TerrainPoint p{t.number(kStation), t.number(kElevation)};
        if (!points.empty() && !(p.station > points.back().station)) {
            throw t.fail(kStation, fmt::format("stations must increase: {} after {}", p.station,
                                               points.back().station));
        }
        points.push_back(p);
    }
    if (points.size() < 2) throw ToolError(path + ": the terrain needs at least two points");
    return points;
}

std::vector<design::Tower> parseTowers(std::string_view raw, const std::string& path,
                                       const std::vector<design::TerrainPoint>& terrain,
                                       const std::vector<std::string>& conditions,
                                       std::vector<std::string>* warnings) {
    enum {
        kName,
        kStation,
        kKind,
        kArm,
        kLength,
        kWeight,
        kGround,
        kAngle,
        kSwing,
        kArea,
        kMaxAngle
    };
    Table t(raw, path,
            {{"name", true},
             {"station_m", true},
             {"kind", true},
             {"arm_height_m", true},
             {"insulator_length_m", true},
             {"insulator_weight_N", true},
             {"ground_elevation_m", false},
             {"angle_deg", false},
             {"max_swing_deg", false},
             {"insulator_area_m2", false},
             {"max_angle_deg", false}},
            ColumnPattern{"max_swing_", "_deg"});
    // Each max_swing_<condition>_deg column names a condition of the area.
    if (!conditions.empty()) {
        for (const auto& p : t.patterned()) {
            if (std::find(conditions.begin(), conditions.end(), p.middle) == conditions.end()) {
                std::string names;
                for (const std::string& n : conditions) names += (names.empty() ? "" : ", ") + n;
                throw t.failAt(p.column, "the area has no condition " + quotedText(p.middle) +
                                             "; its conditions are " + names);
            }
        }
    }
    std::vector<design::Tower> towers;
    std::vector<std::size_t> lines;  // of each tower
    std::size_t lastLine = 0;
    while (t.next()) {
        design::Tower w;
        w.name = t.text(kName);
        for (std::size_t j = 0; j < towers.size(); ++j) {
            if (towers[j].name == w.name) {
                throw t.fail(kName, fmt::format("tower {} is named on line {} already; each tower "
                                                "needs a name of its own",
                                                quotedText(w.name), lines[j]));
            }
        }
        w.station = t.number(kStation);
        if (!towers.empty() && !(w.station > towers.back().station)) {
            throw t.fail(kStation,
                         fmt::format("stations must increase: {} after tower {} at {}", w.station,
                                     towers.back().name, towers.back().station));
        }
        if (w.station < terrain.front().station || w.station > terrain.back().station) {
            throw t.fail(kStation,
                         fmt::format("tower {} at {} m is off the terrain ({} to {} m)", w.name,
                                     w.station, terrain.front().station, terrain.back().station));
        }
        const std::string& kind = t.text(kKind);
        if (kind == "strain" || kind == "\u8010\u5F20") {  // 耐张
            w.kind = design::TowerKind::strain;
        } else if (kind == "suspension" || kind == "\u76F4\u7EBF") {  // 直线
            w.kind = design::TowerKind::suspension;
        } else {
            throw t.fail(kKind, "unknown kind " + quotedText(kind) +
                                    "; strain (\u8010\u5F20) or suspension (\u76F4\u7EBF)");
        }
        const auto notNegative = [&](std::size_t k, const char* what) {
            const double v = t.number(k);
            if (v < 0) throw t.fail(k, fmt::format("a negative {}", what));
            return v;
        };
        w.armHeight = notNegative(kArm, "height");
        w.insulatorLength = notNegative(kLength, "insulator length");
        w.insulatorWeight = notNegative(kWeight, "insulator weight");
        if (w.kind == design::TowerKind::suspension && w.insulatorLength > w.armHeight) {
            throw t.fail(kLength, "the string is longer than the arm is high");
        }
        w.groundElevation = t.optionalNumber(kGround);
        if (t.has(kMaxAngle)) {
            w.maxAngle = t.number(kMaxAngle);
            if (!(*w.maxAngle >= 0 && *w.maxAngle < 180)) {
                throw t.fail(kMaxAngle, "a largest line angle lies from 0 to below 180 degrees");
            }
        }
        if (t.has(kAngle)) {
            w.angle = t.number(kAngle);
            if (!(std::fabs(w.angle) < 180)) {
                throw t.fail(kAngle, "a line angle lies between -180 and 180 degrees");
            }
            if (w.maxAngle && std::fabs(w.angle) > *w.maxAngle) {
                throw t.fail(kAngle, fmt::format("a line angle of {} degrees is more than the {} "
                                                 "its type takes (max_angle_deg)",
                                                 w.angle, *w.maxAngle));
            }
            if (w.kind == design::TowerKind::suspension && std::fabs(w.angle) >= 90) {
                throw t.fail(kAngle, fmt::format("a line angle of {} degrees at a suspension "
                                                 "tower: no string takes 90 degrees or more",
                                                 w.angle));
            }
        }
        if (t.has(kSwing)) {
            w.maxSwing = t.number(kSwing);
            if (!(*w.maxSwing > 0 && *w.maxSwing <= 180)) {
                throw t.fail(kSwing, "an allowed swing lies above 0 and at most 180 degrees");
            }
        }
        for (const auto& p : t.patterned()) {
            if (!t.hasCell(p.column)) continue;
            const double limit = t.numberAt(p.column);
            if (!(limit > 0 && limit <= 90)) {
                throw t.failAt(p.column, "an allowed swing lies above 0 and at most 90 degrees");
            }
            w.maxSwingIn.emplace_back(p.middle, limit);
        }
        if (t.has(kArea)) w.insulatorArea = notNegative(kArea, "area");
        if (towers.empty() && w.kind != design::TowerKind::strain) {
            throw t.fail(kKind, "the first tower must be a strain tower");
        }
        if (warnings != nullptr && w.groundElevation) {
            // A ground elevation far from the terrain's is more likely a typing error, or a
            // terrain of another datum, than a tower on a cliff.
            const double terrainAt = design::terrainElevation(terrain, w.station);
            if (std::fabs(*w.groundElevation - terrainAt) > kGroundMismatch) {
                warnings->push_back(fmt::format(
                    "{}: line {}: tower {} stands at {} m (ground_elevation_m), {} m from the "
                    "terrain's {} m at its station {} m",
                    path, t.line(), w.name, shortNumber(*w.groundElevation),
                    number(std::fabs(*w.groundElevation - terrainAt), 2), number(terrainAt, 2),
                    shortNumber(w.station)));
            }
        }
        towers.push_back(std::move(w));
        lines.push_back(t.line());
        lastLine = t.line();
    }
    if (towers.empty()) throw ToolError(path + ": no towers after the header");
    if (towers.size() == 1) {
        throw ToolError(
            fmt::format("{}: line {}: a strain section of one tower: a line needs a "
                        "second strain tower",
                        path, lastLine));
    }
    if (towers.back().kind != design::TowerKind::strain) {
        throw ToolError(
            fmt::format("{}: line {}, column {} (kind): the last tower must be a strain tower",
                        path, lastLine, 3));
    }
    return towers;
}

std::vector<design::Crossing> parseCrossings(std::string_view raw, const std::string& path,
                                             const std::vector<design::Tower>& towers) {
    enum { kName, kStation, kElevation, kClearance, kOffset };
    Table t(raw, path,
            {{"name", true},
             {"station_m", true},
             {"elevation_m", true},
             {"clearance_m", true},
             {"offset_m", false}});
    std::vector<design::Crossing> crossings;
    while (t.next()) {
        design::Crossing c;
        c.name = t.text(kName);
        c.station = t.number(kStation);
        if (c.station < towers.front().station || c.station > towers.back().station) {
            throw t.fail(kStation,
                         fmt::format("{} at {} m lies off the line ({} to {} m)", c.name, c.station,
                                     towers.front().station, towers.back().station));
        }
        c.elevation = t.number(kElevation);
        c.clearance = t.number(kClearance);
        if (c.clearance < 0) throw t.fail(kClearance, "a negative clearance");
        c.offset = t.optionalNumber(kOffset);
        if (c.offset && *c.offset < 0) throw t.fail(kOffset, "a negative offset");
        crossings.push_back(std::move(c));
    }
    return crossings;
}

std::vector<design::TerrainPoint> readTerrain(const std::string& path) {
    return parseTerrain(readWhole(path), path);
}

std::vector<design::Tower> readTowers(const std::string& path,
                                      const std::vector<design::TerrainPoint>& terrain,
                                      const std::vector<std::string>& conditions,
                                      std::vector<std::string>* warnings) {
    return parseTowers(readWhole(path), path, terrain, conditions, warnings);
}

std::vector<design::Crossing> readCrossings(const std::string& path,
                                            const std::vector<design::Tower>& towers) {
    return parseCrossings(readWhole(path), path, towers);
}

}  // namespace varnel::tool
