#include "tools/profile_inputs.h"

#include <fmt/format.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "calc/decimal_parse.h"
#include "tools/encoding.h"
#include "tools/result_stream.h"
#include "tools/text_table.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

// 400 km of terrain every metre is about 10 MB; a file past 64 MB is not a profile.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 26;
constexpr std::size_t kMaxRows = 2'000'000;

std::string readWhole(const std::string& pathUtf8) {
    return readWholeFile(pathUtf8, kMaxFileBytes, "larger than 64 MB");
}

bool isUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t more = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
        } else {
            return false;
        }
        if (i + more >= s.size()) return false;
        for (std::size_t k = 1; k <= more; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += more + 1;
    }
    return true;
}

// The text as UTF-8: with a byte order mark, or when it reads as UTF-8, as it is; else GBK.
std::string asUtf8(std::string_view text) {
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        return std::string(text.substr(kUtf8Bom.size()));
    if (isUtf8(text)) return std::string(text);
    return gbkToUtf8(text);
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

// A CSV table read row by row, its cells found by the header's names.
class Table {
  public:
    Table(std::string_view raw, const std::string& path, std::vector<Column> columns)
        : path_(path),
          text_(asUtf8(raw)),
          columns_(std::move(columns)),
          at_(columns_.size(), kNone) {
        if (!next()) throw ToolError(path_ + ": empty; the first line must name the columns");
        for (std::size_t c = 0; c < row_.size(); ++c) {
            std::size_t k = 0;
            while (k < columns_.size() && row_[c] != columns_[k].name) ++k;
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

  private:
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
                                       const std::vector<design::TerrainPoint>& terrain) {
    enum { kName, kStation, kKind, kArm, kLength, kWeight, kGround, kAngle, kSwing, kArea };
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
             {"insulator_area_m2", false}});
    std::vector<design::Tower> towers;
    std::size_t lastLine = 0;
    while (t.next()) {
        design::Tower w;
        w.name = t.text(kName);
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
        if (kind == "strain") {
            w.kind = design::TowerKind::strain;
        } else if (kind == "suspension") {
            w.kind = design::TowerKind::suspension;
        } else {
            throw t.fail(kKind, "unknown kind " + quotedText(kind) + "; strain or suspension");
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
        if (t.has(kAngle)) {
            w.angle = t.number(kAngle);
            if (!(std::fabs(w.angle) < 180)) {
                throw t.fail(kAngle, "a line angle lies between -180 and 180 degrees");
            }
        }
        if (t.has(kSwing)) {
            w.maxSwing = t.number(kSwing);
            if (!(*w.maxSwing > 0 && *w.maxSwing <= 180)) {
                throw t.fail(kSwing, "an allowed swing lies above 0 and at most 180 degrees");
            }
        }
        if (t.has(kArea)) w.insulatorArea = notNegative(kArea, "area");
        if (towers.empty() && w.kind != design::TowerKind::strain) {
            throw t.fail(kKind, "the first tower must be a strain tower");
        }
        towers.push_back(std::move(w));
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
                                      const std::vector<design::TerrainPoint>& terrain) {
    return parseTowers(readWhole(path), path, terrain);
}

std::vector<design::Crossing> readCrossings(const std::string& path,
                                            const std::vector<design::Tower>& towers) {
    return parseCrossings(readWhole(path), path, towers);
}

}  // namespace varnel::tool
