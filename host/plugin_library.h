#pragma once
// A loaded plug-in binary and its VST 2 entry point `main`.
#include <memory>
#include <string>

#include "host/audio_master.h"
#include "host/dynamic_library.h"
#include "abi/vst2.h"

namespace tolvar {

using VstMainProc = AEffect*(TOLVAR_VST_CALL*)(AudioMasterCallback audioMaster);

// Holds the binary loaded for as long as it lives. Instances (plugin_instance.h)
// share ownership of their library, so it is unloaded only after the last of
// them was closed. Not tied to a thread.
class PluginLibrary {
public:
    // Loads the binary and finds its export `main`. Null, with the reason in
    // *error, when the binary does not load or has no `main`.
    static std::shared_ptr<PluginLibrary> Load(const std::string& path, std::string* error);

    ~PluginLibrary();  // unloads the binary
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const std::string& Path() const { return path; }

    // The address of another exported symbol, or null.
    void* FindSymbol(const char* name) const;

    // Calls `main` once with `audioMaster`, as a host does for every new
    // instance. Returns what main returned: the new effect, or null. Most callers
    // want PluginInstance::Create instead, which takes care of the effect.
    AEffect* CallMain(AudioMasterCallback audioMaster = StandInAudioMaster) const;

private:
    PluginLibrary(std::string file, DynamicLibraryHandle handle, VstMainProc mainFunction);

    std::string path;
    DynamicLibraryHandle library;  // owned; closed by the destructor
    VstMainProc entry;             // `main` inside library
};

}  // namespace tolvar
