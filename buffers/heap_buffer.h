#pragma once

namespace tolvar {

// The one growable byte buffer that every variable-length array is made of.
//
// Lengths and capacities are in bytes. Growth adds one granule of slack beyond
// the request; shrinking happens only when asked for and only when it frees more
// than four granules, so sizes that alternate do not reallocate every time.
// New bytes are never initialised. Resize is the only operation that allocates.
//
// Alignment: a plain buffer's storage is aligned as the heap aligns it. A buffer
// made with an alignment (a power of two, e.g. kVectorAlignment) starts its data
// on a multiple of it: the heap block is that much larger and the data sits at
// the first aligned address inside it. The transforms and spectrum loops run
// fastest on arrays that start on a cache line.
//
// When the heap is exhausted a growing Resize keeps the old storage, capacity
// and length and returns null; callers skip their copies on null. A shrinking
// Resize that the heap refuses keeps the larger storage and still takes the new
// length, so a shrink never fails.
class HeapBuffer {
public:
    static constexpr int kVectorAlignment = 64;  // bytes: one cache line

    // alignment: 1 (the heap's own) or a power of two up to 4096.
    explicit HeapBuffer(int granularity, int alignment = 1);
    ~HeapBuffer();
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;

    // Sets the length to newLength bytes and returns the storage, or null when
    // there is none (length 0 after a release) or the heap refused the request.
    // A negative length, or one so large that the capacity would overflow an
    // int, is refused the same way and changes nothing.
    void* Resize(int newLength, bool allowShrink) {
        // The queues' steady traffic: a length within the storage, nothing to give back.
        if (!allowShrink && newLength >= 0 && newLength <= capacity) {
            length = newLength;
            return data;
        }
        return ResizeStorage(newLength, allowShrink);
    }

    // Frees the storage: data null, capacity and length 0.
    void Release();

    // Exchanges storage, capacity, length and alignment with `other` (the
    // alignment belongs to the storage; granularities stay).
    void SwapStorage(HeapBuffer& other);

    void* Data() const { return data; }
    int Length() const { return length; }
    int Capacity() const { return capacity; }
    int Granularity() const { return granularity; }
    int Alignment() const { return alignment; }

    template <typename T> T* As() const { return static_cast<T*>(data); }
    // Whole elements of T in use; a partial trailing element does not count.
    template <typename T> int Count() const { return length / static_cast<int>(sizeof(T)); }

private:
    void* ResizeStorage(int newLength, bool allowShrink);
    void* Move(int target, int keptBytes);

    int granularity;  // bytes of slack added on growth; fixed at construction
    int alignment;    // data is a multiple of this; 1 for the heap's own alignment
    void* block;      // the heap block owned, null when nothing is allocated
    void* data;       // first byte of the storage inside block (block itself when alignment is 1)
    int capacity;     // bytes of storage from data on
    int length;       // bytes in use, never above capacity
};

}  // namespace tolvar
