// The language of the words a chart draws (titles, captions, axes, legends, band labels). Names
// that come from the tables (areas, conductors, conditions, towers, crossings) are drawn as the
// tables give them in either language.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <string_view>

namespace varnel::tool {

enum class ChartLanguage { en, zh };

// The word in the chart's language: both are written at the call, so that each chart reads as
// one text in either language.
inline const char* pick(ChartLanguage language, const char* en, const char* zh) {
    return language == ChartLanguage::zh ? zh : en;
}

// --lang zh|en on a command that draws a chart; `name` keeps the choice ("en" unless given).
void addChartLanguageOption(CLI::App* cmd, std::string& name);

// "zh" or "en", as the option checked it.
ChartLanguage chartLanguageNamed(const std::string& name);

// A span model's name (spanModelName's) as a chart's caption gives it: in English as the command
// names it; in Chinese the catenary, the inclined parabola of the state equation (斜抛物线) and
// the flat parabola of the older handbooks (平抛物线), as docs/catenary.md tells them apart.
std::string chartModelName(ChartLanguage language, std::string_view model);

}  // namespace varnel::tool
