#include "tests/editor/xvfb_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;

namespace tolvar::test {
namespace {
constexpr int kStartMs = 20000;
}

XvfbServer::XvfbServer() {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        failure = "no pipe";
        return;
    }
    // The server writes its display number to descriptor 3 once it accepts clients.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>("Xvfb"), const_cast<char*>("-displayfd"), const_cast<char*>("3"),
                    const_cast<char*>("-screen"), const_cast<char*>("0"), const_cast<char*>("1280x1024x24"),
                    const_cast<char*>("-nolisten"), const_cast<char*>("tcp"), const_cast<char*>("-terminate"),
                    nullptr};
    const int spawned = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ready[1]);
    if (spawned != 0) {
        pid = -1;
        failure = "cannot start Xvfb (is the xvfb package installed?)";
        close(ready[0]);
        return;
    }
    std::string number;
    pollfd wait = {ready[0], POLLIN, 0};
    char c = 0;
    while (poll(&wait, 1, kStartMs) > 0 && read(ready[0], &c, 1) == 1 && c != '\n') number += c;
    close(ready[0]);
    if (number.empty()) {
        failure = "Xvfb did not report its display";
        return;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    keeper = XOpenDisplay(nullptr);
    if (!keeper) failure = "cannot connect to Xvfb";
}

XvfbServer::~XvfbServer() {
    if (keeper) XCloseDisplay(keeper);
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

}  // namespace tolvar::test
