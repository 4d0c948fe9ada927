#include "host/dynamic_library.h"

#if defined(_WIN32)
#include <windows.h>

#include <cwctype>

#include "host/native_path.h"
#else
#include <dlfcn.h>
#endif

namespace tolvar {

#if defined(_WIN32)

namespace {

bool IsAbsoluteDrivePath(const std::wstring& path) {
    return path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
}

}  // namespace

DynamicLibraryHandle OpenDynamicLibrary(const std::string& path, std::string* error) {
    // The loader wants backslashes; an absolute path past MAX_PATH goes in the
    // extended form ("\\?\"), which takes any length.
    std::wstring wide = NativePath(path).make_preferred().wstring();
    if (wide.size() >= MAX_PATH && IsAbsoluteDrivePath(wide)) wide = L"\\\\?\\" + wide;
    const HMODULE module = LoadLibraryW(wide.c_str());
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
