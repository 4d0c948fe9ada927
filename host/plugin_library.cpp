#include "host/plugin_library.h"

#include <new>
#include <utility>

namespace tolvar {

std::shared_ptr<PluginLibrary> PluginLibrary::Load(const std::string& path, std::string* error) {
    DynamicLibraryHandle library = OpenDynamicLibrary(path, error);
    if (!library) return nullptr;
    auto entry = reinterpret_cast<VstMainProc>(FindLibrarySymbol(library, "main"));
    if (!entry) {
        if (error) *error = path + " has no export named main";
        CloseDynamicLibrary(library);
        return nullptr;
    }
    PluginLibrary* loaded = new (std::nothrow) PluginLibrary(path, library, entry);
    if (!loaded) {
        if (error) *error = "out of memory";
        CloseDynamicLibrary(library);
        return nullptr;
    }
    return std::shared_ptr<PluginLibrary>(loaded);
}

PluginLibrary::PluginLibrary(std::string file, DynamicLibraryHandle handle, VstMainProc mainFunction)
    : path(std::move(file)), library(handle), entry(mainFunction) {}

PluginLibrary::~PluginLibrary() { CloseDynamicLibrary(library); }

void* PluginLibrary::FindSymbol(const char* name) const { return FindLibrarySymbol(library, name); }

AEffect* PluginLibrary::CallMain(AudioMasterCallback audioMaster) const { return entry(audioMaster); }

}  // namespace tolvar
