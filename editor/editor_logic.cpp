#include "editor/editor_logic.h"

#include <atomic>

#include "editor/editor_controls.h"
#include "editor/editor_messages.h"
#include "params/param_choices.h"
#include "params/param_info.h"
#include "plugin/eq_instance.h"

namespace tolvar {
namespace {

// Raised while any editor refreshes its controls: setting a control may notify
// the window as if the user had changed it, and that must not be stored back.
// Shared by every editor of the process; atomic only so that editors on two
// user-interface threads cannot race on it.
std::atomic<int> editorRefreshDepth{0};

constexpr uint32_t kEveryParamDirty = 0xFFFFFFFFu;

// The lists in the order they are filled: the input model, the filters, the
// frequencies (band 2 before band 1) and then the four gains.
constexpr int kListFillOrder[] = {kParamInputMode, kParamLpf,     kParamHpf,    kParamLShelfF,
                                  kParamBand2F,    kParamBand1F,  kParamHShelfF, kParamLShelfG,
                                  kParamBand1G,    kParamBand2G,  kParamHShelfG};

int ControlOf(int param) { return kParamTable[param].controlId; }

// The first row shown by controlId whose kind (switch or list) is wanted, or -1.
int ParamOfControl(int controlId, bool wantSwitch) {
    for (int i = 0; i < kParamCount; ++i) {
        if (ControlOf(i) == controlId && IsSwitchParam(i) == wantSwitch) return i;
    }
    return -1;
}

void FillLists(EditorControls& controls) {
    for (int param : kListFillOrder) {
        char text[kChoiceTextBytes];
        for (int choice = 0; choice < ChoiceListLength(param); ++choice) {
            FormatChoiceText(param, choice, text, sizeof text);
            controls.AddListEntry(ControlOf(param), text);
        }
    }
}

// A pick is a parameter change like the host's, without the editor's own dirty bit.
void StoreAndRecompose(EqInstance& instance, int param, double value) { ChangeParameter(instance, param, value); }

void InitDialog(EqInstance& instance, EditorControls& controls) {
    instance.editorWindow = controls.Window();
    FillLists(controls);
    controls.StartTimer(kRefreshTimerId, kRefreshTimerMs);
    controls.ShowWithoutActivating();
    instance.editorDirtyMask.store(kEveryParamDirty);
    RefreshEditorControls(instance, controls);
}

void Command(EqInstance& instance, EditorControls& controls, uintptr_t wParam) {
    if (editorRefreshDepth.load() != 0) return;
    const int controlId = static_cast<int>(wParam & 0xFFFF);
    const unsigned code = static_cast<unsigned>((wParam >> 16) & 0xFFFF);
    if (code == kBnClicked) {
        const int param = ParamOfControl(controlId, true);
        if (param >= 0) StoreAndRecompose(instance, param, controls.IsChecked(controlId) ? 1.0 : 0.0);
    } else if (code == kCbnSelChange) {
        const int param = ParamOfControl(controlId, false);
        // No selection reads as -1, which the mapping clamps to the first choice.
        if (param >= 0) {
            StoreAndRecompose(instance, param, NormalizedFromValue(param, controls.SelectedListEntry(controlId)));
        }
    }
}

void ShowParam(EditorControls& controls, int param, double value) {
    if (IsSwitchParam(param)) {
        controls.SetChecked(ControlOf(param), value >= 0.5);  // not a number unchecks
        return;
    }
    // A choice outside the list selects nothing explicitly: a position past the
    // end clears the selection on some systems but leaves the old one on others.
    const int choice = ChoiceFromNormalized(param, value);
    const bool listed = choice >= 0 && choice < ChoiceListLength(param);
    controls.SelectListEntry(ControlOf(param), listed ? choice : kNoListSelection);
}

}  // namespace

void RefreshEditorControls(EqInstance& instance, EditorControls& controls) {
    ++editorRefreshDepth;
    // The mask first, then the values: a host change landing in between sets its
    // bit again, so the next refresh shows it even if this one already did.
    const uint32_t mask = instance.editorDirtyMask.exchange(0);
    double values[kParamCount];
    {
        ScopedInstanceLock hold(instance.lock);
        for (int i = 0; i < kParamCount; ++i) values[i] = instance.paramValues[i];
    }
    for (int i = 0; i < kParamCount; ++i) {
        if (mask & (1u << i)) ShowParam(controls, i, values[i]);
    }
    --editorRefreshDepth;
}

void HandleEditorMessage(EqInstance& instance, EditorControls& controls, unsigned message, uintptr_t wParam) {
    switch (message) {
        case kWmInitDialog: InitDialog(instance, controls); break;
        case kWmCommand: Command(instance, controls, wParam); break;
        case kWmTimer:
            if (wParam == static_cast<uintptr_t>(kRefreshTimerId) && instance.editorDirtyMask.load() != 0) {
                controls.SendToSelf(EDITOR_MSG_REFRESH);
            }
            break;
        case kWmDestroy:
            if (instance.editorWindow == controls.Window()) instance.editorWindow = nullptr;
            break;
        case EDITOR_MSG_RECOMPOSE: ComposeImpulse(instance); break;
        case EDITOR_MSG_REFRESH: RefreshEditorControls(instance, controls); break;
        case EDITOR_MSG_REFRESH_ALL:
            instance.editorDirtyMask.store(kEveryParamDirty);
            RefreshEditorControls(instance, controls);
            break;
        default: break;
    }
}

}  // namespace tolvar
