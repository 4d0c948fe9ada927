#include "tests/convolution/failing_heap.h"

#include <cstdlib>

namespace tolvar::testing {
namespace {

long grantsLeft = 0;
bool refuseReallocOnly = false;
long requests = 0;
long refusals = 0;

bool Refused() {
    ++refusals;
    return true;
}

bool Granted(bool isRealloc) {
    ++requests;
    if (refuseReallocOnly) return isRealloc ? !Refused() : true;
    if (grantsLeft <= 0) return !Refused();
    --grantsLeft;
    return true;
}

const HeapAllocator failingHeap = {
    [](std::size_t bytes) { return Granted(false) ? std::malloc(bytes) : nullptr; },
    [](void* block, std::size_t bytes) { return Granted(true) ? std::realloc(block, bytes) : nullptr; },
    [](void* block) { std::free(block); },
};

}  // namespace

FailingHeap::FailingHeap(long granted, bool reallocOnly) {
    grantsLeft = granted;
    refuseReallocOnly = reallocOnly;
    requests = 0;
    refusals = 0;
    SetHeapAllocator(&failingHeap);
}

FailingHeap::~FailingHeap() { SetHeapAllocator(nullptr); }

long FailingHeap::Requests() const { return requests; }
long FailingHeap::Refusals() const { return refusals; }
void FailingHeap::Grant(long granted) { grantsLeft = granted; }

}  // namespace tolvar::testing
