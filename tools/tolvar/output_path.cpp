#include "tools/tolvar/output_path.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <filesystem>
#include <system_error>

#include "tools/tolvar/cli_error.h"

namespace tolvar::cli {
namespace {

namespace fs = std::filesystem;

const char* Kind(fs::file_type type) {
    switch (type) {
        case fs::file_type::directory: return "a folder";
        case fs::file_type::block:
        case fs::file_type::character: return "a device";
        case fs::file_type::fifo: return "a FIFO";
        case fs::file_type::socket: return "a socket";
        default: return "something other than a file";
    }
}

// A file without any write permission is protected, also from a process that
// could override that (root): it is left alone rather than replaced unasked.
bool MayReplace(const fs::path& path, fs::perms permissions) {
    constexpr fs::perms kAnyWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((permissions & kAnyWrite) == fs::perms::none) return false;
#if defined(_WIN32)
    (void)path;
    return true;
#else
    return access(path.c_str(), W_OK) == 0;
#endif
}

}  // namespace

OutputTarget CheckOutputTarget(const std::string& name) {
    const fs::path given(name);
    std::error_code error;
    const fs::file_status entry = fs::symlink_status(given, error);
    if (entry.type() == fs::file_type::not_found) return {name, false};
    if (error) throw CliError("cannot write " + name + ": " + error.message());
    const fs::file_status target = fs::status(given, error);
    if (target.type() == fs::file_type::not_found)
        throw CliError("cannot write " + name + ": it is a symbolic link to nothing");
    if (target.type() != fs::file_type::regular)
        throw CliError("cannot write " + name + ": it is " + Kind(target.type()) + ", not a regular file");
    const fs::path file = fs::is_symlink(entry) ? fs::canonical(given, error) : given;
    if (error) throw CliError("cannot write " + name + ": " + error.message());
    if (!MayReplace(file, target.permissions())) throw CliError("cannot write " + name + ": it is read-only");
    return {file.string(), true};
}

void RefuseSameFile(const std::string& input, const std::string& output) {
    std::error_code error;
    if (fs::equivalent(input, output, error))
        throw UsageError("will not write over the input: " + output + " is the same file as " + input);
}

}  // namespace tolvar::cli
