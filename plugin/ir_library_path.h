#pragma once
// Where the impulse-response files live: the IR library's folder
// (kIrFolderName) beside the plug-in library, with a separator at the end so a
// file name can be appended directly.
// On Windows the path is UTF-8, and its 1024 bytes are counted in that form.
namespace tolvar {

constexpr int kIrLibraryPathBytes = 1024;

// Cuts modulePath after its last '\' or '/' (either counts) and appends
// kIrFolderName followed by separator. A path without a separator gives the
// relative folder alone. Returns false, leaving out empty, when the result does
// not fit in outBytes bytes with its terminator.
bool BuildIrLibraryPath(const char* modulePath, char separator, char* out, int outBytes);

// The process-wide path, built on the first call that finds it empty: from the
// library's own file path, or relative when the system cannot tell that path.
// Returns null (and leaves the path empty) when the library's folder is too long
// to hold the IR folder's name, so that no instance reads from a wrong folder;
// a long file name does not matter as long as its folder fits.
const char* EnsureIrLibraryPath();

// The process-wide path as it stands (empty until built).
const char* IrLibraryPath();

}  // namespace tolvar
