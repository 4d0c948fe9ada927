#include <windows.h>

#include <memory>
#include <new>

#include "plugin/module_handle.h"
#include "plugin/platform/instance_lock.h"
#include "plugin/platform/platform.h"

namespace tolvar {

InstanceLock::InstanceLock() { InitializeCriticalSection(&section); }
InstanceLock::~InstanceLock() { DeleteCriticalSection(&section); }
void InstanceLock::Lock() { EnterCriticalSection(&section); }
void InstanceLock::Unlock() { LeaveCriticalSection(&section); }

// Windows' longest path, in UTF-16 units with the terminator.
constexpr DWORD kLongestModulePath = 32768;

// The wide name, given in UTF-8: the ANSI form would turn every character
// outside the system's code page into '?' or a look-alike, and name no folder.
int GetLibraryFilePath(char* buffer, int size) {
    if (!buffer || size < 1) return -1;
    buffer[0] = '\0';
    const std::unique_ptr<wchar_t[]> wide(new (std::nothrow) wchar_t[kLongestModulePath]);
    if (!wide) return -1;
    const DWORD length = GetModuleFileNameW(static_cast<HMODULE>(ModuleHandle()), wide.get(), kLongestModulePath);
    if (length == 0) return 0;
    if (length >= kLongestModulePath) return -1;  // cut
    // A name that is not valid UTF-16 has no UTF-8 form: no folder rather than a wrong one.
    const int bytes = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.get(), static_cast<int>(length),
                                          nullptr, 0, nullptr, nullptr);
    if (bytes <= 0 || bytes >= size) return -1;
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.get(), static_cast<int>(length), buffer, bytes,
                            nullptr, nullptr) != bytes) {
        buffer[0] = '\0';
        return -1;
    }
    buffer[bytes] = '\0';
    return bytes;
}

void LowerThisThreadsPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

void BoundedCopy(char* dest, const char* source, int size) {
    if (!dest || size < 1) return;
    lstrcpynA(dest, source ? source : "", size);
}

}  // namespace tolvar
