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

TemporaryFileBeside::TemporaryFileBeside(const std::string& wanted)
    : finalPath(wanted), target(CheckOutputTarget(wanted)) {
    const std::filesystem::path destination(target.path);
    const std::filesystem::path folder = destination.has_parent_path() ? destination.parent_path() : ".";
    std::string pattern = (folder / ("." + destination.filename().string() + ".tolvar-XXXXXX")).string();
    descriptor = CreateTemporaryFile(pattern);
    if (descriptor < 0) throw CliError("cannot write to the folder " + folder.string() + ": " + std::strerror(errno));
    temporaryPath = pattern;
    TakeOverPermissions();
}

// mkstemp makes the file private: give it the permissions of the file it
// replaces, or those any new file gets.
void TemporaryFileBeside::TakeOverPermissions() {
#if !defined(_WIN32)
    struct stat replaced {};
    if (target.exists && stat(target.path.c_str(), &replaced) == 0) {
        if (geteuid() == 0 && fchown(descriptor, replaced.st_uid, replaced.st_gid) != 0) {
            // Not fatal: the file then belongs to root, as a new one would.
        }
        fchmod(descriptor, replaced.st_mode & 0777);
        return;
    }
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, 0666 & ~mask);
#endif
}

TemporaryFileBeside::~TemporaryFileBeside() {
    if (descriptor >= 0) close(descriptor);
    if (temporaryPath.empty()) return;
    std::remove(temporaryPath.c_str());
    ForgetOnInterrupt(temporaryPath);
}

int TemporaryFileBeside::TakeDescriptor() {
    const int taken = descriptor;
    descriptor = -1;
    return taken;
}

void TemporaryFileBeside::Commit() {
    // Windows renames no file that is still open.
    if (descriptor >= 0) close(descriptor);
    descriptor = -1;
    // What the name holds may have changed while the file was written.
    target = CheckOutputTarget(finalPath);
    ForgetOnInterrupt(temporaryPath);
    // Replaces an older file of that name, on Windows as well (std::rename would not).
    std::error_code error;
    std::filesystem::rename(temporaryPath, target.path, error);
    if (error) {
        std::remove(temporaryPath.c_str());
        temporaryPath.clear();
        throw CliError("cannot write " + finalPath + ": " + error.message());
    }
    temporaryPath.clear();
}

}  // namespace tolvar::cli
