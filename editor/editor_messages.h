#pragma once
// The window messages the editor answers, by number, so that its logic needs
// no window-system header. The first four are the system's own (the Win32
// adapter checks them against <windows.h>); the rest are the editor's.
#include <cstdint>

namespace tolvar {

constexpr unsigned kWmDestroy = 0x0002;         // WM_DESTROY
constexpr unsigned kWmInitDialog = 0x0110;      // WM_INITDIALOG
constexpr unsigned kWmCommand = 0x0111;         // WM_COMMAND: control id in the low word, code in the high word
constexpr unsigned kWmTimer = 0x0113;           // WM_TIMER: the timer id in wParam

constexpr unsigned kBnClicked = 0;              // BN_CLICKED
constexpr unsigned kCbnSelChange = 1;           // CBN_SELCHANGE

// The editor's private messages; any sender that holds the window may use them.
constexpr unsigned EDITOR_MSG_RECOMPOSE = 1690;    // recompose the impulse from the stored values
constexpr unsigned EDITOR_MSG_REFRESH = 7630;      // show the parameters marked in editorDirtyMask
constexpr unsigned EDITOR_MSG_REFRESH_ALL = 7631;  // show every parameter

// The timer that polls editorDirtyMask.
constexpr int kRefreshTimerId = 2;
constexpr int kRefreshTimerMs = 200;

// The wParam of a WM_COMMAND from control controlId with notification code.
constexpr uintptr_t CommandParam(int controlId, unsigned code) {
    return (static_cast<uintptr_t>(code & 0xFFFF) << 16) | static_cast<uintptr_t>(controlId & 0xFFFF);
}

}  // namespace tolvar
