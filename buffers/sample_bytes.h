#pragma once
// Conversions between counts of 32-bit float samples and the byte lengths that
// the buffers and queues keep.
#include <cstddef>

namespace tolvar {

constexpr int kSampleBytes = static_cast<int>(sizeof(float));

// Bytes taken by `samples` samples; the caller keeps the count within range.
constexpr int SampleBytes(int samples) { return kSampleBytes * samples; }
// The same as a size for memcpy and memset; samples must not be negative.
constexpr std::size_t SampleByteSize(int samples) { return sizeof(float) * static_cast<std::size_t>(samples); }
// Whole samples in `bytes`; a partial trailing sample does not count.
constexpr int SamplesInBytes(int bytes) { return bytes / kSampleBytes; }
// The most samples whose byte length still fits an int.
constexpr int kMaxSamplesInInt = 0x7fffffff / kSampleBytes;

}  // namespace tolvar
