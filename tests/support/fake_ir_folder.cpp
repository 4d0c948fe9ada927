#include "tests/support/fake_ir_folder.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace tolvar::test {
namespace {

FakeIrFolder* current = nullptr;

// The object the plug-in sees: its first word points to the operations table.
struct FakeSource {
    void* const* table;
    FakeIrFolder* folder;
    const std::string* name;  // the key of `file` in the folder
    const FakeIrFile* file;
};

FakeSource* Self(PcmSource* source) { return reinterpret_cast<FakeSource*>(source); }

void* TOLVAR_PCM_CALL Destroy(PcmSource* source, unsigned flags) {
    FakeSource* self = Self(source);
    self->folder->NoteDestroy(self, flags);
    delete self;
    return nullptr;
}

bool TOLVAR_PCM_CALL IsAvailable(PcmSource* source) { return Self(source)->file->available; }

double TOLVAR_PCM_CALL SampleRate(PcmSource* source) {
    Self(source)->folder->NoteSampleRateQuery();
    return Self(source)->file->sampleRate;
}

double TOLVAR_PCM_CALL LengthSeconds(PcmSource* source) {
    const FakeIrFile& file = *Self(source)->file;
    if (file.lengthSeconds) return *file.lengthSeconds;
    return double(file.samples.size()) / file.sampleRate;
}

bool ZeroFromDelivered(const PcmBlock* block) {
    const std::size_t from = offsetof(PcmBlock, framesDelivered);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(block);
    return std::all_of(bytes + from, bytes + sizeof(PcmBlock), [](unsigned char b) { return b == 0; });
}

void TOLVAR_PCM_CALL GetSamples(PcmSource* source, PcmBlock* block) {
    FakeSource* self = Self(source);
    const FakeIrFile& file = *self->file;
    self->folder->NoteRequest({*self->name, block->startTime, block->sampleRate, block->channels,
                               block->framesRequested, ZeroFromDelivered(block)});
    const int written =
        std::max(0, std::min<int>(block->framesRequested, int(file.samples.size())));
    std::copy(file.samples.begin(), file.samples.begin() + written, block->samples);
    block->framesDelivered = file.overrideDelivered ? file.reportedDelivered : written;
}

void* const* OperationsTable() {
    static void* table[kPcmSlotCount] = {};
    table[kPcmSlotDestroy] = reinterpret_cast<void*>(static_cast<PcmDestroyOp>(&Destroy));
    table[kPcmSlotIsAvailable] = reinterpret_cast<void*>(static_cast<PcmIsAvailableOp>(&IsAvailable));
    table[kPcmSlotSampleRate] = reinterpret_cast<void*>(static_cast<PcmSampleRateOp>(&SampleRate));
    table[kPcmSlotLengthSeconds] =
        reinterpret_cast<void*>(static_cast<PcmLengthSecondsOp>(&LengthSeconds));
    table[kPcmSlotGetSamples] = reinterpret_cast<void*>(static_cast<PcmGetSamplesOp>(&GetSamples));
    return table;
}

PcmSource* OpenFromCurrent(const char* path) {
    return current ? static_cast<PcmSource*>(current->Open(path)) : nullptr;
}

}  // namespace

FakeIrFolder::FakeIrFolder(std::string folderPath) : folder(std::move(folderPath)) { current = this; }

FakeIrFolder::~FakeIrFolder() {
    if (current == this) current = nullptr;
}

IrLibrary FakeIrFolder::Library() const { return {folder.c_str(), &OpenFromCurrent}; }

void* FakeIrFolder::Open(const char* path) {
    std::string name = path;
    if (name.compare(0, folder.size(), folder) == 0) name.erase(0, folder.size());
    opens.push_back(name);
    openThreads.push_back(std::this_thread::get_id());
    if (!live.empty()) misuses.push_back("opened " + name + " while another source was open");
    const auto found = files.find(name);
    if (found == files.end()) return nullptr;
    FakeSource* source = new FakeSource{OperationsTable(), this, &found->first, &found->second};
    live.push_back(source);
    ++created;
    return source;
}

void FakeIrFolder::NoteDestroy(void* source, unsigned flags) {
    const auto found = std::find(live.begin(), live.end(), source);
    if (found == live.end()) {
        misuses.push_back("destroyed a source that was not open");
        return;
    }
    if (flags != 1) misuses.push_back("destroy flags " + std::to_string(flags));
    live.erase(found);
    ++destroyed;
}

}  // namespace tolvar::test
