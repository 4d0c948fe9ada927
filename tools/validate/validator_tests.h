#pragma once
// The validator's tests, by group. Each Add function appends its group's tests;
// the list may depend on the settings (strictness widens the coverage).
#include <vector>

#include "tools/validate/validator_test.h"

namespace tolvar::validate {

void AddLifecycleTests(std::vector<ValidatorTest>& tests, const TestSettings& settings);
void AddAudioTests(std::vector<ValidatorTest>& tests, const TestSettings& settings);
void AddAutomationTests(std::vector<ValidatorTest>& tests, const TestSettings& settings);
void AddParameterTests(std::vector<ValidatorTest>& tests, const TestSettings& settings);
void AddAllocationTests(std::vector<ValidatorTest>& tests, const TestSettings& settings);
void AddFaultInjectionTests(std::vector<ValidatorTest>& tests, const TestSettings& settings);
void AddIrFolderTests(std::vector<ValidatorTest>& tests, const TestSettings& settings);

// Every test, in the order they run.
std::vector<ValidatorTest> AllTests(const TestSettings& settings);

// The reason a test about our own plug-in's IR library gives a foreign one.
constexpr const char* kNotOurs =
    "not our plug-in: this test needs its IR folder and its composition, which a foreign plug-in does not have";

}  // namespace tolvar::validate
