#include "tools/library_tables.h"

#include <cstring>

#include "dbf/table_check.h"
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

}  // namespace

std::string fieldText(const char* field, std::size_t size) {
    return gbkToUtf8(std::string_view(field, strnlen(field, size)));
}

namespace {

// "PATH: reason", with the file that was looked for when the library supplied its extension
// (a path too long is not repeated).
[[noreturn]] void refuse(const std::string& pathUtf8, const std::string& native,
                         const TableCheck& check, std::string reason) {
    // The reader leaves a name out of its reason unless it is plain ASCII; here it can be shown.
    if (check.refusal == TableRefusal::ZeroWidthField && !check.fieldName.empty()) {
        reason = "field " + std::to_string(check.value) + " of " + std::to_string(check.limit) +
                 " (\"" + gbkToUtf8(check.fieldName) +
                 "\") is 0 bytes wide; every field is 1 to 255 bytes";
    }
    std::string message = pathUtf8 + ": " + reason;
    if (check.path != native && check.refusal != TableRefusal::PathTooLong) {
        message += " (read as " + displayPath(check.path) + ")";
    }
    throw ToolError(message);
}

}  // namespace

void explainRefusal(const std::string& pathUtf8) {
    const std::string native = nativePath(pathUtf8);
    const TableCheck check = checkTable(native.c_str());
    if (check) throw ToolError(pathUtf8 + ": opens now; it may have changed while being read");
    refuse(pathUtf8, native, check, check.reason);
}

void explainRefusal(TableKind kind, const std::string& pathUtf8) {
    const KindInfo info = infoOf(kind);
    const std::string native = nativePath(pathUtf8);
    const TableCheck check = checkTable(native.c_str(), static_cast<int>(info.fields));
    if (check.refusal == TableRefusal::FieldCount) {
        refuse(pathUtf8, native, check,
               std::to_string(check.fieldCount) +
                   (check.fieldCount == 1 ? " field; " : " fields; ") + info.what + " has " +
                   std::to_string(info.fields));
    }
    if (!check) refuse(pathUtf8, native, check, check.reason);
    throw ToolError(pathUtf8 + ": could not be loaded as " + std::string(info.what));
}

void loadLibrary(TableKind kind, const std::string& pathUtf8, bool englishNames) {
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
    if (loaded != 1) explainRefusal(kind, pathUtf8);
}

namespace {

// The record of a library whose name field holds exactly `nameUtf8` in GBK.
template <class Seq>
const auto& findByName(const Seq* library, const std::string& nameUtf8, const char* option,
                       const char* what, const std::string& path) {
    const std::string wanted = utf8ToGbk(nameUtf8, option);
    std::string known;
    for (std::size_t i = 0; i < countOf(*library); ++i) {
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
