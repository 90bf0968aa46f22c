#include "tools/file_text.h"

#include <optional>

#include "tools/encoding.h"
#include "tools/text_table.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

bool isAscii(std::string_view line) {
    for (const char c : line) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// Calls `each(line, number)` for each line (numbered from 1, its '\n' left off) until it
// returns true; gives that line's number, or 0.
template <typename Each>
std::size_t findLine(std::string_view text, Each each) {
    std::size_t number = 1;
    for (std::size_t start = 0; start <= text.size(); ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        if (each(text.substr(start, end - start))) return number;
        start = end + 1;
    }
    return 0;
}

}  // namespace

bool isUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t more = 0;
        // The second byte's range, narrower after E0, ED, F0 and F4 (overlong forms, the
        // surrogates, beyond U+10FFFF).
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (i + more >= s.size()) return false;
        for (std::size_t k = 1; k <= more; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if (k == 1 ? (b < low || b > high) : (b & 0xC0) != 0x80) return false;
        }
        i += more + 1;
    }
    return true;
}

std::string fileTextAsUtf8(std::string_view raw, const std::string& pathUtf8) {
    const bool marked = raw.substr(0, kUtf8Bom.size()) == kUtf8Bom;
    const std::string_view text = marked ? raw.substr(kUtf8Bom.size()) : raw;
    if (isUtf8(text)) return std::string(text);
    const auto fail = [&](std::size_t line, const std::string& why) {
        return ToolError(pathUtf8 + ": line " + std::to_string(line) + ": " + why);
    };
    const std::size_t notUtf8 = findLine(text, [](std::string_view l) { return !isUtf8(l); });
    if (marked) {
        throw fail(notUtf8,
                   "not UTF-8, though the file begins with UTF-8's byte order mark; save it as "
                   "UTF-8, or as GBK without the mark");
    }
    const std::size_t utf8 =
        findLine(text, [](std::string_view l) { return !isAscii(l) && isUtf8(l); });
    if (utf8 != 0) {
        throw fail(notUtf8, "not UTF-8, though line " + std::to_string(utf8) +
                                " is; save the whole file in one encoding, UTF-8 or GBK");
    }
    if (std::optional<std::string> decoded = strictGbkToUtf8(text)) return *decoded;
    const std::size_t neither =
        findLine(text, [](std::string_view l) { return !strictGbkToUtf8(l).has_value(); });
    throw fail(neither, "neither UTF-8 nor GBK");
}

}  // namespace varnel::tool
