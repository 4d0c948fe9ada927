#include "tools/validate/test_runner.h"

#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace tolvar::validate {
namespace {

// What the worker hands back; shared, so that a hung worker may outlive the wait.
struct Handoff {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    TestResult result;
};

TestResult RunGuarded(const ValidatorTest& test, Subject& subject, const TestSettings& settings) {
    try {
        return test.run(subject, settings);
    } catch (const std::exception& error) {
        return Failed(std::string("the validator itself failed: ") + error.what());
    } catch (...) {
        return Failed("the validator itself failed with an unknown exception");
    }
}

void PrintResult(const std::string& name, const TestResult& result, double seconds, std::FILE* out) {
    switch (result.outcome) {
        case Outcome::kPassed:
            std::fprintf(out, "PASS  %s  (%.2f s)%s%s\n", name.c_str(), seconds, result.detail.empty() ? "" : "  ",
                         result.detail.c_str());
            break;
        case Outcome::kFailed:
            std::fprintf(out, "FAIL  %s  (%.2f s): %s\n", name.c_str(), seconds, result.detail.c_str());
            break;
        case Outcome::kSkipped:
            std::fprintf(out, "SKIP  %s: %s\n", name.c_str(), result.detail.c_str());
            break;
    }
    std::fflush(out);
}

}  // namespace

void PrintCounts(const RunCounts& counts, std::FILE* out) {
    if (counts.skipped > 0) std::fprintf(out, "%d passed, %d failed, %d skipped\n", counts.passed, counts.failed, counts.skipped);
    else std::fprintf(out, "%d passed, %d failed\n", counts.passed, counts.failed);
    std::fflush(out);
}

RunCounts RunTests(const std::vector<ValidatorTest>& tests, Subject& subject, const TestSettings& settings,
                   int repeat, std::FILE* out, std::chrono::milliseconds watchdog) {
    RunCounts counts;
    for (int round = 0; round < repeat; ++round) {
        TestSettings roundSettings = settings;
        roundSettings.seed = settings.seed + static_cast<uint32_t>(round);
        for (const ValidatorTest& test : tests) {
            const std::string name = repeat > 1 ? test.name + " #" + std::to_string(round + 1) : test.name;
            auto handoff = std::make_shared<Handoff>();
            const auto start = std::chrono::steady_clock::now();
            std::thread worker([handoff, &test, &subject, roundSettings] {
                TestResult result = RunGuarded(test, subject, roundSettings);
                const std::lock_guard lock(handoff->mutex);
                handoff->result = std::move(result);
                handoff->finished = true;
                handoff->done.notify_one();
            });
            std::unique_lock lock(handoff->mutex);
            if (!handoff->done.wait_for(lock, watchdog, [&] { return handoff->finished; })) {
                PrintResult(name, Failed("still running after " + std::to_string(watchdog.count() / 1000) +
                                         " s: it hangs or deadlocks"),
                            std::chrono::duration<double>(watchdog).count(), out);
                ++counts.failed;
                PrintCounts(counts, out);
                std::_Exit(1);
            }
            const TestResult result = handoff->result;
            lock.unlock();
            worker.join();
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            PrintResult(name, result, seconds, out);
            if (result.outcome == Outcome::kPassed) ++counts.passed;
            else if (result.outcome == Outcome::kFailed) ++counts.failed;
            else ++counts.skipped;
        }
    }
    return counts;
}

}  // namespace tolvar::validate
