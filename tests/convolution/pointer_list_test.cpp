#include "convolution/pointer_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/support/failing_heap.h"

namespace tolvar {
namespace {

// Distinct, never dereferenced addresses to store.
void* Tag(int i) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x1000 + 16 * i)); }

void ExpectEntries(const PointerList& list, const std::vector<int>& tags) {
    ASSERT_EQ(list.Count(), static_cast<int>(tags.size()));
    for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(list.At(i), Tag(tags[i])) << "entry " << i;
}

TEST(PointerList, EmptyListRefusesEveryIndex) {
    PointerList list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.At(0), nullptr);
    EXPECT_EQ(list.At(-1), nullptr);
    EXPECT_EQ(list.SetAt(0, Tag(1)), nullptr);
    list.RemoveAt(0);
    list.RemoveAt(-1);
    EXPECT_EQ(list.Count(), 0);
}

TEST(PointerList, PushSetRemoveKeepOrder) {
    PointerList list;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list.Push(Tag(i)), Tag(i));
    ExpectEntries(list, {0, 1, 2, 3});
    EXPECT_EQ(list.At(4), nullptr);
    EXPECT_EQ(list.At(-1), nullptr);

    EXPECT_EQ(list.SetAt(1, Tag(9)), Tag(9));
    EXPECT_EQ(list.SetAt(4, Tag(8)), nullptr);
    EXPECT_EQ(list.SetAt(-1, Tag(8)), nullptr);
    ExpectEntries(list, {0, 9, 2, 3});

    list.RemoveAt(1);
    ExpectEntries(list, {0, 2, 3});
    list.RemoveAt(3);  // outside: nothing happens
    list.RemoveAt(-1);
    ExpectEntries(list, {0, 2, 3});
    list.RemoveAt(2);  // the last entry
    ExpectEntries(list, {0, 2});
    list.RemoveAt(0);
    list.RemoveAt(0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.At(0), nullptr);
    EXPECT_EQ(list.SetAt(0, Tag(5)), nullptr);
    {
        // Running empty kept the storage: refilling asks the heap for nothing.
        auto heap = test::FailingHeap::Granting(0);
        EXPECT_EQ(list.Push(Tag(5)), Tag(5));
        EXPECT_EQ(heap.Requests(), 0);
    }
    ExpectEntries(list, {5});
}

TEST(PointerList, LongListRemovedFromTheFront) {
    PointerList list;
    std::vector<int> model;
    for (int i = 0; i < 3000; ++i) {  // several granules of pointers
        list.Push(Tag(i));
        model.push_back(i);
    }
    ExpectEntries(list, model);
    while (!model.empty()) {
        list.RemoveAt(0);
        model.erase(model.begin());
        if (model.size() % 500 == 0) ExpectEntries(list, model);
    }
    EXPECT_EQ(list.Count(), 0);
}

TEST(PointerListExhaustion, RefusedPushStoresNothingAndShrinksStillWork) {
    PointerList list;
    {
        auto heap = test::FailingHeap::Granting(0);
        EXPECT_EQ(list.Push(Tag(1)), nullptr);
        EXPECT_EQ(list.Count(), 0);
    }
    // Enough entries to span six 4096-byte granules whatever the pointer size,
    // so that removing most of them passes the shrink threshold.
    const int entries = static_cast<int>(6 * 4096 / sizeof(void*));
    std::vector<int> model;
    for (int i = 0; i < entries; ++i) {
        list.Push(Tag(i));
        model.push_back(i);
    }
    auto heap = test::FailingHeap::Granting(0);
    // The slack of the last growth still takes pushes without a request.
    list.Push(Tag(entries));
    model.push_back(entries);
    EXPECT_EQ(heap.Requests(), 0);
    // Removing past the shrink threshold asks the heap for a smaller block,
    // which is refused; the entries must still go.
    while (model.size() > 10) {
        list.RemoveAt(static_cast<int>(model.size()) / 2);
        model.erase(model.begin() + static_cast<long>(model.size()) / 2);
    }
    EXPECT_GT(heap.Refusals(), 0);
    ExpectEntries(list, model);
}

}  // namespace
}  // namespace tolvar
