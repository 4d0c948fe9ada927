#include "params/param_info.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace tolvar {
namespace {

std::string Display(int index, double normalized) {
    char text[32];
    std::memset(text, '#', sizeof text);
    FormatParamDisplay(index, normalized, text);
    return text;
}

TEST(ParamTable, NamesKindsAndDefaultsMatchTheHostVisibleTable) {
    struct Row {
        const char* name;
        bool isSwitch;
        double defaultNormalized;
        int controlId;
    };
    const Row expected[kParamCount] = {
        {"Input Mode", false, 0.0, 1033}, {"LPF", false, 0.0, 1076},      {"HPF", false, 0.0, 1036},
        {"LShelfF", false, 0.5, 1037},    {"LShelfG", false, 0.48, 1038}, {"LShelfHQ", true, 0.0, 1019},
        {"Band1F", false, 3.0 / 9, 1041}, {"Band1G", false, 0.48, 1042},  {"Band1HQ", true, 0.0, 1020},
        {"Band2F", false, 5.0 / 9, 1043}, {"Band2G", false, 0.48, 1044},  {"Band2HQ", true, 0.0, 1021},
        {"HShelfF", false, 0.5, 1045},    {"HShelfG", false, 0.48, 1046}, {"HShelfHQ", true, 0.0, 1022},
    };
    for (int i = 0; i < kParamCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(ParamName(i), expected[i].name);
        EXPECT_STREQ(ParamLabel(i), "");
        EXPECT_EQ(IsSwitchParam(i), expected[i].isSwitch);
        EXPECT_EQ(kParamTable[i].controlId, expected[i].controlId);
        EXPECT_NEAR(NormalizedFromValue(i, kParamTable[i].defaultValue), expected[i].defaultNormalized, 1e-15);
        // Every choice of a stepped row survives the round trip through the stored value.
        if (!expected[i].isSwitch) {
            for (int k = 0; k <= static_cast<int>(kParamTable[i].maximum); ++k) {
                EXPECT_EQ(ChoiceFromNormalized(i, NormalizedFromValue(i, k)), k);
            }
        }
    }
    EXPECT_STREQ(ParamName(15), "");
    EXPECT_STREQ(ParamName(-1), "");
    EXPECT_STREQ(ParamLabel(15), "");
}

TEST(ParamMapping, SteppedValuesAreNeitherRoundedNorClamped) {
    EXPECT_DOUBLE_EQ(ValueFromNormalized(kParamInputMode, 0.625), 2.5);
    EXPECT_EQ(ChoiceFromNormalized(kParamInputMode, 0.625), 3);  // half-up
    EXPECT_DOUBLE_EQ(ValueFromNormalized(kParamInputMode, 0.3), 1.2);
    EXPECT_EQ(ChoiceFromNormalized(kParamInputMode, 0.3), 1);
    EXPECT_DOUBLE_EQ(ValueFromNormalized(kParamBand1F, 1.2), 10.8);
    EXPECT_EQ(ChoiceFromNormalized(kParamLShelfG, 1.0), 25);
    EXPECT_EQ(ChoiceFromNormalized(kParamLShelfG, 0.96), 24);
    EXPECT_DOUBLE_EQ(ValueFromNormalized(kParamHpf, 1.5), 7.5);
    // Truncation toward zero: from just above -1.5 to just below 0.5 is choice 0.
    EXPECT_EQ(ChoiceFromNormalized(kParamInputMode, -1.4999 / 4), 0);
    EXPECT_EQ(ChoiceFromNormalized(kParamInputMode, 0.4999 / 4), 0);
    EXPECT_EQ(ChoiceFromNormalized(kParamInputMode, -1.5001 / 4), -1);
    EXPECT_DOUBLE_EQ(ValueFromNormalized(15, 0.5), 0.0);
    EXPECT_DOUBLE_EQ(NormalizedFromValue(-1, 3.0), 0.0);
}

TEST(ParamMapping, SwitchesAndClampingOfTableUnits) {
    EXPECT_DOUBLE_EQ(ValueFromNormalized(kParamBand1HQ, 0.5), 1.0);
    EXPECT_DOUBLE_EQ(ValueFromNormalized(kParamBand1HQ, 0.4999), 0.0);
    EXPECT_DOUBLE_EQ(ValueFromNormalized(kParamBand1HQ, std::nan("")), 0.0);
    EXPECT_DOUBLE_EQ(NormalizedFromValue(kParamBand1HQ, 0.5), 1.0);
    EXPECT_DOUBLE_EQ(NormalizedFromValue(kParamBand1HQ, 0.49), 0.0);
    EXPECT_DOUBLE_EQ(NormalizedFromValue(kParamLpf, 4.0), 0.8);
    EXPECT_DOUBLE_EQ(NormalizedFromValue(kParamLShelfG, 25.0), 1.0);
    EXPECT_DOUBLE_EQ(NormalizedFromValue(kParamLShelfG, 40.0), 1.0);
    EXPECT_DOUBLE_EQ(NormalizedFromValue(kParamLShelfG, -1.0), 0.0);  // an empty list selection
}

TEST(ParamMapping, WildStoredValuesSelectNoChoice) {
    const double inf = std::numeric_limits<double>::infinity();
    for (int i = 0; i < kParamCount; ++i) {
        if (IsSwitchParam(i)) continue;
        SCOPED_TRACE(i);
        EXPECT_EQ(ChoiceFromNormalized(i, std::nan("")), kNoChoice);
        EXPECT_EQ(ChoiceFromNormalized(i, inf), kNoChoice);
        EXPECT_EQ(ChoiceFromNormalized(i, -inf), kNoChoice);
        EXPECT_EQ(ChoiceFromNormalized(i, 1e30), kNoChoice);
        EXPECT_EQ(ChoiceFromNormalized(i, -1e30), kNoChoice);
    }
    // The largest values whose choice still fits an int do not wrap around.
    EXPECT_EQ(ChoiceFromNormalized(kParamLShelfG, 2147483646.0 / 25), 2147483646);
    EXPECT_EQ(ChoiceFromNormalized(kParamLShelfG, 2147483648.0 / 25), kNoChoice);
}

TEST(ParamDisplay, ShowsTableUnitsWithTheRowsDecimals) {
    EXPECT_EQ(Display(kParamLShelfF, 0.5), "2.0");
    EXPECT_EQ(Display(kParamBand1G, 0.48), "12.0");
    EXPECT_EQ(Display(kParamInputMode, 0.3), "1.2");
    EXPECT_EQ(Display(kParamHpf, 1.5), "7.5");
    EXPECT_EQ(Display(kParamBand1HQ, 0.5), "1");
    EXPECT_EQ(Display(kParamBand1HQ, 0.4999), "0");
    EXPECT_EQ(Display(kParamBand2F, -0.2), "-1.8");
    EXPECT_EQ(Display(15, 0.5), "");
    EXPECT_EQ(Display(-1, 0.5), "");
}

TEST(ParamDisplay, WildValuesStayWithinEightCharacters) {
    const double wild[] = {1e30, -1e30, std::nan(""), std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(), 123456.7, -4e9};
    for (int i = 0; i < kParamCount; ++i) {
        for (double value : wild) {
            char text[32];
            std::memset(text, '#', sizeof text);
            FormatParamDisplay(i, value, text);
            EXPECT_LE(std::strlen(text), 8u) << i << " " << value;
            EXPECT_EQ(text[9], '#') << "wrote past the 9-byte text at " << i;
        }
    }
    EXPECT_EQ(Display(kParamLShelfG, 1e30), "25000000");
}

}  // namespace
}  // namespace tolvar
