#pragma once
// What the editor window does, free of any window system: it fills the lists,
// writes the user's choices into the instance and recomposes at once, and
// follows the host's changes through editorDirtyMask. The window system's
// adapter hands every message of an open editor to HandleEditorMessage once the
// window knows its instance. Everything runs on the window's thread.
#include <cstdint>

namespace tolvar {

struct EqInstance;
class EditorControls;

// Handles one message of the editor window of `instance`; wParam as the window
// system delivers it. Messages the editor does not serve are ignored.
// - dialog init: editorWindow, lists filled, refresh timer, shown, every control refreshed;
// - command: a ticked or unticked switch, or a picked list entry, is stored and
//   recomposed (under the instance lock); ignored while any editor of the
//   process refreshes, and for controls that show no such parameter;
// - timer: asks the window to refresh when editorDirtyMask has bits set;
// - destroy: editorWindow cleared (when it still names this window);
// - EDITOR_MSG_RECOMPOSE, EDITOR_MSG_REFRESH, EDITOR_MSG_REFRESH_ALL.
void HandleEditorMessage(EqInstance& instance, EditorControls& controls, unsigned message, uintptr_t wParam);

// Takes and clears editorDirtyMask in one step and sets the controls of the
// parameters it marks: a check box checked from 0.5 up, a list at the choice
// the stored value rounds to, or at no selection when that choice is not in
// the list (past either end, not a number). Commands that arrive meanwhile, in
// any editor of the process, are ignored.
void RefreshEditorControls(EqInstance& instance, EditorControls& controls);

}  // namespace tolvar
