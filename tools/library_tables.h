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
const WeatherArea& findArea(TableKind kind, const std::string& nameUtf8, const std::string& path);
const LineAttrib& findConductor(const std::string& nameUtf8, const std::string& path);

// Why a table cannot be read at all ("cannot open: ...", "not a dBASE table"), or an empty
// string when it opens. Fills the field count when it opens.
std::string tableProblem(const std::string& path, std::size_t* fieldCount);

// The NUL-terminated GBK name of a record field, as UTF-8.
template <std::size_t N>
std::string nameOf(const char (&field)[N]);

std::string fieldText(const char* field, std::size_t size);

template <std::size_t N>
std::string nameOf(const char (&field)[N]) {
    return fieldText(field, N);
}

}  // namespace varnel::tool
