#pragma once
#include "convolution/heap_allocator.h"

namespace tolvar::testing {

// Installs, for its lifetime, a heap that grants `granted` more allocate or
// reallocate requests and refuses every one after that. With reallocOnly set
// it refuses every reallocate and grants every allocate instead, so that the
// fresh-block fallback of HeapBuffer::Resize runs. Storage comes from the C
// runtime heap, so blocks may be freed after the guard has gone.
class FailingHeap {
public:
    explicit FailingHeap(long granted, bool reallocOnly = false);
    ~FailingHeap();
    FailingHeap(const FailingHeap&) = delete;
    FailingHeap& operator=(const FailingHeap&) = delete;

    // Requests seen so far (granted or refused).
    long Requests() const;
    // Requests refused so far.
    long Refusals() const;
    // Grants `granted` more requests from now on.
    void Grant(long granted);
};

}  // namespace tolvar::testing
