#include "convolution/sample_queue.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/failing_heap.h"

namespace tolvar {
namespace {

std::vector<float> Ramp(int count, float start) {
    std::vector<float> values(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) values[static_cast<std::size_t>(i)] = start + static_cast<float>(i);
    return values;
}

void ExpectContents(const SampleQueue& queue, const std::vector<float>& expected) {
    ASSERT_EQ(queue.Readable(), static_cast<int>(expected.size()));
    const float* front = queue.Front();
    if (expected.empty()) {
        EXPECT_EQ(front, nullptr);
        return;
    }
    ASSERT_NE(front, nullptr);
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(front[i], expected[i]) << "sample " << i;
}

TEST(SampleQueue, AppendConsumeInOrder) {
    SampleQueue queue;
    ExpectContents(queue, {});
    const std::vector<float> ramp = Ramp(10, 1.0f);
    ASSERT_TRUE(queue.Append(ramp.data(), 10));
    const float* storage = queue.Front();
    ExpectContents(queue, ramp);

    queue.Consume(3);
    // A consume only moves the read position.
    EXPECT_EQ(queue.Front(), storage + 3);
    ExpectContents(queue, std::vector<float>(ramp.begin() + 3, ramp.end()));

    queue.Consume(0);
    queue.Consume(-4);
    ExpectContents(queue, std::vector<float>(ramp.begin() + 3, ramp.end()));

    ASSERT_TRUE(queue.AppendZeros(2));
    ASSERT_TRUE(queue.Append(ramp.data(), 0));
    std::vector<float> expected(ramp.begin() + 3, ramp.end());
    expected.insert(expected.end(), {0.0f, 0.0f});
    ExpectContents(queue, expected);

    queue.Consume(9);  // exactly what is readable
    ExpectContents(queue, {});
    queue.Append(ramp.data(), 4);
    queue.Consume(100);  // more than readable empties the queue
    ExpectContents(queue, {});
}

// Read in small pieces and refilled in large ones, the queue moves its
// backlog to the front only when the end of its storage is reached, and never
// asks the heap for more than the largest backlog needs.
TEST(SampleQueue, CompactsOnlyWhenTheEndIsReached) {
    SampleQueue queue;
    const std::vector<float> ramp = Ramp(3000, 0.0f);
    std::vector<float> model;
    queue.Append(ramp.data(), 2000);
    model.assign(ramp.begin(), ramp.begin() + 2000);
    const float* storage = queue.Front();
    auto heap = test::FailingHeap::Granting(0);
    int moves = 0;
    for (int step = 0; step < 400; ++step) {
        const float* before = queue.Front();
        queue.Consume(64);
        model.erase(model.begin(), model.begin() + 64);
        if (queue.Readable() < 1000) {
            ASSERT_TRUE(queue.Append(ramp.data() + step, 1024));
            model.insert(model.end(), ramp.begin() + step, ramp.begin() + step + 1024);
        }
        if (queue.Front() == storage && before != storage + 64) ++moves;
        ExpectContents(queue, model);
        if (HasFatalFailure()) return;
    }
    EXPECT_EQ(heap.Requests(), 0);
    EXPECT_GT(moves, 0);
    EXPECT_LT(moves, 40);  // about one move per refill that reaches the end, not one per read
}

TEST(SampleQueue, DropNewestAndReserve) {
    SampleQueue queue;
    const std::vector<float> ramp = Ramp(10, 1.0f);
    queue.Append(ramp.data(), 10);
    queue.Consume(2);
    queue.DropNewest(3);
    ExpectContents(queue, std::vector<float>(ramp.begin() + 2, ramp.begin() + 7));
    queue.DropNewest(0);
    queue.DropNewest(-1);
    ExpectContents(queue, std::vector<float>(ramp.begin() + 2, ramp.begin() + 7));
    queue.DropNewest(100);
    ExpectContents(queue, {});

    queue.Append(ramp.data(), 10);
    ASSERT_TRUE(queue.Reserve(5000));
    ExpectContents(queue, ramp);
    auto heap = test::FailingHeap::Granting(0);
    const std::vector<float> more = Ramp(5000, 20.0f);
    ASSERT_TRUE(queue.Append(more.data(), 5000));
    EXPECT_EQ(heap.Requests(), 0);
    std::vector<float> expected = ramp;
    expected.insert(expected.end(), more.begin(), more.end());
    ExpectContents(queue, expected);
}

TEST(SampleQueue, ExtendReturnsTheNewEnd) {
    SampleQueue queue;
    EXPECT_EQ(queue.Extend(0), nullptr);
    EXPECT_EQ(queue.Extend(-1), nullptr);
    const std::vector<float> ramp = Ramp(5, 10.0f);
    queue.Append(ramp.data(), 5);
    float* end = queue.Extend(3);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(end, queue.Front() + 5);
    end[0] = -1.0f;
    end[1] = -2.0f;
    end[2] = -3.0f;
    ExpectContents(queue, {10, 11, 12, 13, 14, -1, -2, -3});
}

TEST(SampleQueue, ClearKeepsStorageForReuse) {
    SampleQueue queue;
    const std::vector<float> ramp = Ramp(1000, 0.0f);
    queue.Append(ramp.data(), 1000);
    queue.Clear();
    ExpectContents(queue, {});
    auto heap = test::FailingHeap::Granting(0);
    ASSERT_TRUE(queue.Append(ramp.data(), 1000));  // no request: the storage was kept
    EXPECT_EQ(heap.Requests(), 0);
    ExpectContents(queue, ramp);
}

TEST(SampleQueueExhaustion, RefusedGrowthAppendsNothing) {
    SampleQueue queue;
    const std::vector<float> ramp = Ramp(2000, 0.0f);
    {
        auto heap = test::FailingHeap::Granting(0);
        EXPECT_FALSE(queue.Append(ramp.data(), 10));
        EXPECT_FALSE(queue.AppendZeros(10));
        EXPECT_EQ(queue.Extend(10), nullptr);
    }
    ExpectContents(queue, {});
    queue.Append(ramp.data(), 100);
    {
        auto heap = test::FailingHeap::Granting(0);
        EXPECT_FALSE(queue.Append(ramp.data(), 2000));  // beyond the 4096-byte slack
        EXPECT_FALSE(queue.AppendZeros(2000));
        EXPECT_EQ(queue.Extend(2000), nullptr);
        queue.Consume(40);  // compaction never asks the heap
        EXPECT_EQ(heap.Requests(), 6);
    }
    ExpectContents(queue, std::vector<float>(ramp.begin() + 40, ramp.begin() + 100));
}

}  // namespace
}  // namespace tolvar
