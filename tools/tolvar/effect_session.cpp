#include "tools/tolvar/effect_session.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "composer/ir_library_layout.h"
#include "host/audio_master.h"
#include "host/source_registry.h"
#include "params/plugin_identity.h"
#include "tools/tolvar/choice_words.h"
#include "tools/tolvar/cli_error.h"

namespace tolvar::cli {
namespace {

namespace fs = std::filesystem;

std::size_t InstancesFor(const AEffect& effect, int fileChannels) {
    return effect.numInputs == 1 && fileChannels == 2 ? 2 : 1;
}

std::unique_ptr<PluginInstance> NewInstance(const std::shared_ptr<PluginLibrary>& library, const std::string& path) {
    std::string error;
    std::unique_ptr<PluginInstance> plugin = PluginInstance::Create(library, &error);
    if (!plugin) throw CliError("the plug-in refused the host: " + error);
    const AEffect& effect = *plugin->Effect();
    const bool monoOrStereo =
        effect.numInputs >= 1 && effect.numInputs <= 2 && effect.numOutputs >= 1 && effect.numOutputs <= 2;
    if (!monoOrStereo)
        throw CliError(path + " is not a mono or stereo effect (" + std::to_string(effect.numInputs) + " inputs, " +
                       std::to_string(effect.numOutputs) + " outputs)");
    if (!effect.processReplacing) throw CliError(path + " has no processReplacing callback");
    return plugin;
}

}  // namespace

EffectSession::Lane EffectSession::MakeLane(std::unique_ptr<PluginInstance> plugin, int32_t blockSize) {
    Lane lane;
    const auto frames = static_cast<std::size_t>(blockSize);
    lane.inputs.assign(static_cast<std::size_t>(plugin->Effect()->numInputs), std::vector<float>(frames));
    lane.outputs.assign(static_cast<std::size_t>(plugin->Effect()->numOutputs), std::vector<float>(frames));
    for (std::vector<float>& buffer : lane.inputs) lane.inputPointers.push_back(buffer.data());
    for (std::vector<float>& buffer : lane.outputs) lane.outputPointers.push_back(buffer.data());
    lane.instance = std::move(plugin);
    return lane;
}

bool IsTolvar(const AEffect* effect) { return effect && effect->uniqueID == kUniqueId; }

EffectSession::EffectSession(const SessionRequest& request) : fileChannels(request.fileChannels) {
    CreateLanes(request);
    drivesTolvar = IsTolvar(Instance().Effect());
    if (drivesTolvar) {
        irFolder = (fs::path(request.pluginPath).parent_path() / kIrFolderName / "").string();
        if (request.needIrLibrary) CheckIrLibrary(request.pluginPath);
        settings = ResolveTolvarSettings(request.settings);
        for (const ResolvedSetting& setting : settings)
            if (IsInertSwitch(setting.index)) warnings.push_back(setting.name + " " + kInertSwitchNote);
    } else {
        settings = ResolveForeignSettings(Instance(), request.settings);
    }
    Start(request);
}

EffectSession::~EffectSession() {
    for (Lane& lane : lanes) {
        lane.instance->Dispatch(effStopProcess);
        lane.instance->SetMains(false);
    }
}

void EffectSession::CreateLanes(const SessionRequest& request) {
    std::string error;
    std::shared_ptr<PluginLibrary> library = PluginLibrary::Load(request.pluginPath, &error);
    if (!library) throw CliError("cannot load the plug-in: " + error);
    lanes.push_back(MakeLane(NewInstance(library, request.pluginPath), request.blockSize));
    const std::size_t count = InstancesFor(*Instance().Effect(), request.fileChannels);
    while (lanes.size() < count) lanes.push_back(MakeLane(NewInstance(library, request.pluginPath), request.blockSize));
}

void EffectSession::CheckIrLibrary(const std::string& pluginPath) {
    std::error_code error;
    if (!fs::is_directory(irFolder, error))
        throw CliError("the IR library is missing: looked for the folder " + irFolder + " beside " + pluginPath);
}

// As a workstation does: switch the effect on, apply the settings as
// automation, then restart it (off and on) so that the latency it reports is
// what these settings need rather than the largest seen on the way there.
void EffectSession::Start(const SessionRequest& request) {
    for (Lane& lane : lanes) {
        PluginInstance& plugin = *lane.instance;
        plugin.Open();
        plugin.SetProcessLevel(kVstProcessLevelOffline);  // a render: every change lands where it is made
        ClearOpenedMediaPaths();  // every composition clears it first: the last one's files remain
        plugin.SetSampleRate(request.sampleRate);
        plugin.SetBlockSize(request.blockSize);
        plugin.SetMains(true);
        for (const ResolvedSetting& setting : settings) {
            ClearOpenedMediaPaths();
            plugin.SetParameter(setting.index, setting.normalized);
        }
        if (drivesTolvar && &lane == &lanes.front()) NoteMissingIrFiles();
        plugin.SetMains(false);
        plugin.SetMains(true);
        plugin.Dispatch(effStartProcess);  // effects that do not need it ignore it
    }
}

void EffectSession::NoteMissingIrFiles() {
    for (const std::string& path : OpenedMediaPaths()) {
        std::error_code error;
        if (fs::is_regular_file(path, error)) continue;
        const bool hiQ = IsHiQFileName(path);
        warnings.push_back("the IR library has no " + path +
                           (hiQ ? ": the band uses its standard file" : ": that section is left out"));
    }
}

int32_t EffectSession::Latency() const {
    int32_t latency = 0;
    for (const Lane& lane : lanes) latency = std::max(latency, lane.instance->InitialDelay());
    return latency;
}

float EffectSession::LaneOutput(const Lane& lane, int fileChannel, int32_t frame) const {
    const auto n = static_cast<std::size_t>(frame);
    if (lane.outputs.size() == 1) return lane.outputs[0][n];
    if (fileChannels == 2 && lanes.size() == 1) return lane.outputs[static_cast<std::size_t>(fileChannel)][n];
    return 0.5f * (lane.outputs[0][n] + lane.outputs[1][n]);
}

void EffectSession::Process(const float* const* input, float* const* output, int32_t frames) {
    const auto count = static_cast<std::size_t>(frames);
    for (std::size_t l = 0; l < lanes.size(); ++l) {
        Lane& lane = lanes[l];
        for (std::size_t i = 0; i < lane.inputs.size(); ++i) {
            const std::size_t source =
                lanes.size() == 2 ? l : std::min<std::size_t>(i, static_cast<std::size_t>(fileChannels - 1));
            std::copy_n(input[source], count, lane.inputs[i].begin());
        }
        lane.instance->ProcessBlock(lane.inputPointers.data(), lane.outputPointers.data(), frames);
    }
    for (int c = 0; c < fileChannels; ++c) {
        const Lane& lane = lanes[lanes.size() == 2 ? static_cast<std::size_t>(c) : 0];
        for (int32_t n = 0; n < frames; ++n) output[c][n] = LaneOutput(lane, c, n);
    }
}

}  // namespace tolvar::cli
