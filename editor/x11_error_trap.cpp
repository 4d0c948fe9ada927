#include "editor/x11_error_trap.h"

#include <X11/Xlibint.h>

#include <cstdlib>

namespace tolvar {
namespace {

using ErrorCount = std::atomic<unsigned long>;

// Every error of a connection passes its extensions' error hooks before the
// process's handler; one that answers True ends it there. The count sits on
// the connection's own extension data, so no table of traps is needed.
int CatchError(Display* display, xError*, XExtCodes* codes, int* result) {
    XEDataObject object;
    object.display = display;
    if (XExtData* data = XFindOnExtensionList(XEHeadOfExtensionList(object), codes->extension)) {
        reinterpret_cast<ErrorCount*>(data->private_data)->fetch_add(1);
    }
    *result = 0;
    return True;
}

// The count belongs to the trap; Xlib frees only the record that points to it.
int KeepCount(XExtData*) { return 0; }

}  // namespace

bool X11ErrorTrap::Install(Display* connection) {
    display = connection;
    XExtCodes* codes = XAddExtension(display);
    if (!codes) return false;
    // Xlib frees the record with the connection.
    auto* data = static_cast<XExtData*>(std::calloc(1, sizeof(XExtData)));
    if (!data) return false;
    data->number = codes->extension;
    data->private_data = reinterpret_cast<XPointer>(&count);
    data->free_private = KeepCount;
    XEDataObject object;
    object.display = display;
    XAddToExtensionList(XEHeadOfExtensionList(object), data);
    XESetError(display, codes->extension, CatchError);
    return true;
}

void X11ErrorTrap::Settle() {
    if (display && NextRequest(display) - 1 > LastKnownRequestProcessed(display)) XSync(display, False);
}

}  // namespace tolvar
