// Table file names: a path in Windows form is split into drive, directory, base name and
// extension, the extension "dbf" is supplied when the path has none, and the parts are joined
// again. Both '\\' and '/' separate components on every platform.
//
// A path is text in the platform's encoding for file names, and the split must step over its
// multibyte characters whole:
// - Windows: the ANSI code page, GBK. A byte 0x81 to 0xFE starts a two-byte character whose second
//   byte may be 0x5C (the backslash) or lie in the lead byte range, so the bytes are walked by
//   characters from the start, never looked at one by one.
// - Linux: UTF-8. No byte of a multibyte UTF-8 character is below 0x80, so none is ever a point
//   or a separator, and the walk is bytewise. (Walking UTF-8 as GBK would pair the last byte of a
//   Chinese character with the point after it: 导线表.dbf would lose its extension.)
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varnel {

enum class PathEncoding { Gbk, Utf8 };

#ifdef _WIN32
inline constexpr PathEncoding kPlatformPathEncoding = PathEncoding::Gbk;
#else
inline constexpr PathEncoding kPlatformPathEncoding = PathEncoding::Utf8;
#endif

struct PathParts {
    std::string drive;      // "C:" when the path's second byte is a colon, else empty
    std::string directory;  // up to and including the last separator ('\\' or '/'), else empty
    std::string name;       // the last component without its extension
    std::string extension;  // from the last point of the last component, point included
};

// The longest full path a table may have, in bytes, without its terminating zero.
inline constexpr std::size_t kMaxTablePath = 259;

PathParts splitPath(std::string_view path, PathEncoding encoding = kPlatformPathEncoding);

// Joins the parts, putting a backslash after a directory that does not end in a separator and a
// point before an extension that does not begin with one.
std::string joinPath(const PathParts& parts);

// The file that a table path names: the path with ".dbf" supplied when it has no extension.
std::string tablePath(std::string_view path, PathEncoding encoding = kPlatformPathEncoding);

}  // namespace varnel
