// The design data libraries as the command uses them: loaded through the library's entry points
// (as the design application loads them), with a clear reason when a table will not load.
#pragma once

#include <string>

#include "varnel.h"

namespace varnel::tool {

enum class TableKind { WeatherAreas, LoadCaseAreas, Conductors };

// Replaces the library of `kind` with the table at `path`. Throws ToolError "PATH: reason".
void loadLibrary(TableKind kind, const std::string& path, bool englishNames = false);

// The area or conductor whose name, typed in UTF-8, matches a GBK name in the loaded library.
// Throws ToolError listing the names there are.
const ::WeatherArea& findArea(TableKind kind, const std::string& nameUtf8, const std::string& path);
const ::LineAttrib& findConductor(const std::string& nameUtf8, const std::string& path);

// Throws ToolError "PATH: reason" saying why the table at `path` (UTF-8, as typed) is refused,
// with the reason's figures; `kind` adds the field count its library needs. Called once a load
// or an open has failed.
[[noreturn]] void explainRefusal(const std::string& path);
[[noreturn]] void explainRefusal(TableKind kind, const std::string& path);

// The NUL-terminated GBK name of a record field, as UTF-8.
template <std::size_t N>
std::string nameOf(const char (&field)[N]);

// The number of records in a sequence the library hands out.
template <class Seq>
std::size_t countOf(const Seq& seq) {
    return seq.first == nullptr ? 0 : static_cast<std::size_t>(seq.last - seq.first);
}

std::string fieldText(const char* field, std::size_t size);

template <std::size_t N>
std::string nameOf(const char (&field)[N]) {
    return fieldText(field, N);
}

}  // namespace varnel::tool
