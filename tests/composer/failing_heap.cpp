#include "tests/composer/failing_heap.h"

#include <algorithm>
#include <cstdlib>

namespace tolvar::test {
namespace {

int calls = 0;
int firstRefused = 0;
int lastRefused = 0;
unsigned long long largest = 0;

bool Refuse(std::size_t bytes) {
    ++calls;
    largest = std::max<unsigned long long>(largest, bytes);
    return firstRefused > 0 && calls >= firstRefused && calls <= lastRefused;
}

const HeapAllocator kCountingHeap = {
    [](std::size_t bytes) -> void* { return Refuse(bytes) ? nullptr : std::malloc(bytes); },
    [](void* block, std::size_t bytes) -> void* {
        return Refuse(bytes) ? nullptr : std::realloc(block, bytes);
    },
    [](void* block) { std::free(block); },
};

}  // namespace

FailingHeap::FailingHeap(int firstFailure, int lastFailure) {
    calls = 0;
    largest = 0;
    firstRefused = firstFailure;
    lastRefused = lastFailure;
    SetHeapAllocator(&kCountingHeap);
}

FailingHeap::~FailingHeap() { SetHeapAllocator(nullptr); }

int FailingHeap::Calls() { return calls; }

unsigned long long FailingHeap::LargestRequest() { return largest; }

}  // namespace tolvar::test
