#include "host/dynamic_library.h"

#if defined(_WIN32)
#include <windows.h>

#include <cctype>
#else
#include <dlfcn.h>
#endif

namespace tolvar {

#if defined(_WIN32)

namespace {

bool IsAbsoluteDrivePath(const std::string& path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
           (path[2] == '\\' || path[2] == '/');
}

// An absolute path past MAX_PATH, with backslashes only, goes to the wide call
// in the extended form ("\\?\"), which takes any length; the ANSI call
// refuses such paths.
HMODULE LoadLongPath(const std::string& native) {
    const std::string path = "\\\\?\\" + native;
    const int count = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (count <= 0) return nullptr;
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), count) != count) return nullptr;
    return LoadLibraryW(wide.c_str());
}

}  // namespace

DynamicLibraryHandle OpenDynamicLibrary(const std::string& path, std::string* error) {
    // The loader wants backslashes.
    std::string native = path;
    for (char& c : native) c = c == '/' ? '\\' : c;
    HMODULE module = native.size() >= MAX_PATH && IsAbsoluteDrivePath(native) ? LoadLongPath(native)
                                                                              : LoadLibraryA(native.c_str());
    if (!module && error) *error = "LoadLibrary failed with error " + std::to_string(GetLastError()) + " for " + path;
    return reinterpret_cast<DynamicLibraryHandle>(module);
}

void* FindLibrarySymbol(DynamicLibraryHandle library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseDynamicLibrary(DynamicLibraryHandle library) { FreeLibrary(static_cast<HMODULE>(library)); }

#else

DynamicLibraryHandle OpenDynamicLibrary(const std::string& path, std::string* error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library && error) {
        const char* reason = dlerror();
        *error = reason ? reason : "dlopen failed";
    }
    return library;
}

void* FindLibrarySymbol(DynamicLibraryHandle library, const char* name) { return dlsym(library, name); }

void CloseDynamicLibrary(DynamicLibraryHandle library) { dlclose(library); }

#endif

}  // namespace tolvar
