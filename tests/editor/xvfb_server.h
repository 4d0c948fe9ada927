#pragma once
// A private X server for one test program: Xvfb on a display number it picks
// itself (-displayfd), so that test programs running side by side never share
// a pointer, a keyboard or a root window, and a developer's desktop is never
// touched. DISPLAY names it while it runs. It ends with its last client, so
// that a test program that dies leaves no server behind.
#include <X11/Xlib.h>
#include <sys/types.h>

#include <string>

namespace tolvar::test {

class XvfbServer {
public:
    XvfbServer();   // starts it (a screen of 1280 x 1024 at 24 bits) and sets DISPLAY
    ~XvfbServer();  // stops it
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Empty when it runs, else why not.
    const std::string& Failure() const { return failure; }

private:
    pid_t pid = -1;
    Display* keeper = nullptr;  // holds the server up between the tests' own clients
    std::string failure;
};

}  // namespace tolvar::test
