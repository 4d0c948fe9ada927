#include "convolution/sample_queue.h"

#include <climits>
#include <cstring>

#include "buffers/sample_bytes.h"

namespace tolvar {

void SampleQueue::Compact() {
    if (readPosition == 0) return;
    auto* data = static_cast<char*>(buffer.Data());
    const int remaining = buffer.Length() - readPosition;
    if (remaining > 0) std::memmove(data, data + readPosition, static_cast<std::size_t>(remaining));
    buffer.Resize(remaining, false);  // never allocates: it shrinks
    readPosition = 0;
}

char* SampleQueue::Grow(int bytes) {
    if (buffer.Length() > buffer.Capacity() - bytes) Compact();
    if (bytes > INT_MAX - buffer.Length()) return nullptr;
    return static_cast<char*>(buffer.Resize(buffer.Length() + bytes, false));
}

float* SampleQueue::Extend(int count) {
    if (count <= 0 || count > kMaxSamplesInInt) return nullptr;
    const int bytes = SampleBytes(count);
    char* data = Grow(bytes);
    return data ? reinterpret_cast<float*>(data + buffer.Length() - bytes) : nullptr;
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

void SampleQueue::DropNewest(int count) {
    if (count <= 0) return;
    if (count >= Readable()) {
        Clear();
        return;
    }
    buffer.Resize(buffer.Length() - SampleBytes(count), false);
}

bool SampleQueue::Reserve(int count) {
    if (count <= 0) return true;
    float* room = Extend(count);
    if (!room) return false;
    std::memset(room, 0, SampleByteSize(count));
    DropNewest(count);
    return true;
}

}  // namespace tolvar
