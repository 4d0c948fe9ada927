#include "editor/x11_editor_input.h"

#include <X11/keysym.h>

#include <algorithm>

namespace tolvar {
namespace {

constexpr unsigned kWheelUp = Button4, kWheelDown = Button5;

bool TakesInput(const ControlState& state) {
    const ControlKind kind = state.control->kind;
    return state.control->visible && (kind == ControlKind::List || kind == ControlKind::CheckBox);
}

bool IsList(const ControlState& state) { return state.control->kind == ControlKind::List; }

}  // namespace

X11EditorInput::X11EditorInput(Display* connection, Window editorWindow, DrawnControls& drawn, X11ListPopup& list)
    : display(connection), window(editorWindow), controls(drawn), popup(list) {}

ControlState* X11EditorInput::ControlAt(int x, int y) {
    for (ControlState& state : controls.States()) {
        if (TakesInput(state) && state.rect.Contains(x, y)) return &state;
    }
    return nullptr;
}

void X11EditorInput::Focus(int index, Time time) {
    if (index != focused) changed = true;
    focused = index;
    // The keys follow the control the user chose even when the pointer leaves.
    XSetInputFocus(display, window, RevertToParent, time);
}

void X11EditorInput::MoveFocus(int step) {
    auto& states = controls.States();
    const int count = static_cast<int>(states.size());
    int index = focused < 0 ? (step > 0 ? -1 : 0) : focused;
    for (int tries = 0; tries < count; ++tries) {
        index = (index + step + count) % count;
        if (TakesInput(states[index])) break;
    }
    if (index != focused) changed = true;
    focused = index;
}

void X11EditorInput::StepList(ControlState& list, int to) {
    const int last = static_cast<int>(list.entries.size()) - 1;
    if (last >= 0) controls.Pick(list, std::clamp(to, 0, last));
}

void X11EditorInput::Button(const XButtonEvent& event) {
    ControlState* target = ControlAt(event.x, event.y);
    if (event.type == ButtonRelease) {
        if (event.button == Button1 && pressedBox && pressedBox == target) controls.Toggle(*pressedBox);
        pressedBox = nullptr;
        return;
    }
    if (!target) return;
    if (event.button == kWheelUp || event.button == kWheelDown) {
        // From no selection the first step lands on the first entry.
        if (IsList(*target)) {
            StepList(*target, target->selected < 0 ? 0 : target->selected + (event.button == kWheelUp ? -1 : 1));
        }
        return;
    }
    if (event.button != Button1) return;
    Focus(static_cast<int>(target - controls.States().data()), event.time);
    if (IsList(*target)) {
        popup.Open(window, *target, event.time);
    } else {
        pressedBox = target;  // ticked when released over the box
    }
}

void X11EditorInput::Key(const XKeyEvent& event) {
    XKeyEvent copy = event;
    const KeySym key = XLookupKeysym(&copy, 0);
    if (key == XK_Tab || key == XK_ISO_Left_Tab) {
        MoveFocus(key == XK_ISO_Left_Tab || (event.state & ShiftMask) ? -1 : 1);
        return;
    }
    if (focused < 0) return;
    ControlState& control = controls.States()[focused];
    if (!IsList(control)) {
        if (key == XK_space) controls.Toggle(control);
        return;
    }
    const bool alt = event.state & Mod1Mask;
    const int selected = control.selected;
    switch (key) {
        case XK_F4:
        case XK_Return:
        case XK_KP_Enter:
        case XK_space: popup.Open(window, control, event.time); break;
        case XK_Up:
        case XK_KP_Up:
        case XK_Left:
        case XK_KP_Left:
            if (alt) {
                popup.Open(window, control, event.time);
            } else {
                StepList(control, selected < 0 ? 0 : selected - 1);
            }
            break;
        case XK_Down:
        case XK_KP_Down:
        case XK_Right:
        case XK_KP_Right:
            if (alt) {
                popup.Open(window, control, event.time);
            } else {
                StepList(control, selected + 1);
            }
            break;
        case XK_Home:
        case XK_KP_Home: StepList(control, 0); break;
        case XK_End:
        case XK_KP_End: StepList(control, static_cast<int>(control.entries.size()) - 1); break;
        default: break;
    }
}

void X11EditorInput::FocusLost() {
    if (focused >= 0) changed = true;
    focused = -1;
    pressedBox = nullptr;
}

bool X11EditorInput::TakeChanged() {
    const bool was = changed;
    changed = false;
    return was;
}

}  // namespace tolvar
