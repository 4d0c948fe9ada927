// The editor window on Windows: the dialog of resource TOLVAR_EDITOR_DIALOG,
// a child of the host's window.
#include <windows.h>

#include <optional>

#include "editor/editor_dialog_proc.h"
#include "plugin/editor_host.h"
#include "plugin/eq_instance.h"
#include "plugin/module_handle.h"
#include "resources/editor_dialog_ids.h"

namespace tolvar {

namespace {

// The dialog template's size in dialog units and its font
// (resources/editor_dialog.rc; the editor window test holds them equal).
constexpr int kDialogWidthUnits = 252;
constexpr int kDialogHeightUnits = 193;
constexpr int kDialogFontPoints = 8;
constexpr wchar_t kDialogFontFace[] = L"MS Shell Dlg";

// The dialog's size in pixels as the dialog manager will make it, before the
// dialog exists: the template's font at the screen's resolution gives the
// base units (the average width of the alphabet, rounded, and the font's
// height), and the template's dialog units scale by them. A child dialog has
// no frame, so its window is that size.
std::optional<ERect> MeasureDialog() {
    const HDC screen = GetDC(nullptr);
    if (!screen) return std::nullopt;
    const int height = -MulDiv(kDialogFontPoints, GetDeviceCaps(screen, LOGPIXELSY), 72);
    const HFONT font = CreateFontW(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                                   PROOF_QUALITY, FF_DONTCARE, kDialogFontFace);
    const HGDIOBJ previous = font ? SelectObject(screen, font) : nullptr;
    static constexpr wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    TEXTMETRICW metrics{};
    SIZE alphabet{};
    const bool measured = font && GetTextMetricsW(screen, &metrics) &&
                          GetTextExtentPoint32W(screen, kAlphabet, 52, &alphabet);
    if (previous) SelectObject(screen, previous);
    if (font) DeleteObject(font);
    ReleaseDC(nullptr, screen);
    // Without its font the dialog manager falls back to the system font's units.
    const LONG systemUnits = GetDialogBaseUnits();
    const int unitX = measured ? (alphabet.cx / 26 + 1) / 2 : LOWORD(systemUnits);
    const int unitY = measured ? metrics.tmHeight : HIWORD(systemUnits);
    ERect rect{};
    rect.bottom = static_cast<int16_t>(MulDiv(kDialogHeightUnits, unitY, 8));
    rect.right = static_cast<int16_t>(MulDiv(kDialogWidthUnits, unitX, 4));
    return rect;
}

}  // namespace

bool EditorAvailable() { return true; }

// Measured once: every instance's dialog gets the same size.
const ERect* EditorRect(EqInstance&) {
    static const std::optional<ERect> rect = MeasureDialog();
    return rect ? &*rect : nullptr;
}

bool OpenEditor(EqInstance& instance, void* parentWindow) {
    CloseEditor(instance);
    // The dialog procedure sets editorWindow during creation (WM_INITDIALOG).
    const HWND window = CreateDialogParamA(static_cast<HINSTANCE>(ModuleHandle()),
                                           MAKEINTRESOURCEA(TOLVAR_EDITOR_DIALOG), static_cast<HWND>(parentWindow),
                                           EditorDialogProc, reinterpret_cast<LPARAM>(&instance));
    return window != nullptr;
}

void CloseEditor(EqInstance& instance) {
    const HWND window = static_cast<HWND>(instance.editorWindow);
    if (!window) return;
    // WM_DESTROY clears editorWindow as the window goes. Only the window's own
    // thread can destroy it; called from another, cut the window loose instead,
    // so that it never acts for an instance that may be freed next.
    if (!DestroyWindow(window)) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    instance.editorWindow = nullptr;
}

}  // namespace tolvar
