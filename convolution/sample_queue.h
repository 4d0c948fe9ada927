#pragma once
#include "convolution/heap_buffer.h"
#include "convolution/sample_bytes.h"

namespace tolvar {

// A first-in, first-out queue of 32-bit float samples. Every Consume moves the
// remainder to the front at once, so the readable samples always start at the
// beginning of the storage and the queue never carries consumed bytes.
// Storage is kept across Clear, so a queue in steady use stops allocating.
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

    // Oldest readable sample, or null when the queue is empty.
    float* Front() const;
    int Readable() const { return SamplesInBytes(buffer.Length() - readPosition); }

    // Drops count samples from the front (all of them when count exceeds what is readable).
    void Consume(int count);
    // Empties the queue and keeps its storage.
    void Clear();

private:
    HeapBuffer buffer;  // float samples
    int readPosition;   // bytes consumed at the front; 0 between operations
};

}  // namespace tolvar
