#pragma once
// A file opened for reading by its path, for the built-in media source.
//
// The path is the plug-in's own form of a path: on Windows UTF-8, which is
// opened by its wide name (so a folder may have any name), elsewhere the
// system's bytes as they are. Only a regular file opens: a folder, a FIFO, a
// device or a missing file does not, and opening never waits for a writer.
// The file is read by position; it may change while it is open, so a read can
// come back short at any time.
#include <cstddef>
#include <cstdint>

namespace tolvar {

class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();  // closes the file
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // False when the path is null, not valid UTF-8 (Windows), or names no
    // regular file that can be opened for reading. Call once.
    bool Open(const char* path);

    // The file's size in bytes when it was opened.
    uint64_t Size() const { return size; }

    // Reads up to `bytes` bytes at `offset` into dest and returns how many were
    // read: fewer at the end of the file, 0 on an error or when not open.
    std::size_t ReadAt(uint64_t offset, void* dest, std::size_t bytes);

private:
    intptr_t handle = -1;  // a descriptor, or a Windows handle; -1 when not open
    uint64_t size = 0;
};

}  // namespace tolvar
