#include "dbf/table_path.h"

#include "dbf/gbk.h"

namespace varnel {

namespace {
bool isSeparator(char c) {
    return c == '\\' || c == '/';
}
}  // namespace

PathParts splitPath(std::string_view path, PathEncoding encoding) {
    PathParts parts;
    std::size_t start = 0;
    if (path.size() >= 2 && path[1] == ':') {
        parts.drive = path.substr(0, 2);
        start = 2;
    }
    // Scanned by characters: the last separator ends the directory, and the last point after it
    // starts the extension.
    std::size_t nameStart = start;
    std::size_t point = std::string_view::npos;
    for (std::size_t i = start; i < path.size();) {
        const char c = path[i];
        if (encoding == PathEncoding::Gbk && isGbkLeadByte(static_cast<unsigned char>(c)) &&
            i + 1 < path.size()) {
            i += 2;
            continue;
        }
        if (isSeparator(c)) {
            nameStart = i + 1;
            point = std::string_view::npos;
        } else if (c == '.') {
            point = i;
        }
        ++i;
    }
    const std::size_t nameEnd = point == std::string_view::npos ? path.size() : point;
    parts.directory = path.substr(start, nameStart - start);
    parts.name = path.substr(nameStart, nameEnd - nameStart);
    parts.extension = path.substr(nameEnd);
    return parts;
}

std::string joinPath(const PathParts& parts) {
    std::string path = parts.drive;
    path += parts.directory;
    if (!parts.directory.empty() && !isSeparator(parts.directory.back())) path += '\\';
    path += parts.name;
    if (!parts.extension.empty() && parts.extension.front() != '.') path += '.';
    path += parts.extension;
    return path;
}

std::string tablePath(std::string_view path, PathEncoding encoding) {
    PathParts parts = splitPath(path, encoding);
    if (parts.extension.empty()) parts.extension = "dbf";
    return joinPath(parts);
}

}  // namespace varnel
