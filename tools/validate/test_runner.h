#pragma once
// Runs the validator's tests one after another, each on a worker thread under
// a watchdog, and prints one line per test and the closing count.
#include <chrono>
#include <cstdio>
#include <vector>

#include "tools/validate/validator_test.h"

namespace tolvar::validate {

constexpr std::chrono::seconds kTestWatchdog{30};

struct RunCounts {
    int passed = 0;
    int failed = 0;
    int skipped = 0;
};

// Runs every test `repeat` times (the k-th time with seed settings.seed + k),
// printing "PASS name (time) detail", "FAIL name (time): reason" or "SKIP name:
// why" to `out`. A test still running after the watchdog's time is a failure:
// then the count so far (the hung test included) is printed and the process
// ends at once with status 1, since the hung thread cannot be stopped.
RunCounts RunTests(const std::vector<ValidatorTest>& tests, Subject& subject, const TestSettings& settings,
                   int repeat, std::FILE* out, std::chrono::milliseconds watchdog = kTestWatchdog);

// "N passed, N failed" with ", N skipped" when any were.
void PrintCounts(const RunCounts& counts, std::FILE* out);

}  // namespace tolvar::validate
