#include "buffers/heap_buffer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>

#include "buffers/heap_allocator.h"

namespace tolvar {
namespace {

bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

// Bytes from `block` to the first address that is a multiple of alignment.
int LeadIn(const void* block, int alignment) {
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    return static_cast<int>((alignment - address % static_cast<std::uintptr_t>(alignment)) % alignment);
}

}  // namespace

HeapBuffer::HeapBuffer(int slack, int align)
    : granularity(slack > 0 ? slack : 1),
      alignment(IsPowerOfTwo(align) && align <= 4096 ? align : 1),
      block(nullptr),
      data(nullptr),
      capacity(0),
      length(0) {}

HeapBuffer::~HeapBuffer() { Release(); }

void HeapBuffer::Release() {
    if (block) CurrentHeapAllocator().release(block);
    block = nullptr;
    data = nullptr;
    capacity = 0;
    length = 0;
}

void HeapBuffer::SwapStorage(HeapBuffer& other) {
    std::swap(alignment, other.alignment);
    std::swap(block, other.block);
    std::swap(data, other.data);
    std::swap(capacity, other.capacity);
    std::swap(length, other.length);
}

void* HeapBuffer::ResizeStorage(int newLength, bool allowShrink) {
    if (newLength < 0) return nullptr;
    if (newLength == 0 && allowShrink) {
        Release();
        return nullptr;
    }

    int target;
    if (newLength <= capacity) {
        const bool shrink = allowShrink && newLength < capacity - 4 * granularity;
        if (!shrink) {
            length = newLength;
            return data;
        }
        target = newLength;
    } else {
        if (newLength > INT_MAX - granularity - alignment) return nullptr;
        target = newLength + granularity;
    }

    if (target == capacity && data) {
        length = newLength;
        return data;
    }
    if (!Move(target, std::min(newLength, length))) {
        // A shrink the heap refuses is still honoured: the larger block stays.
        // Callers such as PointerList::RemoveAt rely on the length going down.
        if (newLength > capacity) return nullptr;
        length = newLength;
        return data;
    }
    capacity = target;
    length = newLength;
    return data;
}

// Moves the storage to a heap block with room for `target` aligned bytes,
// keeping the first keptBytes. Null, with everything as it was, when the heap
// refuses both a reallocation and a fresh block.
void* HeapBuffer::Move(int target, int keptBytes) {
    const HeapAllocator& heap = CurrentHeapAllocator();
    const std::size_t blockBytes = static_cast<std::size_t>(target) + static_cast<std::size_t>(alignment - 1);
    const int oldLeadIn = block ? static_cast<int>(static_cast<char*>(data) - static_cast<char*>(block)) : 0;
    void* moved = heap.reallocate(block, blockBytes);
    if (moved) {
        // realloc kept the bytes at the old distance from the block's start; the
        // new block may need the data at another distance to be aligned.
        const int leadIn = LeadIn(moved, alignment);
        char* start = static_cast<char*>(moved);
        if (leadIn != oldLeadIn) {
            std::memmove(start + leadIn, start + oldLeadIn, static_cast<std::size_t>(keptBytes));
        }
        block = moved;
        data = start + leadIn;
        return data;
    }
    // realloc failed and left the old block alone; try a fresh block.
    void* fresh = heap.allocate(blockBytes);
    if (!fresh) return nullptr;
    char* start = static_cast<char*>(fresh) + LeadIn(fresh, alignment);
    if (data) std::memcpy(start, data, static_cast<std::size_t>(keptBytes));
    if (block) heap.release(block);
    block = fresh;
    data = start;
    return data;
}

}  // namespace tolvar
