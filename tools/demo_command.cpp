// varnel demo: the typical road through the library on the sample tables that ship with it.
#include <fmt/format.h>

#include <cmath>
#include <filesystem>

#include "tools/command.h"
#include "tools/encoding.h"
#include "tools/library_tables.h"
#include "tools/tool_error.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace varnel::tool {

namespace {

struct DemoOptions {
    std::string samples;
    std::string outDir = ".";
};

constexpr const char* kAreasTable = "weather_areas.dbf";

// The folder of the running program, UTF-8; empty when it cannot be told.
std::filesystem::path programFolder() {
    std::error_code ec;
#ifdef _WIN32
    wchar_t buffer[32768];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, sizeof buffer / sizeof buffer[0]);
    if (n == 0 || n >= sizeof buffer / sizeof buffer[0]) return {};
    return std::filesystem::path(std::wstring(buffer, n)).parent_path();
#else
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
#endif
}

std::string utf8(const std::filesystem::path& p) {
    const std::u8string text = p.u8string();
    return std::string(text.begin(), text.end());
}

bool hasSamples(const std::string& folderUtf8) {
    std::error_code ec;
    const std::u8string name(folderUtf8.begin(), folderUtf8.end());
    return std::filesystem::is_regular_file(std::filesystem::path(name) / kAreasTable, ec);
}

// --samples when given; otherwise the samples installed beside the program
// (PREFIX/share/varnel/samples for PREFIX/bin/varnel), then those of the source tree it was
// built from.
std::string findSamples(const std::string& given) {
    if (!given.empty()) return given;
    std::vector<std::string> tried;
    const std::filesystem::path folder = programFolder();
    if (!folder.empty()) {
        tried.push_back(
            utf8((folder.parent_path() / "share" / "varnel" / "samples").lexically_normal()));
    }
#ifdef VARNEL_SOURCE_SAMPLES
    tried.push_back(VARNEL_SOURCE_SAMPLES);
#endif
    std::string list;
    for (const std::string& candidate : tried) {
        if (hasSamples(candidate)) return candidate;
        list += (list.empty() ? "" : ", ") + candidate;
    }
    throw ToolError("cannot find the sample tables (looked in " +
                    (list.empty() ? std::string("no folder") : list) +
                    "); name them with --samples DIR");
}

std::string joined(const std::string& folder, const char* name) {
    const std::u8string text(folder.begin(), folder.end());
    return utf8(std::filesystem::path(text) / name);
}

void runDemo(const DemoOptions& o, ResultStream& out) {
    const std::string samples = findSamples(o.samples);
    DesignOptions d;
    d.areasPath = joined(samples, kAreasTable);
    d.conductorsPath = joined(samples, "conductors.dbf");
    // Area VI: the controlling condition changes twice between 50 and 800 m.
    d.areaName = "\u5178\u578B\u6C14\u8C61\u533A\u2165";  // 典型气象区Ⅵ
    d.conductorName = "JL/G1A-240/30";

    // Everything the road needs is loaded and found before the first line is written.
    const std::string areas = areasReport(d.areasPath);
    const std::string conductors = conductorsReport(d.conductorsPath);
    const std::string control = controlReport(d, 300.0);
    const std::string critical = criticalReport(d);
    const Design design = loadDesign(d);
    const WeatherCondition& highWind = design.area->conditions.first[1];
    WindInputs w;
    w.wind = highWind.windSpeed;
    w.topDiameter = 190;
    w.topHeight = 12;
    w.taper = 75;
    w.diameter = design.conductor->diameter;
    w.length = 300;
    w.height = 15;
    w.area = 0.25;
    // The areas give their speeds at 10 m, as the pole's load takes them; the conductor's and the
    // insulator's take the speed at 15 m, whose pressure is μz(15 m) of the 10 m table (terrain
    // B) times that at 10 m.
    WindInputs at15 = w;
    at15.wind = std::round(w.wind * std::sqrt(CalcWindHeightChangeCoff(15, 'B', 0)) * 100) / 100;
    const std::string wind = fmt::format(
        "The area's high wind is {} m/s at 10 m, {} m/s at 15 m (terrain B) for the conductor and "
        "the insulator.\n",
        shortNumber(w.wind), shortNumber(at15.wind));
    const std::string loads =
        wind + poleWind(w).text + conductorWind(at15).text + insulatorWind(at15).text;

    const std::u8string outText(o.outDir.begin(), o.outDir.end());
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(outText), ec);
    if (ec) throw ToolError(o.outDir + ": cannot create the folder: " + ec.message());

    out.write("The typical road through the library, on the shipped samples.\n\n");
    out.write("1. Weather areas from " + d.areasPath + "\n" + areas);
    out.write("\n2. Conductors from " + d.conductorsPath + "\n" + conductors);
    out.write("\n3. Controlling condition of a 300 m level span, " + d.conductorName + " in " +
              d.areaName + "\n" + control);
    out.write("\n4. Wind loads on the support in the high wind condition\n" + loads);
    out.write("\n5. Mechanical characteristic table, spans 50 to 800 m\n");
    writeSagTable(d, "50:800:50", joined(o.outDir, "sag_table.csv"),
                  joined(o.outDir, "sag_table.svg"), out);
    out.write("\n6. Critical spans: which condition controls which spans\n" + critical);
    const std::string section = joined(samples, "section.csv");
    out.write("\n7. The strain section of " + section + ", strung to one tension\n");
    writeSection(d, section, joined(o.outDir, "stringing.svg"), out);
}

}  // namespace

void addDemoCommand(CLI::App& app, CommandSet& set) {
    auto o = std::make_shared<DemoOptions>();
    CLI::App* cmd = app.add_subcommand(
        "demo", "The typical road on the shipped samples, ending with the sag table and its SVG");
    cmd->add_option("--samples", o->samples,
                    "Folder of the sample tables (default: those installed beside varnel, "
                    "else those of the source tree it was built from)")
        ->type_name("DIR");
    cmd->add_option("--out", o->outDir,
                    "Folder for sag_table.csv, sag_table.svg and stringing.svg (default .)")
        ->type_name("DIR");
    cmd->footer(examples({"varnel demo --out /tmp/varnel-demo"}));
    set.commands.push_back({cmd, [o](ResultStream& out) { runDemo(*o, out); }});
}

}  // namespace varnel::tool
