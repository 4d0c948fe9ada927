// The editor window on Windows: the dialog of resource TOLVAR_EDITOR_DIALOG,
// a child of the host's window.
#include <windows.h>

#include "editor/editor_dialog_proc.h"
#include "plugin/editor_host.h"
#include "plugin/eq_instance.h"
#include "plugin/module_handle.h"
#include "resources/editor_dialog_ids.h"

namespace tolvar {

bool EditorAvailable() { return true; }

// Not yet measured from the dialog's font; the dispatcher does not ask yet.
const ERect* EditorRect(EqInstance&) { return nullptr; }

bool OpenEditor(EqInstance& instance, void* parentWindow) {
    CloseEditor(instance);
    // The dialog procedure sets editorWindow during creation (WM_INITDIALOG).
    const HWND window = CreateDialogParamA(static_cast<HINSTANCE>(ModuleHandle()),
                                           MAKEINTRESOURCEA(TOLVAR_EDITOR_DIALOG), static_cast<HWND>(parentWindow),
                                           EditorDialogProc, reinterpret_cast<LPARAM>(&instance));
    return window != nullptr;
}

void CloseEditor(EqInstance& instance) {
    const HWND window = static_cast<HWND>(instance.editorWindow);
    if (!window) return;
    // WM_DESTROY clears editorWindow as the window goes. Only the window's own
    // thread can destroy it; called from another, cut the window loose instead,
    // so that it never acts for an instance that may be freed next.
    if (!DestroyWindow(window)) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    instance.editorWindow = nullptr;
}

}  // namespace tolvar
