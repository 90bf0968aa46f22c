#include "tools/library_tables.h"

#include <cstring>
#include <vector>

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

// The record of a library whose name is `nameUtf8`: the one whose name field holds exactly its
// GBK bytes, else the only one whose name is the same in looseName's form (another spelling of
// it). Anything else is refused with the names there are and the nearest of them.
template <class Seq>
const auto& findByName(const Seq* library, const std::string& nameUtf8, const char* option,
                       const char* what, const std::string& path) {
    std::string wanted;
    bool inGbk = true;
    try {
        wanted = utf8ToGbk(nameUtf8, option);
    } catch (const ToolError&) {
        inGbk = false;  // no name can hold it exactly; another spelling may still match
    }
    const std::size_t count = countOf(*library);
    for (std::size_t i = 0; inGbk && i < count; ++i) {
        const auto& record = library->first[i];
        if (wanted.size() < sizeof record.name &&
            std::strncmp(record.name, wanted.c_str(), sizeof record.name) == 0) {
            return record;
        }
    }
    std::vector<std::string> names;
    std::vector<std::size_t> matches;
    const std::string key = looseName(nameUtf8);
    for (std::size_t i = 0; i < count; ++i) {
        names.push_back(nameOf(library->first[i].name));
        if (looseName(names.back()) == key) matches.push_back(i);
    }
    if (matches.size() == 1) return library->first[matches.front()];
    std::string list;
    if (matches.size() > 1) {
        for (std::size_t i : matches) list += (list.empty() ? "" : ", ") + quotedText(names[i]);
        throw ToolError(path + ": " + what + " " + quotedText(nameUtf8) + " may be any of " + list +
                        "; type one as the table has it");
    }
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    const std::string nearest = nearestName(nameUtf8, names);
    throw ToolError(path + ": no " + what + " " + quotedText(nameUtf8) +
                    (nearest.empty() ? "" : " (did you mean " + quotedText(nearest) + "?)") +
                    "; there are: " + (list.empty() ? "none" : list));
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
