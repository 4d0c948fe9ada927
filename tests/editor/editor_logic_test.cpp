// The editor's logic against recording controls, on instances created through
// the entry point with IR files served from memory.
#include <algorithm>
#include <limits>
#include <tuple>
#include <memory>

#include "tests/editor/recording_controls.h"
#include "tests/plugin/instance_fixture.h"

namespace tolvar::test {
namespace {

using Texts = std::vector<std::string>;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class EditorTest : public InstanceTest {
protected:
    // Opens an editor on the instance behind effect (a new one by default).
    RecordingControls& Open(AEffect* effect = nullptr) {
        editors.push_back(std::make_unique<RecordingControls>(*InstanceOf(effect ? effect : Create())));
        editors.back()->Send(kWmInitDialog);
        return *editors.back();
    }
    bool OpenedSince(size_t count, const std::string& name) const {
        return std::find(Opened().begin() + static_cast<long>(count), Opened().end(), name) != Opened().end();
    }
    std::vector<std::unique_ptr<RecordingControls>> editors;
};

TEST_F(EditorTest, OpeningFillsTheListsInOrderAndShowsTheStoredValues) {
    RecordingControls& editor = Open();
    EXPECT_EQ(editor.listOrder, (std::vector<int>{1033, 1076, 1036, 1037, 1043, 1041, 1045, 1038, 1042, 1044, 1046}));
    std::vector<size_t> lengths;
    for (int id : editor.listOrder) lengths.push_back(editor.entries[id].size());
    EXPECT_EQ(lengths, (std::vector<size_t>{5, 6, 6, 5, 10, 10, 5, 26, 26, 26, 26}));
    EXPECT_EQ(editor.entries[1036], (Texts{"disabled", "27 Hz", "47 Hz", "82 Hz", "150 Hz", "270 Hz"}));
    EXPECT_EQ(editor.entries[1046][25], "<bypass>");
    EXPECT_EQ(editor.timers, (std::vector<std::pair<int, int>>{{2, 200}}));
    EXPECT_TRUE(editor.shown);
    EXPECT_EQ(editor.instance.editorWindow, editor.Window());

    Texts shown;
    for (int id : {1033, 1076, 1036, 1037, 1038, 1041, 1042, 1043, 1044, 1045, 1046}) shown.push_back(editor.Shown(id));
    EXPECT_EQ(shown, (Texts{"Clean", "disabled", "disabled", "100 Hz", "+0 dB", "820 Hz", "+0 dB", "1800 Hz",
                            "+0 dB", "6800 Hz", "+0 dB"}));
    for (int id : {1019, 1020, 1021, 1022}) EXPECT_FALSE(editor.checked.at(id)) << id;

    // Values stored without a dirty bit still show in a window opened later.
    AEffect* effect = Create();
    InstanceOf(effect)->paramValues[kParamBand1F] = 1.0;
    InstanceOf(effect)->paramValues[kParamBand2HQ] = 1.0;
    RecordingControls& later = Open(effect);
    EXPECT_EQ(later.Shown(1041), "8200 Hz");
    EXPECT_TRUE(later.checked.at(1021));
    later.Send(kWmDestroy);
    EXPECT_EQ(later.instance.editorWindow, nullptr);
}

TEST_F(EditorTest, PicksAndTicksAreStoredAndRecomposedAtOnce) {
    RecordingControls& editor = Open();
    const double* values = editor.instance.paramValues;
    editor.moved.clear();
    size_t opens = Opened().size();
    editor.Pick(1076, 4);  // "12 kHz"
    EXPECT_DOUBLE_EQ(values[kParamLpf], 0.8);
    EXPECT_TRUE(OpenedSince(opens, "misc_LPF_12khz.wav"));
    opens = Opened().size();
    editor.Tick(1020, true);
    EXPECT_EQ(values[kParamBand1HQ], 1.0);
    EXPECT_TRUE(OpenedSince(opens, "820+0-hq.wav"));
    editor.Tick(1020, false);
    EXPECT_EQ(values[kParamBand1HQ], 0.0);
    editor.Pick(1042, 25);  // "<bypass>"
    EXPECT_EQ(values[kParamBand1G], 1.0);
    editor.Pick(1033, kNoListSelection);  // reads as the first choice
    EXPECT_EQ(values[kParamInputMode], 0.0);
    // The editor's own changes are not echoed back as host changes.
    EXPECT_EQ(editor.instance.editorDirtyMask.load(), 0u);
    EXPECT_TRUE(editor.moved.empty());

    // Commands from controls that show no such parameter change nothing.
    const std::vector<double> before(values, values + kParamCount);
    opens = Opened().size();
    editor.selection[1033] = 3;
    editor.checked[1020] = true;
    for (auto [id, code] : {std::pair{999, kCbnSelChange}, {999, kBnClicked}, {1020, kCbnSelChange},
                            {1033, kBnClicked}, {1033, 3u}}) {
        editor.Command(id, code);
    }
    EXPECT_EQ(std::vector<double>(values, values + kParamCount), before);
    EXPECT_EQ(Opened().size(), opens);
}

TEST_F(EditorTest, TheTimerShowsOnlyWhatTheHostChanged) {
    AEffect* effect = Create();
    RecordingControls& editor = Open(effect);
    editor.moved.clear();
    editor.Send(kWmTimer, 2);
    EXPECT_TRUE(editor.sent.empty());  // nothing changed: no refresh

    // Two host changes between ticks; a value stored without a bit stays unshown.
    effect->setParameter(effect, kParamBand2F, 0.0f);
    effect->setParameter(effect, kParamLShelfG, 1.0f);
    editor.instance.paramValues[kParamHpf] = 0.2;
    editor.Send(kWmTimer, 3);  // not the editor's timer
    EXPECT_TRUE(editor.sent.empty());
    editor.Send(kWmTimer, 2);
    EXPECT_EQ(editor.sent, (std::vector<unsigned>{EDITOR_MSG_REFRESH}));
    EXPECT_EQ(editor.moved, (std::vector<int>{1038, 1043}));
    EXPECT_EQ(editor.Shown(1038) + editor.Shown(1043) + editor.Shown(1036), "<bypass>270 Hzdisabled");
    EXPECT_EQ(editor.instance.editorDirtyMask.load(), 0u);
}

TEST_F(EditorTest, HostValuesOffTheChoicesShowTheNearestEntryOrNone) {
    AEffect* effect = Create();
    RecordingControls& editor = Open(effect);
    const auto hostSets = [&](int param, float value) {
        effect->setParameter(effect, param, value);
        editor.Send(EDITOR_MSG_REFRESH);
    };
    const std::tuple<int, float, int, const char*> lists[] = {
        {kParamInputMode, 0.3f, 1033, "Mic Pre"},    // 1.2
        {kParamInputMode, 0.625f, 1033, "-15 conv"},  // 2.5 rounds up
        {kParamHpf, -0.05f, 1036, "disabled"},        // -0.25 truncates to 0
        {kParamBand1F, 1.2f, 1041, ""},               // past the last entry
        {kParamBand2F, 3e38f, 1043, ""},
        {kParamLShelfG, kNaN, 1038, ""},
        {kParamLShelfF, -0.5f, 1037, ""},             // -2, before the first
    };
    for (const auto& [param, value, id, text] : lists) {
        hostSets(param, value);
        EXPECT_EQ(editor.Shown(id), text) << value;
    }
    const std::tuple<int, float, int, bool> boxes[] = {
        {kParamBand2HQ, 0.5f, 1021, true}, {kParamBand2HQ, 0.49f, 1021, false},
        {kParamBand1HQ, 2.0f, 1020, true}, {kParamBand1HQ, kNaN, 1020, false}};
    for (const auto& [param, value, id, on] : boxes) {
        hostSets(param, value);
        EXPECT_EQ(editor.checked.at(id), on) << value;
    }
}

TEST_F(EditorTest, CommandsDuringARefreshAreIgnoredInEveryEditor) {
    AEffect* effect = Create();
    RecordingControls& refreshing = Open(effect);
    RecordingControls& other = Open();
    // Controls that notify when set, as if the user had changed them.
    refreshing.onSet = [&](int controlId) {
        refreshing.Pick(controlId, 0);
        other.Pick(1076, 4);
    };
    effect->setParameter(effect, kParamInputMode, 0.5f);
    refreshing.Send(EDITOR_MSG_REFRESH);
    EXPECT_EQ(refreshing.instance.paramValues[kParamInputMode], 0.5);
    EXPECT_EQ(other.instance.paramValues[kParamLpf], 0.0);
    refreshing.onSet = nullptr;
    other.Pick(1076, 4);  // and once the refresh is over, they count again
    EXPECT_DOUBLE_EQ(other.instance.paramValues[kParamLpf], 0.8);
}

TEST_F(EditorTest, PrivateMessagesRecomposeOrShowEverything) {
    RecordingControls& editor = Open();
    editor.moved.clear();
    const size_t opens = Opened().size();
    editor.Send(EDITOR_MSG_RECOMPOSE);
    EXPECT_TRUE(OpenedSince(opens, "820+0.wav"));
    editor.Send(EDITOR_MSG_REFRESH);  // nothing marked
    EXPECT_TRUE(editor.moved.empty());

    editor.instance.paramValues[kParamHShelfF] = 1.0;
    editor.instance.paramValues[kParamLShelfHQ] = 1.0;
    editor.Send(EDITOR_MSG_REFRESH_ALL);
    EXPECT_EQ(editor.moved.size(), 15u);
    EXPECT_EQ(editor.Shown(1045), "15 kHz");
    EXPECT_TRUE(editor.checked.at(1019));
}

}  // namespace
}  // namespace tolvar::test
