// The charts' text escaping against the XML 1.0 Char production: #x9 | #xA | #xD |
// [#x20-#xD7FF] | [#xE000-#xFFFD] | [#x10000-#x10FFFF], and well-formed UTF-8 (RFC 3629: no
// overlong forms, no surrogates, nothing above U+10FFFF).
#include <gtest/gtest.h>

#include <string>

#include "tools/svg_support.h"

namespace {

using varnel::tool::svg::escape;

const std::string kBad = "\xEF\xBF\xBD";  // U+FFFD

struct EscapeCase {
    const char* what;
    std::string in;
    std::string out;
};

class SvgEscape : public testing::TestWithParam<EscapeCase> {};

TEST_P(SvgEscape, GivesTextXmlCanHold) {
    EXPECT_EQ(escape(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SvgEscape,
    testing::Values(
        EscapeCase{"markup", "a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&apos;f"},
        EscapeCase{"tab_lf_cr_kept", "a\tb\nc\rd", "a\tb\nc\rd"},
        EscapeCase{"c0_controls", std::string("a\x01\x08\x0B\x0C\x1F", 6) + std::string(1, '\0'),
                   "a" + kBad + kBad + kBad + kBad + kBad + kBad},
        EscapeCase{"del_and_c1_are_chars", "\x7F\xC2\x85", "\x7F\xC2\x85"},
        EscapeCase{"chinese", "\xE5\xB9\xB4\xE5\xB9\xB3", "\xE5\xB9\xB4\xE5\xB9\xB3"},  // 年平
        EscapeCase{"astral", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},                   // U+1F600
        EscapeCase{"last_code_point", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},          // U+10FFFF
        EscapeCase{"fffd_kept", kBad, kBad}, EscapeCase{"fffe", "a\xEF\xBF\xBE", "a" + kBad},
        EscapeCase{"ffff", "\xEF\xBF\xBFz", kBad + "z"},
        EscapeCase{"surrogate", "\xED\xA0\x80", kBad},          // U+D800 as UTF-8
        EscapeCase{"overlong_slash", "\xC0\xAF", kBad + kBad},  // C0 is never a lead
        EscapeCase{"overlong_three", "\xE0\x80\xAF", kBad},     // '/' in three bytes
        EscapeCase{"above_10ffff", "\xF4\x90\x80\x80", kBad},
        EscapeCase{"lone_continuation", "a\x80z", "a" + kBad + "z"},
        EscapeCase{"ff_byte", "\xFF", kBad}, EscapeCase{"cut_by_ascii", "\xE5\xB9<", kBad + "&lt;"},
        EscapeCase{"cut_at_end", "a\xF0\x9F\x98", "a" + kBad}),
    [](const testing::TestParamInfo<EscapeCase>& c) { return std::string(c.param.what); });

}  // namespace
