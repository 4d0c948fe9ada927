#pragma once
// What the fuzzers share: reading their input front to back, the values a
// host might pass, an instance made through the real entry point and the
// stand-in host, and the checks whose failure must stop the run.
//
// Every fuzzer links the plug-in's static libraries into its own executable,
// so the plug-in's IR folder is "tolvar/" beside the fuzzer. Single-threaded,
// like libFuzzer's runs.
#include <cstddef>
#include <cstdint>
#include <span>

#include "abi/vst2.h"

namespace tolvar::fuzz {

// The input, read front to back; reads past its end give zeros, so every
// input, however short, is a complete run.
class ByteReader {
public:
    ByteReader(const uint8_t* bytes, std::size_t count) : data(bytes), size(count) {}

    bool AtEnd() const { return position >= size; }
    uint8_t U8();
    uint16_t U16();  // little-endian
    uint32_t U32();  // little-endian
    float F32();     // the bits of a U32
    // The next `count` bytes, fewer where the input ends.
    std::span<const uint8_t> Bytes(std::size_t count);

private:
    const uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

// A stored value for parameter `index` (0..14) from one selector byte, and
// whether to set it at all: 0 leaves the parameter at its default; 1..239 pick
// a choice of the row (selector - 1, wrapped to the row's choice count, switch
// rows off/on); 240..255 pick a wild host value (not a number, infinities,
// values past 0..1, the largest float, a denormal).
bool ParameterValue(int index, uint8_t selector, float& value);

// The host sample rate for one selector byte: the usual rates, very low and
// very high ones, and values a host should not send (0, negative, not a number,
// infinite), which the plug-in must ignore.
float HostRate(uint8_t selector);

// A float from a selector byte: interesting values (zeros, denormals,
// infinities, not a number, the largest float, values around 0, 0.5 and 1) for
// selectors below 32, otherwise selector / 128 - 0.5.
float WildFloat(uint8_t selector);

// A new instance through the plug-in's entry point, bound to the stand-in host
// (its media source reads the IR folder with libsndfile). Never null: a failed
// entry point fails the run.
AEffect* CreateInstance();
void CloseInstance(AEffect* effect);

// How instances read the IR folder from their next composition on: through the
// stand-in host's media source, or through the plug-in's built-in one, as
// for a host that offers no PCM_Source_CreateFromFile. Call after the first
// CreateInstance, which binds the host's functions once for the process.
void UseBuiltinMediaSource(bool builtin);

// The IR folder the plug-in reads, ending in its separator; created on first use.
const char* IrFolder();

// Fails the run (abort, so libFuzzer keeps the input) with `what` on stderr
// unless `holds`.
void Require(bool holds, const char* what);

// After any entry point returns: no media source may be left open.
void RequireNoOpenSource();

// Whether the instance's composite response can turn input within [-1, 1]
// into finite output: the sum of its taps' magnitudes lies below
// kBoundedGain, far enough below the float range that neither the output nor
// the engine's transforms (sums of up to 32768 products) can overflow. A
// composite beyond it (files of absurd but finite level) may legitimately
// give infinite output.
constexpr double kBoundedGain = 1e30;
bool HasBoundedGain(AEffect* effect);

// Runs one processReplacing call of `frames` frames of a test signal within
// [-1, 1] (both channels) and, when HasBoundedGain, requires every output
// sample to be finite: outputs start as not-a-number, so an unwritten frame
// fails too.
void RequireFiniteBlock(AEffect* effect, int frames, uint32_t seed);

}  // namespace tolvar::fuzz
