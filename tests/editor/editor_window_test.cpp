// The editor as a real window on Windows (under wine, on an X display): the
// dialog built from the template in this test's own module, driven through its
// controls as a user and a host would.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "plugin/editor_host.h"
#include "plugin/eq_instance.h"
#include "plugin/module_handle.h"
#include "tests/editor/dialog_template.h"

namespace tolvar::test {
namespace {

class EditorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetModuleHandle(GetModuleHandleA(nullptr));  // the template is linked into this program
        // Hidden: wine takes seconds to take a shown top-level window down.
        parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(parent, nullptr) << "no display";
        instance = std::make_unique<EqInstance>();
        ASSERT_TRUE(OpenEditor(*instance, parent));
    }
    void TearDown() override {
        if (instance) CloseEditor(*instance);
        DestroyWindow(parent);
    }

    HWND Dialog() const { return static_cast<HWND>(instance->editorWindow); }
    LRESULT ToControl(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendDlgItemMessageA(Dialog(), id, message, wParam, lParam);
    }
    std::string Shown(int id) {
        const LRESULT position = ToControl(id, CB_GETCURSEL);
        char text[32] = "";
        if (position != CB_ERR) {
            ToControl(id, CB_GETLBTEXT, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(text));
        }
        return text;
    }
    bool Shows(HWND window) { return GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE; }
    bool Checked(int id) { return IsDlgButtonChecked(Dialog(), id) == BST_CHECKED; }
    // A user's pick: the list changes, then tells its dialog.
    void Pick(int id, int position) {
        ToControl(id, CB_SETCURSEL, static_cast<WPARAM>(position));
        const LPARAM list = reinterpret_cast<LPARAM>(GetDlgItem(Dialog(), id));
        SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), list);
    }
    void PumpMessages(DWORD milliseconds) {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < milliseconds) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
            Sleep(10);
        }
    }

    HWND parent = nullptr;
    std::unique_ptr<EqInstance> instance;
};

TEST_F(EditorWindowTest, OpensAsAChildShowingTheStoredValues) {
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_EQ(GetParent(Dialog()), parent);
    EXPECT_TRUE(Shows(Dialog()));
    EXPECT_EQ(ToControl(1046, CB_GETCOUNT), 26);
    EXPECT_EQ(Shown(1033), "Clean");
    EXPECT_EQ(Shown(1041), "820 Hz");
    EXPECT_EQ(Shown(1046), "+0 dB");
    for (int id : {1019, 1022}) EXPECT_FALSE(Shows(GetDlgItem(Dialog(), id))) << id;
    for (int id : {1020, 1021}) EXPECT_TRUE(Shows(GetDlgItem(Dialog(), id))) << id;
    EXPECT_FALSE(Checked(1020));
}

TEST_F(EditorWindowTest, PicksAndTicksAreStored) {
    Pick(1076, 4);
    EXPECT_DOUBLE_EQ(instance->paramValues[kParamLpf], 0.8);
    ToControl(1020, BM_CLICK);
    EXPECT_TRUE(Checked(1020));
    EXPECT_EQ(instance->paramValues[kParamBand1HQ], 1.0);
}

TEST_F(EditorWindowTest, HostChangesAppearWithinTheTimer) {
    AEffect* effect = &instance->effect;
    effect->setParameter(effect, kParamBand2F, 0.0f);
    effect->setParameter(effect, kParamBand1F, 1.2f);  // past the last entry: no selection
    effect->setParameter(effect, kParamBand2HQ, 1.0f);
    PumpMessages(500);
    EXPECT_EQ(Shown(1043), "270 Hz");
    EXPECT_EQ(ToControl(1041, CB_GETCURSEL), CB_ERR);
    EXPECT_TRUE(Checked(1021));
}

TEST_F(EditorWindowTest, ReopeningAndClosingDestroyTheWindow) {
    const HWND first = Dialog();
    ASSERT_TRUE(OpenEditor(*instance, parent));
    EXPECT_FALSE(IsWindow(first));
    const HWND second = Dialog();
    EXPECT_NE(second, nullptr);
    CloseEditor(*instance);
    EXPECT_FALSE(IsWindow(second));
    EXPECT_EQ(instance->editorWindow, nullptr);
}

TEST_F(EditorWindowTest, ClosedFromAnotherThreadTheWindowLetsGoOfTheInstance) {
    const HWND dialog = Dialog();
    std::thread([&] { CloseEditor(*instance); }).join();
    EXPECT_EQ(instance->editorWindow, nullptr);
    instance.reset();
    PumpMessages(300);  // its timer fires with no instance behind it
    EXPECT_EQ(GetWindowLongPtrA(dialog, GWLP_USERDATA), 0);
    DestroyWindow(dialog);
}

TEST(EditorTemplateInTheBinary, IsResource101InEnglish) {
    const HMODULE plugin = LoadLibraryExA(TOLVAR_PLUGIN_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(plugin, nullptr);
    const HRSRC found = FindResourceExA(plugin, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(101), 1033);
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(plugin, found)));
    const auto dialog = ParseDialogTemplate(bytes, SizeofResource(plugin, found));
    ASSERT_TRUE(dialog.has_value());
    EXPECT_EQ(dialog->style, 0x40000440u);
    EXPECT_EQ(dialog->items.size(), 30u);
    FreeLibrary(plugin);
}

}  // namespace
}  // namespace tolvar::test
