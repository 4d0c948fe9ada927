#include "plugin/media/builtin_source.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <new>
#include <type_traits>

#include "buffers/heap_buffer.h"
#include "composer/filter_resampler.h"
#include "plugin/media/wav_frames.h"
#include "plugin/media/wav_layout.h"
#include "plugin/platform/read_only_file.h"

namespace tolvar {
namespace {

constexpr double kSameRateTolerance = 1e-9;  // relative
constexpr int kGranularity = 64;
constexpr int64_t kMaxBufferDoubles = (INT_MAX - kGranularity) / int{sizeof(double)};

struct BuiltinSource {
    void* const* operations;  // first: callers find the table through the object's first word
    ReadOnlyFile file;
    WavLayout layout;
    bool available = false;
};
static_assert(std::is_standard_layout_v<BuiltinSource>);

BuiltinSource& Self(PcmSource* self) { return *reinterpret_cast<BuiltinSource*>(self); }

void* TOLVAR_PCM_CALL Destroy(PcmSource* self, unsigned) {
    delete &Self(self);
    return nullptr;
}

bool TOLVAR_PCM_CALL IsAvailable(PcmSource* self) { return Self(self).available; }

double TOLVAR_PCM_CALL SampleRate(PcmSource* self) {
    const BuiltinSource& source = Self(self);
    return source.available ? source.layout.sampleRate : 0.0;
}

double TOLVAR_PCM_CALL LengthSeconds(PcmSource* self) {
    const BuiltinSource& source = Self(self);
    return source.available ? static_cast<double>(source.layout.frames) / source.layout.sampleRate : 0.0;
}

// Frames first .. first + count - 1 of the file converted to `rate`, into
// out; returns how many there are.
int DeliverConverted(BuiltinSource& source, double rate, int64_t first, int count, double* out) {
    const double fileRate = source.layout.sampleRate;
    // The input frames whose kernels reach the last output frame asked for.
    const double reach = std::ceil((static_cast<double>(first) + count + kResamplerHalfWidth) * fileRate / rate) + 1.0;
    const double available = static_cast<double>(source.layout.frames);
    const double needed = std::min(reach, available);
    if (!(needed >= 1.0 && needed <= static_cast<double>(kMaxBufferDoubles))) return 0;

    HeapBuffer input(kGranularity);
    auto* samples = static_cast<double*>(input.Resize(static_cast<int>(needed) * int{sizeof(double)}, false));
    if (!samples) return 0;
    const int64_t read = ReadFoldedFrames(source.file, source.layout, 0, static_cast<int64_t>(needed), samples);
    if (read < 1) return 0;
    HeapBuffer converted(kGranularity);
    int delay = 0;
    if (!ResampleFilter(samples, static_cast<int>(read), fileRate, rate, converted, &delay)) return 0;
    // From time zero: the ringing before it has no place in a file.
    const float* fromZero = converted.As<float>() + delay;
    const int64_t length = converted.Count<float>() - delay;
    if (first >= length) return 0;
    const int delivered = static_cast<int>(std::min<int64_t>(count, length - first));
    for (int i = 0; i < delivered; ++i) out[i] = fromZero[first + i];
    return delivered;
}

// The requested frames of the folded file into the block's first values.
int DeliverFolded(BuiltinSource& source, const PcmBlock& block) {
    const double rate = block.sampleRate;
    if (!source.available || !(rate > 0.0 && std::isfinite(rate))) return 0;
    if (!(block.startTime >= 0.0 && std::isfinite(block.startTime))) return 0;
    const double start = std::round(block.startTime * rate);
    if (!(start < 9.0e18)) return 0;
    const auto first = static_cast<int64_t>(start);
    const double fileRate = source.layout.sampleRate;
    if (std::fabs(rate - fileRate) > kSameRateTolerance * fileRate)
        return DeliverConverted(source, rate, first, block.framesRequested, block.samples);
    return static_cast<int>(ReadFoldedFrames(source.file, source.layout, static_cast<uint64_t>(first),
                                             block.framesRequested, block.samples));
}

// Spreads the first `frames` values over every channel, interleaved, in place.
void SpreadOverChannels(double* values, int frames, int channels) {
    if (channels == 1) return;
    for (int frame = frames - 1; frame >= 0; --frame) {
        const double value = values[frame];
        for (int c = 0; c < channels; ++c) values[static_cast<std::size_t>(frame) * channels + c] = value;
    }
}

void TOLVAR_PCM_CALL GetSamples(PcmSource* self, PcmBlock* block) {
    if (!block) return;
    block->framesDelivered = 0;
    if (!block->samples || block->framesRequested <= 0 || block->channels <= 0) return;
    const uint64_t values = static_cast<uint64_t>(block->framesRequested) * static_cast<uint64_t>(block->channels);
    if (values > SIZE_MAX / sizeof(double)) return;  // no such buffer can exist
    std::fill_n(block->samples, static_cast<std::size_t>(values), 0.0);
    const int delivered = DeliverFolded(Self(self), *block);
    SpreadOverChannels(block->samples, delivered, block->channels);
    block->framesDelivered = delivered;
}

static_assert(std::is_same_v<decltype(&Destroy), PcmDestroyOp>);
static_assert(std::is_same_v<decltype(&IsAvailable), PcmIsAvailableOp>);
static_assert(std::is_same_v<decltype(&SampleRate), PcmSampleRateOp>);
static_assert(std::is_same_v<decltype(&LengthSeconds), PcmLengthSecondsOp>);
static_assert(std::is_same_v<decltype(&GetSamples), PcmGetSamplesOp>);

void* const* Operations() {
    static void* const* const table = [] {
        static void* slots[kPcmSlotCount] = {};
        slots[kPcmSlotDestroy] = reinterpret_cast<void*>(&Destroy);
        slots[kPcmSlotIsAvailable] = reinterpret_cast<void*>(&IsAvailable);
        slots[kPcmSlotSampleRate] = reinterpret_cast<void*>(&SampleRate);
        slots[kPcmSlotLengthSeconds] = reinterpret_cast<void*>(&LengthSeconds);
        slots[kPcmSlotGetSamples] = reinterpret_cast<void*>(&GetSamples);
        return slots;
    }();
    return table;
}

}  // namespace

PcmSource* CreateBuiltinSource(const char* path) {
    if (!path) return nullptr;
    auto* source = new (std::nothrow) BuiltinSource{Operations(), {}, {}, false};
    if (!source) return nullptr;
    source->available = source->file.Open(path) && ReadWavLayout(source->file, source->layout);
    return reinterpret_cast<PcmSource*>(source);
}

}  // namespace tolvar
