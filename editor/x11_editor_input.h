#pragma once
// What the mouse and the keyboard do to the editor's controls on X11, as they
// do to the Windows controls: a press on a list opens its drop-down, the wheel
// over a list steps through it, a click on a box ticks it; Tab moves the focus
// through the visible controls, the arrows, Home and End step the focused list,
// F4, Alt+Down, Enter or Space open it, and Space ticks the focused box.
#include <X11/Xlib.h>

#include "editor/drawn_controls.h"
#include "editor/x11_list_popup.h"

namespace tolvar {

class X11EditorInput {
public:
    X11EditorInput(Display* display, Window window, DrawnControls& controls, X11ListPopup& popup);

    void Button(const XButtonEvent& event);
    void Key(const XKeyEvent& event);
    // The window lost the keyboard: no control shows the focus.
    void FocusLost();

    // The focused control's place among the controls, -1 for none.
    int Focused() const { return focused; }
    // Whether the focus moved since the last call.
    bool TakeChanged();

private:
    ControlState* ControlAt(int x, int y);
    void Focus(int index, Time time);
    void MoveFocus(int step);
    void StepList(ControlState& list, int to);

    Display* display;
    Window window;
    DrawnControls& controls;
    X11ListPopup& popup;
    int focused = -1;
    ControlState* pressedBox = nullptr;
    bool changed = false;
};

}  // namespace tolvar
