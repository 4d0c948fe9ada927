// The library's attach notification: remembers the module handle, which later
// locates the library's own file (and so the IR library beside it) and its
// dialog resource. Detach releases nothing: the process-wide state lives until
// the library is unloaded.
#include <windows.h>

#include "plugin/module_handle.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) tolvar::SetModuleHandle(module);
    return TRUE;
}
