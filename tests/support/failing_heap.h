#pragma once
// A heap for the tests that counts the requests HeapBuffer makes and refuses
// the ones it is told to, installed for one scope. Storage comes from the C
// runtime heap, so blocks may be freed after the guard has gone.
#include "buffers/heap_allocator.h"

namespace tolvar::test {

class FailingHeap {
public:
    // Grants `granted` allocate or reallocate requests, refuses every later one.
    static FailingHeap Granting(long granted) { return FailingHeap(granted + 1, kForever, false); }
    // Refuses the requests numbered first..last (1-based); first 0 refuses none.
    static FailingHeap RefusingCalls(long first, long last) { return FailingHeap(first, last, false); }
    // Refuses every reallocate and grants every allocate, so that the
    // fresh-block fallback of HeapBuffer::Resize runs.
    static FailingHeap RefusingReallocs() { return FailingHeap(0, 0, true); }

    ~FailingHeap();
    FailingHeap(const FailingHeap&) = delete;
    FailingHeap& operator=(const FailingHeap&) = delete;

    long Requests() const;  // requests seen, refused ones included
    long Refusals() const;  // requests refused

private:
    static constexpr long kForever = 0x7fffffffL;
    FailingHeap(long firstRefused, long lastRefused, bool reallocsOnly);
};

}  // namespace tolvar::test
