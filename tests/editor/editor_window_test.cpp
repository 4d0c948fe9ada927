// The editor as a host meets it on Windows (under wine, on an X display): the
// real tolvar.dll loaded by the stand-in host, with an IR folder written here,
// its dialog opened by effEditOpen inside a window of the host's, and driven
// through its controls as a user and the host would.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "composer/ir_library_layout.h"
#include "params/param_choices.h"
#include "params/param_info.h"
#include "tests/editor/dialog_template.h"
#include "tests/plugin/loaded_plugin.h"

namespace tolvar::test {
namespace {

constexpr UINT kRecomposeMessage = 1690;
constexpr UINT kRefreshAllMessage = 7631;
// The editor polls every 200 ms; the wait allows for a machine busy with other tests.
constexpr DWORD kHostChangeWaitMs = 600;

// The IR folder holds only these files, so each pick below changes which of
// them the composite is made of; every other section is left out.
constexpr const char* kBand1 = "820+0.wav";
constexpr const char* kBand1HiQ = "820+0-hq.wav";
constexpr const char* kLowpass12k = "misc_LPF_12khz.wav";
constexpr const char* kHighShelf = "6800+0.wav";

using Files = std::map<std::string, std::vector<double>>;

class EditorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsigned seed = 1;
        for (const char* name : {kBand1, kBand1HiQ, kLowpass12k, kHighShelf}) Put(name, FloatResponse(40, ++seed));
        plugin = folder.Create();
        ASSERT_TRUE(plugin);
        plugin->Prepare(44100.0, 512);
        // Hidden: wine takes seconds to take a shown top-level window down.
        parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(parent, nullptr) << "no display";
        rectAnswerBeforeOpen = plugin->Dispatch(effEditGetRect, 0, 0, &rectBeforeOpen);
        dialog = Open();
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override {
        plugin.reset();  // effClose takes an open editor down
        DestroyWindow(parent);
    }

    void Put(const std::string& name, std::vector<double> taps) {
        folder.PutIr(name, taps);
        files[name] = std::move(taps);
    }
    // effEditOpen in the host's window; the dialog it made there, or null.
    HWND Open() {
        if (plugin->Dispatch(effEditOpen, 0, 0, parent) != 1) return nullptr;
        return FindWindowExA(parent, nullptr, "#32770", nullptr);
    }
    HWND Control(int id) const { return GetDlgItem(dialog, id); }
    LRESULT ToControl(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendDlgItemMessageA(dialog, id, message, wParam, lParam);
    }
    std::string Entry(int id, int position) const {
        char text[64] = "";
        if (ToControl(id, CB_GETLBTEXTLEN, static_cast<WPARAM>(position)) < LRESULT{sizeof text})
            ToControl(id, CB_GETLBTEXT, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(text));
        return text;
    }
    int Selected(int id) const { return static_cast<int>(ToControl(id, CB_GETCURSEL)); }
    std::string Shown(int id) const { return Selected(id) == CB_ERR ? "" : Entry(id, Selected(id)); }
    bool Checked(int id) const { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
    static bool Visible(HWND window) { return GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE; }
    // A user's pick: the list changes, then tells its dialog.
    void Pick(int id, int position) {
        ToControl(id, CB_SETCURSEL, static_cast<WPARAM>(position));
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Control(id)));
    }
    // Shows a position without telling the dialog, so that a later refresh
    // that touches this list shows.
    void ShowSilently(int id, int position) { ToControl(id, CB_SETCURSEL, static_cast<WPARAM>(position)); }
    static void PumpMessages(DWORD milliseconds) {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < milliseconds) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
            Sleep(10);
        }
    }

    // The effect, reset, must filter with the chain of these files, each with
    // its level scale: a standard file's, or a Hi-Q file's when its name says so.
    void ExpectHears(const std::vector<std::string>& names) {
        std::vector<double> composite = {1.0};
        for (const std::string& name : names) {
            const double scale = IsHiQFileName(name) ? kHiQFileScale : kStandardFileScale;
            composite = Convolve(composite, files.at(name), scale);
        }
        plugin->SetMains(false);
        plugin->SetMains(true);
        const std::vector<float> input = Noise(3000, 5);
        const std::vector<float> output = ProcessMono(*plugin, input, {512});
        EXPECT_LE(PeakRelativeError(output, Convolve(input, composite), plugin->InitialDelay()), 2e-6);
    }

    LoadedPluginFolder folder;
    Files files;
    std::unique_ptr<PluginInstance> plugin;
    HWND parent = nullptr;
    HWND dialog = nullptr;
    const ERect* rectBeforeOpen = nullptr;
    intptr_t rectAnswerBeforeOpen = 0;
};

// Hosts size their window to the editor before they open it: the rectangle
// they get then is the size the dialog takes, and stays so while it is open.
TEST_F(EditorWindowTest, TheEditorsRectangleIsTheDialogsSizeBeforeAndAfterItOpens) {
    EXPECT_EQ(plugin->Effect()->flags & kEffFlagsHasEditor, kEffFlagsHasEditor);
    ASSERT_EQ(rectAnswerBeforeOpen, 1);
    ASSERT_NE(rectBeforeOpen, nullptr);
    const ERect before = *rectBeforeOpen;
    RECT window;
    ASSERT_TRUE(GetWindowRect(dialog, &window));
    EXPECT_EQ(before.top, 0);
    EXPECT_EQ(before.left, 0);
    EXPECT_EQ(before.right, window.right - window.left);
    EXPECT_EQ(before.bottom, window.bottom - window.top);
    EXPECT_GT(before.right, 252);  // pixels, not dialog units

    const ERect* after = nullptr;
    EXPECT_EQ(plugin->Dispatch(effEditGetRect, 0, 0, &after), 1);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->right, before.right);
    EXPECT_EQ(after->bottom, before.bottom);
}

TEST_F(EditorWindowTest, OpensInTheHostsWindowWithEveryListAndTheStoredValues) {
    EXPECT_EQ(GetParent(dialog), parent);
    EXPECT_EQ(GetWindowLongA(dialog, GWL_STYLE) & (WS_CHILD | WS_CAPTION | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
    int children = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) ++children;
    EXPECT_EQ(children, 30);

    for (int param = 0; param < kParamCount; ++param) {
        const int id = kParamTable[param].controlId;
        SCOPED_TRACE(kParamTable[param].name);
        ASSERT_NE(Control(id), nullptr);
        EXPECT_EQ(Visible(Control(id)), param != kParamLShelfHQ && param != kParamHShelfHQ);
        if (IsSwitchParam(param)) {
            EXPECT_EQ(GetWindowLongA(Control(id), GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
            EXPECT_FALSE(Checked(id));
            continue;
        }
        ASSERT_EQ(ToControl(id, CB_GETCOUNT), ChoiceListLength(param));
        for (int choice = 0; choice < ChoiceListLength(param); ++choice) {
            char word[kChoiceTextBytes];
            FormatChoiceText(param, choice, word, sizeof word);
            EXPECT_EQ(Entry(id, choice), word) << choice;
        }
    }
    std::vector<std::string> shown;
    for (int id : {1033, 1076, 1036, 1037, 1038, 1041, 1042, 1043, 1044, 1045, 1046}) shown.push_back(Shown(id));
    EXPECT_EQ(shown, (std::vector<std::string>{"Clean", "disabled", "disabled", "100 Hz", "+0 dB", "820 Hz", "+0 dB",
                                               "1800 Hz", "+0 dB", "6800 Hz", "+0 dB"}));
    ExpectHears({kBand1, kHighShelf});
}

TEST_F(EditorWindowTest, PicksAndTicksAreStoredAndHeardAtOnce) {
    Pick(1076, 4);  // "12 kHz"
    EXPECT_FLOAT_EQ(plugin->GetParameter(kParamLpf), 0.8f);
    ExpectHears({kLowpass12k, kBand1, kHighShelf});
    ToControl(1020, BM_CLICK);
    EXPECT_TRUE(Checked(1020));
    EXPECT_EQ(plugin->GetParameter(kParamBand1HQ), 1.0f);
    ExpectHears({kLowpass12k, kBand1HiQ, kHighShelf});
    Pick(1046, 25);  // "<bypass>"
    EXPECT_EQ(plugin->GetParameter(kParamHShelfG), 1.0f);
    ExpectHears({kLowpass12k, kBand1HiQ});
    ToControl(1020, BM_CLICK);
    EXPECT_EQ(plugin->GetParameter(kParamBand1HQ), 0.0f);
    ExpectHears({kLowpass12k, kBand1});
}

TEST_F(EditorWindowTest, HostChangesMoveOnlyTheirOwnControlsUntilAllAreRefreshed) {
    ShowSilently(1033, 3);
    ShowSilently(1037, 0);
    plugin->SetParameter(kParamBand2F, 0.0f);
    plugin->SetParameter(kParamBand1F, 1.2f);  // past the last entry: no selection
    plugin->SetParameter(kParamBand2HQ, 1.0f);
    PumpMessages(kHostChangeWaitMs);
    EXPECT_EQ(Shown(1043), "270 Hz");
    EXPECT_EQ(Selected(1041), CB_ERR);
    EXPECT_TRUE(Checked(1021));
    EXPECT_EQ(Selected(1033), 3);
    EXPECT_EQ(Selected(1037), 0);

    SendMessageA(dialog, kRefreshAllMessage, 0, 0);
    EXPECT_EQ(Shown(1033) + Shown(1037) + Shown(1043), "Clean100 Hz270 Hz");
    EXPECT_EQ(Selected(1041), CB_ERR);
    EXPECT_TRUE(Checked(1021));
}

TEST_F(EditorWindowTest, TheRecomposeMessageRereadsTheFilesAndLeavesTheControls) {
    ShowSilently(1033, 2);
    Put(kBand1, FloatResponse(70, 50));
    SendMessageA(dialog, kRecomposeMessage, 0, 0);
    ExpectHears({kBand1, kHighShelf});
    EXPECT_EQ(Selected(1033), 2);
    EXPECT_EQ(plugin->GetParameter(kParamInputMode), 0.0f);
}

TEST_F(EditorWindowTest, ReopeningReplacesTheWindowAndClosingTakesItDown) {
    const HWND second = Open();
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(FindWindowExA(parent, second, "#32770", nullptr), nullptr);
    EXPECT_EQ(plugin->Dispatch(effEditClose), 0);
    EXPECT_FALSE(IsWindow(second));
    EXPECT_EQ(FindWindowExA(parent, nullptr, "#32770", nullptr), nullptr);

    const HWND third = Open();
    ASSERT_NE(third, nullptr);
    plugin->Close();  // effClose with the window open
    EXPECT_FALSE(IsWindow(third));
    PumpMessages(300);  // nothing of the effect is left to call
}

TEST_F(EditorWindowTest, ClosedFromAnotherThreadTheWindowLetsGoOfTheEffect) {
    std::thread([&] { plugin->Dispatch(effEditClose); }).join();
    plugin->Close();
    PumpMessages(300);  // its timer fires with no effect behind it
    ASSERT_TRUE(IsWindow(dialog));
    EXPECT_EQ(GetWindowLongPtrA(dialog, GWLP_USERDATA), 0);
    DestroyWindow(dialog);  // while the library that holds its procedure is loaded
}

TEST(EditorTemplateInTheBinary, IsResource101InEnglish) {
    const LoadedPluginFolder folder;
    const HMODULE plugin = LoadLibraryExA(folder.PluginPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
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
