#include "convolution/sample_queue.h"

#include <climits>
#include <cstring>

namespace tolvar {

float* SampleQueue::Extend(int count) {
    if (count <= 0) return nullptr;
    const int oldLength = buffer.Length();
    if (count > (INT_MAX - oldLength) / 4) return nullptr;
    auto* data = static_cast<char*>(buffer.Resize(oldLength + 4 * count, false));
    return data ? reinterpret_cast<float*>(data + oldLength) : nullptr;
}

bool SampleQueue::Append(const float* src, int count) {
    if (count == 0) return true;
    float* end = Extend(count);
    if (!end) return false;
    std::memcpy(end, src, 4 * static_cast<std::size_t>(count));
    return true;
}

bool SampleQueue::AppendZeros(int count) {
    if (count == 0) return true;
    float* end = Extend(count);
    if (!end) return false;
    std::memset(end, 0, 4 * static_cast<std::size_t>(count));
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
    const bool consumesAll = count >= (length - readPosition) / 4;
    if (consumesAll) {
        buffer.Resize(0, false);
    } else {
        readPosition += 4 * count;
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
