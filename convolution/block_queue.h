#pragma once
#include "convolution/pointer_list.h"

namespace tolvar {

// A first-in, first-out byte queue made of heap blocks of at most 65472 bytes.
// A block that has been read is kept on a spare list and reused by the next
// Write that needs a block, so in steady state the queue allocates nothing;
// its storage grows to the largest backlog ever seen and stays there.
class BlockQueue {
public:
    static constexpr int kBlockCapacity = 65472;  // bytes per block (16368 samples)

    BlockQueue() = default;
    ~BlockQueue();
    BlockQueue(const BlockQueue&) = delete;
    BlockQueue& operator=(const BlockQueue&) = delete;

    // Appends bytes from src, or zeros when src is null. Stops at the first
    // block that cannot be had or grown; Pending() then counts only what was
    // stored, which is always a prefix of what was asked for.
    void Write(const void* src, int bytes);
    // Copies the oldest bytes to dst and drops them. Bytes beyond Pending() are
    // not invented: that part of dst is zeroed. A null dst only drops them.
    void Read(void* dst, int bytes);
    // The oldest pending bytes that lie together in one block, to be read in
    // place: sets *bytes to their count and returns where they start (0 and
    // null when nothing is pending). Valid until the next Write or Recycle.
    const void* Contiguous(int* bytes) const;
    // Moves every block to the spare list and forgets all pending bytes.
    void Recycle();
    // Forgets the newest bytes written (all pending ones, if fewer are
    // pending), as if they had never been written. Never allocates.
    void DropNewest(int bytes);
    // Makes sure that `bytes` more can be written without asking the heap:
    // grows the last block to full size and keeps enough spare blocks, each
    // written once so that its pages are in memory. False when the heap refuses
    // (what was reserved by then stays).
    bool Reserve(int bytes);

    int Pending() const { return pending; }
    int ReadOffset() const { return readOffset; }
    int BlockCount() const { return blocks.Count(); }
    int SpareCount() const { return spare.Count(); }
    // Bytes held by block i of the list (read ones included), or -1 outside the list.
    int BlockLength(int i) const {
        const HeapBuffer* block = BlockAt(blocks, i);
        return block ? block->Length() : -1;
    }

private:
    HeapBuffer* BlockAt(const PointerList& list, int i) const {
        return static_cast<HeapBuffer*>(list.At(i));
    }
    HeapBuffer* TakeBlockForWrite();
    static bool FillCapacity(HeapBuffer* block);
    void SpareBlock(HeapBuffer* block);
    void ReleaseReadBlocks();

    int readOffset = 0;  // bytes already read from the first block
    int pending = 0;     // bytes written and not yet read
    PointerList blocks;  // owned HeapBuffer* in write order
    PointerList spare;   // owned HeapBuffer* kept for reuse, storage and stale length intact
};

}  // namespace tolvar
