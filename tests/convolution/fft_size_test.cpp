#include "convolution/fft_size.h"

#include <gtest/gtest.h>

#include <climits>

namespace tolvar {
namespace {

TEST(FftSizeRule, SupportedSizes) {
    for (int n = 2; n <= 32768; n *= 2) EXPECT_TRUE(IsSupportedFftSize(n)) << n;
    for (int n : {INT_MIN, -2, 0, 1, 3, 6, 1000, 32767, 65536, INT_MAX}) EXPECT_FALSE(IsSupportedFftSize(n)) << n;
}

TEST(FftSizeRule, HandComputedTable) {
    struct Row {
        int length, request, n;
    };
    const Row rows[] = {
        {129, -1, 512},        {256, -1, 512},        {257, -1, 1024},       {1000, -1, 2048},
        {16384, -1, 32768},    {16385, -1, 32768},    {20000, -1, 32768},    {1000000, -1, 32768},
        {1000, -100, 256},     // cap 200 is no power of two: the first one above it
        {1000, -16, 32},       {1000, -17, 64},       {1000, -1024, 2048},   {1000, -512, 1024},
        {1000, -2, 2048},      {1000, -15, 2048},     // above -16: the automatic cap
        {70000, -100000, 32768}, {70000, INT_MIN, 32768},  // caps above 32768 act as 32768
        {200, 4096, 4096},     {200, 2, 2},           {200, 32768, 32768},
        {200, 0, 0},           {200, 1, 0},           {200, 3, 0},           {200, 65536, 0},
        {200, INT_MAX, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ChooseFftSize(row.length, row.request), row.n) << row.length << " taps, request " << row.request;
    }
}

TEST(FftSizeRule, PartitionCounts) {
    EXPECT_EQ(PartitionsFor(129, 512), 1);
    EXPECT_EQ(PartitionsFor(256, 512), 1);
    EXPECT_EQ(PartitionsFor(257, 512), 2);
    EXPECT_EQ(PartitionsFor(16384, 32768), 1);
    EXPECT_EQ(PartitionsFor(20000, 32768), 2);
    EXPECT_EQ(PartitionsFor(70000, 32768), 5);
    EXPECT_EQ(PartitionsFor(1000, 256), 8);
    EXPECT_EQ(PartitionsFor(1000, 2), 1000);
}

}  // namespace
}  // namespace tolvar
