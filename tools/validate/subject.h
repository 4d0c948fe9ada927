#pragma once
// The plug-in under validation, as the tests meet it.
//
// A foreign plug-in is loaded from its own path. Our own plug-in is copied into
// a temporary workspace with an IR folder beside the copy that the validator
// fills itself, so that every response it hears can be computed independently;
// the workspace goes with the Subject.
//
// Threads: Create serialises the calls of the entry point, as hosts do; the
// rest may be used from any thread.
#include <memory>
#include <mutex>
#include <string>

#include "host/plugin_instance.h"
#include "tools/validate/ir_folder.h"

namespace tolvar::validate {

struct PluginFacts {
    int32_t numInputs = 0;
    int32_t numOutputs = 0;
    int32_t numParams = 0;
    int32_t flags = 0;
    int32_t uniqueId = 0;
    int32_t version = 0;
    std::string effectName;
    std::string vendor;
};

// The audioMaster callback the validator hands to plug-ins: the stand-in host's,
// with the heap probe paused so that the host's own allocations are never
// counted against the plug-in or refused.
intptr_t TOLVAR_VST_CALL ValidatorAudioMaster(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                              void* ptr, float opt);

class Subject {
public:
    // Loads `path` once to learn what it is. Null, with the reason, when it
    // gives no instance.
    static std::unique_ptr<Subject> Open(const std::string& path, std::string* error);
    ~Subject();

    const PluginFacts& Facts() const { return facts; }
    bool Ours() const { return irFolder != nullptr; }
    const std::string& Path() const { return path; }  // the binary the tests load
    IrFolder& OurIrFolder() { return *irFolder; }     // ours only
    const std::string& Workspace() const { return workspace; }

    std::shared_ptr<PluginLibrary> Load(std::string* error) const { return PluginLibrary::Load(path, error); }
    // One new instance of `library` (any copy), through the entry point.
    std::unique_ptr<PluginInstance> Create(const std::shared_ptr<PluginLibrary>& library, std::string* error) const;
    // Loads, creates and prepares (effOpen, rate, block size, mains on).
    std::unique_ptr<PluginInstance> CreatePrepared(double rate, int32_t maxBlock, std::string* error) const;

    // Ours only: another copy of the binary at workspace/<subfolder>/<name of
    // ours>, with an empty IR folder beside it; returns the copy's path.
    std::string NewCopy(const std::string& subfolder) const;

private:
    Subject() = default;

    PluginFacts facts;
    std::string path;
    std::string workspace;               // ours only; removed with everything in it
    std::unique_ptr<IrFolder> irFolder;  // ours only
    mutable std::mutex entryLock;        // one call of `main` at a time
};

// The plug-in's facts as its record and string opcodes give them.
PluginFacts ReadFacts(PluginInstance& instance);

}  // namespace tolvar::validate
