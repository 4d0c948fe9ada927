// tolvar: renders audio through the plug-in, measures and draws its response,
// shows its parameters and validates plug-in binaries, driving them through the
// stand-in host.
#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "params/plugin_identity.h"
#include "tools/tolvar/cli_error.h"
#include "tools/tolvar/command_table.h"

namespace {

using tolvar::cli::CommandEntry;

const CommandEntry kCommands[] = {
    {"render", "Filter an audio file through the effect, aligned with the input", &tolvar::cli::SetUpRender},
    {"response", "Measure the effect's frequency response; write it as CSV and as a plot",
     &tolvar::cli::SetUpResponse},
    {"params", "List the parameters, their choices and what the host sees", &tolvar::cli::SetUpParams},
    {"info", "Show the plug-in's names, version, identifier and latency", &tolvar::cli::SetUpInfo},
    {"validate", "Test a VST 2 plug-in binary as a hostile host would (PLUGIN [--strictness 1..10] ...)",
     &tolvar::cli::SetUpValidate},
};

// CLI11's messages, on one line.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

int Fail(const std::string& message, int exitCode) {
    std::fprintf(stderr, "tolvar: %s\n", OneLine(message).c_str());
    return exitCode;
}

// The first word when it is neither an option nor one of the commands.
bool IsUnknownCommand(const std::string& word) {
    if (word.empty() || word[0] == '-') return false;
    for (const CommandEntry& entry : kCommands)
        if (word == entry.name) return false;
    return true;
}

// The plug-in's version: the program drives it and ships with it.
std::string VersionText() {
    return "tolvar " + std::to_string(tolvar::kVersionMajor) + "." + std::to_string(tolvar::kVersionMinor) + "." +
           std::to_string(tolvar::kVersionPatch);
}

std::string CommandNames() {
    std::string names;
    for (const CommandEntry& entry : kCommands) names += (names.empty() ? "" : ", ") + std::string(entry.name);
    return names;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app("Tolvar, the impulse-response equaliser, on the command line.", "tolvar");
    app.require_subcommand(1);
    app.set_version_flag("--version", VersionText());
    std::vector<std::pair<CLI::App*, tolvar::cli::CommandAction>> actions;
    for (const CommandEntry& entry : kCommands) {
        CLI::App* command = app.add_subcommand(entry.name, entry.summary);
        actions.emplace_back(command, entry.setup(*command));
    }
    if (argc < 2) {
        std::fputs(app.help().c_str(), stderr);
        return tolvar::cli::kExitUsage;
    }
    if (IsUnknownCommand(argv[1]))
        return Fail("no command \"" + std::string(argv[1]) + "\"; the commands are " + CommandNames(),
                    tolvar::cli::kExitUsage);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& helpOrVersion) {
        return app.exit(helpOrVersion);
    } catch (const CLI::ParseError& error) {
        return Fail(error.what(), tolvar::cli::kExitUsage);
    }
    try {
        for (auto& [command, action] : actions)
            if (command->parsed()) return action();
    } catch (const tolvar::cli::CliError& error) {
        return Fail(error.what(), error.ExitCode());
    } catch (const std::exception& error) {
        return Fail(error.what(), tolvar::cli::kExitFailure);
    }
    return tolvar::cli::kExitUsage;
}
