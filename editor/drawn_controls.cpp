#include "editor/drawn_controls.h"

#include <utility>

#include "editor/editor_logic.h"
#include "editor/editor_messages.h"

namespace tolvar {

std::string ControlState::Shown() const {
    return selected >= 0 && selected < static_cast<int>(entries.size()) ? entries[selected] : std::string();
}

DrawnControls::DrawnControls(EqInstance& owner, void* windowHandle, double scale, std::function<void()> showWindow)
    : instance(owner), window(windowHandle), show(std::move(showWindow)) {
    states.reserve(kDialogControlCount);
    for (const ControlTemplate& control : kDialogControls) {
        PixelRect rect = ToPixels(control.rect, scale);
        if (control.kind == ControlKind::List) {
            rect.height = ToPixels({0, control.rect.y, 0, kListFieldHeightDlu}, scale).height;
        }
        states.push_back({&control, rect, {}, kNoListSelection, false});
    }
}

ControlState* DrawnControls::Find(int controlId) {
    if (controlId == kNoControlId) return nullptr;
    for (ControlState& state : states) {
        if (state.control->id == controlId) return &state;
    }
    return nullptr;
}

void DrawnControls::Pick(ControlState& list, int position) {
    if (position == list.selected || position < 0 || position >= static_cast<int>(list.entries.size())) return;
    list.selected = position;
    changed = true;
    Deliver(kWmCommand, CommandParam(list.control->id, kCbnSelChange));
}

void DrawnControls::Toggle(ControlState& box) {
    box.checked = !box.checked;
    changed = true;
    Deliver(kWmCommand, CommandParam(box.control->id, kBnClicked));
}

void DrawnControls::Deliver(unsigned message, uintptr_t wParam) {
    HandleEditorMessage(instance, *this, message, wParam);
}

bool DrawnControls::TakeChanged() {
    const bool was = changed;
    changed = false;
    return was;
}

void DrawnControls::AddListEntry(int controlId, const char* text) {
    if (ControlState* list = Find(controlId)) {
        list->entries.emplace_back(text);
        changed = true;
    }
}

void DrawnControls::SelectListEntry(int controlId, int position) {
    ControlState* list = Find(controlId);
    if (!list) return;
    // Anything outside the list selects nothing, as the Windows list does.
    list->selected = position >= 0 && position < static_cast<int>(list->entries.size()) ? position : kNoListSelection;
    changed = true;
}

int DrawnControls::SelectedListEntry(int controlId) {
    const ControlState* list = Find(controlId);
    return list ? list->selected : kNoListSelection;
}

void DrawnControls::SetChecked(int controlId, bool checked) {
    if (ControlState* box = Find(controlId)) {
        box->checked = checked;
        changed = true;
    }
}

bool DrawnControls::IsChecked(int controlId) {
    const ControlState* box = Find(controlId);
    return box && box->checked;
}

void DrawnControls::StartTimer(int id, int milliseconds) {
    timerId = id;
    timerMilliseconds = milliseconds;
}

}  // namespace tolvar
