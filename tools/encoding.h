// Text conversion between the tables' GBK (code page 936) and the terminal's UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnel::tool {

// Converts GBK bytes to UTF-8. Bytes that are not GBK come out as U+FFFD, so that a damaged
// table still shows.
std::string gbkToUtf8(std::string_view gbk);

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

}  // namespace varnel::tool
