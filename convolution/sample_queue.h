#pragma once
#include "buffers/heap_buffer.h"
#include "buffers/sample_bytes.h"

namespace tolvar {

// A first-in, first-out queue of 32-bit float samples.
//
// Consume only moves the read position. The readable samples are moved to the
// front of the storage when the queue empties (for free) or when an append
// would otherwise have to grow the storage, so that a queue read in small
// pieces does not copy its whole backlog on every read, and the storage never
// grows beyond what the backlog itself needs. Storage is kept across Clear, so
// a queue in steady use stops allocating.
class SampleQueue {
public:
    SampleQueue() : buffer(4096), readPosition(0) {}

    // Appends count samples from src; returns false (nothing appended) when the
    // storage cannot grow.
    bool Append(const float* src, int count);
    bool AppendZeros(int count);
    // Makes room for count more samples at the end and returns where they go;
    // their values are left to the caller. count must be positive; null
    // (nothing added) when the storage cannot grow or count is not positive.
    float* Extend(int count);
    // Drops the newest count samples (all, if fewer are readable), as if they
    // had never been appended. Never allocates.
    void DropNewest(int count);

    // Makes sure that count more samples can be appended without asking the
    // heap, and writes to that room once so that its pages are in memory.
    // Returns false when the heap refuses the growth.
    bool Reserve(int count);

    // Oldest readable sample, or null when the queue is empty.
    float* Front() const {
        auto* data = static_cast<char*>(buffer.Data());
        if (!data || readPosition < 0 || readPosition >= buffer.Length()) return nullptr;
        return reinterpret_cast<float*>(data + readPosition);
    }
    int Readable() const { return SamplesInBytes(buffer.Length() - readPosition); }

    // Drops count samples from the front (all of them when count exceeds what is readable).
    void Consume(int count) {
        if (count <= 0) return;
        if (count >= Readable()) {
            Clear();  // empty: the next append starts at the front again
            return;
        }
        readPosition += SampleBytes(count);
    }
    // Empties the queue and keeps its storage.
    void Clear() {
        readPosition = 0;
        buffer.Resize(0, false);
    }

private:
    // Moves the readable samples to the front of the storage.
    void Compact();
    // Makes room for `bytes` more at the end, compacting first if that avoids
    // growing; returns the storage or null.
    char* Grow(int bytes);

    HeapBuffer buffer;  // float samples; the readable ones from readPosition to the length
    int readPosition;   // bytes consumed at the front and not yet compacted away
};

}  // namespace tolvar
