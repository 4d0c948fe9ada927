#pragma once
// The plug-in binary as a host meets it: a fresh copy of tolvar.so (tolvar.dll)
// in a temporary folder, with the IR library's folder beside it filled by
// the test. Each copy is a separate library with its own process-wide state, so
// every test starts as a freshly started host would.
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "composer/ir_library_layout.h"
#include "host/plugin_instance.h"
#include "tests/support/signals.h"
#include "tests/support/test_files.h"

namespace tolvar::test {

#if defined(_WIN32)
constexpr char kPluginFileSuffix[] = ".dll";
#else
constexpr char kPluginFileSuffix[] = ".so";
#endif

class LoadedPluginFolder {
public:
    // `subfolder` places the copy deeper inside the temporary folder; `fileName`
    // names the copy. Both are UTF-8.
    explicit LoadedPluginFolder(const std::string& subfolder = "",
                                const std::string& fileName = std::string("tolvar") + kPluginFileSuffix);

    // Paths in the system's own form (UTF-8 on Windows), as the plug-in sees them.
    const std::string& PluginPath() const { return pluginPath; }
    std::string IrPath(const std::string& fileName) const { return irFolder + kSeparator + fileName; }

    // Writes a mono 32-bit float WAV into the IR folder.
    void PutIr(const std::string& fileName, const std::vector<double>& samples, int rate = 44100) const;

    std::shared_ptr<PluginLibrary> Load() const;
    std::unique_ptr<PluginInstance> Create() const;

private:
    static constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

    test::TempDir dir;
    std::string pluginPath;
    std::string irFolder;
};

// Values exactly representable as floats, so a float WAV file holds them exactly.
std::vector<double> FloatResponse(int length, unsigned seed);

// Runs `input` (mono, fed to both channels) through the instance and returns
// the left output.
std::vector<float> ProcessMono(PluginInstance& plugin, const std::vector<float>& input,
                               const std::vector<int32_t>& blockSizes);

}  // namespace tolvar::test
