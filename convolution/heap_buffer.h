#pragma once

namespace tolvar {

// The one growable byte buffer that every variable-length array is made of.
//
// Lengths and capacities are in bytes. Growth adds one granule of slack beyond
// the request; shrinking happens only when asked for and only when it frees more
// than four granules, so sizes that alternate do not reallocate every time.
// New bytes are never initialised. Resize is the only operation that allocates.
//
// When the heap is exhausted a growing Resize keeps the old storage, capacity
// and length and returns null; callers skip their copies on null. A shrinking
// Resize that the heap refuses keeps the larger storage and still takes the new
// length, so a shrink never fails.
class HeapBuffer {
public:
    explicit HeapBuffer(int granularity);
    ~HeapBuffer();
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;

    // Sets the length to newLength bytes and returns the storage, or null when
    // there is none (length 0 after a release) or the heap refused the request.
    // A negative length, or one so large that the capacity would overflow an
    // int, is refused the same way and changes nothing.
    void* Resize(int newLength, bool allowShrink);

    // Frees the storage: data null, capacity and length 0.
    void Release();

    // Exchanges storage, capacity and length with `other` (granularities stay).
    void SwapStorage(HeapBuffer& other);

    void* Data() const { return data; }
    int Length() const { return length; }
    int Capacity() const { return capacity; }
    int Granularity() const { return granularity; }

    template <typename T> T* As() const { return static_cast<T*>(data); }
    // Whole elements of T in use; a partial trailing element does not count.
    template <typename T> int Count() const { return length / static_cast<int>(sizeof(T)); }

private:
    int granularity;  // bytes of slack added on growth; fixed at construction
    void* data;       // owned storage, null when nothing is allocated
    int capacity;     // bytes allocated
    int length;       // bytes in use, never above capacity
};

}  // namespace tolvar
