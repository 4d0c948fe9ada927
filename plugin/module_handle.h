#pragma once
// The plug-in library's module handle, stored once at process attach (Windows)
// and read when the library needs to find its own file or resources.
namespace tolvar {

void* ModuleHandle();
void SetModuleHandle(void* handle);

}  // namespace tolvar
