#include "tools/validate/subject.h"

#include <chrono>
#include <filesystem>
#include <random>

#include "params/plugin_identity.h"
#include "tools/validate/heap_probe.h"

namespace tolvar::validate {
namespace {

std::string NewWorkspace() {
    std::mt19937_64 random(static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
        const std::filesystem::path folder = base / ("tolvar-validate-" + std::to_string(random() % 100000000));
        if (std::filesystem::create_directory(folder)) return folder.string();
    }
}

}  // namespace

intptr_t TOLVAR_VST_CALL ValidatorAudioMaster(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                              void* ptr, float opt) {
    const HeapPause hostWork;
    return StandInAudioMaster(effect, opcode, index, value, ptr, opt);
}

PluginFacts ReadFacts(PluginInstance& instance) {
    PluginFacts facts;
    const AEffect* effect = instance.Effect();
    facts.numInputs = effect->numInputs;
    facts.numOutputs = effect->numOutputs;
    facts.numParams = effect->numParams;
    facts.flags = effect->flags;
    facts.uniqueId = effect->uniqueID;
    facts.version = effect->version;
    facts.effectName = instance.EffectName();
    facts.vendor = instance.VendorString();
    return facts;
}

std::unique_ptr<Subject> Subject::Open(const std::string& path, std::string* error) {
    std::unique_ptr<Subject> subject(new Subject());
    subject->path = path;
    {
        auto library = subject->Load(error);
        if (!library) return nullptr;
        auto instance = subject->Create(library, error);
        if (!instance) return nullptr;
        instance->Open();
        subject->facts = ReadFacts(*instance);
    }
    if (subject->facts.uniqueId != kUniqueId || subject->facts.effectName != kEffectName) return subject;

    subject->workspace = NewWorkspace();
    const std::filesystem::path copy =
        std::filesystem::path(subject->workspace) / "plugin" / std::filesystem::path(path).filename();
    std::filesystem::create_directories(copy.parent_path());
    std::filesystem::copy_file(path, copy);
    subject->path = copy.string();
    subject->irFolder = std::make_unique<IrFolder>(IrFolderBeside(copy.string()));
    return subject;
}

Subject::~Subject() {
    if (workspace.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(workspace, ignored);
}

std::unique_ptr<PluginInstance> Subject::Create(const std::shared_ptr<PluginLibrary>& library,
                                                std::string* error) const {
    const std::lock_guard oneAtATime(entryLock);
    return PluginInstance::Create(library, error, &ValidatorAudioMaster);
}

std::unique_ptr<PluginInstance> Subject::CreatePrepared(double rate, int32_t maxBlock, std::string* error) const {
    auto library = Load(error);
    if (!library) return nullptr;
    auto instance = Create(library, error);
    if (instance) instance->Prepare(rate, maxBlock);
    return instance;
}

std::string Subject::NewCopy(const std::string& subfolder) const {
    const std::filesystem::path folder = std::filesystem::path(workspace) / subfolder;
    const std::filesystem::path copy = folder / std::filesystem::path(path).filename();
    std::filesystem::create_directories(IrFolderBeside(copy.string()));
    std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
    return copy.string();
}

}  // namespace tolvar::validate
