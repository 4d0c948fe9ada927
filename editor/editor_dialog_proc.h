#pragma once
// The editor's dialog procedure: the Win32 side of the editor window. It keeps
// the EqInstance given at creation in the window's user data and hands each
// message to the platform-free logic (editor/editor_logic.h).
#include <windows.h>

namespace tolvar {

// Returns 0 for every message, so the dialog manager applies its defaults and
// leaves the keyboard focus where the host put it. Messages that arrive before
// WM_INITDIALOG find no instance and are not acted on.
INT_PTR CALLBACK EditorDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace tolvar
