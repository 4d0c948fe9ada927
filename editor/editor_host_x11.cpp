// The editor window on Linux: an X11 child of the host's window, drawn with
// cairo (editor/x11_editor_window.h).
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "editor/desktop_scale.h"
#include "editor/dialog_layout.h"
#include "editor/x11_editor_window.h"
#include "plugin/editor_host.h"
#include "plugin/eq_instance.h"

namespace tolvar {
namespace {

// pixman, under cairo, sets up its drawing routines when it loads and never
// frees them; cairo, fontconfig and Xlib keep caches for the process. A host
// that has no use for them itself would unload them with the plug-in and lose
// that memory at every load, so once loaded they stay.
[[maybe_unused]] const bool kDrawingLibrariesStay = [] {
    for (const char* library : {"libcairo.so.2", "libX11.so.6"}) {
        dlopen(library, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
    return true;
}();

constexpr int kScaleSteps = static_cast<int>((kMaxEditorScale - kMinEditorScale) / kEditorScaleStep) + 1;

// One rectangle for each scale the editor draws at, made once: the host may
// keep the pointer for as long as it likes.
const ERect* RectForScale(double scale) {
    static const std::array<ERect, kScaleSteps> rects = [] {
        std::array<ERect, kScaleSteps> made{};
        for (int step = 0; step < kScaleSteps; ++step) {
            const PixelRect size = ToPixels(kDialogRect, kMinEditorScale + step * kEditorScaleStep);
            made[step] = {0, 0, static_cast<int16_t>(size.height), static_cast<int16_t>(size.width)};
        }
        return made;
    }();
    const long step = std::lround((scale - kMinEditorScale) / kEditorScaleStep);
    return &rects[static_cast<size_t>(std::clamp(step, 0L, static_cast<long>(kScaleSteps - 1)))];
}

// The scale an editor opened now would draw at; 1 without a display.
double ScaleNow() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return kMinEditorScale;
    const double scale = DesktopScale(XResourceManagerString(display), std::getenv("GDK_SCALE"));
    XCloseDisplay(display);
    return scale;
}

// The open editors, by instance. The instance's editorWindow holds the X
// window for the editor's logic; the editor itself is owned here, so that
// nothing but an editor made here is ever closed as one.
std::mutex editorsLock;
std::vector<std::pair<const EqInstance*, std::unique_ptr<X11EditorWindow>>> editors;

std::unique_ptr<X11EditorWindow> TakeEditorOf(const EqInstance& instance) {
    const std::lock_guard<std::mutex> hold(editorsLock);
    for (auto entry = editors.begin(); entry != editors.end(); ++entry) {
        if (entry->first != &instance) continue;
        std::unique_ptr<X11EditorWindow> editor = std::move(entry->second);
        editors.erase(entry);
        return editor;
    }
    return nullptr;
}

// The scale of the instance's open editor, or 0 when none is open.
double OpenEditorScale(const EqInstance& instance) {
    const std::lock_guard<std::mutex> hold(editorsLock);
    for (const auto& [owner, editor] : editors) {
        if (owner == &instance) return editor->Scale();
    }
    return 0.0;
}

}  // namespace

bool EditorAvailable() { return true; }

const ERect* EditorRect(EqInstance& instance) {
    const double openScale = OpenEditorScale(instance);
    return RectForScale(openScale > 0.0 ? openScale : ScaleNow());
}

bool OpenEditor(EqInstance& instance, void* parentWindow) {
    CloseEditor(instance);
    try {
        // The host's window id travels in the pointer.
        std::unique_ptr<X11EditorWindow> editor =
            X11EditorWindow::Open(instance, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parentWindow)));
        if (!editor) return false;
        const std::lock_guard<std::mutex> hold(editorsLock);
        editors.emplace_back(&instance, std::move(editor));
        return true;
    } catch (...) {
        return false;
    }
}

void CloseEditor(EqInstance& instance) {
    // Taken down outside the lock: its thread ends first, which may take a moment.
    TakeEditorOf(instance).reset();
    instance.editorWindow = nullptr;
}

}  // namespace tolvar
