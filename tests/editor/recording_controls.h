#pragma once
// A stand-in for the editor window's controls that keeps their state as the
// real ones would and records what the editor did to them.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "editor/editor_controls.h"
#include "editor/editor_logic.h"
#include "editor/editor_messages.h"
#include "plugin/eq_instance.h"

namespace tolvar::test {

class RecordingControls final : public EditorControls {
public:
    explicit RecordingControls(EqInstance& owner) : instance(owner) {}

    // Delivers a message to the editor, as the window would.
    void Send(unsigned message, uintptr_t wParam = 0) { HandleEditorMessage(instance, *this, message, wParam); }
    void Command(int controlId, unsigned code) { Send(kWmCommand, CommandParam(controlId, code)); }
    // The user picks an entry (or ticks a box): the control changes, then notifies.
    void Pick(int controlId, int position) {
        selection[controlId] = position;
        Command(controlId, kCbnSelChange);
    }
    void Tick(int controlId, bool on) {
        checked[controlId] = on;
        Command(controlId, kBnClicked);
    }
    // The selected entry's text; "" for no selection.
    std::string Shown(int controlId) {
        const int position = SelectedListEntry(controlId);
        return position == kNoListSelection ? "" : entries[controlId].at(position);
    }

    void* Window() override { return this; }
    void AddListEntry(int controlId, const char* text) override {
        if (entries[controlId].empty()) listOrder.push_back(controlId);
        entries[controlId].push_back(text);
    }
    void SelectListEntry(int controlId, int position) override {
        // The editor must ask for "nothing" by -1, never by a position past the end.
        EXPECT_TRUE(position >= kNoListSelection && position < static_cast<int>(entries[controlId].size()))
            << "control " << controlId << " position " << position;
        selection[controlId] = position;
        Moved(controlId);
    }
    int SelectedListEntry(int controlId) override {
        const auto found = selection.find(controlId);
        return found == selection.end() ? kNoListSelection : found->second;
    }
    void SetChecked(int controlId, bool on) override {
        checked[controlId] = on;
        Moved(controlId);
    }
    bool IsChecked(int controlId) override { return checked[controlId]; }
    void ShowWithoutActivating() override { shown = true; }
    void StartTimer(int timerId, int milliseconds) override { timers.emplace_back(timerId, milliseconds); }
    void SendToSelf(unsigned message) override {
        sent.push_back(message);
        Send(message);
    }

    EqInstance& instance;
    std::vector<int> listOrder;                       // lists in the order their first entry came
    std::map<int, std::vector<std::string>> entries;  // list entries by control id
    std::map<int, int> selection;                     // absent: nothing selected
    std::map<int, bool> checked;
    std::vector<int> moved;                           // controls set by the editor, in order
    std::vector<std::pair<int, int>> timers;          // (id, milliseconds)
    std::vector<unsigned> sent;                       // messages the editor sent itself
    bool shown = false;
    std::function<void(int controlId)> onSet;         // runs after the editor sets a control

private:
    void Moved(int controlId) {
        moved.push_back(controlId);
        if (onSet) onSet(controlId);
    }
};

}  // namespace tolvar::test
