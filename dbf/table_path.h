// Table file names: a path in Windows form is split into drive, directory, base name and
// extension, the extension "dbf" is supplied when the path has none, and the parts are joined
// again. The same code runs on every platform, so the Linux build names files exactly as the
// Windows build does.
//
// Paths are GBK byte strings. The split steps over double-byte characters whole: a byte 0x81 to
// 0xFE starts a two-byte character, so its second byte (which may be 0x5C, the backslash) is never
// taken for a separator or a point.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varnel {

struct PathParts {
    std::string drive;      // "C:" when the path's second byte is a colon, else empty
    std::string directory;  // up to and including the last separator ('\\' or '/'), else empty
    std::string name;       // the last component without its extension
    std::string extension;  // from the last point of the last component, point included
};

// The longest full path a table may have, in bytes, without its terminating zero.
inline constexpr std::size_t kMaxTablePath = 259;

PathParts splitPath(std::string_view path);

// Joins the parts, putting a backslash after a directory that does not end in a separator and a
// point before an extension that does not begin with one.
std::string joinPath(const PathParts& parts);

// The file that a table path names: the path with ".dbf" supplied when it has no extension.
std::string tablePath(std::string_view path);

}  // namespace varnel
