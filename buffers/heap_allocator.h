#pragma once
#include <cstddef>

namespace tolvar {

// The three heap operations that HeapBuffer uses. The plug-in always runs on
// the C runtime's heap; tests swap in an allocator that can be told to fail so
// that the out-of-memory paths are exercised.
struct HeapAllocator {
    void* (*allocate)(std::size_t bytes);
    void* (*reallocate)(void* block, std::size_t bytes);
    void (*release)(void* block);
};

// The allocator in use; the runtime heap unless a test installed another.
const HeapAllocator& CurrentHeapAllocator();

// Installs `allocator` (null restores the runtime heap). For tests only: call it
// while no buffer is being resized on another thread, and restore the runtime
// heap before the allocator's storage goes away.
void SetHeapAllocator(const HeapAllocator* allocator);

}  // namespace tolvar
