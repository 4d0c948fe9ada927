#include "buffers/heap_buffer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>

#include "tests/support/failing_heap.h"

namespace tolvar {
namespace {

void FillPattern(HeapBuffer& buffer, int bytes) {
    auto* data = static_cast<unsigned char*>(buffer.Data());
    for (int i = 0; i < bytes; ++i) data[i] = static_cast<unsigned char>(i * 7 + 3);
}

bool HasPattern(const HeapBuffer& buffer, int bytes) {
    const auto* data = static_cast<const unsigned char*>(buffer.Data());
    for (int i = 0; i < bytes; ++i) {
        if (data[i] != static_cast<unsigned char>(i * 7 + 3)) return false;
    }
    return true;
}

TEST(HeapBuffer, StartsEmpty) {
    HeapBuffer buffer(64);
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Capacity(), 0);
    EXPECT_EQ(buffer.Length(), 0);
    EXPECT_EQ(buffer.Granularity(), 64);
}

TEST(HeapBuffer, GrowsWithOneGranuleOfSlack) {
    HeapBuffer buffer(64);
    ASSERT_NE(buffer.Resize(100, false), nullptr);
    EXPECT_EQ(buffer.Capacity(), 164);
    EXPECT_EQ(buffer.Length(), 100);
    void* first = buffer.Data();

    EXPECT_EQ(buffer.Resize(150, false), first);  // fits: no reallocation
    EXPECT_EQ(buffer.Capacity(), 164);
    EXPECT_EQ(buffer.Length(), 150);

    ASSERT_NE(buffer.Resize(200, false), nullptr);
    EXPECT_EQ(buffer.Capacity(), 264);
    EXPECT_EQ(buffer.Length(), 200);

    HeapBuffer queueBuffer(4096);
    queueBuffer.Resize(1, false);
    EXPECT_EQ(queueBuffer.Capacity(), 4097);
}

TEST(HeapBuffer, ShrinksOnlyWhenFreeingMoreThanFourGranules) {
    HeapBuffer buffer(64);
    buffer.Resize(200, false);
    ASSERT_EQ(buffer.Capacity(), 264);

    buffer.Resize(10, true);  // 10 is not below 264 - 256 = 8
    EXPECT_EQ(buffer.Capacity(), 264);
    EXPECT_EQ(buffer.Length(), 10);
    buffer.Resize(8, true);  // the boundary itself keeps the storage
    EXPECT_EQ(buffer.Capacity(), 264);
    buffer.Resize(7, true);
    EXPECT_EQ(buffer.Capacity(), 7);
    EXPECT_EQ(buffer.Length(), 7);

    buffer.Resize(200, false);
    buffer.Resize(5, false);  // without allowShrink nothing is given back
    EXPECT_EQ(buffer.Capacity(), 264);
    buffer.Resize(5, true);
    EXPECT_EQ(buffer.Capacity(), 5);

    buffer.Resize(0, false);  // keeps the storage
    EXPECT_NE(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Capacity(), 5);
    EXPECT_EQ(buffer.Length(), 0);

    EXPECT_EQ(buffer.Resize(0, true), nullptr);  // frees it
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Capacity(), 0);
    EXPECT_EQ(buffer.Length(), 0);
}

TEST(HeapBuffer, KeepsContentsAcrossGrowthAndShrink) {
    HeapBuffer buffer(64);
    buffer.Resize(100, false);
    FillPattern(buffer, 100);
    buffer.Resize(100000, false);  // certainly moves
    EXPECT_TRUE(HasPattern(buffer, 100));

    FillPattern(buffer, 100000);
    buffer.Resize(300, true);
    EXPECT_EQ(buffer.Capacity(), 300);
    EXPECT_TRUE(HasPattern(buffer, 300));
    buffer.Resize(100, false);
    buffer.Resize(200, false);  // the bytes beyond the old length were kept as well
    EXPECT_TRUE(HasPattern(buffer, 200));
}

TEST(HeapBuffer, ReleaseFreesAndCanBeRepeated) {
    HeapBuffer buffer(64);
    buffer.Resize(1000, false);
    buffer.Release();
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Capacity(), 0);
    EXPECT_EQ(buffer.Length(), 0);
    buffer.Release();
    EXPECT_EQ(buffer.Data(), nullptr);
    ASSERT_NE(buffer.Resize(10, false), nullptr);  // usable again
    EXPECT_EQ(buffer.Capacity(), 74);
}

TEST(HeapBuffer, RefusesNegativeAndOverflowingLengths) {
    HeapBuffer buffer(64);
    buffer.Resize(100, false);
    FillPattern(buffer, 100);
    void* data = buffer.Data();
    EXPECT_EQ(buffer.Resize(-1, false), nullptr);
    EXPECT_EQ(buffer.Resize(-1, true), nullptr);
    EXPECT_EQ(buffer.Resize(INT_MAX, false), nullptr);
    EXPECT_EQ(buffer.Resize(INT_MAX - 63, false), nullptr);
    EXPECT_EQ(buffer.Data(), data);
    EXPECT_EQ(buffer.Capacity(), 164);
    EXPECT_EQ(buffer.Length(), 100);
    EXPECT_TRUE(HasPattern(buffer, 100));
}

// An aligned buffer keeps its data on a cache line through every way the
// storage can move, with its contents intact.
TEST(HeapBuffer, AlignedStorageStaysAlignedAndKeepsItsContents) {
    auto aligned = [](const HeapBuffer& b) { return reinterpret_cast<std::uintptr_t>(b.Data()) % 64 == 0; };
    HeapBuffer buffer(64, HeapBuffer::kVectorAlignment);
    EXPECT_EQ(buffer.Alignment(), 64);
    ASSERT_NE(buffer.Resize(100, false), nullptr);
    EXPECT_TRUE(aligned(buffer));
    EXPECT_EQ(buffer.Capacity(), 164);
    FillPattern(buffer, 100);
    for (int length : {1000, 100000, 3000, 200000}) {
        SCOPED_TRACE(length);
        buffer.Resize(length, true);
        EXPECT_TRUE(aligned(buffer));
        EXPECT_TRUE(HasPattern(buffer, 100));
    }
    FillPattern(buffer, 200000);
    {
        auto heap = test::FailingHeap::RefusingReallocs();
        ASSERT_NE(buffer.Resize(300000, false), nullptr);
    }
    EXPECT_TRUE(aligned(buffer));
    EXPECT_TRUE(HasPattern(buffer, 200000));
    {
        auto heap = test::FailingHeap::Granting(0);
        void* data = buffer.Data();
        EXPECT_EQ(buffer.Resize(400000, false), nullptr);
        EXPECT_EQ(buffer.Data(), data);
        EXPECT_EQ(heap.Refusals(), 2);
    }
    EXPECT_TRUE(HasPattern(buffer, 200000));

    HeapBuffer plain(64);
    plain.Resize(10, false);
    plain.SwapStorage(buffer);  // the alignment goes with the storage
    EXPECT_EQ(plain.Alignment(), 64);
    EXPECT_EQ(buffer.Alignment(), 1);
    EXPECT_TRUE(aligned(plain));
    EXPECT_EQ(HeapBuffer(64, 48).Alignment(), 1);  // not a power of two: the heap's own
}

TEST(HeapBufferExhaustion, RefusedGrowthKeepsStorageCapacityAndLength) {
    HeapBuffer buffer(64);
    buffer.Resize(100, false);
    FillPattern(buffer, 100);
    void* data = buffer.Data();
    {
        auto heap = test::FailingHeap::Granting(0);
        EXPECT_EQ(buffer.Resize(5000, false), nullptr);
        EXPECT_EQ(heap.Refusals(), 2);  // realloc, then the fresh-block fallback
        EXPECT_EQ(buffer.Resize(150, false), data);  // within capacity: no request
        EXPECT_EQ(heap.Requests(), 2);
        buffer.Resize(100, false);
    }
    EXPECT_EQ(buffer.Data(), data);
    EXPECT_EQ(buffer.Capacity(), 164);
    EXPECT_EQ(buffer.Length(), 100);
    EXPECT_TRUE(HasPattern(buffer, 100));

    HeapBuffer empty(64);
    {
        auto heap = test::FailingHeap::Granting(0);
        EXPECT_EQ(empty.Resize(10, false), nullptr);
    }
    EXPECT_EQ(empty.Data(), nullptr);
    EXPECT_EQ(empty.Capacity(), 0);
    EXPECT_EQ(empty.Length(), 0);
}

TEST(HeapBufferExhaustion, FallsBackToFreshBlockWhenReallocFails) {
    HeapBuffer buffer(64);
    buffer.Resize(100, false);
    FillPattern(buffer, 100);
    {
        auto heap = test::FailingHeap::RefusingReallocs();
        ASSERT_NE(buffer.Resize(10000, false), nullptr);
        EXPECT_EQ(heap.Refusals(), 1);
    }
    EXPECT_EQ(buffer.Capacity(), 10064);
    EXPECT_EQ(buffer.Length(), 10000);
    EXPECT_TRUE(HasPattern(buffer, 100));

    FillPattern(buffer, 10000);
    {
        auto heap = test::FailingHeap::RefusingReallocs();
        ASSERT_NE(buffer.Resize(40, true), nullptr);  // shrink copies only what is kept
    }
    EXPECT_EQ(buffer.Capacity(), 40);
    EXPECT_TRUE(HasPattern(buffer, 40));
}

TEST(HeapBufferExhaustion, RefusedShrinkStillTakesTheNewLength) {
    HeapBuffer buffer(64);
    buffer.Resize(2000, false);
    FillPattern(buffer, 2000);
    void* data = buffer.Data();
    {
        auto heap = test::FailingHeap::Granting(0);
        EXPECT_EQ(buffer.Resize(50, true), data);
        EXPECT_EQ(heap.Refusals(), 2);
    }
    EXPECT_EQ(buffer.Capacity(), 2064);
    EXPECT_EQ(buffer.Length(), 50);
    EXPECT_TRUE(HasPattern(buffer, 50));
}

}  // namespace
}  // namespace tolvar
