#include "host/media_source.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <new>
#include <type_traits>
#include <utility>

#include "host/audio_file.h"
#include "host/host_misuse.h"
#include "host/resample.h"
#include "host/source_registry.h"

namespace tolvar {
namespace {

constexpr double kSameRateTolerance = 1e-9;  // relative

struct MediaSource {
    void* const* operations;                // must stay first: callers read it as the object's first word
    MonoAudio audio;                        // the decoded file
    double convertedRate;                   // rate of `converted`; 0 while it holds nothing
    std::vector<double> converted;          // the file at convertedRate
};
static_assert(std::is_standard_layout_v<MediaSource>);

PcmSource* AsPcmSource(MediaSource* source) { return reinterpret_cast<PcmSource*>(source); }

[[noreturn]] void ReportSlotMisuse(int slot, const char* what) {
    char message[160];
    std::snprintf(message, sizeof message, "PcmSource slot %d %s", slot, what);
    ReportHostMisuse(message);
}

MediaSource& LiveSource(PcmSource* self, int slot) {
    if (!self || !IsLiveMediaSource(self))
        ReportSlotMisuse(slot, "called on an object that is not a live source (destroyed already, or not ours)");
    return *reinterpret_cast<MediaSource*>(self);
}

// --- the operations -------------------------------------------------------

void* TOLVAR_PCM_CALL Destroy(PcmSource* self, unsigned flags) {
    if (flags != 1) ReportSlotMisuse(kPcmSlotDestroy, "(destroy) called with flags other than 1");
    if (!self || !UnregisterLiveMediaSource(self))
        ReportSlotMisuse(kPcmSlotDestroy, "(destroy) called on an object that is not a live source");
    delete reinterpret_cast<MediaSource*>(self);
    return nullptr;
}

bool TOLVAR_PCM_CALL IsAvailable(PcmSource* self) { return LiveSource(self, kPcmSlotIsAvailable).audio.decoded; }

double TOLVAR_PCM_CALL SampleRate(PcmSource* self) { return LiveSource(self, kPcmSlotSampleRate).audio.sampleRate; }

double TOLVAR_PCM_CALL LengthSeconds(PcmSource* self) {
    const MonoAudio& audio = LiveSource(self, kPcmSlotLengthSeconds).audio;
    return audio.decoded ? static_cast<double>(audio.samples.size()) / audio.sampleRate : 0.0;
}

void TOLVAR_PCM_CALL GetSamples(PcmSource* self, PcmBlock* block);

template <std::size_t Slot>
void TOLVAR_PCM_CALL UnservedSlot(PcmSource* /*self*/) {
    ReportSlotMisuse(static_cast<int>(Slot), "is not served by the stand-in host");
}

static_assert(std::is_same_v<decltype(&Destroy), PcmDestroyOp>);
static_assert(std::is_same_v<decltype(&IsAvailable), PcmIsAvailableOp>);
static_assert(std::is_same_v<decltype(&SampleRate), PcmSampleRateOp>);
static_assert(std::is_same_v<decltype(&LengthSeconds), PcmLengthSecondsOp>);
static_assert(std::is_same_v<decltype(&GetSamples), PcmGetSamplesOp>);
static_assert(kMediaSourceTableSize >= kPcmSlotCount);

using OperationsTable = std::array<void*, kMediaSourceTableSize>;

template <std::size_t... Slots>
OperationsTable MakeOperationsTable(std::index_sequence<Slots...>) {
    OperationsTable table{reinterpret_cast<void*>(&UnservedSlot<Slots>)...};
    table[kPcmSlotDestroy] = reinterpret_cast<void*>(&Destroy);
    table[kPcmSlotIsAvailable] = reinterpret_cast<void*>(&IsAvailable);
    table[kPcmSlotSampleRate] = reinterpret_cast<void*>(&SampleRate);
    table[kPcmSlotLengthSeconds] = reinterpret_cast<void*>(&LengthSeconds);
    table[kPcmSlotGetSamples] = reinterpret_cast<void*>(&GetSamples);
    return table;
}

const OperationsTable& Operations() {
    static const OperationsTable table = MakeOperationsTable(std::make_index_sequence<kMediaSourceTableSize>());
    return table;
}

// --- getSamples -----------------------------------------------------------

bool UsableRate(double rate) { return std::isfinite(rate) && rate > 0.0; }

// The file at `rate`, or null when it cannot be had at that rate.
const std::vector<double>* SamplesAtRate(MediaSource& source, double rate) {
    const MonoAudio& audio = source.audio;
    if (!audio.decoded || !UsableRate(rate)) return nullptr;
    if (std::abs(rate - audio.sampleRate) <= kSameRateTolerance * audio.sampleRate) return &audio.samples;
    if (audio.samples.empty()) return &audio.samples;
    if (source.convertedRate != rate) {
        source.converted = ResampleMono(audio.samples, audio.sampleRate, rate);
        source.convertedRate = source.converted.empty() ? 0.0 : rate;
        if (source.converted.empty()) return nullptr;
    }
    return &source.converted;
}

// The first frame to deliver, or -1 when startTime cannot be served.
int64_t StartFrame(double startTime, double rate) {
    if (!std::isfinite(startTime) || startTime < 0.0) return -1;
    const double frame = std::round(startTime * rate);
    return frame < 9.0e18 ? static_cast<int64_t>(frame) : -1;
}

void Deliver(const std::vector<double>& samples, int64_t first, PcmBlock& block) {
    const int64_t left = static_cast<int64_t>(samples.size()) - first;
    const int64_t count = std::min<int64_t>(block.framesRequested, left);
    double* out = block.samples;
    for (int64_t frame = 0; frame < count; ++frame) {
        const double value = samples[static_cast<std::size_t>(first + frame)];
        for (int32_t channel = 0; channel < block.channels; ++channel) *out++ = value;
    }
    block.framesDelivered = static_cast<int32_t>(count);
}

void TOLVAR_PCM_CALL GetSamples(PcmSource* self, PcmBlock* block) {
    MediaSource& source = LiveSource(self, kPcmSlotGetSamples);
    if (!block) return;
    block->framesDelivered = 0;
    if (!block->samples || block->framesRequested <= 0 || block->channels <= 0) return;
    const uint64_t values = static_cast<uint64_t>(block->framesRequested) * static_cast<uint64_t>(block->channels);
    if (values > SIZE_MAX / sizeof(double)) return;  // no such buffer can exist here
    std::fill_n(block->samples, static_cast<std::size_t>(values), 0.0);

    const std::vector<double>* samples = SamplesAtRate(source, block->sampleRate);
    if (!samples) return;
    const int64_t first = StartFrame(block->startTime, block->sampleRate);
    if (first < 0 || first >= static_cast<int64_t>(samples->size())) return;
    Deliver(*samples, first, *block);
}

}  // namespace

PcmSource* CreateMediaSource(const char* path) {
    if (!path) return nullptr;
    RecordOpenedMediaPath(path);
    MediaSource* source = new (std::nothrow) MediaSource{Operations().data(), {}, 0.0, {}};
    if (!source) return nullptr;
    source->audio = DecodeMonoAudioFile(path);
    if (!RegisterLiveMediaSource(source)) {
        delete source;
        return nullptr;
    }
    return AsPcmSource(source);
}

}  // namespace tolvar
