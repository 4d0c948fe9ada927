#include "convolution/heap_buffer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "convolution/heap_allocator.h"

namespace tolvar {

HeapBuffer::HeapBuffer(int slack)
    : granularity(slack > 0 ? slack : 1), data(nullptr), capacity(0), length(0) {}

HeapBuffer::~HeapBuffer() { Release(); }

void HeapBuffer::Release() {
    if (data) CurrentHeapAllocator().release(data);
    data = nullptr;
    capacity = 0;
    length = 0;
}

void HeapBuffer::SwapStorage(HeapBuffer& other) {
    std::swap(data, other.data);
    std::swap(capacity, other.capacity);
    std::swap(length, other.length);
}

void* HeapBuffer::Resize(int newLength, bool allowShrink) {
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
        if (newLength > INT_MAX - granularity) return nullptr;
        target = newLength + granularity;
    }

    if (target == capacity && data) {
        length = newLength;
        return data;
    }

    const HeapAllocator& heap = CurrentHeapAllocator();
    void* storage = heap.reallocate(data, static_cast<std::size_t>(target));
    if (!storage) {
        // realloc failed and left the old block alone; try a fresh block.
        storage = heap.allocate(static_cast<std::size_t>(target));
        if (!storage) {
            // A shrink the heap refuses is still honoured: the larger block stays.
            // Callers such as PointerList::RemoveAt rely on the length going down.
            if (newLength > capacity) return nullptr;
            length = newLength;
            return data;
        }
        if (data) {
            std::memcpy(storage, data, static_cast<std::size_t>(std::min(newLength, length)));
            heap.release(data);
        }
    }
    data = storage;
    capacity = target;
    length = newLength;
    return data;
}

}  // namespace tolvar
