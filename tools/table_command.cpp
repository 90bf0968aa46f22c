// varnel table: any DBF table as the reader cuts it, with field names and rows.
#include <fmt/format.h>

#include "dbf/dbase.h"
#include "tools/command.h"
#include "tools/encoding.h"
#include "tools/library_tables.h"
#include "tools/text_table.h"

namespace varnel::tool {

namespace {

struct TableOptions {
    std::string path;
    bool csv = false;
    bool bom = false;
    bool raw = false;
};

void showTable(const TableOptions& o, ResultStream& out) {
    CDbase table;
    if (table.Open(nativePath(o.path).c_str(), 0) != 1) explainRefusal(o.path);
    TextList names;
    table.GetFieldNames(names);
    auto text = [&](const std::string& s) { return o.raw ? s : gbkToUtf8(s); };
    std::vector<std::string> headers;
    for (const auto& n : names) headers.push_back(text(n));
    TextTable rows(headers);
    TextList values;
    for (int r = 0; r < table.GetRecordCount(); ++r) {
        table.GetRecord(r, values);
        std::vector<std::string> cells;
        for (const auto& v : values) cells.push_back(text(v));
        rows.addRow(cells);
    }
    if (o.csv) {
        out.write((o.bom ? kUtf8Bom : "") + rows.csv());
        return;
    }
    out.write(rows.aligned() +
              fmt::format("{} fields, {} records\n", names.size(), table.GetRecordCount()));
}

}  // namespace

void addTableCommand(CLI::App& app, CommandSet& set) {
    auto o = std::make_shared<TableOptions>();
    CLI::App* cmd = app.add_subcommand("table", "Show any DBF table: field names and rows");
    cmd->add_option("FILE", o->path,
                    "The table (\".dbf\" is supplied when the name has no extension)")
        ->required()
        ->type_name("FILE");
    CLI::Option* csv = cmd->add_flag("--csv", o->csv, "CSV on standard output instead of a table");
    CLI::Option* raw =
        cmd->add_flag("--raw", o->raw, "Texts as the table's bytes (GBK), not converted");
    cmd->add_flag("--bom", o->bom,
                  "Start the CSV with a UTF-8 byte order mark, so that spreadsheet programs "
                  "show the names")
        ->needs(csv)
        ->excludes(raw);
    cmd->footer(examples({"varnel table samples/conductors.dbf",
                          "varnel table samples/weather_areas --csv --bom > areas.csv"}));
    set.commands.push_back({cmd, [o](ResultStream& out) { showTable(*o, out); }});
}

}  // namespace varnel::tool
