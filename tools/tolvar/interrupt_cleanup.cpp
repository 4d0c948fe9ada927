#include "tools/tolvar/interrupt_cleanup.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

#include <atomic>
#include <csignal>
#include <cstdlib>  // mkstemp
#include <cstring>

#include "tools/tolvar/cli_error.h"

namespace tolvar::cli {
namespace {

constexpr int kSlots = 4;
constexpr std::size_t kPathBytes = 4096;

// What the handler reads: written only while the signals are held.
char registeredPaths[kSlots][kPathBytes];
volatile std::sig_atomic_t registered[kSlots];
int registeredCount = 0;

#if defined(_WIN32)

std::atomic<bool> interrupted{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    interrupted = true;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    // The console is going away and the process with it once this returns:
    // give the render loop a moment to clean up first.
    Sleep(3000);
    return FALSE;
}

void Listen(bool on) { SetConsoleCtrlHandler(OnConsoleEvent, on ? TRUE : FALSE); }

#else

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemoveFilesAndStop(int signal) {
    for (int i = 0; i < kSlots; ++i)
        if (registered[i]) unlink(registeredPaths[i]);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigaction(signal, &standard, nullptr);
    raise(signal);  // delivered, with the default action, as this handler returns
}

void Listen(bool on) {
    struct sigaction action {};
    action.sa_handler = on ? RemoveFilesAndStop : SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals) sigaddset(&action.sa_mask, signal);
    for (int signal : kSignals) {
        // A signal the user's shell ignores (nohup) stays ignored.
        struct sigaction previous {};
        sigaction(signal, nullptr, &previous);
        if (previous.sa_handler != SIG_IGN) sigaction(signal, &action, nullptr);
    }
}

#endif

}  // namespace

#if defined(_WIN32)
// Windows delivers no signal between the calls below.
class InterruptsHeld {};

void ThrowIfInterrupted() {
    if (interrupted) throw CliError("interrupted", kExitInterrupted);
}
#else
// While one lives, the interrupting signals wait.
class InterruptsHeld {
public:
    InterruptsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : kSignals) sigaddset(&held, signal);
        sigprocmask(SIG_BLOCK, &held, &saved);
    }
    ~InterruptsHeld() { sigprocmask(SIG_SETMASK, &saved, nullptr); }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    sigset_t saved;
};

void ThrowIfInterrupted() {}
#endif

int CreateTemporaryFile(std::string& pattern) {
    [[maybe_unused]] const InterruptsHeld held;  // does nothing on Windows
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0) return descriptor;
    for (int i = 0; i < kSlots; ++i) {
        if (registered[i] || pattern.size() >= kPathBytes) continue;
        std::memcpy(registeredPaths[i], pattern.c_str(), pattern.size() + 1);
        registered[i] = 1;
        if (registeredCount++ == 0) Listen(true);
        break;
    }
    return descriptor;
}

void ForgetOnInterrupt(const std::string& path) {
    [[maybe_unused]] const InterruptsHeld held;  // does nothing on Windows
    for (int i = 0; i < kSlots; ++i) {
        if (!registered[i] || path != registeredPaths[i]) continue;
        registered[i] = 0;
        if (--registeredCount == 0) Listen(false);
        return;
    }
}

}  // namespace tolvar::cli
