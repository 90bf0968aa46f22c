// varnel conductors: the conductors of a table as the library loads them.
#include <fmt/format.h>

#include "tools/command.h"
#include "tools/design_inputs.h"
#include "tools/json_output.h"
#include "tools/library_tables.h"
#include "tools/text_table.h"

namespace varnel::tool {

namespace {

const LineAttribSeq& loadConductors(const std::string& path) {
    loadLibrary(TableKind::Conductors, path);
    return *GetLineAttribLib();
}

std::string conductorsText(const LineAttribSeq& lib) {
    // Fields 4, 7, 9 and 10 are only carried for the host; conductor tables hold there the
    // aluminium and steel areas, the number of aluminium wires and the stranding.
    TextTable out(
        {"name", "area mm\u00B2", "diameter mm", "mass kg/km", "Al mm\u00B2", "E N/mm\u00B2",
         "\u03B1 1e-6/\u00B0C", "steel mm\u00B2", "strength N", "Al wires", "stranding"},
        {false, true, true, true, true, true, true, true, true, true, false});
    for (std::size_t i = 0; i < countOf(lib); ++i) {
        const LineAttrib& c = lib.first[i];
        out.addRow({nameOf(c.name), fmt::format("{}", c.area), fmt::format("{}", c.diameter),
                    fmt::format("{}", c.unitMass), fmt::format("{}", c.column4Value),
                    fmt::format("{}", c.elasticModulus),
                    fmt::format("{:.4g}", c.expansionCoeff * 1e6),
                    fmt::format("{}", c.column7Value), fmt::format("{}", c.ratedStrength),
                    fmt::format("{}", c.column9Number), nameOf(c.column10Text)});
    }
    return out.aligned() + fmt::format("{} conductors\n", countOf(lib));
}

std::string conductorsJson(const LineAttribSeq& lib) {
    Json list = Json::array();
    for (std::size_t i = 0; i < countOf(lib); ++i) list.push_back(conductorJson(lib.first[i]));
    return jsonDocument(Json{{"conductors", std::move(list)}});
}

}  // namespace

std::string conductorsReport(const std::string& path) {
    return conductorsText(loadConductors(path));
}

void addConductorsCommand(CLI::App& app, CommandSet& set) {
    auto path = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    CLI::App* cmd = app.add_subcommand("conductors",
                                       "Show the conductors of a table as the library loads them");
    cmd->add_option("FILE", *path, "Conductor table (11 fields)")->required()->type_name("FILE");
    cmd->add_flag("--json", *json, "One JSON document instead of a table");
    cmd->footer(examples({"varnel conductors samples/conductors.dbf"}));
    set.commands.push_back({cmd, [path, json](ResultStream& out) {
                                const LineAttribSeq& lib = loadConductors(*path);
                                out.write(*json ? conductorsJson(lib) : conductorsText(lib));
                            }});
}

}  // namespace varnel::tool
