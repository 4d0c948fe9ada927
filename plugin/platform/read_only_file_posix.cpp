#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "plugin/platform/read_only_file.h"

namespace tolvar {

ReadOnlyFile::~ReadOnlyFile() {
    if (handle >= 0) close(static_cast<int>(handle));
}

bool ReadOnlyFile::Open(const char* path) {
    if (!path || handle >= 0) return false;
    // Without O_NONBLOCK, opening a FIFO would wait until something writes to it.
    const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return false;
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0) {
        close(descriptor);
        return false;
    }
    handle = descriptor;
    size = static_cast<uint64_t>(status.st_size);
    return true;
}

std::size_t ReadOnlyFile::ReadAt(uint64_t offset, void* dest, std::size_t bytes) {
    if (handle < 0 || offset > static_cast<uint64_t>(LLONG_MAX)) return 0;
    std::size_t done = 0;
    while (done < bytes) {
        const uint64_t at = offset + done;
        if (at > static_cast<uint64_t>(LLONG_MAX)) break;
        const ssize_t got = pread(static_cast<int>(handle), static_cast<char*>(dest) + done, bytes - done,
                                  static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace tolvar
