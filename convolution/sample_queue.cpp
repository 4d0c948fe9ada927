#include "convolution/sample_queue.h"

#include <climits>
#include <cstring>

#include "convolution/sample_bytes.h"

namespace tolvar {

float* SampleQueue::Extend(int count) {
    if (count <= 0) return nullptr;
    const int oldLength = buffer.Length();
    if (count > SamplesInBytes(INT_MAX - oldLength)) return nullptr;
    auto* data = static_cast<char*>(buffer.Resize(oldLength + SampleBytes(count), false));
    return data ? reinterpret_cast<float*>(data + oldLength) : nullptr;
}

bool SampleQueue::Append(const float* src, int count) {
    if (count == 0) return true;
    float* end = Extend(count);
    if (!end) return false;
    std::memcpy(end, src, SampleByteSize(count));
    return true;
}

bool SampleQueue::AppendZeros(int count) {
    if (count == 0) return true;
    float* end = Extend(count);
    if (!end) return false;
    std::memset(end, 0, SampleByteSize(count));
    return true;
}

float* SampleQueue::Front() const {
    auto* data = static_cast<char*>(buffer.Data());
    if (!data || readPosition < 0 || readPosition >= buffer.Length()) return nullptr;
    return reinterpret_cast<float*>(data + readPosition);
}

void SampleQueue::Consume(int count) {
    if (count <= 0) return;
    const int length = buffer.Length();
    const bool consumesAll = count >= SamplesInBytes(length - readPosition);
    if (consumesAll) {
        buffer.Resize(0, false);
    } else {
        readPosition += SampleBytes(count);
        auto* data = static_cast<char*>(buffer.Data());
        const int remaining = length - readPosition;
        std::memmove(data, data + readPosition, static_cast<std::size_t>(remaining));
        buffer.Resize(remaining, false);
    }
    readPosition = 0;
}

void SampleQueue::Clear() {
    readPosition = 0;
    buffer.Resize(0, false);
}

}  // namespace tolvar
