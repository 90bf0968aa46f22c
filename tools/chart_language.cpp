#include "tools/chart_language.h"

namespace varnel::tool {

void addChartLanguageOption(CLI::App* cmd, std::string& name) {
    cmd->add_option("--lang", name,
                    "Language of the chart's words: en (default) or zh; the tables' names are "
                    "drawn as they are")
        ->check(CLI::IsMember({"en", "zh"}))
        ->type_name("LANG");
}

ChartLanguage chartLanguageNamed(const std::string& name) {
    return name == "zh" ? ChartLanguage::zh : ChartLanguage::en;
}

std::string chartModelName(ChartLanguage language, std::string_view model) {
    if (language == ChartLanguage::en) return std::string(model);
    if (model == "catenary") return "\u60AC\u94FE\u7EBF";             // 悬链线
    if (model == "flat-parabola") return "\u5E73\u629B\u7269\u7EBF";  // 平抛物线
    return "\u659C\u629B\u7269\u7EBF";                                // 斜抛物线
}

}  // namespace varnel::tool
