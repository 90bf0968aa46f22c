#include "tools/number_options.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>

#include "calc/decimal_parse.h"
#include "calc/decimal_text.h"
#include "tools/tool_error.h"

namespace varnel::tool {

std::string shortNumber(double value) {
    return fmt::format("{}", value);
}

std::string number(double value, int decimals) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    // The library's exact fixed-point writer gives fmt's (and printf's) digits at a fraction of
    // their cost: a sag table writes some twenty figures a span.
    if (decimals < 0 || decimals > 6) return fmt::format("{:.{}f}", value, decimals);
    char text[kSixDecimalsBound];
    return std::string(text, fixedDecimals(value, decimals, text));
}

double parseNumber(const std::string& option, const std::string& text, const Bounds& bounds) {
    const auto fail = [&](const std::string& why) {
        return UsageError(option + ": \"" + text + "\" " + why);
    };
    // from_chars takes no leading '+', which people do type.
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    double value = 0;
    const auto [end, ec] = parseDecimal(first, last, value);
    if (ec == std::errc::result_out_of_range) throw fail("is out of the range of numbers");
    if (ec != std::errc() || end != last || first == last) throw fail("is not a number");
    if (!std::isfinite(value)) throw fail("is not a finite number");
    if (bounds.minOpen ? !(value > bounds.min) : !(value >= bounds.min)) {
        throw fail((bounds.minOpen ? "must be above " : "must be at least ") +
                   shortNumber(bounds.min));
    }
    if (bounds.maxOpen ? !(value < bounds.max) : !(value <= bounds.max)) {
        throw fail((bounds.maxOpen ? "must be below " : "must be at most ") +
                   shortNumber(bounds.max));
    }
    return value;
}

CLI::Option* NumberOptions::add(CLI::App* command, const std::string& name, double& target,
                                const std::string& description, const std::string& unit,
                                Bounds bounds, bool required) {
    Entry& entry = entries_.emplace_back(Entry{command, nullptr, name, {}, &target, bounds});
    std::string text = description;
    // The value as the default, unless the description says itself what an option left out
    // means ("default the line's start", "without it clearances are only reported", "in place
    // of" a table's figure): a "(default 0)" after those would be a second default, or a wrong
    // one.
    const bool described = description.find("default") != std::string::npos ||
                           description.find("without it") != std::string::npos ||
                           description.find("in place of") != std::string::npos;
    if (!required && !described) text += " (default " + shortNumber(target) + ")";
    entry.option = command->add_option(name, entry.text, text)->type_name(unit);
    if (required) entry.option->required();
    return entry.option;
}

void NumberOptions::parse(const CLI::App* command) const {
    for (const Entry& entry : entries_) {
        if (entry.command != command || entry.option->count() == 0) continue;
        *entry.target = parseNumber(entry.name, entry.text, entry.bounds);
    }
}

}  // namespace varnel::tool
