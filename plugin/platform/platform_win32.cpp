#include <windows.h>

#include "plugin/module_handle.h"
#include "plugin/platform/instance_lock.h"
#include "plugin/platform/platform.h"

namespace tolvar {

InstanceLock::InstanceLock() { InitializeCriticalSection(&section); }
InstanceLock::~InstanceLock() { DeleteCriticalSection(&section); }
void InstanceLock::Lock() { EnterCriticalSection(&section); }
void InstanceLock::Unlock() { LeaveCriticalSection(&section); }

int GetLibraryFilePath(char* buffer, int size) {
    if (!buffer || size < 1) return -1;
    const DWORD written = GetModuleFileNameA(static_cast<HMODULE>(ModuleHandle()), buffer, static_cast<DWORD>(size));
    if (written == 0) {
        buffer[0] = '\0';
        return 0;
    }
    // A result that fills the buffer has been cut (and may be unterminated).
    if (written >= static_cast<DWORD>(size)) {
        buffer[0] = '\0';
        return -1;
    }
    return static_cast<int>(written);
}

void BoundedCopy(char* dest, const char* source, int size) {
    if (!dest || size < 1) return;
    lstrcpynA(dest, source ? source : "", size);
}

}  // namespace tolvar
