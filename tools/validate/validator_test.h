#pragma once
// One check of the validator, its outcome, and the settings every check reads.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tolvar::validate {

class Subject;

enum class Outcome { kPassed, kFailed, kSkipped };

struct TestResult {
    Outcome outcome = Outcome::kPassed;
    std::string detail;  // what was covered (passed), what went wrong (failed), or why not run (skipped)
};

inline TestResult Passed(std::string detail = {}) { return {Outcome::kPassed, std::move(detail)}; }
inline TestResult Failed(std::string detail) { return {Outcome::kFailed, std::move(detail)}; }
inline TestResult Skipped(std::string why) { return {Outcome::kSkipped, std::move(why)}; }

struct TestSettings {
    int strictness = 5;  // 1..10: how much of each test's space is covered
    uint32_t seed = 1;   // every random choice of a run derives from it
};

// Picks `count` items spread evenly over 0..total-1 (all of them when count >= total).
std::vector<int> SpreadPick(int total, int count);

struct ValidatorTest {
    std::string name;  // "group.case": --only and --skip match on prefixes of it
    std::function<TestResult(Subject&, const TestSettings&)> run;
};

// Collects what went wrong in one test; the first few findings make its detail.
class Findings {
public:
    void Add(std::string finding);
    bool Any() const { return count > 0; }
    TestResult Result(std::string passDetail) const;

private:
    std::vector<std::string> first;
    int count = 0;
};

}  // namespace tolvar::validate
