#include "tools/tolvar/plugin_location.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#include <filesystem>
#include <system_error>

#include "tools/tolvar/cli_error.h"

namespace tolvar::cli {
namespace {

namespace fs = std::filesystem;

#if defined(_WIN32)
fs::path ProgramFolder() {
    std::wstring program(32768, L'\0');  // the longest path Windows has
    const DWORD length = GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
    if (length == 0 || length >= program.size()) return {};
    program.resize(length);
    return fs::path(program).parent_path();
}
#else
fs::path ProgramFolder() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : program.parent_path();
}
#endif

}  // namespace

std::string DefaultPluginPath() {
    const fs::path folder = ProgramFolder();
    if (folder.empty()) return {};
    return (folder / TOLVAR_CLI_PLUGIN_FROM_PROGRAM).lexically_normal().string();
}

std::string ResolvePluginPath(const std::string& requested) {
    const std::string path = requested.empty() ? DefaultPluginPath() : requested;
    if (path.empty()) throw CliError("cannot tell where this program lies; name the plug-in with --plugin PATH");
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    if (error || !fs::is_regular_file(absolute, error))
        throw CliError("no plug-in binary at " + path +
                       (requested.empty() ? " (build the target tolvar, or name one with --plugin PATH)" : ""));
    return absolute.lexically_normal().string();
}

}  // namespace tolvar::cli
