#include "host/native_path.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tolvar {

#if defined(_WIN32)

std::filesystem::path NativePath(const std::string& path) {
    if (path.empty()) return {};
    for (UINT codePage : {UINT{CP_UTF8}, UINT{CP_ACP}}) {
        const DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
        const int count = MultiByteToWideChar(codePage, flags, path.data(), static_cast<int>(path.size()), nullptr, 0);
        if (count <= 0) continue;
        std::wstring wide(static_cast<std::size_t>(count), L'\0');
        MultiByteToWideChar(codePage, flags, path.data(), static_cast<int>(path.size()), wide.data(), count);
        return std::filesystem::path(wide);
    }
    return {};
}

#else

std::filesystem::path NativePath(const std::string& path) { return std::filesystem::path(path); }

#endif

}  // namespace tolvar
