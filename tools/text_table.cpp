#include "tools/text_table.h"

#include <algorithm>
#include <string_view>

#include "tools/encoding.h"

namespace varnel::tool {

TextTable::TextTable(std::vector<std::string> headers, std::vector<bool> rightAligned)
    : headers_(std::move(headers)), right_(std::move(rightAligned)) {
    right_.resize(headers_.size(), false);
}

void TextTable::addRow(std::vector<std::string> cells) {
    cells.resize(headers_.size());
    rows_.push_back(std::move(cells));
}

std::string TextTable::aligned() const {
    // For the terminal: names with control characters in them shown escaped (shownText).
    std::vector<std::vector<std::string>> rows;
    rows.reserve(rows_.size());
    for (const auto& row : rows_) {
        std::vector<std::string>& shown = rows.emplace_back();
        for (const std::string& cell : row) shown.push_back(shownText(cell));
    }
    std::vector<std::size_t> widths(headers_.size());
    for (std::size_t c = 0; c < headers_.size(); ++c) {
        widths[c] = displayWidth(headers_[c]);
        for (const auto& row : rows) widths[c] = std::max(widths[c], displayWidth(row[c]));
    }
    std::string out;
    auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const std::string pad(widths[c] - displayWidth(cells[c]), ' ');
            if (c > 0) text += "  ";
            text += right_[c] ? pad + cells[c] : cells[c] + (c + 1 < cells.size() ? pad : "");
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        out += text + "\n";
    };
    line(headers_);
    std::vector<std::string> rule;
    for (std::size_t w : widths) rule.emplace_back(w, '-');
    line(rule);
    for (const auto& row : rows) line(row);
    return out;
}

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A decimal number as the outputs write one: [sign] digits [. digits] [e [sign] digits].
bool isNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        if (i == s.size() || !isDigit(s[i])) return false;
        while (i < s.size() && isDigit(s[i])) ++i;
    }
    return i == s.size();
}

}  // namespace

std::string csvField(const std::string& given) {
    // A spreadsheet takes a cell beginning with = + - or @ as a formula and runs it
    // (=HYPERLINK(...) from a tower's name): such a text is written after an apostrophe, which
    // the spreadsheet shows it without. A number (-12.5) is written as it is.
    const bool formula = !given.empty() &&
                         std::string_view("=+-@").find(given[0]) != std::string_view::npos &&
                         !isNumber(given);
    const std::string text = formula ? "'" + given : given;
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string TextTable::csv() const {
    std::string out;
    auto line = [&](const std::vector<std::string>& cells) {
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (c > 0) out += ',';
            out += csvField(cells[c]);
        }
        out += '\n';
    };
    line(headers_);
    for (const auto& row : rows_) line(row);
    return out;
}

}  // namespace varnel::tool
