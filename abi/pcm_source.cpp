#include "abi/pcm_source.h"

#include <cstring>

namespace tolvar {
namespace {

template <typename Op>
Op Slot(PcmSource* source, int slot) {
    void* const* table = *reinterpret_cast<void* const* const*>(source);
    return reinterpret_cast<Op>(table[slot]);
}

}  // namespace

void PcmSourceDestroy(PcmSource* source) { Slot<PcmDestroyOp>(source, kPcmSlotDestroy)(source, 1); }

bool PcmSourceIsAvailable(PcmSource* source) {
    return Slot<PcmIsAvailableOp>(source, kPcmSlotIsAvailable)(source);
}

double PcmSourceSampleRate(PcmSource* source) {
    return Slot<PcmSampleRateOp>(source, kPcmSlotSampleRate)(source);
}

double PcmSourceLengthSeconds(PcmSource* source) {
    return Slot<PcmLengthSecondsOp>(source, kPcmSlotLengthSeconds)(source);
}

void PcmSourceGetSamples(PcmSource* source, PcmBlock* block) {
    const std::size_t from = offsetof(PcmBlock, framesDelivered);
    std::memset(reinterpret_cast<char*>(block) + from, 0, sizeof(PcmBlock) - from);
    Slot<PcmGetSamplesOp>(source, kPcmSlotGetSamples)(source, block);
}

}  // namespace tolvar
