// varnel areas: the weather areas of a table as the library loads them.
#include <fmt/format.h>

#include "tools/command.h"
#include "tools/design_inputs.h"
#include "tools/json_output.h"
#include "tools/library_tables.h"
#include "tools/text_table.h"

namespace varnel::tool {

namespace {

struct AreasOptions {
    std::string path;
    bool loadCase = false;
    bool english = false;
    bool json = false;
};

const WeatherAreaSeq& loadAreas(const AreasOptions& o) {
    const TableKind kind = o.loadCase ? TableKind::LoadCaseAreas : TableKind::WeatherAreas;
    loadLibrary(kind, o.path, o.english);
    return o.loadCase ? *GetHZWeatherAreaLib() : *GetWeatherAreaLib();
}

std::string areasJson(const WeatherAreaSeq& areas) {
    Json list = Json::array();
    for (std::size_t a = 0; a < countOf(areas); ++a) {
        const WeatherArea& area = areas.first[a];
        Json conditions = Json::array();
        for (std::size_t i = 0; i < conditionCount(area); ++i) {
            const WeatherCondition& c = area.conditions.first[i];
            conditions.push_back(Json{{"name", nameOf(c.name)},
                                      {"ice_mm", c.iceThickness},
                                      {"wind_m_per_s", c.windSpeed},
                                      {"temperature_degC", c.temperature}});
        }
        list.push_back(Json{{"name", nameOf(area.name)}, {"conditions", std::move(conditions)}});
    }
    return jsonDocument(Json{{"areas", std::move(list)}});
}

std::string areasText(const WeatherAreaSeq& areas) {
    TextTable out({"area", "condition", "ice mm", "wind m/s", "temperature \u00B0C"},
                  {false, false, true, true, true});
    for (std::size_t a = 0; a < countOf(areas); ++a) {
        const WeatherArea& area = areas.first[a];
        for (std::size_t i = 0; i < conditionCount(area); ++i) {
            const WeatherCondition& c = area.conditions.first[i];
            out.addRow({i == 0 ? nameOf(area.name) : "", nameOf(c.name), number(c.iceThickness, 1),
                        number(c.windSpeed, 2), number(c.temperature, 1)});
        }
    }
    return out.aligned() + fmt::format("{} areas\n", countOf(areas));
}

}  // namespace

std::string areasReport(const std::string& path) {
    return areasText(loadAreas(AreasOptions{path}));
}

void addAreasCommand(CLI::App& app, CommandSet& set) {
    auto o = std::make_shared<AreasOptions>();
    CLI::App* cmd =
        app.add_subcommand("areas", "Show the weather areas of a table as the library loads them");
    cmd->add_option("FILE", o->path, "Weather area table (15 fields; 10 with --load-case)")
        ->required()
        ->type_name("FILE");
    cmd->add_flag("--load-case", o->loadCase, "A load-case table (10 fields, six conditions)");
    cmd->add_flag("--english", o->english, "English condition names");
    cmd->add_flag("--json", o->json, "One JSON document instead of a table");
    cmd->footer(examples({"varnel areas samples/weather_areas.dbf",
                          "varnel areas samples/load_case_areas.dbf --load-case --english"}));
    set.commands.push_back({cmd, [o](ResultStream& out) {
                                const WeatherAreaSeq& areas = loadAreas(*o);
                                out.write(o->json ? areasJson(areas) : areasText(areas));
                            }});
}

}  // namespace varnel::tool
