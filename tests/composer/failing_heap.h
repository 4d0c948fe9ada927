#pragma once
// A heap for the tests that counts its allocations and refuses them on demand,
// installed for one scope.
#include "convolution/heap_allocator.h"

namespace tolvar::test {

class FailingHeap {
public:
    // Refuses allocation calls (allocate or reallocate) numbered from firstFailure
    // (1-based) through lastFailure; firstFailure 0 refuses none.
    FailingHeap(int firstFailure, int lastFailure);
    ~FailingHeap();
    FailingHeap(const FailingHeap&) = delete;
    FailingHeap& operator=(const FailingHeap&) = delete;

    // Allocation calls made so far, refused ones included.
    static int Calls();
    // The largest block asked for so far, in bytes.
    static unsigned long long LargestRequest();
};

}  // namespace tolvar::test
