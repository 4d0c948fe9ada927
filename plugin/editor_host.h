#pragma once
// Opening and closing the editor window: the plug-in's own dialog on Windows,
// and wherever else the binary has an editor. Defined in editor/ (the Win32
// dialog, the X11 window, or no editor), which builds on the plug-in: the
// binary that holds an instance links them (tolvar_editor_host).
#include "abi/vst2.h"

namespace tolvar {

struct EqInstance;

// Whether this binary has an editor window; the record's flags say so to the host.
bool EditorAvailable();
// The editor's size in pixels, the same before and after it opens; null when
// the binary has no editor. The rectangle lives as long as the instance.
const ERect* EditorRect(EqInstance& instance);
// Closes any open editor first; returns true when a new window was created.
bool OpenEditor(EqInstance& instance, void* parentWindow);
// Destroys the open editor window, if any.
void CloseEditor(EqInstance& instance);

}  // namespace tolvar
