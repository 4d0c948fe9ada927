#include "convolution/block_queue.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "buffers/heap_allocator.h"

namespace tolvar {

namespace {

// Blocks come from the same heap as their storage, so a test allocator that
// refuses requests also refuses new blocks.
HeapBuffer* NewBlock() {
    void* place = CurrentHeapAllocator().allocate(sizeof(HeapBuffer));
    return place ? new (place) HeapBuffer(4096) : nullptr;
}

void DeleteBlock(HeapBuffer* block) {
    block->~HeapBuffer();
    CurrentHeapAllocator().release(block);
}

}  // namespace

BlockQueue::~BlockQueue() {
    // The queue owns every block in both lists; this is the only place they are freed.
    for (PointerList* list : {&blocks, &spare}) {
        for (int i = 0; i < list->Count(); ++i) DeleteBlock(BlockAt(*list, i));
    }
}

HeapBuffer* BlockQueue::TakeBlockForWrite() {
    const int spares = spare.Count();
    if (spares > 0) {
        // Push first: if the list cannot grow, the block simply stays spare.
        HeapBuffer* block = BlockAt(spare, spares - 1);
        if (!blocks.Push(block)) return nullptr;
        spare.RemoveAt(spares - 1);
        block->Resize(0, false);  // forget the stale length; never allocates
        return block;
    }
    HeapBuffer* block = NewBlock();
    if (!block) return nullptr;
    if (!blocks.Push(block)) {
        DeleteBlock(block);
        return nullptr;
    }
    return block;
}

void BlockQueue::SpareBlock(HeapBuffer* block) {
    if (!spare.Push(block)) DeleteBlock(block);
}

void BlockQueue::Write(const void* src, int bytes) {
    auto* from = static_cast<const char*>(src);
    while (bytes > 0) {
        HeapBuffer* block = BlockAt(blocks, blocks.Count() - 1);
        int offset = block ? block->Length() : kBlockCapacity;
        if (offset >= kBlockCapacity) {
            block = TakeBlockForWrite();
            if (!block) return;
            offset = 0;
        }
        const int n = std::min(kBlockCapacity - offset, bytes);
        auto* data = static_cast<char*>(block->Resize(offset + n, false));
        if (!data) return;
        if (from) {
            std::memcpy(data + offset, from, static_cast<std::size_t>(n));
            from += n;
        } else {
            std::memset(data + offset, 0, static_cast<std::size_t>(n));
        }
        bytes -= n;
        pending += n;
    }
}

const void* BlockQueue::Contiguous(int* bytes) const {
    const HeapBuffer* first = BlockAt(blocks, 0);
    if (!first || pending <= 0 || readOffset >= first->Length()) {
        *bytes = 0;
        return nullptr;
    }
    *bytes = std::min(first->Length() - readOffset, pending);
    return static_cast<const char*>(first->Data()) + readOffset;
}

void BlockQueue::Read(void* dst, int bytes) {
    if (bytes <= 0) return;
    auto* to = static_cast<char*>(dst);
    const int available = std::min(bytes, pending);
    if (to) std::memset(to + available, 0, static_cast<std::size_t>(bytes - available));

    int position = readOffset;
    int copied = 0;
    for (int i = 0; copied < available; ++i) {
        HeapBuffer* block = BlockAt(blocks, i);
        if (!block) break;
        if (block->Length() <= position) {
            position -= block->Length();
            continue;
        }
        const int n = std::min(block->Length() - position, available - copied);
        if (to) std::memcpy(to + copied, static_cast<const char*>(block->Data()) + position, static_cast<std::size_t>(n));
        copied += n;
        position = 0;
    }
    readOffset += available;
    pending = std::max(pending - available, 0);
    ReleaseReadBlocks();
}

void BlockQueue::ReleaseReadBlocks() {
    for (HeapBuffer* first = BlockAt(blocks, 0); first && readOffset >= first->Length();
         first = BlockAt(blocks, 0)) {
        readOffset -= first->Length();
        SpareBlock(first);
        blocks.RemoveAt(0);
    }
    if (blocks.Count() == 0 || readOffset < 0) readOffset = 0;
}

void BlockQueue::DropNewest(int bytes) {
    bytes = std::min(bytes, pending);
    while (bytes > 0) {
        const int last = blocks.Count() - 1;
        HeapBuffer* block = BlockAt(blocks, last);
        if (!block) break;
        const int unread = block->Length() - (last == 0 ? readOffset : 0);
        const int n = std::min(bytes, unread);
        block->Resize(block->Length() - n, false);  // shrinks: never allocates
        bytes -= n;
        pending -= n;
        if (n == unread && last > 0) {
            SpareBlock(block);
            blocks.RemoveAt(last);
        }
    }
    ReleaseReadBlocks();
}

// Gives a block storage for a whole block and writes to all of it once; its
// length stays as it was.
bool BlockQueue::FillCapacity(HeapBuffer* block) {
    const int length = block->Length();
    auto* data = static_cast<char*>(block->Resize(kBlockCapacity, false));
    if (!data) return false;
    std::memset(data + length, 0, static_cast<std::size_t>(kBlockCapacity - length));
    block->Resize(length, false);
    return true;
}

bool BlockQueue::Reserve(int bytes) {
    HeapBuffer* last = BlockAt(blocks, blocks.Count() - 1);
    int room = 0;
    if (last) {
        if (!FillCapacity(last)) return false;
        room = kBlockCapacity - last->Length();
    }
    // Write takes spare blocks from the end of the spare list.
    for (int i = spare.Count() - 1; i >= 0 && room < bytes; --i) {
        if (!FillCapacity(BlockAt(spare, i))) return false;
        room += kBlockCapacity;
    }
    for (; room < bytes; room += kBlockCapacity) {
        HeapBuffer* block = NewBlock();
        if (!block) return false;
        if (!FillCapacity(block) || !spare.Push(block)) {
            DeleteBlock(block);
            return false;
        }
    }
    // Every spare block may end up in the list at once.
    return blocks.Reserve(blocks.Count() + spare.Count());
}

void BlockQueue::Recycle() {
    for (int i = blocks.Count() - 1; i >= 0; --i) {
        SpareBlock(BlockAt(blocks, i));
        blocks.RemoveAt(i);
    }
    readOffset = 0;
    pending = 0;
}

}  // namespace tolvar
