#include "editor/editor_dialog_proc.h"

#include "editor/editor_controls.h"
#include "editor/editor_logic.h"
#include "editor/editor_messages.h"
#include "plugin/eq_instance.h"

namespace tolvar {
namespace {

static_assert(kWmDestroy == WM_DESTROY && kWmInitDialog == WM_INITDIALOG && kWmCommand == WM_COMMAND &&
              kWmTimer == WM_TIMER);
static_assert(kBnClicked == BN_CLICKED && kCbnSelChange == CBN_SELCHANGE);
static_assert(kNoListSelection == CB_ERR);

// The dialog's controls, found by their ids.
class DialogControls final : public EditorControls {
public:
    explicit DialogControls(HWND dialog) : window(dialog) {}

    void* Window() override { return window; }

    void AddListEntry(int controlId, const char* text) override {
        SendDlgItemMessageA(window, controlId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    void SelectListEntry(int controlId, int position) override {
        // -1 travels as all bits set, which the list reads back as -1.
        SendDlgItemMessageA(window, controlId, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
    }
    int SelectedListEntry(int controlId) override {
        return static_cast<int>(SendDlgItemMessageA(window, controlId, CB_GETCURSEL, 0, 0));
    }

    void SetChecked(int controlId, bool checked) override {
        CheckDlgButton(window, controlId, checked ? BST_CHECKED : BST_UNCHECKED);
    }
    bool IsChecked(int controlId) override { return IsDlgButtonChecked(window, controlId) == BST_CHECKED; }

    void ShowWithoutActivating() override { ShowWindow(window, SW_SHOWNA); }
    void StartTimer(int timerId, int milliseconds) override {
        SetTimer(window, static_cast<UINT_PTR>(timerId), static_cast<UINT>(milliseconds), nullptr);
    }
    void SendToSelf(unsigned message) override { SendMessageA(window, message, 0, 0); }

private:
    HWND window;
};

}  // namespace

INT_PTR CALLBACK EditorDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
    auto* instance = reinterpret_cast<EqInstance*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!instance) return 0;
    DialogControls controls(window);
    HandleEditorMessage(*instance, controls, message, wParam);
    return 0;
}

}  // namespace tolvar
