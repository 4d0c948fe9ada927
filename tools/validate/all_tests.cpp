#include "tools/validate/validator_tests.h"

namespace tolvar::validate {

std::vector<ValidatorTest> AllTests(const TestSettings& settings) {
    std::vector<ValidatorTest> tests;
    AddLifecycleTests(tests, settings);
    AddParameterTests(tests, settings);
    AddAudioTests(tests, settings);
    AddAutomationTests(tests, settings);
    AddAllocationTests(tests, settings);
    AddFaultInjectionTests(tests, settings);
    AddIrFolderTests(tests, settings);
    return tests;
}

}  // namespace tolvar::validate
