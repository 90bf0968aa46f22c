#include "tools/library_tables.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dbf/dbase.h"
#include "tools/encoding.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

struct KindInfo {
    const char* what;
    std::size_t fields;
};

KindInfo infoOf(TableKind kind) {
    switch (kind) {
        case TableKind::WeatherAreas:
            return {"a weather area table", 15};
        case TableKind::LoadCaseAreas:
            return {"a load-case weather area table", 10};
        case TableKind::Conductors:
            break;
    }
    return {"a conductor table", 11};
}

// The library supplies ".dbf" for a path without an extension; so does this check.
bool hasExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

template <class Seq>
std::size_t countOf(const Seq* seq) {
    return seq->first == nullptr ? 0 : static_cast<std::size_t>(seq->last - seq->first);
}

}  // namespace

std::string fieldText(const char* field, std::size_t size) {
    return gbkToUtf8(std::string_view(field, strnlen(field, size)));
}

std::string tableProblem(const std::string& pathUtf8, std::size_t* fieldCount) {
    const std::string path = nativePath(pathUtf8);
    const std::string full = hasExtension(path) ? path : path + ".dbf";
    if (std::FILE* f = std::fopen(full.c_str(), "rb")) {
        std::fclose(f);
    } else {
        return std::string("cannot open: ") + std::strerror(errno);
    }
    CDbase table;
    if (table.Open(path.c_str(), 0) != 1) return "not a dBASE table, or a damaged one";
    TextList names;
    table.GetFieldNames(names);
    *fieldCount = names.size();
    return {};
}

void loadLibrary(TableKind kind, const std::string& pathUtf8, bool englishNames) {
    const KindInfo info = infoOf(kind);
    const std::string native = nativePath(pathUtf8);
    const char* path = native.c_str();
    int loaded = 0;
    switch (kind) {
        case TableKind::WeatherAreas:
            ClearWeatherAreaLib();
            loaded = LoadWeatherAreaFromDBF(path, englishNames ? 1 : 0);
            break;
        case TableKind::LoadCaseAreas:
            ClearHZWeatherAreaLib();
            loaded = LoadHZWeatherAreaFromDBF(path, englishNames ? 1 : 0);
            break;
        case TableKind::Conductors:
            ClearLineAttribLib();
            loaded = LoadLineAttribFromDBF(path);
            break;
    }
    if (loaded == 1) return;
    std::size_t fields = 0;
    const std::string problem = tableProblem(pathUtf8, &fields);
    if (!problem.empty()) throw ToolError(pathUtf8 + ": " + problem);
    if (fields != info.fields) {
        throw ToolError(pathUtf8 + ": " + std::to_string(fields) +
                        (fields == 1 ? " field; " : " fields; ") + info.what + " has " +
                        std::to_string(info.fields));
    }
    throw ToolError(pathUtf8 + ": could not be loaded as " + std::string(info.what));
}

namespace {

// The record of a library whose name field holds exactly `nameUtf8` in GBK.
template <class Seq>
const auto& findByName(const Seq* library, const std::string& nameUtf8, const char* option,
                       const char* what, const std::string& path) {
    const std::string wanted = utf8ToGbk(nameUtf8, option);
    std::string known;
    for (std::size_t i = 0; i < countOf(library); ++i) {
        const auto& record = library->first[i];
        if (wanted.size() < sizeof record.name &&
            std::strncmp(record.name, wanted.c_str(), sizeof record.name) == 0) {
            return record;
        }
        known += (known.empty() ? "" : ", ") + nameOf(record.name);
    }
    throw ToolError(path + ": no " + what + " \"" + nameUtf8 +
                    "\"; there are: " + (known.empty() ? "none" : known));
}

}  // namespace

const WeatherArea& findArea(TableKind kind, const std::string& nameUtf8, const std::string& path) {
    const WeatherAreaSeq* areas =
        kind == TableKind::LoadCaseAreas ? GetHZWeatherAreaLib() : GetWeatherAreaLib();
    return findByName(areas, nameUtf8, "--area", "weather area", path);
}

const LineAttrib& findConductor(const std::string& nameUtf8, const std::string& path) {
    return findByName(GetLineAttribLib(), nameUtf8, "--conductor", "conductor", path);
}

}  // namespace varnel::tool
