#pragma once
// The host's media-source object, as the plug-in calls it.
//
// A PcmSource is a host object whose first pointer-sized word points to a table
// of operations. We call the operations by their slot in that table rather than
// through a C++ class declaration, because compilers disagree on how virtual
// destructors are laid out in such a table. Hosts built with Microsoft's
// compiler use __thiscall on 32-bit Windows (self in ECX); everywhere else an
// operation is an ordinary C function with self as its first argument.
//
// Whoever implements a source (our stand-in host, test fakes) builds its table
// from the function types below.
#include <cstddef>
#include <cstdint>

namespace tolvar {

#if defined(_WIN32) && !defined(_WIN64)
#define TOLVAR_PCM_CALL __thiscall
#else
#define TOLVAR_PCM_CALL
#endif

struct PcmSource;

// The request record for getSamples. On 32-bit builds it is the 64-byte record
// hosts expect (frames delivered at 28); on 64-bit builds the same fields with
// natural alignment (buffer at 24, frames delivered at 32, 72 bytes).
struct PcmBlock {
    double startTime;        // seconds from the start of the file
    double sampleRate;       // rate at which the frames are wanted, Hz
    int32_t channels;        // channels wanted
    int32_t framesRequested; // capacity of `samples`, in frames
    double* samples;         // caller's buffer of framesRequested * channels doubles
    int32_t framesDelivered; // written by the source; 0 or less means nothing usable
    int32_t reserved[8];     // zero, not read
};

#if INTPTR_MAX == INT64_MAX
static_assert(offsetof(PcmBlock, samples) == 24 && offsetof(PcmBlock, framesDelivered) == 32);
static_assert(sizeof(PcmBlock) == 72);
#else
static_assert(offsetof(PcmBlock, samples) == 24 && offsetof(PcmBlock, framesDelivered) == 28);
static_assert(sizeof(PcmBlock) == 64);
#endif

// Slots of the operations table that the plug-in calls.
enum PcmSourceSlot : int {
    kPcmSlotDestroy = 0,
    kPcmSlotIsAvailable = 2,
    kPcmSlotSampleRate = 10,
    kPcmSlotLengthSeconds = 11,
    kPcmSlotGetSamples = 16,
    kPcmSlotCount = 17,  // a table must have at least this many entries
};

using PcmDestroyOp = void*(TOLVAR_PCM_CALL*)(PcmSource* self, unsigned flags);
using PcmIsAvailableOp = bool(TOLVAR_PCM_CALL*)(PcmSource* self);
using PcmSampleRateOp = double(TOLVAR_PCM_CALL*)(PcmSource* self);
using PcmLengthSecondsOp = double(TOLVAR_PCM_CALL*)(PcmSource* self);
using PcmGetSamplesOp = void(TOLVAR_PCM_CALL*)(PcmSource* self, PcmBlock* block);

// The host function that opens a file: returns a new source, or null.
using PcmSourceCreateFromFileFn = PcmSource* (*)(const char* path);

// Calls through the source's table. `source` must be non-null.
void PcmSourceDestroy(PcmSource* source);  // destroys and frees it (flags 1)
bool PcmSourceIsAvailable(PcmSource* source);
double PcmSourceSampleRate(PcmSource* source);
double PcmSourceLengthSeconds(PcmSource* source);
// Zeroes the block from framesDelivered to its end, then asks for the samples.
void PcmSourceGetSamples(PcmSource* source, PcmBlock* block);

}  // namespace tolvar
