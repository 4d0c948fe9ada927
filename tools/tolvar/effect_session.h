#pragma once
// A plug-in binary loaded, set and started as a workstation does it, ready to
// filter a file's channels.
//
// Channel routing, by the file's channels (1 or 2) and the effect's inputs and
// outputs (1 or 2 each):
//   - a stereo effect hears a mono file on both inputs; its two outputs are
//     averaged back to one (for Tolvar they are equal, so the average is exact);
//   - a mono effect on a stereo file runs as two instances, one per channel;
//   - a mono output feeds every channel of the file.
// Not for real time: built and driven on one thread.
#include <memory>
#include <string>
#include <vector>

#include "host/plugin_instance.h"
#include "tools/tolvar/settings.h"

namespace tolvar::cli {

struct SessionRequest {
    std::string pluginPath;             // absolute (plugin_location.h)
    std::vector<std::string> settings;  // NAME=VALUE, as given on the command line
    double sampleRate = 48000.0;        // Hz
    int32_t blockSize = 512;            // the largest block that Process is given
    int fileChannels = 2;               // 1 or 2
    bool needIrLibrary = true;          // Tolvar: fail when its IR folder is missing
};

class EffectSession {
public:
    // Loads the binary, creates the instances, applies the settings, sets the
    // rate and block size, then switches the effect off and on so that its
    // latency is the one these settings need. Throws CliError when the binary
    // cannot be loaded, refuses the host, is not a mono or stereo effect, has a
    // setting it does not know, or is Tolvar without its IR folder.
    explicit EffectSession(const SessionRequest& request);
    ~EffectSession();
    EffectSession(const EffectSession&) = delete;
    EffectSession& operator=(const EffectSession&) = delete;

    bool DrivesTolvar() const { return drivesTolvar; }
    PluginInstance& Instance() { return *lanes.front().instance; }
    const std::vector<ResolvedSetting>& Settings() const { return settings; }
    const std::string& IrFolder() const { return irFolder; }  // Tolvar's IR folder, with a trailing separator
    int FileChannels() const { return fileChannels; }

    // The latency the effect reports now, in frames: the output lags the input by this much.
    int32_t Latency() const;

    // Things the user should know that do not stop the work (IR files that are missing).
    const std::vector<std::string>& Warnings() const { return warnings; }

    // Filters `frames` (at most the block size) frames of the file's channels.
    void Process(const float* const* input, float* const* output, int32_t frames);

private:
    struct Lane {
        std::unique_ptr<PluginInstance> instance;
        std::vector<std::vector<float>> inputs;   // one buffer per effect input
        std::vector<std::vector<float>> outputs;  // one buffer per effect output
        std::vector<float*> inputPointers;        // into inputs, as processReplacing takes them
        std::vector<float*> outputPointers;       // into outputs
    };

    static Lane MakeLane(std::unique_ptr<PluginInstance> plugin, int32_t blockSize);

    void CreateLanes(const SessionRequest& request);
    void CheckIrLibrary(const std::string& pluginPath);
    void Start(const SessionRequest& request);
    void NoteMissingIrFiles();
    float LaneOutput(const Lane& lane, int fileChannel, int32_t frame) const;

    std::vector<Lane> lanes;
    std::vector<ResolvedSetting> settings;
    std::vector<std::string> warnings;
    std::string irFolder;
    int fileChannels = 2;
    bool drivesTolvar = false;
};

// Whether the effect carries Tolvar's unique identifier.
bool IsTolvar(const AEffect* effect);

}  // namespace tolvar::cli
