#pragma once
// Where a command may put a file it writes. Checked before any work is done,
// so that a refusal costs nothing and touches nothing, and again just before
// the finished file takes the name.
#include <string>

namespace tolvar::cli {

// The file a command creates or replaces: the name given, or the regular file
// a symbolic link of that name points to (the link stays and the file behind
// it is written, as a shell's > would).
struct OutputTarget {
    std::string path;
    bool exists = false;  // a regular file is there now and is replaced
};

// Throws CliError when `name` is there but is not a regular file (a folder, a
// device, a FIFO, a socket, a symbolic link to one of those or to nothing),
// or is a file that may not be written (read-only).
OutputTarget CheckOutputTarget(const std::string& name);

// Throws a usage CliError when `output` is the file `input` names, under
// whatever name (a link, another spelling of the path).
void RefuseSameFile(const std::string& input, const std::string& output);

}  // namespace tolvar::cli
