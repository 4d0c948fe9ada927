#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>

#include <cstring>

#include "plugin/platform/instance_lock.h"
#include "plugin/platform/platform.h"

namespace tolvar {

InstanceLock::InstanceLock() = default;
InstanceLock::~InstanceLock() = default;
void InstanceLock::Lock() { mutex.lock(); }
void InstanceLock::Unlock() { mutex.unlock(); }

int GetLibraryFilePath(char* buffer, int size) {
    if (!buffer || size < 1) return -1;
    buffer[0] = '\0';
    // Any address inside this library identifies the shared object it came from.
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&GetLibraryFilePath), &info) || !info.dli_fname) return 0;
    const std::size_t length = std::strlen(info.dli_fname);
    if (length >= static_cast<std::size_t>(size)) return -1;
    std::memcpy(buffer, info.dli_fname, length + 1);
    return static_cast<int>(length);
}

void LowerThisThreadsPriority() {
#if defined(SCHED_BATCH)
    // A batch thread never preempts the thread that wakes it.
    const sched_param normal{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &normal);
#endif
}

void BoundedCopy(char* dest, const char* source, int size) {
    if (!dest || size < 1) return;
    int i = 0;
    if (source) {
        for (; i < size - 1 && source[i] != '\0'; ++i) dest[i] = source[i];
    }
    dest[i] = '\0';
}

}  // namespace tolvar
