#pragma once
// Temporary files that an interruption must not leave behind: Ctrl-C,
// SIGTERM or SIGHUP (on Windows Ctrl-C, Ctrl-Break or the console closing).
//
// On POSIX systems the signal handler removes the registered files and then
// ends the process by the same signal, as if it had not been caught. On
// Windows the handler runs on a thread of its own while the files are still
// open, so it only raises a flag: the render loop polls it
// (ThrowIfInterrupted) and the files go as the stack unwinds.
#include <string>

namespace tolvar::cli {

constexpr int kExitInterrupted = 130;  // as shells report an interrupted command

// mkstemp(pattern), the new file registered for removal on an interruption
// before one can come. Returns the descriptor, or -1 with errno set. A few
// files at a time are registered (the commands write at most two); beyond
// that a file is still made, only not removed on an interruption.
int CreateTemporaryFile(std::string& pattern);

// Ends that registration: before the file is renamed or removed.
void ForgetOnInterrupt(const std::string& path);

// Throws CliError(kExitInterrupted) once an interruption has been asked for
// on Windows; nothing elsewhere, where the signal has done its work already.
void ThrowIfInterrupted();

}  // namespace tolvar::cli
