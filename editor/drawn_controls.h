#pragma once
// The editor's controls where the window system has none to offer and the
// editor draws its own: what each list holds and shows, whether each box is
// ticked, and where each lies in pixels. The editor's logic reads and sets
// them through EditorControls; the window draws them and turns the user's
// input into the notifications the Windows controls send, through Pick and
// Toggle. Every call comes on the window's thread.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "editor/dialog_layout.h"
#include "editor/editor_controls.h"

namespace tolvar {

struct EqInstance;

struct ControlState {
    const ControlTemplate* control;
    PixelRect rect;  // in the window; a list's closed field
    std::vector<std::string> entries;
    int selected = kNoListSelection;
    bool checked = false;

    // The text a list shows: its selected entry, "" for none.
    std::string Shown() const;
};

class DrawnControls final : public EditorControls {
public:
    // window: the handle the instance keeps while the editor is open; show:
    // makes the window visible.
    DrawnControls(EqInstance& instance, void* window, double scale, std::function<void()> show);

    std::vector<ControlState>& States() { return states; }
    ControlState* Find(int controlId);

    // The user's pick in a list, or tick of a box: the control changes, then
    // tells the editor, as the Windows controls do. A pick of the entry already
    // shown changes nothing.
    void Pick(ControlState& list, int position);
    void Toggle(ControlState& box);
    // Hands a message to the editor's logic.
    void Deliver(unsigned message, uintptr_t wParam = 0);

    // The refresh timer the logic asked for: 0 ms until it starts one.
    int TimerId() const { return timerId; }
    int TimerMilliseconds() const { return timerMilliseconds; }
    // Whether a control changed since the last call.
    bool TakeChanged();

    // EditorControls
    void* Window() override { return window; }
    void AddListEntry(int controlId, const char* text) override;
    void SelectListEntry(int controlId, int position) override;
    int SelectedListEntry(int controlId) override;
    void SetChecked(int controlId, bool checked) override;
    bool IsChecked(int controlId) override;
    void ShowWithoutActivating() override { show(); }
    void StartTimer(int timerId, int milliseconds) override;
    void SendToSelf(unsigned message) override { Deliver(message); }

private:
    EqInstance& instance;
    void* window;
    std::function<void()> show;
    std::vector<ControlState> states;
    int timerId = 0;
    int timerMilliseconds = 0;
    bool changed = true;
};

}  // namespace tolvar
