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
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/command.h"
#include "tools/encoding.h"
#include "tools/tool_error.h"
#include "varnel_version.h"

namespace varnel::tool {

std::string examples(std::initializer_list<const char*> lines) {
    std::string text = lines.size() == 1 ? "\nExample:\n" : "\nExamples:\n";
    for (const char* line : lines) text += std::string("  ") + line + "\n";
    return text;
}

namespace {

// Edits (insertions, deletions, substitutions, swaps of neighbours) from `a` to `b`.
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

// A word where `group` expects one of its commands is checked here, so that a typing mistake is
// named as such with the nearest command, not reported as an unexpected argument.
void checkCommandWord(const CLI::App& group, const std::vector<std::string>& args, std::size_t at,
                      const std::string& groupName) {
    const std::vector<const CLI::App*> commands = group.get_subcommands({});
    // Only options without values stand before the command word.
    while (at < args.size() && !args[at].empty() && args[at][0] == '-') ++at;
    if (at >= args.size()) return;  // CLI11 says that a command is required
    const std::string& word = args[at];
    std::string best;
    std::size_t bestDistance = 0;
    std::string names;
    for (const CLI::App* c : commands) {
        if (c->get_name() == word) {
            if (!c->get_subcommands({}).empty()) checkCommandWord(*c, args, at + 1, word + " ");
            return;
        }
        const std::size_t distance = editDistance(word, c->get_name());
        if (best.empty() || distance < bestDistance) {
            best = c->get_name();
            bestDistance = distance;
        }
        names += (names.empty() ? "" : ", ") + c->get_name();
    }
    std::string message = "unknown " + groupName + "command \"" + word + "\"";
    if (!best.empty() && bestDistance <= std::max<std::size_t>(2, best.size() / 3)) {
        message += "; did you mean \"" + best + "\"?";
    } else {
        message += "; the commands are: " + names;
    }
    throw UsageError(message);
}

int fail(int status, const std::string& message) {
    std::fprintf(stderr, "varnel: %s\n", message.c_str());
    return status;
}

}  // namespace

}  // namespace varnel::tool

int main(int argc, char** argv) {
    using namespace varnel::tool;
    CLI::App app{
        "varnel: line design calculations on dBASE design tables (GBK), through the Varnel "
        "library"};
    app.name("varnel");
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("varnel ") + VARNEL_VERSION_STRING,
                         "Show the version and exit");
    app.set_help_all_flag("--help-all", "Show help for every command");
    app.footer(examples({"varnel demo", "varnel COMMAND --help"}));

    CommandSet set;
    addTableCommand(app, set);
    addAreasCommand(app, set);
    addConductorsCommand(app, set);
    addControlCommand(app, set);
    addSagTableCommand(app, set);
    addCriticalCommand(app, set);
    addSectionCommand(app, set);
    addWindCommand(app, set);
    addThermalCommand(app, set);
    addDemoCommand(app, set);

#ifdef _WIN32
    (void)argc;
    (void)argv;
    std::vector<std::string> args = utf8Arguments();
    args.erase(args.begin());  // the program name
#else
    std::vector<std::string> args(argv + 1, argv + argc);
#endif

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
            return 0;
        } catch (const UsageError& e) {
            return fail(kStatusUsage, e.what());
        } catch (const std::exception& e) {
            return fail(kStatusFailure, e.what());
        }
    }
    return fail(kStatusUsage, "no command was run (see --help)");
}
