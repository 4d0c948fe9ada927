#include "tests/plugin/in_memory_host.h"

#include <algorithm>
#include <cstring>

#include "plugin/host_services/pcm_source.h"

namespace tolvar::testing {
namespace {

struct MemorySource {
    void* const* operations;
    InMemoryFile file;
};

MemorySource* Self(PcmSource* source) { return reinterpret_cast<MemorySource*>(source); }

void* Destroy(PcmSource* source, unsigned) {
    delete Self(source);
    InMemoryIrFiles::Instance().SourceDestroyed();
    return nullptr;
}
bool IsAvailable(PcmSource*) { return true; }
double SampleRate(PcmSource* source) { return Self(source)->file.sampleRate; }
double LengthSeconds(PcmSource* source) {
    return static_cast<double>(Self(source)->file.samples.size()) / Self(source)->file.sampleRate;
}
// The files are served at their own rate only; tests that need another rate use the real host.
void GetSamples(PcmSource* source, PcmBlock* block) {
    const std::vector<double>& samples = Self(source)->file.samples;
    const int count = std::min<int>(block->framesRequested, static_cast<int>(samples.size()));
    std::copy(samples.begin(), samples.begin() + count, block->samples);
    block->framesDelivered = count;
}

void* const* OperationsTable() {
    static void* table[kPcmSlotCount] = {};
    table[kPcmSlotDestroy] = reinterpret_cast<void*>(static_cast<PcmDestroyOp>(&Destroy));
    table[kPcmSlotIsAvailable] = reinterpret_cast<void*>(static_cast<PcmIsAvailableOp>(&IsAvailable));
    table[kPcmSlotSampleRate] = reinterpret_cast<void*>(static_cast<PcmSampleRateOp>(&SampleRate));
    table[kPcmSlotLengthSeconds] = reinterpret_cast<void*>(static_cast<PcmLengthSecondsOp>(&LengthSeconds));
    table[kPcmSlotGetSamples] = reinterpret_cast<void*>(static_cast<PcmGetSamplesOp>(&GetSamples));
    return table;
}

std::string FileNameOf(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p) {
        if (*p == '/' || *p == '\\') name = p + 1;
    }
    return name;
}

PcmSource* CreateFromFile(const char* path) {
    return static_cast<PcmSource*>(InMemoryIrFiles::Instance().Open(path));
}

double Identity(double value) { return value; }

}  // namespace

InMemoryIrFiles& InMemoryIrFiles::Instance() {
    static InMemoryIrFiles files;
    return files;
}

void InMemoryIrFiles::Clear() {
    std::lock_guard<std::mutex> hold(mutex);
    files.clear();
    opened.clear();
}

void InMemoryIrFiles::Put(const std::string& fileName, InMemoryFile file) {
    std::lock_guard<std::mutex> hold(mutex);
    files[fileName] = std::move(file);
}

std::vector<std::string> InMemoryIrFiles::Opened() {
    std::lock_guard<std::mutex> hold(mutex);
    return opened;
}

int InMemoryIrFiles::SourcesAlive() {
    std::lock_guard<std::mutex> hold(mutex);
    return alive;
}

void* InMemoryIrFiles::Open(const char* path) {
    std::lock_guard<std::mutex> hold(mutex);
    const std::string name = FileNameOf(path);
    opened.push_back(name);
    auto found = files.find(name);
    if (found == files.end()) return nullptr;
    ++alive;
    return new MemorySource{OperationsTable(), found->second};
}

void InMemoryIrFiles::SourceDestroyed() {
    std::lock_guard<std::mutex> hold(mutex);
    --alive;
}

intptr_t TOLVAR_VST_CALL InMemoryAudioMaster(AEffect*, int32_t opcode, int32_t index, intptr_t, void* ptr, float) {
    if (opcode != kHostFunctionLookupOpcode || index != kHostFunctionLookupIndex || !ptr) return 0;
    const char* name = static_cast<const char*>(ptr);
    if (std::strcmp(name, "DB2SLIDER") == 0 || std::strcmp(name, "SLIDER2DB") == 0) {
        return reinterpret_cast<intptr_t>(&Identity);
    }
    if (std::strcmp(name, "PCM_Source_CreateFromFile") == 0) return reinterpret_cast<intptr_t>(&CreateFromFile);
    return 0;
}

}  // namespace tolvar::testing
