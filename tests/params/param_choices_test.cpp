// The words of every list entry, against the lists the editor shows.
#include "params/param_choices.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "params/param_info.h"

namespace tolvar {
namespace {

std::vector<std::string> Entries(int index) {
    std::vector<std::string> entries;
    char text[kChoiceTextBytes];
    for (int choice = 0; choice < ChoiceListLength(index); ++choice) {
        EXPECT_TRUE(FormatChoiceText(index, choice, text, sizeof text));
        entries.push_back(text);
    }
    return entries;
}

TEST(ParamChoices, EveryListReadsAsTheEditorShowsIt) {
    using Names = std::vector<std::string>;
    EXPECT_EQ(Entries(kParamInputMode), (Names{"Clean", "Mic Pre", "Inst DI", "-15 conv", "-18 conv"}));
    EXPECT_EQ(Entries(kParamLpf), (Names{"disabled", "3900 Hz", "5600 Hz", "8200 Hz", "12 kHz", "18 kHz"}));
    EXPECT_EQ(Entries(kParamHpf), (Names{"disabled", "27 Hz", "47 Hz", "82 Hz", "150 Hz", "270 Hz"}));
    EXPECT_EQ(Entries(kParamLShelfF), (Names{"33 Hz", "56 Hz", "100 Hz", "180 Hz", "330 Hz"}));
    const Names bands{"270 Hz", "390 Hz", "560 Hz", "820 Hz", "1200 Hz", "1800 Hz", "2700 Hz", "3900 Hz",
                      "5600 Hz", "8200 Hz"};
    EXPECT_EQ(Entries(kParamBand1F), bands);
    EXPECT_EQ(Entries(kParamBand2F), bands);
    EXPECT_EQ(Entries(kParamHShelfF), (Names{"3300 Hz", "4700 Hz", "6800 Hz", "10 kHz", "15 kHz"}));
    for (int gain : {kParamLShelfG, kParamBand1G, kParamBand2G, kParamHShelfG}) {
        const Names entries = Entries(gain);
        ASSERT_EQ(entries.size(), 26u);
        EXPECT_EQ(entries[0], "-12 dB");
        EXPECT_EQ(entries[11], "-1 dB");
        EXPECT_EQ(entries[12], "+0 dB");
        EXPECT_EQ(entries[24], "+12 dB");
        EXPECT_EQ(entries[25], "<bypass>");
    }
}

TEST(ParamChoices, SwitchesBadIndexesAndChoicesOutsideTheListHaveNoText) {
    char text[kChoiceTextBytes] = "x";
    for (int index : {int{kParamLShelfHQ}, int{kParamBand1HQ}, -1, kParamCount}) {
        EXPECT_EQ(ChoiceListLength(index), 0);
        EXPECT_FALSE(FormatChoiceText(index, 0, text, sizeof text));
        EXPECT_STREQ(text, "");
    }
    EXPECT_FALSE(FormatChoiceText(kParamLpf, 6, text, sizeof text));
    EXPECT_FALSE(FormatChoiceText(kParamBand1G, -1, text, sizeof text));
    char small[4];
    EXPECT_FALSE(FormatChoiceText(kParamInputMode, 1, small, sizeof small));  // cut, never overrun
    EXPECT_STREQ(small, "Mic");
}

}  // namespace
}  // namespace tolvar
