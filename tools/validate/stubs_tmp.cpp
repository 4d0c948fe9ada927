#include "tools/validate/validator_tests.h"
namespace tolvar::validate {
void AddAutomationTests(std::vector<ValidatorTest>&, const TestSettings&) {}
void AddParameterTests(std::vector<ValidatorTest>&, const TestSettings&) {}
void AddAllocationTests(std::vector<ValidatorTest>&, const TestSettings&) {}
void AddFaultInjectionTests(std::vector<ValidatorTest>&, const TestSettings&) {}
void AddIrFolderTests(std::vector<ValidatorTest>&, const TestSettings&) {}
}
