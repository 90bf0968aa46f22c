// The text of a file a command reads (the profile's CSV files) as UTF-8, its encoding decided
// once from the whole file, so that a name is never half decoded one way and half the other.
#pragma once

#include <string>
#include <string_view>

namespace varnel::tool {

// UTF-8 when the whole file is (a UTF-8 byte order mark before it is dropped); else GBK when
// the whole file is and no line with other than ASCII in it reads as UTF-8 too (a file saved
// partly in each). Anything else is refused with the line where it breaks, a ToolError
// "PATH: line N: ...": a file with UTF-8's byte order mark that is not UTF-8, a file mixing
// UTF-8 and GBK lines, and a line that is neither.
std::string fileTextAsUtf8(std::string_view raw, const std::string& pathUtf8);

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF).
bool isUtf8(std::string_view text);

}  // namespace varnel::tool
