#include "tools/tolvar/temporary_file.h"

#include <sys/stat.h>
#include <unistd.h>  // close (on Windows, mingw's POSIX names over the C runtime's)

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tools/tolvar/cli_error.h"
#include "tools/tolvar/interrupt_cleanup.h"

namespace tolvar::cli {

TemporaryFileBeside::TemporaryFileBeside(const std::string& finalPath)
    : finalPath_(finalPath), target_(CheckOutputTarget(finalPath)) {
    const std::filesystem::path target(target_.path);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::string pattern = (folder / ("." + target.filename().string() + ".tolvar-XXXXXX")).string();
    descriptor_ = CreateTemporaryFile(pattern);
    if (descriptor_ < 0) throw CliError("cannot write to the folder " + folder.string() + ": " + std::strerror(errno));
    temporaryPath_ = pattern;
    TakeOverPermissions();
}

// mkstemp makes the file private: give it the permissions of the file it
// replaces, or those any new file gets.
void TemporaryFileBeside::TakeOverPermissions() {
#if !defined(_WIN32)
    struct stat replaced {};
    if (target_.exists && stat(target_.path.c_str(), &replaced) == 0) {
        if (geteuid() == 0 && fchown(descriptor_, replaced.st_uid, replaced.st_gid) != 0) {
            // Not fatal: the file then belongs to root, as a new one would.
        }
        fchmod(descriptor_, replaced.st_mode & 0777);
        return;
    }
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor_, 0666 & ~mask);
#endif
}

TemporaryFileBeside::~TemporaryFileBeside() {
    if (descriptor_ >= 0) close(descriptor_);
    if (temporaryPath_.empty()) return;
    std::remove(temporaryPath_.c_str());
    ForgetOnInterrupt(temporaryPath_);
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
    // What the name holds may have changed while the file was written.
    target_ = CheckOutputTarget(finalPath_);
    ForgetOnInterrupt(temporaryPath_);
    // Replaces an older file of that name, on Windows as well (std::rename would not).
    std::error_code error;
    std::filesystem::rename(temporaryPath_, target_.path, error);
    if (error) {
        std::remove(temporaryPath_.c_str());
        temporaryPath_.clear();
        throw CliError("cannot write " + finalPath_ + ": " + error.message());
    }
    temporaryPath_.clear();
}

}  // namespace tolvar::cli
