#include "host/dynamic_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tolvar {

#if defined(_WIN32)

DynamicLibraryHandle OpenDynamicLibrary(const std::string& path, std::string* error) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module && error) *error = "LoadLibraryA failed with error " + std::to_string(GetLastError());
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
