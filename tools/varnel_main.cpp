// varnel: the library's own command. It is a host of the library like the design application:
// the libraries are loaded and the calculations run through the library's entry points; the
// table reader is used directly only to show raw tables and to say why a table is refused.
//
// Each command lives in its own file (*_command.cpp); this file wires them up and keeps the
// conventions every command shares:
// - nothing on standard output unless the command succeeds (results are written after
//   everything that can be refused has been checked);
// - every failure is one line on standard error, "varnel: ..." naming the file or option;
// - status 0 on success, 1 when the work fails (files, data), 2 for a command line that cannot
//   be carried out.
#include <CLI/CLI.hpp>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/command.h"
#include "tools/encoding.h"
#include "tools/run_varnel.h"
#include "tools/tool_error.h"
#include "varnel_version.h"

namespace varnel::tool {

std::string examples(std::initializer_list<const char*> lines) {
    std::string text = lines.size() == 1 ? "\nExample:\n" : "\nExamples:\n";
    for (const char* line : lines) text += std::string("  ") + line + "\n";
    return text;
}

namespace {

// Every long option of the command line from `at` on must be one of `command`'s: an unknown one
// is named as such, with the nearest option when it looks like a typing mistake of it, rather
// than reported with its value as arguments that were not expected. Values never start with
// "--", so every such word is an option; "--" alone ends the options.
void checkOptionWords(const CLI::App& command, const std::vector<std::string>& args, std::size_t at,
                      const std::string& commandName) {
    for (; at < args.size(); ++at) {
        const std::string& word = args[at];
        if (word == "--") return;
        if (word.size() < 3 || word.compare(0, 2, "--") != 0) continue;
        const std::string name = word.substr(0, word.find('='));
        if (command.get_option_no_throw(name) != nullptr) continue;
        std::vector<std::string> known;
        for (const CLI::Option* option : command.get_options()) {
            for (const std::string& longName : option->get_lnames()) {
                known.push_back("--" + longName);
            }
        }
        const std::string nearest = nearestName(name, known);
        std::string message = "unknown " + commandName + "option " + quotedText(name);
        if (!nearest.empty()) {
            message += "; did you mean \"" + nearest + "\"?";
        } else {
            message += " (see varnel " + commandName + "--help)";
        }
        throw UsageError(message);
    }
}

// A word where `group` expects one of its commands is checked here, so that a typing mistake is
// named as such with the nearest command, not reported as an unexpected argument; then the
// options of the command it names.
void checkCommandWord(const CLI::App& group, const std::vector<std::string>& args, std::size_t at,
                      const std::string& groupName) {
    const std::vector<const CLI::App*> commands = group.get_subcommands({});
    // Only options without values stand before the command word.
    std::size_t word = at;
    while (word < args.size() && !args[word].empty() && args[word][0] == '-') ++word;
    checkOptionWords(
        group,
        std::vector<std::string>(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(word)),
        at, groupName);
    if (word >= args.size()) return;  // CLI11 says that a command is required
    std::vector<std::string> names;
    for (const CLI::App* c : commands) {
        if (c->get_name() == args[word]) {
            const std::string name = groupName + args[word] + " ";
            if (!c->get_subcommands({}).empty()) {
                checkCommandWord(*c, args, word + 1, name);
            } else {
                checkOptionWords(*c, args, word + 1, name);
            }
            return;
        }
        names.push_back(c->get_name());
    }
    std::string message = "unknown " + groupName + "command " + quotedText(args[word]);
    const std::string nearest = nearestName(args[word], names);
    if (!nearest.empty()) {
        message += "; did you mean \"" + nearest + "\"?";
    } else {
        std::string list;
        for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
        message += "; the commands are: " + list;
    }
    throw UsageError(message);
}

int fail(int status, const std::string& message) {
    // Messages quote what they name; a name in one (a tower's) may still hold a control
    // character, shown escaped as in the tables.
    std::fprintf(stderr, "varnel: %s\n", shownText(message).c_str());
    return status;
}

std::vector<std::string>& pendingWarnings() {
    static std::vector<std::string> warnings;
    return warnings;
}

// varnel help [COMMAND [SUBCOMMAND]]: the help that --help gives, for the program or a command.
void addHelpCommand(CLI::App& app, CommandSet& set) {
    auto words = std::make_shared<std::vector<std::string>>();
    CLI::App* cmd = app.add_subcommand("help", "Show the help of varnel or of a command");
    cmd->add_option("COMMAND", *words, "The command (and the wind command's load)")
        ->type_name("COMMAND");
    cmd->footer(examples({"varnel help section", "varnel help wind conductor"}));
    set.commands.push_back({cmd, [&app, words](ResultStream& out) {
                                checkCommandWord(app, *words, 0, "");
                                const CLI::App* target = &app;
                                std::string path = app.get_name();
                                for (const std::string& word : *words) {
                                    if (target->get_subcommands({}).empty()) {
                                        throw UsageError("help: " + path + " has no command " +
                                                         quotedText(word));
                                    }
                                    target = target->get_subcommand(word);
                                    path += " " + word;
                                }
                                out.write(target->get_formatter()->make_help(
                                    target, path, CLI::AppFormatMode::Normal));
                            }});
}

}  // namespace

void warn(const std::string& message) {
    pendingWarnings().push_back(message);
}

void warnOfLongSpan(const std::string& where, double span) {
    if (span > kLongSpan) {
        warn(where + ": a span of " + shortNumber(span) + " m is longer than " +
             shortNumber(kLongSpan / 1000) + " km; check that it is in metres");
    }
}

}  // namespace varnel::tool

int varnel::tool::runVarnel(std::vector<std::string> args) {
    using namespace varnel::tool;
    pendingWarnings().clear();  // from a failed run before, when run more than once
    CLI::App app{
        "varnel: line design calculations on dBASE design tables (GBK), through the Varnel "
        "library"};
    app.name("varnel");
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("varnel ") + VARNEL_VERSION_STRING,
                         "Show the version and exit");
    app.set_help_all_flag("--help-all", "Show help for every command");

    CommandSet set;
    addTableCommand(app, set);
    addAreasCommand(app, set);
    addConductorsCommand(app, set);
    addControlCommand(app, set);
    addSagTableCommand(app, set);
    addCriticalCommand(app, set);
    addSectionCommand(app, set);
    addWindCommand(app, set);
    addSpanCommand(app, set);
    addThermalCommand(app, set);
    addProfileCommand(app, set);
    addDemoCommand(app, set);
    addHelpCommand(app, set);
    // Set after the commands are added, which would otherwise take these examples as theirs.
    app.footer(examples({"varnel demo", "varnel help COMMAND"}));

    try {
        checkCommandWord(app, args, 0, "");
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return fail(kStatusUsage, std::string(e.what()) + " (see --help)");
    } catch (const UsageError& e) {
        return fail(kStatusUsage, e.what());
    }

    for (const Command& command : set.commands) {
        if (!command.app->parsed()) continue;
        try {
            set.numbers.parse(command.app);
            ResultStream out;
            command.run(out);
            out.finish();
        } catch (const UsageError& e) {
            return fail(kStatusUsage, e.what());
        } catch (const std::exception& e) {
            return fail(kStatusFailure, e.what());
        }
        // Only a run that succeeded warns: a failure is its one line.
        for (const std::string& warning : pendingWarnings()) {
            std::fprintf(stderr, "varnel: warning: %s\n", shownText(warning).c_str());
        }
        pendingWarnings().clear();
        return 0;
    }
    return fail(kStatusUsage, "no command was run (see --help)");
}

int main(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    std::vector<std::string> args = varnel::tool::utf8Arguments();
    args.erase(args.begin());  // the program name
#else
    std::vector<std::string> args(argv + 1, argv + argc);
#endif
    return varnel::tool::runVarnel(std::move(args));
}
