#pragma once
// The few operating-system services the plug-in uses, with a Win32 form and a
// portable form (platform_win32.cpp / platform_posix.cpp).

namespace tolvar {

// The separator written after the IR library's folder name.
#if defined(_WIN32)
constexpr char kIrFolderSeparator = '\\';
#else
constexpr char kIrFolderSeparator = '/';
#endif

// Writes the plug-in library's own file path into buffer (size bytes, always
// terminated) and returns its length in bytes: 0 when the system cannot tell,
// -1 (buffer empty) when the path does not fit, since a cut path would name
// the wrong folder. On Windows the path is UTF-8 (from the wide name), as every
// path the plug-in forms; elsewhere the system's bytes.
int GetLibraryFilePath(char* buffer, int size);

// Makes the calling thread give way to the host's threads: a thread woken by
// the audio thread must not take that thread's processor from it before it
// has finished its block. (Hosts run their audio threads at a real-time
// priority; this also covers those that do not.)
void LowerThisThreadsPriority();

// Copies at most size - 1 characters of source and always terminates dest.
// Nothing is written when dest is null or size < 1.
void BoundedCopy(char* dest, const char* source, int size);

}  // namespace tolvar
