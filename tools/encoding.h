// Text conversion between the tables' GBK (code page 936) and the terminal's UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::tool {

// Converts GBK bytes to UTF-8. Bytes that are not GBK come out as U+FFFD, so that a damaged
// table still shows.
std::string gbkToUtf8(std::string_view gbk);

// Converts GBK bytes to UTF-8, or nothing when any byte is not part of a GBK character.
std::optional<std::string> strictGbkToUtf8(std::string_view gbk);

// Converts UTF-8 to GBK. Throws ToolError naming `what` when the text has a character that
// GBK cannot hold.
std::string utf8ToGbk(std::string_view utf8, std::string_view what);

// A path typed in UTF-8 as the bytes the library and the C library's file functions take: the
// same bytes on Linux, the ANSI code page on Windows.
std::string nativePath(const std::string& utf8);
// The reverse: a path in the bytes the C library takes, as UTF-8 for a message.
std::string displayPath(const std::string& native);

#ifdef _WIN32
// The command line as UTF-8 (Windows hands programs their arguments in the ANSI code page,
// which cannot hold every name), and the console switched to UTF-8 output.
std::vector<std::string> utf8Arguments();
#endif

// Columns a UTF-8 text takes on a terminal: East Asian wide characters count two.
std::size_t displayWidth(std::string_view utf8);

// A text from a file or a command line, quoted for a one-line message that a terminal shows as
// it is: at most `maxChars` characters of it, then "…" and its length in bytes; quotes and
// backslashes escaped, control characters (C0, DEL, C1, the bidirectional and line separator
// controls) as \n, \t, \r or \xNN / \uNNNN, and bytes that are not UTF-8 as \xNN.
std::string quotedText(std::string_view text, std::size_t maxChars = 40);

// A text from a file (a tower's or a table's name) as a terminal may be shown it: control
// characters (line breaks and tabs among them) and bytes that are not UTF-8 escaped as
// quotedText escapes them, so that no escape sequence in a name reaches the terminal (ESC ] 0;
// retitling the window, ESC [ 2 J clearing it). Everything else as it is.
std::string shownText(std::string_view text);

// The form in which two spellings of one name compare equal: surrounding white space dropped;
// ASCII letters in lower case; full-width ASCII as ASCII; Roman numerals as decimal figures,
// whether written as the numeral characters (U+2160 to U+217B: Ⅵ, ⅵ) or as a run of the Latin
// letters I, V and X standing apart from other letters (VI, vi, up to XXXIX); and the
// traditional forms of the simplified characters that design tables' names are made of (the
// areas' 氣 區, the conditions' 溫 風 驗 裝 過 內, the conductor types' 鋼 鋁 絞 線 導, place
// names, ...) as the simplified ones. So "典型氣象區vi " and "典型气象区6" both give
// "典型气象区6".
std::string looseName(std::string_view utf8);

// Edits (insertions, deletions, substitutions, swaps of neighbours) from `a` to `b`, counted in
// characters of the UTF-8 texts.
std::size_t editDistance(std::string_view a, std::string_view b);

// The one name of `names` nearest to `typed` by editDistance of their looseName forms, when it is
// near enough to be a typing mistake (at most 2 edits, or a third of the typed length), else the
// one name that begins with what was typed; empty when none is, or when several are equally
// near.
std::string nearestName(std::string_view typed, const std::vector<std::string>& names);

}  // namespace varnel::tool
