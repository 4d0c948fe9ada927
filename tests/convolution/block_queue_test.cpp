#include "convolution/block_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <vector>

#include "tests/support/failing_heap.h"

namespace tolvar {
namespace {

constexpr int kBlock = BlockQueue::kBlockCapacity;

// Bytes numbered by their position in the whole stream, so that any loss,
// repetition or reordering shows.
std::vector<unsigned char> StreamBytes(long first, int count) {
    std::vector<unsigned char> bytes(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<unsigned char>((first + i) * 131 % 251);
    return bytes;
}

// The queue beside a plain deque of the bytes it should hold.
struct ModelledQueue {
    BlockQueue queue;
    std::deque<unsigned char> model;
    long written = 0;

    void Write(int bytes) {
        const std::vector<unsigned char> data = StreamBytes(written, bytes);
        const int before = queue.Pending();
        queue.Write(data.data(), bytes);
        const int stored = queue.Pending() - before;
        model.insert(model.end(), data.begin(), data.begin() + stored);
        written += stored;
    }

    void ReadAndCheck(int bytes) {
        std::vector<unsigned char> out(static_cast<std::size_t>(bytes), 0xEE);
        queue.Read(out.data(), bytes);
        for (int i = 0; i < bytes; ++i) {
            ASSERT_EQ(out[static_cast<std::size_t>(i)], model.front()) << "byte " << i;
            model.pop_front();
        }
        ASSERT_EQ(queue.Pending(), static_cast<int>(model.size()));
    }
};

TEST(BlockQueue, WriteSpillsIntoASecondBlock) {
    ModelledQueue q;
    q.Write(kBlock + 100);
    EXPECT_EQ(q.queue.Pending(), kBlock + 100);
    ASSERT_EQ(q.queue.BlockCount(), 2);
    EXPECT_EQ(q.queue.BlockLength(0), kBlock);
    EXPECT_EQ(q.queue.BlockLength(1), 100);
    EXPECT_EQ(q.queue.BlockLength(2), -1);
    EXPECT_EQ(q.queue.SpareCount(), 0);

    // Reading the first block whole moves it to the spare list.
    q.ReadAndCheck(kBlock);
    EXPECT_EQ(q.queue.ReadOffset(), 0);
    EXPECT_EQ(q.queue.BlockCount(), 1);
    EXPECT_EQ(q.queue.SpareCount(), 1);

    // Fill the second block exactly; the next write needs a block and takes
    // the spared one back, with no request to the heap.
    q.Write(kBlock - 100);
    EXPECT_EQ(q.queue.BlockCount(), 1);
    {
        auto heap = test::FailingHeap::Granting(0);
        q.Write(10);
        EXPECT_EQ(heap.Requests(), 0);
    }
    EXPECT_EQ(q.queue.BlockCount(), 2);
    EXPECT_EQ(q.queue.SpareCount(), 0);
    EXPECT_EQ(q.queue.BlockLength(1), 10);  // its stale length was overwritten
    q.ReadAndCheck(kBlock);
    q.ReadAndCheck(10);
    EXPECT_EQ(q.queue.BlockCount(), 0);
    EXPECT_EQ(q.queue.SpareCount(), 2);
}

TEST(BlockQueue, PartialReadsKeepTheOffset) {
    ModelledQueue q;
    q.Write(1000);
    q.ReadAndCheck(300);
    EXPECT_EQ(q.queue.ReadOffset(), 300);
    EXPECT_EQ(q.queue.BlockCount(), 1);
    q.ReadAndCheck(700);  // reaches the end of the last block: released
    EXPECT_EQ(q.queue.ReadOffset(), 0);
    EXPECT_EQ(q.queue.BlockCount(), 0);
    EXPECT_EQ(q.queue.SpareCount(), 1);
}

TEST(BlockQueue, NullSourceWritesZerosAndOverlongReadsAreZeroFilled) {
    BlockQueue queue;
    queue.Write(nullptr, 64);
    std::vector<unsigned char> out(100, 0xEE);
    queue.Read(out.data(), 100);  // only 64 pending: the rest is zeroed, not invented
    for (unsigned char byte : out) EXPECT_EQ(byte, 0);
    EXPECT_EQ(queue.Pending(), 0);
    queue.Read(out.data(), 0);
    queue.Read(out.data(), -5);
    EXPECT_EQ(queue.Pending(), 0);
}

TEST(BlockQueue, RecycleSparesEveryBlockInOrder) {
    ModelledQueue q;
    q.Write(3 * kBlock + 5);
    q.ReadAndCheck(20);
    ASSERT_EQ(q.queue.BlockCount(), 4);
    q.queue.Recycle();
    q.model.clear();
    EXPECT_EQ(q.queue.BlockCount(), 0);
    EXPECT_EQ(q.queue.SpareCount(), 4);
    EXPECT_EQ(q.queue.Pending(), 0);
    EXPECT_EQ(q.queue.ReadOffset(), 0);

    // All four come back without a heap request, the one spared last (the
    // list's first block) first, and the data is only the new data.
    {
        auto heap = test::FailingHeap::Granting(0);
        q.Write(3 * kBlock + 5);
        EXPECT_EQ(heap.Requests(), 0);
    }
    EXPECT_EQ(q.queue.SpareCount(), 0);
    q.ReadAndCheck(3 * kBlock + 5);
}

TEST(BlockQueue, RandomTrafficMatchesAPlainQueue) {
    ModelledQueue q;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> size(0, 3 * kBlock / 2);
    int mostBlocksInUse = 0;
    for (int step = 0; step < 200; ++step) {
        q.Write(size(random));
        const int span = q.queue.ReadOffset() + q.queue.Pending();
        mostBlocksInUse = std::max(mostBlocksInUse, (span + kBlock - 1) / kBlock);
        const int pending = q.queue.Pending();
        q.ReadAndCheck(std::min(pending, size(random)));
        if (HasFatalFailure()) return;
    }
    q.ReadAndCheck(q.queue.Pending());
    // Spares are used before a new block is made, so no more blocks exist
    // than the largest backlog ever needed.
    EXPECT_EQ(q.queue.BlockCount() + q.queue.SpareCount(), mostBlocksInUse);
}

TEST(BlockQueue, SteadyTrafficAsksTheHeapForNothing) {
    // The engine's pattern: one callback's input written, then read in hops,
    // the queue running empty after every hop.
    ModelledQueue q;
    for (int i = 0; i < 3; ++i) {
        q.Write(2048);
        q.ReadAndCheck(1024);
        q.ReadAndCheck(1024);
    }
    auto heap = test::FailingHeap::Granting(0);
    for (int i = 0; i < 100; ++i) {
        q.Write(2048);
        q.ReadAndCheck(1024);
        q.ReadAndCheck(1024);
        if (HasFatalFailure()) return;
    }
    EXPECT_EQ(heap.Requests(), 0);
}

// Dropping the newest bytes undoes writes across block boundaries, read
// offset included, and the blocks emptied go to the spare list.
TEST(BlockQueue, DropNewestUndoesTheLatestWrites) {
    ModelledQueue q;
    q.Write(kBlock + 300);
    q.ReadAndCheck(200);
    for (int drop : {100, 250, kBlock - 300, 5000, 0}) {
        SCOPED_TRACE(drop);
        const int dropped = std::min(drop, q.queue.Pending());
        q.queue.DropNewest(drop);
        q.model.erase(q.model.end() - dropped, q.model.end());
        ASSERT_EQ(q.queue.Pending(), static_cast<int>(q.model.size()));
        q.Write(77);
        q.ReadAndCheck(10);
        if (HasFatalFailure()) return;
    }
    q.queue.DropNewest(q.queue.Pending() + 10);
    EXPECT_EQ(q.queue.Pending(), 0);
    EXPECT_EQ(q.queue.BlockCount(), 0);
    q.model.clear();
    q.Write(kBlock + 1);
    q.ReadAndCheck(kBlock + 1);
}

// After Reserve(n), writing n bytes asks the heap for nothing, whatever the
// blocks held before.
TEST(BlockQueue, ReserveMakesRoomInAdvance) {
    ModelledQueue q;
    q.Write(100);
    q.ReadAndCheck(100);  // a spare block with little capacity
    q.Write(50);          // the last block, with little capacity
    ASSERT_TRUE(q.queue.Reserve(3 * kBlock));
    auto heap = test::FailingHeap::Granting(0);
    q.Write(3 * kBlock);
    q.ReadAndCheck(3 * kBlock + 50);
    EXPECT_EQ(heap.Requests(), 0);
}

// The oldest pending bytes can be read in place, up to the end of their
// block; a read without a destination drops them.
TEST(BlockQueue, ContiguousShowsTheOldestBytesInPlace) {
    ModelledQueue q;
    int bytes = -1;
    EXPECT_EQ(q.queue.Contiguous(&bytes), nullptr);
    EXPECT_EQ(bytes, 0);
    q.Write(kBlock + 500);
    q.ReadAndCheck(kBlock - 100);
    const auto* front = static_cast<const unsigned char*>(q.queue.Contiguous(&bytes));
    ASSERT_NE(front, nullptr);
    EXPECT_EQ(bytes, 100);  // the rest of the first block
    for (int i = 0; i < bytes; ++i) EXPECT_EQ(front[i], q.model[static_cast<std::size_t>(i)]);
    q.queue.Read(nullptr, 150);
    q.model.erase(q.model.begin(), q.model.begin() + 150);
    front = static_cast<const unsigned char*>(q.queue.Contiguous(&bytes));
    EXPECT_EQ(bytes, 450);
    EXPECT_EQ(front[0], q.model.front());
    q.ReadAndCheck(450);
}

TEST(BlockQueueExhaustion, ReusedBlockThatCannotGrowHoldsNoStaleBytes) {
    ModelledQueue q;
    q.Write(100);
    q.ReadAndCheck(100);  // a spare block with 100 stale bytes and little capacity
    ASSERT_EQ(q.queue.SpareCount(), 1);
    {
        auto heap = test::FailingHeap::Granting(0);
        q.Write(10000);  // takes the spare block but cannot grow it
        EXPECT_EQ(q.queue.Pending(), 0);
    }
    q.Write(50);
    q.ReadAndCheck(50);  // only the new bytes, none of the stale ones
}

// Every heap request after the k-th is refused: the queue stores a prefix of
// what was written, reads it back intact, keeps working once the heap recovers
// and leaks nothing (checked by the sanitizer build).
TEST(BlockQueueExhaustion, StoresAPrefixWhenTheHeapRunsOut) {
    for (int granted = 0; granted < 12; ++granted) {
        SCOPED_TRACE(granted);
        ModelledQueue q;
        q.Write(2 * kBlock);
        q.ReadAndCheck(kBlock + 7);  // one block spare, one partly read
        {
            auto heap = test::FailingHeap::Granting(granted);
            q.Write(3 * kBlock + 50);
            EXPECT_LE(q.queue.Pending(), 4 * kBlock + 50 - 7);
            q.ReadAndCheck(100);
            q.Write(kBlock);
            q.queue.Recycle();
            q.model.clear();
            q.Write(2 * kBlock + 1);
        }
        q.Write(kBlock);
        q.ReadAndCheck(q.queue.Pending());
        if (HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace tolvar
