#pragma once
// The platform's dynamic loader: the only platform-specific code of the host.
// dlopen/dlsym/dlclose on POSIX, LoadLibraryW/GetProcAddress/FreeLibrary on Windows
// (the path in UTF-8, see native_path.h).
#include <string>

namespace tolvar {

using DynamicLibraryHandle = void*;

// Loads the binary at `path` with all its symbols resolved now and kept local to
// it. Null on failure, with the loader's reason in *error (when error is non-null).
// A path without a directory part is searched for by the loader's own rules.
DynamicLibraryHandle OpenDynamicLibrary(const std::string& path, std::string* error);

// The address of the exported symbol `name`, or null.
void* FindLibrarySymbol(DynamicLibraryHandle library, const char* name);

// Drops our reference; the loader unloads the binary when no one else holds it.
void CloseDynamicLibrary(DynamicLibraryHandle library);

}  // namespace tolvar
