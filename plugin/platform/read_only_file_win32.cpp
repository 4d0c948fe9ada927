#include <windows.h>

#include <memory>
#include <new>

#include "plugin/platform/read_only_file.h"
#include "plugin/platform/wide_path.h"

namespace tolvar {

ReadOnlyFile::~ReadOnlyFile() {
    if (handle != -1) CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool ReadOnlyFile::Open(const char* path) {
    if (handle != -1) return false;
    const std::unique_ptr<wchar_t[]> wide = WidePathForOpening(path);
    if (!wide) return false;
    // Others may go on reading, writing, renaming or deleting the file.
    const HANDLE file = CreateFileW(wide.get(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION information{};
    LARGE_INTEGER length{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !GetFileSizeEx(file, &length) ||
        length.QuadPart < 0) {
        CloseHandle(file);
        return false;
    }
    handle = reinterpret_cast<intptr_t>(file);
    size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

std::size_t ReadOnlyFile::ReadAt(uint64_t offset, void* dest, std::size_t bytes) {
    if (handle == -1) return 0;
    std::size_t done = 0;
    while (done < bytes) {
        const uint64_t at = offset + done;
        const std::size_t left = bytes - done;
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        OVERLAPPED position{};
        position.Offset = static_cast<DWORD>(at);
        position.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(handle), static_cast<char*>(dest) + done, chunk, &got, &position) ||
            got == 0)
            break;
        done += got;
    }
    return done;
}

}  // namespace tolvar
