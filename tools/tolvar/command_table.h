#pragma once
// The subcommands of `tolvar`. Each one adds its options and arguments to its
// own CLI11 subcommand and returns what to run once the command line is
// parsed; main.cpp lists them in one table. A command fails by throwing
// CliError (cli_error.h) and otherwise returns the exit code.
#include <CLI/CLI.hpp>

#include <functional>

namespace tolvar::cli {

using CommandAction = std::function<int()>;
using CommandSetup = CommandAction (*)(CLI::App& command);

struct CommandEntry {
    const char* name;
    const char* summary;
    CommandSetup setup;
};

CommandAction SetUpRender(CLI::App& command);    // render_command.cpp
CommandAction SetUpResponse(CLI::App& command);  // response_command.cpp
CommandAction SetUpParams(CLI::App& command);    // params_command.cpp
CommandAction SetUpInfo(CLI::App& command);      // info_command.cpp
CommandAction SetUpValidate(CLI::App& command);  // validate_command.cpp

}  // namespace tolvar::cli
