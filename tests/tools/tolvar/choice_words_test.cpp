// The words a user may type for Tolvar's settings, against a hand-made table.
#include <gtest/gtest.h>

#include "params/param_info.h"
#include "tools/tolvar/choice_words.h"

namespace tolvar::cli {
namespace {

struct Word {
    int param;
    const char* word;
    int choice;  // -1: no choice
};

TEST(ChoiceWords, EditorWordsShortFormsAndTableValuesNameTheSameChoices) {
    // A bare number is in the parameter's unit, as other equalisers take it;
    // a table value needs its "#".
    const Word words[] = {
        {kParamInputMode, "Mic Pre", 1}, {kParamInputMode, "micpre", 1}, {kParamInputMode, "-15", 3},
        {kParamInputMode, "inst", 2},    {kParamInputMode, "#4", 4},      {kParamInputMode, "4", -1},
        {kParamInputMode, "Studio", -1},
        {kParamLpf, "12 kHz", 4},        {kParamLpf, "12k", 4},           {kParamLpf, "12000", 4},
        {kParamLpf, "off", 0},           {kParamLpf, "disabled", 0},      {kParamLpf, "10k", -1},
        {kParamHpf, "82", 3},            {kParamHpf, "82 Hz", 3},         {kParamHpf, "#5", 5},
        {kParamHpf, "5", -1},            {kParamHpf, "4", -1},            {kParamHpf, "#6", -1},
        {kParamBand1F, "2700 Hz", 6},    {kParamBand1F, "2.7k", 6},       {kParamBand1F, "800", -1},
        {kParamHShelfF, "10k", 3},       {kParamHShelfF, "15 kHz", 4},    {kParamHShelfF, "1e4", -1},
        {kParamBand1G, "+3 dB", 15},     {kParamBand1G, "+3", 15},        {kParamBand1G, "3dB", 15},
        {kParamBand1G, "3", 15},         {kParamBand1G, "0", 12},         {kParamBand1G, "-12", 0},
        {kParamBand1G, "+0", 12},        {kParamBand1G, "#15", 15},       {kParamBand1G, "#0", 0},
        {kParamBand1G, "15", -1},        {kParamBand1G, "0x10", -1},      {kParamBand1G, "#0x10", -1},
        {kParamBand1G, "inf", -1},       {kParamBand1G, "nan", -1},       {kParamBand1G, "<bypass>", 25},
        {kParamBand1G, "Bypass", 25},    {kParamBand1G, "#25", 25},       {kParamBand1G, "+13", -1},
        {kParamBand1G, "+2.5", -1},      {kParamBand1G, "#26", -1},       {kParamBand1G, "#15.0", -1},
        {kParamBand2HQ, "on", 1},        {kParamBand2HQ, "OFF", 0},       {kParamBand2HQ, "1", 1},
        {kParamBand2HQ, "#1", 1},        {kParamBand2HQ, "2", -1},
    };
    for (const Word& w : words)
        EXPECT_EQ(TolvarChoiceFromWord(w.param, w.word).value_or(-1), w.choice) << ParamName(w.param) << "=" << w.word;

    EXPECT_EQ(TolvarParamFromName("Input Mode"), kParamInputMode);
    EXPECT_EQ(TolvarParamFromName("input mo"), kParamInputMode);
    EXPECT_EQ(TolvarParamFromName("band2hq"), kParamBand2HQ);
    EXPECT_EQ(TolvarParamFromName("band2"), std::nullopt);  // Band2F, Band2G or Band2HQ
    EXPECT_EQ(TolvarParamFromName("Gain"), std::nullopt);
}

}  // namespace
}  // namespace tolvar::cli
