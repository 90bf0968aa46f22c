#include "tools/profile_drawing.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <stdexcept>
#include <string_view>

#include "design/wind_rules.h"
#include "tools/svg_support.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

using design::LineProfile;
using svg::escape;

constexpr double kLeft = 120, kRight = 48;
constexpr double kFont = 11;
constexpr double kRow = 15;           // px between the baselines of two rows of labels
constexpr double kGap = 6;            // px kept free between two labels of a row
constexpr double kSpanPx = 100;       // px a span of the window's median length is drawn
constexpr double kMinPlot = 640;      // px, the narrowest plot
constexpr double kMaxPlot = 9000;     // px, the widest: a longer window leaves labels out
constexpr double kMaxHeight = 12000;  // px, the tallest plot drawn
constexpr int kNoteRows = 40;         // rows of notes before notes are left out
constexpr int kBandRows = 2;          // rows per band line before labels are left out

constexpr const char* kGround = "#8b5a2b";
constexpr const char* kGroundFill = "#f3eadc";
constexpr const char* kConductor = "#1f5fa8";
constexpr const char* kClearance = "#2a8a3a";
constexpr const char* kCrossing = "#7b3fa0";
constexpr const char* kTower = "#333";
constexpr const char* kViolation = "#d00000";

// A figure as short as it can be written with at most `decimals` decimals.
std::string figure(double v, int decimals) {
    if (!std::isfinite(v)) return "-";
    std::string text = fmt::format("{:.{}f}", v, decimals);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

// A word placed in rows of a line of the band below the plot, or a tower's name in it.
struct Label {
    double anchor;  // px: the x it belongs to
    double width;   // px
    std::string text;
    const char* colour;
    std::string cls;
    double pointY = NAN;  // px: a tower name's baseline
    double left = 0;      // px, of its box once placed
    int row = -1;         // -1: left out
};

struct Interval {
    double lo, hi;
};

bool clear(const std::vector<Interval>& taken, double lo, double hi) {
    for (const Interval& t : taken) {
        if (lo < t.hi + kGap && t.lo < hi + kGap) return false;
    }
    return true;
}

// Centred on its anchor, kept within [lo, hi], each label in the first of `maxRows` rows where it
// clears the labels already there; labels that fit in none are left out.
void placeCentred(std::vector<Label>& labels, int maxRows, double lo, double hi) {
    std::vector<std::vector<Interval>> rows(static_cast<std::size_t>(maxRows));
    for (Label& l : labels) {
        l.left = std::clamp(l.anchor - l.width / 2, lo, std::max(lo, hi - l.width));
        for (int r = 0; r < maxRows; ++r) {
            auto& row = rows[static_cast<std::size_t>(r)];
            if (clear(row, l.left, l.left + l.width)) {
                row.push_back({l.left, l.left + l.width});
                l.row = r;
                break;
            }
        }
    }
}

// One note above the plot: a crossing's or a violation's text, and the point its leader ends at.
struct Note {
    double anchor;  // px: the station's x
    double width;   // px
    std::string text;
    const char* colour;
    std::string cls;
    double elevation;  // m: where its leader ends in the plot
    int order;         // among the notes at one station: the kind's place, then as given
};

// The notes at one station, stacked one per row over one leader: none of them is left out for
// another at the same place.
struct NoteBlock {
    double anchor = 0;
    double width = 0;         // px, of the widest
    std::vector<Note> notes;  // top to bottom
    double left = 0;          // px, of its box once placed
    int row = -1;             // of its lowest note, -1: left out
    int rows() const { return static_cast<int>(notes.size()); }
};

// The notes gathered by station: a block per station, in order of station, each block's notes
// by their order (the kinds' order, stable) so that every build draws them alike.
std::vector<NoteBlock> noteBlocks(std::vector<Note> notes) {
    std::stable_sort(notes.begin(), notes.end(), [](const Note& a, const Note& b) {
        if (a.anchor != b.anchor) return a.anchor < b.anchor;
        return a.order < b.order;
    });
    std::vector<NoteBlock> blocks;
    for (Note& n : notes) {
        if (blocks.empty() || blocks.back().anchor != n.anchor) {
            blocks.push_back({});
            blocks.back().anchor = n.anchor;
        }
        NoteBlock& b = blocks.back();
        b.width = std::max(b.width, n.width);
        b.notes.push_back(std::move(n));
    }
    return blocks;
}

// Note blocks above the plot, row 0 nearest to it, each with a leader straight down from its
// lowest row to its point, its text running right from the leader (past the plot's right edge
// where it must: the sheet widens). Placed from the right, each block takes the first rows where
// its box is clear of the notes and of the leaders already passing those rows; the blocks placed
// before it start right of its own leader, which so crosses no note. Blocks that find no rows
// among kNoteRows (or as many as the largest block has notes) are left out (row -1): above the
// rows in use a block always finds room, so a window holding fewer notes shows them all.
// Anchors differ from block to block, so the order is the same in every build.
int placeNotes(std::vector<NoteBlock>& blocks) {
    int rowCount = kNoteRows;
    for (const NoteBlock& b : blocks) rowCount = std::max(rowCount, b.rows());
    std::stable_sort(blocks.begin(), blocks.end(),
                     [](const NoteBlock& a, const NoteBlock& b) { return a.anchor > b.anchor; });
    const auto rows = static_cast<std::size_t>(rowCount);
    std::vector<std::vector<Interval>> boxes(rows);
    std::vector<std::vector<double>> leaders(rows);  // x of the leaders passing each row
    int used = 0;
    for (NoteBlock& n : blocks) {
        n.left = n.anchor + 3;
        const double lo = n.anchor, hi = n.left + n.width;
        for (int r = 0; r + n.rows() <= rowCount && n.row < 0; ++r) {
            bool ok = true;
            for (int q = r; q < r + n.rows() && ok; ++q) {
                ok = clear(boxes[static_cast<std::size_t>(q)], lo, hi);
                for (double x : leaders[static_cast<std::size_t>(q)]) {
                    ok = ok && (x < lo - 2 || x > hi + 2);
                }
            }
            if (!ok) continue;
            n.row = r;
            for (int q = r; q < r + n.rows(); ++q) {
                boxes[static_cast<std::size_t>(q)].push_back({lo, hi});
            }
            for (int below = 0; below < r; ++below) {
                leaders[static_cast<std::size_t>(below)].push_back(n.anchor);
            }
            used = std::max(used, r + n.rows());
        }
    }
    return used;
}

double width(std::string_view text, double size = kFont) {
    return svg::textWidth(text, size);
}

std::string conditionName(const LineProfile& p, std::size_t k,
                          ChartLanguage lang = ChartLanguage::en) {
    if (k < p.conditions.size()) return p.conditions[k];
    return fmt::format(fmt::runtime(pick(lang, "condition {}", "\u5DE5\u51B5 {}")), k + 1);  // 工况
}

std::string violationText(const design::Violation& v, const LineProfile& p, ChartLanguage lang) {
    using design::ViolationKind;
    const bool zh = lang == ChartLanguage::zh;
    const std::string condition =
        v.condition ? (zh ? "\uFF08" + conditionName(p, *v.condition, lang) + "\uFF09"
                          : " (" + conditionName(p, *v.condition, lang) + ")")
                    : std::string();
    switch (v.kind) {
        case ViolationKind::ground:
            // 对地 … m < … m
            return fmt::format(
                fmt::runtime(zh ? "{}\uFF1A\u5BF9\u5730 {} m < {} m" : "{}: {} m to ground < {} m"),
                v.where, figure(v.value, 2), figure(v.limit, 2));
        case ViolationKind::crossing:
            return fmt::format(fmt::runtime(zh ? "{}\uFF1A{} m < {} m" : "{}: {} m < {} m"),
                               v.where, figure(v.value, 2), figure(v.limit, 2));
        case ViolationKind::swing:
            // 摇摆角
            return fmt::format(fmt::runtime(zh ? "{}\uFF1A\u6447\u6446\u89D2 {}\u00B0 > {}\u00B0{}"
                                               : "{}: swing {}\u00B0 > {}\u00B0{}"),
                               v.where, figure(v.value, 1), figure(v.limit, 1), condition);
        case ViolationKind::uplift:
            // 上拔，垂直档距 … m，上拔力 … N
            return fmt::format(
                fmt::runtime(zh ? "{}\uFF1A\u4E0A\u62D4\uFF0C\u5782\u76F4\u6863\u8DDD {} m{}{}"
                                : "{}: uplift, weight span {} m{}{}"),
                v.where, figure(v.value, 1),
                v.load
                    ? fmt::format(fmt::runtime(zh ? "\uFF0C\u4E0A\u62D4\u529B {} N" : ", {} N up"),
                                  figure(*v.load, 0))
                    : "",
                condition);
        case ViolationKind::suspensionPoint:
            // 悬挂点应力
            return fmt::format(
                fmt::runtime(zh ? "{}\uFF1A\u60AC\u6302\u70B9\u5E94\u529B {} N/mm\u00B2 > {} "
                                  "N/mm\u00B2{}"
                                : "{}: {} N/mm\u00B2 at a support > {} N/mm\u00B2{}"),
                v.where, figure(v.value, 1), figure(v.limit, 1), condition);
    }
    return v.where;
}

}  // namespace

std::string profileWindNote(const LineProfile& p, std::optional<double> loadAlpha,
                            std::optional<double> clearanceAlpha, ChartLanguage lang) {
    if (lang == ChartLanguage::zh) {
        // 定值 …；GB 50545-2010 表 10.1.18-1（杆塔荷载）/（电气间隙）；同表电气间隙一行
        const std::string fixed = "\u5B9A\u503C ";
        const std::string table = "GB 50545-2010 \u8868 10.1.18-1";
        const std::string loads = loadAlpha ? fixed + figure(*loadAlpha, 3)
                                            : table + "\uFF08\u6746\u5854\u8377\u8F7D\uFF09";
        const std::string clearance =
            clearanceAlpha ? fixed + figure(*clearanceAlpha, 3)
            : loadAlpha    ? table + "\uFF08\u7535\u6C14\u95F4\u9699\uFF09"
                           : std::string("\u540C\u8868\u7535\u6C14\u95F4\u9699\u4E00\u884C");
        // 风：气象区风速取 … m 高处，地面粗糙度 B 类，导线与绝缘子串风荷载直接采用 /
        // 换算至 15 m（× …，√μz(15 m)）；杆塔荷载的 α 取 …，摇摆角与交叉跨越的 α 取 …
        return fmt::format(
            "\u98CE\uFF1A\u6C14\u8C61\u533A\u98CE\u901F\u53D6 {} m \u9AD8\u5904\uFF0C\u5730"
            "\u9762\u7C97\u7CD9\u5EA6 {} \u7C7B{}\uFF1B\u6746\u5854\u8377\u8F7D\u7684 \u03B1 "
            "\u53D6 {}\uFF0C\u6447\u6446\u89D2\u4E0E\u4EA4\u53C9\u8DE8\u8D8A\u7684 \u03B1 "
            "\u53D6 {}",
            figure(p.windHeight, 0), design::kWindTerrain,
            p.windHeight == 15
                ? std::string("\uFF0C\u5BFC\u7EBF\u4E0E\u7EDD\u7F18\u5B50\u4E32\u98CE\u8377"
                              "\u8F7D\u76F4\u63A5\u91C7\u7528")
                : fmt::format("\uFF0C\u5BFC\u7EBF\u4E0E\u7EDD\u7F18\u5B50\u4E32\u98CE\u8377"
                              "\u8F7D\u6362\u7B97\u81F3 15 m\uFF08\u00D7 {}\uFF0C\u221A\u03BC"
                              "z(15 m)\uFF09",
                              figure(design::speedAt15m(1, 10), 4)),
            loads, clearance);
    }
    // Both from the table: its name once, so that the caption's line stays short.
    const std::string loads =
        loadAlpha ? "fixed at " + figure(*loadAlpha, 3) : std::string(kLoadAlphaTable);
    const std::string clearance = clearanceAlpha ? "fixed at " + figure(*clearanceAlpha, 3)
                                  : loadAlpha    ? std::string(kClearanceAlphaTable)
                                                 : std::string("its electrical clearance row");
    return fmt::format(
        "wind: the area's speeds at {} m, terrain {}{}; \u03B1 for the towers' loads {}, for "
        "swing and crossings {}",
        figure(p.windHeight, 0), design::kWindTerrain,
        p.windHeight == 15 ? std::string(", as the conductor's and the strings' loads take them")
                           : fmt::format(", \u00D7 {} (\u221A\u03BCz(15 m)) to 15 m for the "
                                         "conductor's and the strings' loads",
                                         figure(design::speedAt15m(1, 10), 4)),
        loads, clearance);
}

namespace {

// The drawing as one SVG document.
std::string profileSvg(const LineProfile& profile, const ProfileDrawingInputs& drawing) {
    const auto& terrain = drawing.terrain;
    const auto& towers = drawing.towers;
    const auto& crossings = drawing.crossings;
    const ChartLanguage lang = drawing.language;
    const bool zh = lang == ChartLanguage::zh;
    if (!(drawing.exaggeration > 0) || !std::isfinite(drawing.exaggeration)) {
        throw UsageError("the vertical exaggeration must be a positive number");
    }
    if (towers.size() < 2 || profile.towers.size() != towers.size() ||
        profile.spans.size() + 1 != towers.size() || terrain.empty()) {
        throw ToolError("the profile has no span to draw");
    }
    const double lineLo = towers.front().station, lineHi = towers.back().station;
    const double lo = std::max(drawing.from.value_or(lineLo), lineLo);
    const double hi = std::min(drawing.to.value_or(lineHi), lineHi);
    if (!(hi > lo)) {
        throw UsageError(fmt::format(
            "--from/--to: the window {} to {} m holds no part of the line, which runs from {} to "
            "{} m",
            figure(drawing.from.value_or(lineLo), 3), figure(drawing.to.value_or(lineHi), 3),
            figure(lineLo, 3), figure(lineHi, 3)));
    }
    const auto inWindow = [&](double s) { return s >= lo - 1e-9 && s <= hi + 1e-9; };

    // Spans that reach into the window, and the scale that draws their median span kSpanPx wide.
    std::vector<std::size_t> spans;
    std::vector<double> lengths;
    for (std::size_t i = 0; i < profile.spans.size(); ++i) {
        const auto& s = profile.spans[i];
        if (s.farStation > lo && s.nearStation < hi) {
            spans.push_back(i);
            lengths.push_back(s.span);
        }
    }
    std::nth_element(lengths.begin(), lengths.begin() + static_cast<long>(lengths.size() / 2),
                     lengths.end());
    const double median = lengths[lengths.size() / 2];
    double h = kSpanPx / median;
    h = std::clamp(h, kMinPlot / (hi - lo), kMaxPlot / (hi - lo));
    const double v = h * drawing.exaggeration;
    const double plotWidth = (hi - lo) * h;
    const double right = kLeft + plotWidth;
    const double sheetWidth = right + kRight;
    const auto px = [&](double station) { return kLeft + (station - lo) * h; };

    // The conductor of each span at its largest sag, sampled about every 3 px within the window.
    struct Drawn {
        std::size_t span;
        std::vector<std::pair<double, double>> points;  // station, elevation
    };
    std::vector<Drawn> curves;
    double zLo = INFINITY, zHi = -INFINITY;
    const auto take = [&](double z) {
        zLo = std::min(zLo, z);
        zHi = std::max(zHi, z);
    };
    for (std::size_t i : spans) {
        const auto& s = profile.spans[i];
        const SpanCurve curve = design::profileCurve(profile, i, s.maxSagCondition);
        const double a = std::max(s.nearStation, lo), b = std::min(s.farStation, hi);
        const auto n = static_cast<std::size_t>(std::max(16.0, std::ceil((b - a) * h / 3)));
        Drawn d{i, {}};
        for (std::size_t j = 0; j <= n; ++j) {
            const double st =
                j == n ? b : a + (b - a) * static_cast<double>(j) / static_cast<double>(n);
            const double z = s.nearAttachment + curve.heightAt(st - s.nearStation);
            d.points.emplace_back(st, z);
            take(z);
            if (s.requiredClearance) take(z - *s.requiredClearance);
        }
        curves.push_back(std::move(d));
    }
    // The ground within the window, its ends interpolated.
    std::vector<std::pair<double, double>> ground{{lo, design::terrainElevation(terrain, lo)}};
    for (const auto& t : terrain) {
        if (t.station > lo && t.station < hi) ground.emplace_back(t.station, t.elevation);
    }
    ground.emplace_back(hi, design::terrainElevation(terrain, hi));
    for (const auto& g : ground) take(g.second);
    std::vector<std::size_t> shownTowers;
    for (std::size_t i = 0; i < towers.size(); ++i) {
        if (!inWindow(towers[i].station)) continue;
        shownTowers.push_back(i);
        take(profile.towers[i].groundElevation);
        take(profile.towers[i].groundElevation + towers[i].armHeight);
    }
    std::vector<std::size_t> shownCrossings;
    for (std::size_t i = 0; i < crossings.size(); ++i) {
        if (!inWindow(crossings[i].station)) continue;
        shownCrossings.push_back(i);
        take(crossings[i].elevation);
        take(crossings[i].elevation + crossings[i].clearance);
    }

    // How each crossing fared, from the check of the span it lies in.
    std::vector<const design::CrossingCheck*> crossingChecks(crossings.size(), nullptr);
    for (const auto& s : profile.spans) {
        for (const auto& c : s.crossings) {
            if (c.crossing < crossings.size()) crossingChecks[c.crossing] = &c;
        }
    }

    // Notes above the plot: crossings and violations in the window, with leaders down to their
    // points.
    std::vector<Note> notes;
    // The kinds' order at one station: a crossing's note first, then the violations'.
    const auto order = [](design::ViolationKind kind) { return 1 + static_cast<int>(kind); };
    for (std::size_t i : shownCrossings) {
        const auto& c = crossings[i];
        const auto* check = crossingChecks[i];
        std::string text = c.name + (zh ? "\uFF1A" : ": ");
        // 距离 … m，要求 … m；偏离线路 … m
        text +=
            check != nullptr
                ? fmt::format(fmt::runtime(zh ? "{} m\uFF0C\u8981\u6C42 {} m" : "{} m, needs {} m"),
                              figure(check->clearance, 2), figure(check->required, 2))
                : fmt::format(fmt::runtime(zh ? "\u8981\u6C42 {} m" : "needs {} m"),
                              figure(c.clearance, 2));
        if (c.offset) {
            text += fmt::format(
                fmt::runtime(zh ? "\uFF0C\u504F\u79BB\u7EBF\u8DEF {} m" : ", {} m aside"),
                figure(*c.offset, 1));
        }
        const bool bad = check != nullptr && !check->ok;
        notes.push_back({px(c.station), width(text), text, bad ? kViolation : kCrossing,
                         bad ? "note violation" : "note crossing", c.elevation + c.clearance, 0});
    }
    std::size_t shownViolations = 0;
    for (const auto& vi : profile.violations) {
        if (!inWindow(vi.station)) continue;
        ++shownViolations;
        // A crossing's own note already carries its figure in red.
        if (vi.kind == design::ViolationKind::crossing) continue;
        double z = 0;
        switch (vi.kind) {
            case design::ViolationKind::ground:
                z = design::terrainElevation(terrain, vi.station) + vi.value;
                break;
            case design::ViolationKind::suspensionPoint:
            case design::ViolationKind::swing:
            case design::ViolationKind::uplift:
            case design::ViolationKind::crossing: {
                std::size_t t = vi.index;
                if (vi.kind == design::ViolationKind::suspensionPoint &&
                    vi.index < profile.spans.size()) {
                    const auto& s = profile.spans[vi.index];
                    t = s.farAttachment > s.nearAttachment ? vi.index + 1 : vi.index;
                }
                z = t < towers.size() ? profile.towers[t].groundElevation + towers[t].armHeight
                                      : design::terrainElevation(terrain, vi.station);
                break;
            }
        }
        const std::string text = violationText(vi, profile, lang);
        notes.push_back(
            {px(vi.station), width(text), text, kViolation, "note violation", z, order(vi.kind)});
    }
    std::vector<NoteBlock> blocks = noteBlocks(std::move(notes));
    const int noteRows = placeNotes(blocks);

    // The band below the plot: a line each for the towers' names, stations and heights, the
    // spans and the strain sections.
    struct BandLine {
        const char* title;
        std::vector<Label> labels;
        int rows = 1;
    };
    std::vector<BandLine> band{
        {pick(lang, "tower", "\u6746\u5854"), {}},                     // 杆塔
        {pick(lang, "station (m)", "\u91CC\u7A0B (m)"), {}},           // 里程
        {pick(lang, "arm height (m)", "\u6302\u7EBF\u9AD8 (m)"), {}},  // 挂线高
        {pick(lang, "span (m)", "\u6863\u8DDD (m)"), {}},              // 档距
        {pick(lang, "strain section", "\u8010\u5F20\u6BB5"), {}}};     // 耐张段
    for (std::size_t i : shownTowers) {
        const auto& t = towers[i];
        const double x = px(t.station);
        band[0].labels.push_back({x, width(t.name), t.name, "black", "band tower"});
        const std::string st = figure(t.station, 1);
        band[1].labels.push_back({x, width(st), st, "black", "band station"});
        const std::string ht = figure(t.armHeight, 1);
        band[2].labels.push_back({x, width(ht), ht, "black", "band height"});
    }
    for (std::size_t i : spans) {
        const auto& s = profile.spans[i];
        const double a = std::max(s.nearStation, lo), b = std::min(s.farStation, hi);
        const std::string text = figure(s.span, 1);
        band[3].labels.push_back({px((a + b) / 2), width(text), text, "black", "band span"});
    }
    std::vector<std::pair<std::size_t, std::pair<double, double>>> shownSections;
    for (std::size_t k = 0; k < profile.sections.size(); ++k) {
        const auto& sec = profile.sections[k];
        const double a = std::max(towers[sec.firstTower].station, lo);
        const double b = std::min(towers[sec.lastTower].station, hi);
        if (!(b > a)) continue;
        shownSections.push_back({k, {a, b}});
        // The whole text where the section is wide enough for it, else less of it.
        // 年平控制，代表档距 … m
        const std::string controls =
            conditionName(profile, sec.controlling, lang) + pick(lang, " controls", "\u63A7\u5236");
        std::string text =
            fmt::format("{}\u2013{}{}{}{}", towers[sec.firstTower].name, towers[sec.lastTower].name,
                        zh ? "\uFF1A" : ": ", controls,
                        profile.model == SpanModel::parabola
                            ? fmt::format(fmt::runtime(zh ? "\uFF0C\u4EE3\u8868\u6863\u8DDD {} m"
                                                          : ", ruling span {} m"),
                                          figure(sec.rulingSpan, 1))
                            : "");
        const double room = (b - a) * h - 2 * kGap;
        if (width(text) > room) text = controls;
        if (width(text) > room) text = conditionName(profile, sec.controlling, lang);
        band[4].labels.push_back({px((a + b) / 2), width(text), text, "black", "band section"});
    }
    std::size_t leftOut = 0;
    for (auto& line : band) {
        placeCentred(line.labels, kBandRows, kLeft, right);
        int rows = 1;
        for (const auto& l : line.labels) {
            rows = std::max(rows, l.row + 1);
            leftOut += l.row < 0;
        }
        line.rows = rows;
    }

    // The caption.
    std::vector<std::string> drawnConditions;
    for (std::size_t i : spans) {
        const std::string name = conditionName(profile, profile.spans[i].maxSagCondition, lang);
        if (std::find(drawnConditions.begin(), drawnConditions.end(), name) ==
            drawnConditions.end()) {
            drawnConditions.push_back(name);
        }
    }
    std::string drawnText;
    for (const auto& c : drawnConditions) drawnText += (drawnText.empty() ? "" : ", ") + c;
    std::optional<double> required;
    bool oneRequired = true;
    for (std::size_t i : spans) {
        const auto& r = profile.spans[i].requiredClearance;
        if (r && required && *r != *required) oneRequired = false;
        if (r && !required) required = r;
    }
    const std::size_t labelsLeftOut = leftOut;
    std::size_t notesLeftOut = 0;
    for (const auto& b : blocks) notesLeftOut += b.row < 0 ? b.notes.size() : 0;
    const std::size_t allLeftOut = labelsLeftOut + notesLeftOut;
    std::vector<std::string> caption;
    if (zh) {
        // 模型：…；气象区：…；导线：…；绘出：导线最大弧垂时（…）
        caption.push_back(fmt::format(
            "\u6A21\u578B\uFF1A{}\uFF1B\u6C14\u8C61\u533A\uFF1A{}\uFF1B\u5BFC\u7EBF\uFF1A{}"
            "\uFF1B\u7ED8\u51FA\uFF1A\u5BFC\u7EBF\u6700\u5927\u5F27\u5782\u65F6\uFF08{}"
            "\uFF09",
            chartModelName(lang, spanModelName(profile.model)), drawing.area, drawing.conductor,
            drawnText));
        caption.push_back(drawing.wind);
        // 竖向放大 …:1（水平 100 m = … px，竖向 10 m = … px）；里程 … 至 … m；
        // 安全距离线在导线下 … m / 安全距离线在导线下各档要求距离处 /
        // 无对地距离要求，不绘安全距离线
        caption.push_back(fmt::format(
            "\u7AD6\u5411\u653E\u5927 {}:1\uFF08\u6C34\u5E73 100 m = {} px\uFF0C\u7AD6"
            "\u5411 10 m = {} px\uFF09\uFF1B\u91CC\u7A0B {} \u81F3 {} m\uFF1B{}",
            figure(drawing.exaggeration, 3), figure(100 * h, 1), figure(10 * v, 1), figure(lo, 1),
            figure(hi, 1),
            required
                ? (oneRequired ? fmt::format("\u5B89\u5168\u8DDD\u79BB\u7EBF\u5728\u5BFC\u7EBF"
                                             "\u4E0B {} m",
                                             figure(*required, 2))
                               : std::string("\u5B89\u5168\u8DDD\u79BB\u7EBF\u5728\u5BFC\u7EBF"
                                             "\u4E0B\u5404\u6863\u8981\u6C42\u8DDD\u79BB\u5904"))
                : std::string("\u65E0\u5BF9\u5730\u8DDD\u79BB\u8981\u6C42\uFF0C\u4E0D"
                              "\u7ED8\u5B89\u5168\u8DDD\u79BB\u7EBF")));
    } else {
        caption.push_back(
            fmt::format("model: {}; area: {}; conductor: {}; drawn: the conductor at its largest "
                        "sag ({})",
                        spanModelName(profile.model), drawing.area, drawing.conductor, drawnText));
        caption.push_back(drawing.wind);
        caption.push_back(fmt::format(
            "vertical exaggeration {}:1 (100 m along = {} px, 10 m up = {} px); "
            "stations {} to {} m; {}",
            figure(drawing.exaggeration, 3), figure(100 * h, 1), figure(10 * v, 1), figure(lo, 1),
            figure(hi, 1),
            required ? (oneRequired ? fmt::format("clearance line {} m below the conductor",
                                                  figure(*required, 2))
                                    : std::string("clearance line at each span's "
                                                  "required clearance below the conductor"))
                     : std::string("no ground clearance required: no clearance line")));
    }
    std::string third;
    if (zh) {
        // 本窗口内无超限 / 本窗口内 … 处超限，以红色标出；此比例下略去 … 个标注：以 --from/--to
        // 缩小绘图范围
        third = shownViolations == 0
                    ? std::string("\u672C\u7A97\u53E3\u5185\u65E0\u8D85\u9650")
                    : fmt::format(
                          "\u672C\u7A97\u53E3\u5185 {} \u5904\u8D85\u9650\uFF0C\u4EE5"
                          "\u7EA2\u8272\u6807\u51FA",
                          shownViolations);
        if (allLeftOut > 0) {
            third += fmt::format(
                "\uFF1B\u6B64\u6BD4\u4F8B\u4E0B\u7565\u53BB {} \u4E2A\u6807\u6CE8\uFF1A"
                "\u4EE5 --from/--to \u7F29\u5C0F\u7ED8\u56FE\u8303\u56F4",
                allLeftOut);
        }
    } else {
        third = shownViolations == 0
                    ? std::string("no violation in this window")
                    : fmt::format("{} violation{} in this window, in red", shownViolations,
                                  shownViolations == 1 ? "" : "s");
        if (allLeftOut > 0) {
            third += fmt::format(
                "; {} label{} left out at this scale: narrow the window with "
                "--from/--to",
                allLeftOut, allLeftOut == 1 ? "" : "s");
        }
    }
    caption.push_back(third);
    double captionWidth = 0;
    for (const auto& c : caption) captionWidth = std::max(captionWidth, width(c));

    // Vertical layout, from the top.
    const double captionTop = 44;
    const double legendY = captionTop + kRow * static_cast<double>(caption.size()) + 10;
    const double notesBottom = legendY + 14 + kRow * noteRows;
    const double nameRoom = 18;  // px above the highest tower top for its name
    svg::widen(zLo, zHi);
    const double plotTop = notesBottom + 8;
    double plotHeight = (zHi - zLo) * v + nameRoom + 10;
    if (plotHeight > kMaxHeight) {
        // A window drawn at least kMinPlot wide: the narrower it is, the more px a metre, up
        // and across, so only a wider one (its height falling as its width grows) is drawn.
        const bool stretched = h * (hi - lo) <= kMinPlot * (1 + 1e-12);
        if (stretched) {
            throw UsageError(fmt::format(
                "the drawing would be {} px high: widen the window to {} m or more (it is {} "
                "m), or lower the exaggeration",
                figure(plotHeight, 0), figure(std::ceil((hi - lo) * plotHeight / kMaxHeight), 0),
                figure(hi - lo, 3)));
        }
        throw UsageError(fmt::format(
            "the drawing would be {} px high: lower the exaggeration or narrow the window",
            figure(plotHeight, 0)));
    }
    const double yHi = zHi + (nameRoom) / v, yLo = zLo - 10 / v;
    plotHeight = (yHi - yLo) * v;
    const svg::Plot plot{kLeft, plotTop, plotWidth, plotHeight, lo, hi, yLo, yHi};
    const double bottom = plotTop + plotHeight;
    const auto py = [&](double z) { return plot.y(z); };
    const double bandTop = bottom + 48;
    double bandHeight = 0;
    for (const auto& line : band) bandHeight += kRow * line.rows + 6;
    const double sheetHeight = bandTop + bandHeight + 16;
    double fullWidth = std::max(sheetWidth, kLeft + captionWidth + kRight);
    for (const auto& b : blocks) {
        if (b.row >= 0) fullWidth = std::max(fullWidth, b.left + b.width + kRight);
    }

    std::string out = fmt::format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{0:.0f}\" height=\"{1:.0f}\" "
        "viewBox=\"0 0 {0:.0f} {1:.0f}\" font-family=\"sans-serif\" font-size=\"{2}\">\n"
        "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        "<text class=\"title\" x=\"{3}\" y=\"24\" font-size=\"16\">{4}</text>\n",
        std::ceil(fullWidth), std::ceil(sheetHeight), kFont, kLeft,
        // 纵断面图
        escape(fmt::format(
            fmt::runtime(zh ? "{}\uFF1A\u7EB5\u65AD\u9762\u56FE\uFF0C{} \u81F3 {}"
                            : "{}: line profile, {} to {}"),
            drawing.conductor, towers[shownTowers.empty() ? 0 : shownTowers.front()].name,
            towers[shownTowers.empty() ? towers.size() - 1 : shownTowers.back()].name)));
    for (std::size_t i = 0; i < caption.size(); ++i) {
        out += fmt::format("<text class=\"caption\" x=\"{}\" y=\"{}\" fill=\"#444\">{}</text>\n",
                           kLeft, captionTop + kRow * static_cast<double>(i), escape(caption[i]));
    }
    // The legend.
    {
        struct Key {
            const char* text;
            const char* colour;
            const char* dash;
        };
        const Key keys[] = {
            {pick(lang, "ground", "\u5730\u9762"), kGround, ""},        // 地面
            {pick(lang, "conductor", "\u5BFC\u7EBF"), kConductor, ""},  // 导线
            {pick(lang, "clearance line", "\u5B89\u5168\u8DDD\u79BB\u7EBF"), kClearance,
             "7 4"},  // 安全距离线
            {pick(lang, "crossing, required clearance",
                  "\u4EA4\u53C9\u8DE8\u8D8A\u53CA\u8981\u6C42\u8DDD\u79BB"),  // 交叉跨越及要求距离
             kCrossing, "3 3"},
            {pick(lang, "violation", "\u8D85\u9650"), kViolation, ""}};  // 超限
        // Only what this drawing shows.
        const bool shown[] = {true, true, required.has_value(), !shownCrossings.empty(),
                              shownViolations > 0};
        double x = kLeft;
        for (std::size_t i = 0; i < std::size(keys); ++i) {
            if (!shown[i]) continue;
            const Key& k = keys[i];
            out += fmt::format(
                "<line class=\"key\" x1=\"{0}\" y1=\"{1}\" x2=\"{2}\" y2=\"{1}\" stroke=\"{3}\" "
                "stroke-width=\"2\"{4}/><text class=\"legend\" x=\"{5}\" y=\"{6}\">{7}</text>\n",
                x, legendY - 4, x + 22, k.colour,
                *k.dash ? fmt::format(" stroke-dasharray=\"{}\"", k.dash) : "", x + 27, legendY,
                k.text);
            x += 27 + width(k.text) + 18;
        }
    }

    // The plot: what the test reads back to compare the drawing with the curves.
    out += fmt::format(
        "<g id=\"profile\" data-station-left=\"{}\" data-x-left=\"{}\" data-px-per-m=\"{}\" "
        "data-elevation-bottom=\"{}\" data-y-bottom=\"{}\" data-vertical-px-per-m=\"{}\">\n",
        lo, kLeft, h, yLo, bottom, v);
    {
        std::string fill = fmt::format("M{:.2f},{:.2f}", px(lo), bottom);
        std::string line;
        for (const auto& [s, z] : ground) {
            fill += fmt::format(" L{:.2f},{:.2f}", px(s), py(z));
            line += fmt::format("{}{:.2f},{:.2f}", line.empty() ? "M" : " L", px(s), py(z));
        }
        fill += fmt::format(" L{:.2f},{:.2f} Z", px(hi), bottom);
        out += fmt::format("<path class=\"ground-fill\" d=\"{}\" fill=\"{}\" stroke=\"none\"/>\n",
                           fill, kGroundFill);
        out += svg::axes(plot, pick(lang, "station (m)", "\u91CC\u7A0B (m)"),  // 里程
                         pick(lang, "elevation (m)", "\u9AD8\u7A0B (m)"));     // 高程
        out += fmt::format(
            "<path class=\"ground\" d=\"{}\" fill=\"none\" stroke=\"{}\" stroke-width=\"1.6\"/>\n",
            line, kGround);
    }
    for (const Drawn& d : curves) {
        const auto& s = profile.spans[d.span];
        std::string path, lowered;
        for (const auto& [st, z] : d.points) {
            path += fmt::format("{}{:.2f},{:.2f}", path.empty() ? "M" : " L", px(st), py(z));
            if (s.requiredClearance) {
                lowered += fmt::format("{}{:.2f},{:.2f}", lowered.empty() ? "M" : " L", px(st),
                                       py(z - *s.requiredClearance));
            }
        }
        const std::string condition = escape(conditionName(profile, s.maxSagCondition));
        out += fmt::format(
            "<path class=\"conductor\" data-span=\"{}\" data-condition=\"{}\" d=\"{}\" "
            "fill=\"none\" stroke=\"{}\" stroke-width=\"1.6\"/>\n",
            d.span, condition, path, kConductor);
        if (!lowered.empty()) {
            // Red where the ground rises above it.
            const bool low = std::any_of(
                profile.violations.begin(), profile.violations.end(), [&](const auto& vi) {
                    return vi.kind == design::ViolationKind::ground && vi.index == d.span;
                });
            out += fmt::format(
                "<path class=\"clearance-line\" data-span=\"{}\" data-clearance-m=\"{}\" "
                "d=\"{}\" fill=\"none\" stroke=\"{}\" stroke-width=\"{}\" "
                "stroke-dasharray=\"7 4\"/>\n",
                d.span, *s.requiredClearance, lowered, low ? kViolation : kClearance,
                low ? 1.6 : 1.0);
        }
    }
    // Towers: the body from the ground to the arm, the string down to the attachment.
    std::vector<bool> badTower(towers.size(), false);
    for (const auto& vi : profile.violations) {
        if ((vi.kind == design::ViolationKind::swing || vi.kind == design::ViolationKind::uplift) &&
            vi.index < towers.size()) {
            badTower[vi.index] = true;
        }
    }
    std::vector<Label> names;
    for (std::size_t i : shownTowers) {
        const auto& t = towers[i];
        const auto& pt = profile.towers[i];
        const double x = px(t.station);
        const double top = pt.groundElevation + t.armHeight;
        const bool strain = t.kind == design::TowerKind::strain;
        const char* colour = badTower[i] ? kViolation : kTower;
        out += fmt::format(
            "<line class=\"tower{}\" data-tower=\"{}\" x1=\"{:.2f}\" y1=\"{:.2f}\" x2=\"{:.2f}\" "
            "y2=\"{:.2f}\" stroke=\"{}\" stroke-width=\"{}\"/>"
            "<line x1=\"{:.2f}\" y1=\"{:.2f}\" x2=\"{:.2f}\" y2=\"{:.2f}\" stroke=\"{}\" "
            "stroke-width=\"1.5\"/>",
            badTower[i] ? " violation" : "", i, x, py(pt.groundElevation), x, py(top), colour,
            strain ? 3.2 : 1.6, x - 7, py(top), x + 7, py(top), colour);
        out += fmt::format(
            "<line x1=\"{0:.2f}\" y1=\"{1:.2f}\" x2=\"{0:.2f}\" y2=\"{2:.2f}\" stroke=\"{3}\" "
            "stroke-width=\"1\"/><circle cx=\"{0:.2f}\" cy=\"{2:.2f}\" r=\"2.2\" fill=\"{4}\"/>\n",
            x + (strain ? 0 : 4), py(top), py(pt.attachment), colour,
            badTower[i] ? kViolation : kConductor);
        names.push_back({x, width(t.name, 10), t.name, colour, "tower-name"});
        names.back().pointY = py(top) - 5;
    }
    placeCentred(names, 1, kLeft, right);
    for (const auto& n : names) {
        if (n.row < 0) continue;  // still in the band below
        out += fmt::format(
            "<text class=\"{}\" x=\"{:.2f}\" y=\"{:.2f}\" font-size=\"10\" fill=\"{}\">{}</text>\n",
            n.cls, n.left, n.pointY, n.colour, escape(n.text));
    }
    // Crossings: what is crossed (a level, or the outline of a building beside the line), and
    // the clearance it needs above it.
    for (std::size_t i : shownCrossings) {
        const auto& c = crossings[i];
        const auto* check = crossingChecks[i];
        const char* colour = check != nullptr && !check->ok ? kViolation : kCrossing;
        const double x = px(c.station);
        if (c.offset) {
            const double g = design::terrainElevation(terrain, c.station);
            out += fmt::format(
                "<rect class=\"crossing-object\" x=\"{:.2f}\" y=\"{:.2f}\" width=\"12\" "
                "height=\"{:.2f}\" fill=\"none\" stroke=\"{}\" stroke-dasharray=\"2 2\"/>",
                x - 6, py(c.elevation), std::max(0.0, py(g) - py(c.elevation)), colour);
        } else {
            out += fmt::format(
                "<line class=\"crossing-object\" x1=\"{:.2f}\" y1=\"{:.2f}\" x2=\"{:.2f}\" "
                "y2=\"{:.2f}\" stroke=\"{}\" stroke-width=\"2.5\"/>",
                x - 10, py(c.elevation), x + 10, py(c.elevation), colour);
        }
        out += fmt::format(
            "<line class=\"crossing-clearance\" data-crossing=\"{0}\" x1=\"{1:.2f}\" "
            "y1=\"{2:.2f}\" x2=\"{1:.2f}\" y2=\"{3:.2f}\" stroke=\"{4}\" "
            "stroke-dasharray=\"3 3\"/><line x1=\"{5:.2f}\" y1=\"{3:.2f}\" x2=\"{6:.2f}\" "
            "y2=\"{3:.2f}\" stroke=\"{4}\"/>\n",
            i, x, py(c.elevation), py(c.elevation + c.clearance), colour, x - 5, x + 5);
    }
    // Violations at their places: a ground clearance short of the limit as a red stroke from
    // the ground up to the conductor.
    for (const auto& vi : profile.violations) {
        if (!inWindow(vi.station)) continue;
        const double x = px(vi.station);
        if (vi.kind == design::ViolationKind::ground) {
            const double g = design::terrainElevation(terrain, vi.station);
            out += fmt::format(
                "<line class=\"violation-mark\" data-kind=\"ground\" x1=\"{0:.2f}\" "
                "y1=\"{1:.2f}\" x2=\"{0:.2f}\" y2=\"{2:.2f}\" stroke=\"{3}\" stroke-width=\"2.5\"/>"
                "<circle cx=\"{0:.2f}\" cy=\"{1:.2f}\" r=\"4\" fill=\"none\" stroke=\"{3}\" "
                "stroke-width=\"2\"/>\n",
                x, py(g), py(g + vi.value), kViolation);
        } else if (vi.kind == design::ViolationKind::suspensionPoint) {
            out += fmt::format(
                "<circle class=\"violation-mark\" data-kind=\"suspension_point\" cx=\"{:.2f}\" "
                "cy=\"{:.2f}\" r=\"5\" fill=\"none\" stroke=\"{}\" stroke-width=\"2\"/>\n",
                x, py(design::terrainElevation(terrain, vi.station)), kViolation);
        }
    }
    out += "</g>\n";

    // Notes with their leaders: a block's notes one per row, the first on top, each with its
    // leader from its row down to its point (the block's leaders run down one line).
    for (const auto& b : blocks) {
        if (b.row < 0) continue;
        for (std::size_t j = 0; j < b.notes.size(); ++j) {
            const Note& n = b.notes[j];
            const double baseline =
                notesBottom - kRow * (b.row + b.rows() - 1 - static_cast<int>(j));
            out += fmt::format(
                "<line class=\"leader\" x1=\"{0:.2f}\" y1=\"{1:.2f}\" x2=\"{0:.2f}\" "
                "y2=\"{2:.2f}\" stroke=\"{3}\" stroke-width=\"0.7\"/><text class=\"{4}\" "
                "x=\"{5:.2f}\" y=\"{6:.2f}\" fill=\"{3}\">{7}</text>\n",
                b.anchor, baseline - 10, py(n.elevation), n.colour, n.cls, b.left, baseline,
                escape(n.text));
        }
    }

    // The band.
    double y = bandTop;
    out += fmt::format(
        "<g class=\"band\">\n<line x1=\"{0}\" y1=\"{1}\" x2=\"{2:.2f}\" "
        "y2=\"{1}\" stroke=\"#888\"/>\n",
        kLeft, y, right);
    const double bandBottom = bandTop + bandHeight;
    // The spans' line is divided at the towers, the sections' line at the strain towers.
    const double spansTop = bandBottom - (kRow * band[4].rows + 6) - (kRow * band[3].rows + 6);
    for (std::size_t i : shownTowers) {
        out += fmt::format(
            "<line x1=\"{0:.2f}\" y1=\"{1:.2f}\" x2=\"{0:.2f}\" y2=\"{2:.2f}\" "
            "stroke=\"#aaa\"/>\n",
            px(towers[i].station), spansTop, bandBottom - (kRow * band[4].rows + 6));
    }
    for (const auto& [k, ab] : shownSections) {
        for (double s : {ab.first, ab.second}) {
            out += fmt::format(
                "<line x1=\"{0:.2f}\" y1=\"{1:.2f}\" x2=\"{0:.2f}\" y2=\"{2:.2f}\" "
                "stroke=\"#555\" stroke-width=\"1.5\"/>\n",
                px(s), bandBottom - (kRow * band[4].rows + 6), bandBottom);
        }
        (void)k;
    }
    for (const auto& line : band) {
        out += fmt::format(
            "<text class=\"band-title\" x=\"{}\" y=\"{:.2f}\" "
            "text-anchor=\"end\" fill=\"#444\">{}</text>\n",
            kLeft - 8, y + 12, line.title);
        for (const auto& l : line.labels) {
            if (l.row < 0) continue;
            out +=
                fmt::format("<text class=\"{}\" x=\"{:.2f}\" y=\"{:.2f}\" fill=\"{}\">{}</text>\n",
                            l.cls, l.left, y + 12 + kRow * l.row, l.colour, escape(l.text));
        }
        y += kRow * line.rows + 6;
        out += fmt::format(
            "<line x1=\"{0}\" y1=\"{1:.2f}\" x2=\"{2:.2f}\" y2=\"{1:.2f}\" "
            "stroke=\"#888\"/>\n",
            kLeft, y, right);
    }
    out += "</g>\n</svg>\n";
    return out;
}

}  // namespace

void writeProfileDrawing(const LineProfile& profile, const ProfileDrawingInputs& inputs,
                         OutputFile& out) {
    out.write(profileSvg(profile, inputs));
}

}  // namespace varnel::tool
