#include "tools/text_table.h"

#include <algorithm>

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
    std::vector<std::size_t> widths(headers_.size());
    for (std::size_t c = 0; c < headers_.size(); ++c) {
        widths[c] = displayWidth(headers_[c]);
        for (const auto& row : rows_) widths[c] = std::max(widths[c], displayWidth(row[c]));
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
    for (const auto& row : rows_) line(row);
    return out;
}

std::string csvField(const std::string& text) {
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
