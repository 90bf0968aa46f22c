// Tables for the terminal (aligned by display width) and as CSV.
#pragma once

#include <string>
#include <vector>

namespace varnel::tool {

class TextTable {
  public:
    explicit TextTable(std::vector<std::string> headers, std::vector<bool> rightAligned = {});
    void addRow(std::vector<std::string> cells);
    std::size_t rowCount() const { return rows_.size(); }

    // Columns padded to their widest cell, two spaces apart; a rule under the headers.
    std::string aligned() const;
    // RFC 4180: fields with a comma, quote or line break quoted, quotes doubled; CRLF-free.
    // Each cell through csvField.
    std::string csv() const;

  private:
    std::vector<std::string> headers_;
    std::vector<bool> right_;
    std::vector<std::vector<std::string>> rows_;
};

// A CSV field: quoted as csv() quotes, and a text beginning with = + - or @ that is not a number
// written after an apostrophe, so that a spreadsheet opening the file does not run it as a
// formula.
std::string csvField(const std::string& text);

// Starts a CSV file that spreadsheet programs should read as UTF-8 whatever their locale.
inline const std::string kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace varnel::tool
