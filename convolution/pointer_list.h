#pragma once
#include "buffers/heap_buffer.h"

namespace tolvar {

// A packed array of object pointers in a HeapBuffer. The list does not own what
// its entries point to; whoever fills it decides that.
class PointerList {
public:
    PointerList() : buffer(4096) {}

    int Count() const { return buffer.Count<void*>(); }
    // The entry at i, or null when i is outside the list.
    void* At(int i) const {
        if (!buffer.Data() || i < 0 || i >= Count()) return nullptr;
        return buffer.As<void*>()[i];
    }
    // Stores p at i and returns it; outside the list nothing is stored and null is returned.
    void* SetAt(int i, void* p);
    // Appends p and returns it; returns null (p not stored) when the list cannot grow.
    void* Push(void* p);
    // Removes entry i, moving the later entries down; the object itself is left
    // alone. Storage shrinks with the buffer's hysteresis but is kept, not
    // freed, when the last entry goes (the destructor frees it).
    void RemoveAt(int i);
    // Makes sure that the list can hold `count` entries without asking the
    // heap; false when the heap refuses.
    bool Reserve(int count);

private:
    HeapBuffer buffer;  // void* entries, packed
};

}  // namespace tolvar
