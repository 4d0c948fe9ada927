#pragma once
// Catches the X errors of one display connection, the editor's own, before
// they reach the process's error handler (whose default ends the process).
// It hooks that connection alone: the process-wide handler, and with it every
// error on the host's connections, is never touched. The hook lives until the
// connection is closed.
//
// Xlib offers such a hook only the errors it reads while it waits for a reply;
// an error read with the events goes to the process's handler. So every batch
// of requests ends with Settle(), before the connection is read for events.
#include <X11/Xlib.h>

#include <atomic>

namespace tolvar {

class X11ErrorTrap {
public:
    // Starts catching errors on display; false when Xlib has no room for the hook.
    bool Install(Display* display);

    // Waits until the server has processed every request made so far (at
    // once when it has), so that their errors, if any, end here.
    void Settle();

    // Errors caught so far. Read after XSync to learn whether requests failed.
    unsigned long Count() const { return count.load(); }

private:
    Display* display = nullptr;
    std::atomic<unsigned long> count{0};
};

}  // namespace tolvar
