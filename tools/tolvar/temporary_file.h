#pragma once
// A file that appears under its name only when it is complete: it is written
// as a hidden temporary file in the same folder (so the final rename cannot
// cross file systems) and renamed by Commit. Until then the destructor removes
// it, so a failure never leaves a partial file under the name.
#include <string>

namespace tolvar::cli {

class TemporaryFileBeside {
public:
    // Creates the temporary file. Throws CliError when the folder cannot be written.
    explicit TemporaryFileBeside(const std::string& finalPath);
    ~TemporaryFileBeside();
    TemporaryFileBeside(const TemporaryFileBeside&) = delete;
    TemporaryFileBeside& operator=(const TemporaryFileBeside&) = delete;

    const std::string& path() const { return temporaryPath_; }
    const std::string& finalPath() const { return finalPath_; }

    // The open descriptor of the temporary file; the caller takes it over and closes it.
    int TakeDescriptor();
    // The descriptor, still owned by this object; -1 once taken.
    int descriptor() const { return descriptor_; }

    // Closes the descriptor if still owned and renames the finished file onto
    // the final path, replacing any file there. Throws CliError on failure.
    void Commit();

private:
    std::string finalPath_;
    std::string temporaryPath_;  // empty once committed
    int descriptor_ = -1;        // open until taken
};

}  // namespace tolvar::cli
