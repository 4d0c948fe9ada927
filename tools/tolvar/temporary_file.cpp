#include "tools/tolvar/temporary_file.h"

#include <sys/stat.h>
#include <unistd.h>  // close (on Windows, mingw's POSIX names over the C runtime's)

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tools/tolvar/cli_error.h"

namespace tolvar::cli {

TemporaryFileBeside::TemporaryFileBeside(const std::string& finalPath) : finalPath_(finalPath) {
    const std::filesystem::path target(finalPath);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::string pattern = (folder / ("." + target.filename().string() + ".tolvar-XXXXXX")).string();
    descriptor_ = mkstemp(pattern.data());
    if (descriptor_ < 0) throw CliError("cannot write to the folder " + folder.string() + ": " + std::strerror(errno));
    temporaryPath_ = pattern;
#if !defined(_WIN32)
    // mkstemp makes the file private; give it the permissions any new file gets.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor_, 0666 & ~mask);
#endif
}

TemporaryFileBeside::~TemporaryFileBeside() {
    if (descriptor_ >= 0) close(descriptor_);
    if (!temporaryPath_.empty()) std::remove(temporaryPath_.c_str());
}

int TemporaryFileBeside::TakeDescriptor() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor;
}

void TemporaryFileBeside::Commit() {
    // Windows renames no file that is still open.
    if (descriptor_ >= 0) close(descriptor_);
    descriptor_ = -1;
    // Replaces an older file of that name, on Windows as well (std::rename would not).
    std::error_code error;
    std::filesystem::rename(temporaryPath_, finalPath_, error);
    if (error) throw CliError("cannot write " + finalPath_ + ": " + error.message());
    temporaryPath_.clear();
}

}  // namespace tolvar::cli
