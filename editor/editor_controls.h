#pragma once
// The narrow view of the editor window that the editor's logic needs: its
// drop-down lists, its check boxes and the window itself. The Win32 dialog
// implements it over the real controls; tests implement it with a recording
// fake. Every call comes on the window's own thread.
namespace tolvar {

// The list position that selects nothing.
constexpr int kNoListSelection = -1;

class EditorControls {
public:
    // The window's handle, as the instance keeps it in editorWindow.
    virtual void* Window() = 0;

    // Appends an entry to a list; entries keep the order they were added in.
    virtual void AddListEntry(int controlId, const char* text) = 0;
    // Selects the entry at position (0 first), or nothing for kNoListSelection.
    virtual void SelectListEntry(int controlId, int position) = 0;
    // The selected position, kNoListSelection when nothing is selected.
    virtual int SelectedListEntry(int controlId) = 0;

    virtual void SetChecked(int controlId, bool checked) = 0;
    virtual bool IsChecked(int controlId) = 0;

    // Shows the window without taking the focus from the host.
    virtual void ShowWithoutActivating() = 0;
    // Starts a repeating timer that delivers the timer message with timerId.
    virtual void StartTimer(int timerId, int milliseconds) = 0;
    // Delivers message to the window at once, before returning.
    virtual void SendToSelf(unsigned message) = 0;

protected:
    ~EditorControls() = default;
};

}  // namespace tolvar
