#pragma once
// A file that appears under its name only when it is complete: it is written
// as a hidden temporary file in the same folder (so the final rename cannot
// cross file systems) and renamed by Commit. Until then the destructor removes
// it, and so does an interruption (interrupt_cleanup.h), so neither a failure
// nor Ctrl-C leaves a partial file behind.
//
// The name must be free or a regular file that may be written (output_path.h);
// a symbolic link is written through to its file. A file that is replaced
// keeps its permissions (and, for root, its owner).
#include <string>

#include "tools/tolvar/output_path.h"

namespace tolvar::cli {

class TemporaryFileBeside {
public:
    // Checks the name and creates the temporary file. Throws CliError when the
    // name may not be written or the folder cannot be.
    explicit TemporaryFileBeside(const std::string& finalPath);
    ~TemporaryFileBeside();
    TemporaryFileBeside(const TemporaryFileBeside&) = delete;
    TemporaryFileBeside& operator=(const TemporaryFileBeside&) = delete;

    const std::string& Path() const { return temporaryPath; }
    const std::string& FinalPath() const { return finalPath; }

    // The open descriptor of the temporary file; the caller takes it over and closes it.
    int TakeDescriptor();
    // The descriptor, still owned by this object; -1 once taken.
    int Descriptor() const { return descriptor; }

    // Closes the descriptor if still owned, checks the name again and renames
    // the finished file onto it. Throws CliError on failure.
    void Commit();

private:
    void TakeOverPermissions();

    std::string finalPath;      // the name given
    OutputTarget target;        // the file written under it
    std::string temporaryPath;  // empty once committed
    int descriptor = -1;        // open until taken
};

}  // namespace tolvar::cli
