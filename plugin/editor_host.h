#pragma once
// Opening and closing the editor window. On Windows this is the plug-in's own
// dialog; elsewhere there is no editor and opening it reports failure.
namespace tolvar {

struct EqInstance;

// Closes any open editor first; returns true when a new window was created.
bool OpenEditor(EqInstance& instance, void* parentWindow);
// Destroys the open editor window, if any.
void CloseEditor(EqInstance& instance);

}  // namespace tolvar
