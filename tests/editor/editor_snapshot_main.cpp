// Holds the editor open in a visible window, as a host shows it, while a
// script outside takes its picture (scripts/editor-screenshot.sh).
//
//   tolvar-editor-snapshot PLUGIN READY_FILE DONE_FILE
//
// Loads PLUGIN through the stand-in host, opens its editor in a top-level
// window sized to the dialog, and once the window has painted writes the
// dialog's place on the screen ("x y width height") into READY_FILE. It keeps
// the window open until DONE_FILE exists (at most a minute), then closes the
// editor and the effect. Exit status 0 when all of that worked.
#include <windows.h>

#include <cstdio>
#include <string>

#include "host/plugin_instance.h"

namespace {

constexpr DWORD kPaintMs = 1500;   // wine paints the controls asynchronously
constexpr DWORD kHoldMs = 60000;  // the longest wait for the picture

void Pump(DWORD milliseconds, const char* untilFile = nullptr) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        if (untilFile && GetFileAttributesA(untilFile) != INVALID_FILE_ATTRIBUTES) return;
        Sleep(20);
    }
}

HWND HostWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "TolvarSnapshotHost";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, windowClass.lpszClassName, "Tolvar", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                           nullptr, windowClass.hInstance, nullptr);
}

int Fail(const std::string& why) {
    std::fprintf(stderr, "tolvar-editor-snapshot: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return Fail("usage: tolvar-editor-snapshot PLUGIN READY_FILE DONE_FILE");
    std::string error;
    auto plugin = tolvar::LoadPlugin(argv[1], &error);
    if (!plugin) return Fail(error);
    plugin->Prepare(44100.0, 512);

    const HWND host = HostWindow();
    if (!host) return Fail("no window: is there a display?");
    if (plugin->Dispatch(tolvar::effEditOpen, 0, 0, host) != 1) return Fail("effEditOpen made no editor");
    const HWND dialog = FindWindowExA(host, nullptr, "#32770", nullptr);
    if (!dialog) return Fail("no dialog in the host's window");

    // The host sizes its window to the editor (effEditGetRect tells nothing).
    RECT size;
    GetWindowRect(dialog, &size);
    RECT frame = {0, 0, size.right - size.left, size.bottom - size.top};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    SetWindowPos(host, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOZORDER | SWP_NOMOVE);
    ShowWindow(host, SW_SHOWNORMAL);
    UpdateWindow(host);
    Pump(kPaintMs);

    RECT place;
    GetWindowRect(dialog, &place);
    std::FILE* ready = std::fopen(argv[2], "w");
    if (!ready) return Fail(std::string("cannot write ") + argv[2]);
    std::fprintf(ready, "%ld %ld %ld %ld\n", place.left, place.top, place.right - place.left, place.bottom - place.top);
    std::fclose(ready);

    Pump(kHoldMs, argv[3]);
    const bool pictured = GetFileAttributesA(argv[3]) != INVALID_FILE_ATTRIBUTES;
    plugin->Dispatch(tolvar::effEditClose);
    plugin.reset();
    DestroyWindow(host);
    return pictured ? 0 : Fail("nobody took the picture within a minute");
}
