// Number options. CLI11 takes each as text; the text is parsed once, after the command line has
// been read, into the double the command uses, and anything that is not a finite number within
// the option's range is a usage error naming the option and the text.
#pragma once

#include <CLI/CLI.hpp>
#include <deque>
#include <limits>
#include <string>

namespace varnel::tool {

// The range an option's value must lie in; an open end excludes its bound.
struct Bounds {
    double min = -std::numeric_limits<double>::infinity();
    double max = std::numeric_limits<double>::infinity();
    bool minOpen = false;
    bool maxOpen = false;
};
inline constexpr Bounds kAnyNumber{};
inline constexpr Bounds kNonNegative{0};
inline constexpr Bounds kPositive{0, std::numeric_limits<double>::infinity(), true};

// The whole of `text` as a finite double, or a UsageError "OPTION: "TEXT" is not a number" or
// "OPTION: "TEXT" must be at least ..." naming `option`.
double parseNumber(const std::string& option, const std::string& text, const Bounds& bounds);

class NumberOptions {
  public:
    // Adds `name` to `command`. `target` keeps its value when the option is not given (the help
    // shows it as the default); `unit` is the hint shown after the option in the help.
    CLI::Option* add(CLI::App* command, const std::string& name, double& target,
                     const std::string& description, const std::string& unit, Bounds bounds,
                     bool required);

    // Parses every option of `command` that was given. Throws UsageError.
    void parse(const CLI::App* command) const;

  private:
    struct Entry {
        const CLI::App* command;
        CLI::Option* option;
        std::string name;
        std::string text;
        double* target;
        Bounds bounds;
    };
    std::deque<Entry> entries_;
};

// A number as the help and the messages show it: as short as it reads back exactly.
std::string shortNumber(double value);

// A figure for the terminal: fixed decimals, or nan, inf and -inf.
std::string number(double value, int decimals);

}  // namespace varnel::tool
