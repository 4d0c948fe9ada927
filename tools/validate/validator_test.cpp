#include "tools/validate/validator_test.h"

namespace tolvar::validate {

constexpr std::size_t kFindingsShown = 4;

std::vector<int> SpreadPick(int total, int count) {
    std::vector<int> picked;
    if (total <= 0 || count <= 0) return picked;
    if (count >= total) count = total;
    for (int i = 0; i < count; ++i) {
        const int index = count == 1 ? 0 : static_cast<int>(static_cast<long long>(i) * (total - 1) / (count - 1));
        if (picked.empty() || picked.back() != index) picked.push_back(index);
    }
    return picked;
}

void Findings::Add(std::string finding) {
    ++count;
    if (first.size() < kFindingsShown) first.push_back(std::move(finding));
}

TestResult Findings::Result(std::string passDetail) const {
    if (!Any()) return Passed(std::move(passDetail));
    std::string detail;
    for (const std::string& finding : first) detail += (detail.empty() ? "" : "; ") + finding;
    if (count > static_cast<int>(first.size()))
        detail += "; and " + std::to_string(count - static_cast<int>(first.size())) + " more";
    return Failed(detail);
}

}  // namespace tolvar::validate
