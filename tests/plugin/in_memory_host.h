#pragma once
// An in-process stand-in for the host's services, for tests that drive an
// instance directly: an audioMaster callback that offers the host functions,
// and media sources served from impulse responses held in memory, keyed by file
// name (the folder part of the requested path is ignored).
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "plugin/vst2.h"

namespace tolvar::testing {

struct InMemoryFile {
    double sampleRate = 96000.0;
    std::vector<double> samples;
};

class InMemoryIrFiles {
public:
    static InMemoryIrFiles& Instance();

    void Clear();
    void Put(const std::string& fileName, InMemoryFile file);
    // File names opened since the last Clear, in order.
    std::vector<std::string> Opened();
    int SourcesAlive();

    // Serves PCM_Source_CreateFromFile.
    void* Open(const char* path);
    void SourceDestroyed();

private:
    std::mutex mutex;
    std::map<std::string, InMemoryFile> files;
    std::vector<std::string> opened;
    int alive = 0;
};

// An audioMaster that offers DB2SLIDER, SLIDER2DB and PCM_Source_CreateFromFile
// (served by InMemoryIrFiles) and nothing else.
intptr_t TOLVAR_VST_CALL InMemoryAudioMaster(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                             void* ptr, float opt);

}  // namespace tolvar::testing
