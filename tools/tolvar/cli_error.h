#pragma once
// The one way a command fails: a message for one line on stderr and the exit
// code. main() catches it, prints "tolvar: <message>" and returns the code.
#include <stdexcept>
#include <string>

namespace tolvar::cli {

constexpr int kExitFailure = 1;  // a file, a folder or the plug-in let us down
constexpr int kExitUsage = 2;    // the command line asked for something that does not exist

class CliError : public std::runtime_error {
public:
    CliError(const std::string& message, int code = kExitFailure) : std::runtime_error(message), exitCode(code) {}
    int ExitCode() const { return exitCode; }

private:
    int exitCode;
};

// A bad argument: exit code kExitUsage.
inline CliError UsageError(const std::string& message) { return CliError(message, kExitUsage); }

}  // namespace tolvar::cli
