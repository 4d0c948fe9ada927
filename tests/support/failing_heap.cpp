#include "tests/support/failing_heap.h"

#include <cstdlib>

namespace tolvar::test {
namespace {

long requests = 0;
long refusals = 0;
long firstRefused = 0;
long lastRefused = 0;
bool refuseReallocsOnly = false;

bool Refuse(bool isRealloc) {
    ++requests;
    const bool refused = refuseReallocsOnly ? isRealloc
                                            : firstRefused > 0 && requests >= firstRefused && requests <= lastRefused;
    if (refused) ++refusals;
    return refused;
}

const HeapAllocator kFailingHeap = {
    [](std::size_t bytes) -> void* { return Refuse(false) ? nullptr : std::malloc(bytes); },
    [](void* block, std::size_t bytes) -> void* { return Refuse(true) ? nullptr : std::realloc(block, bytes); },
    [](void* block) { std::free(block); },
};

}  // namespace

FailingHeap::FailingHeap(long first, long last, bool reallocsOnly) {
    requests = 0;
    refusals = 0;
    firstRefused = first;
    lastRefused = last;
    refuseReallocsOnly = reallocsOnly;
    SetHeapAllocator(&kFailingHeap);
}

FailingHeap::~FailingHeap() { SetHeapAllocator(nullptr); }

long FailingHeap::Requests() const { return requests; }
long FailingHeap::Refusals() const { return refusals; }

}  // namespace tolvar::test
