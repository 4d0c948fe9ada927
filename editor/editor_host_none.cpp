#include "plugin/editor_host.h"
#include "plugin/eq_instance.h"

namespace tolvar {

// Without a window system there is no editor: an open editor cannot exist, so
// there is never one to close first.
bool EditorAvailable() { return false; }

const ERect* EditorRect(EqInstance&) { return nullptr; }

bool OpenEditor(EqInstance& instance, void*) {
    CloseEditor(instance);
    return false;
}

void CloseEditor(EqInstance& instance) { instance.editorWindow = nullptr; }

}  // namespace tolvar
