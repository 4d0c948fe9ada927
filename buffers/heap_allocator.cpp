#include "buffers/heap_allocator.h"

#include <atomic>
#include <cstdlib>

namespace tolvar {
namespace {

const HeapAllocator runtimeHeap = {
    [](std::size_t bytes) { return std::malloc(bytes); },
    [](void* block, std::size_t bytes) { return std::realloc(block, bytes); },
    [](void* block) { std::free(block); },
};

std::atomic<const HeapAllocator*> currentAllocator{&runtimeHeap};

}  // namespace

const HeapAllocator& CurrentHeapAllocator() {
    return *currentAllocator.load(std::memory_order_acquire);
}

void SetHeapAllocator(const HeapAllocator* allocator) {
    currentAllocator.store(allocator ? allocator : &runtimeHeap, std::memory_order_release);
}

}  // namespace tolvar
