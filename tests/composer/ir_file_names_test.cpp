#include "composer/ir_file_names.h"

#include <gtest/gtest.h>

#include <string>

#include "params/param_info.h"

namespace tolvar {
namespace {

std::string Tagged(const char* folder, const char* tag, int choice) {
    char path[kIrPathBytes];
    return FormatTaggedIrPath(path, folder, tag, choice) ? path : "<none>";
}

std::string Section(const char* folder, int frequency, int gain, bool hiQ) {
    char path[kIrPathBytes];
    return FormatSectionIrPath(path, folder, frequency, gain, hiQ) ? path : "<none>";
}

TEST(IrFileNames, TaggedFamiliesNameTheirFixedFiles) {
    struct Row {
        const char* tag;
        int choice;
        const char* name;
    };
    const Row rows[] = {
        {"input", 1, "misc_mic_pre"},   {"input", 2, "misc_inst_DI"},
        {"input", 3, "conv_-15_converter"}, {"input", 4, "conv_-18_converter"},
        {"lpf", 1, "misc_LPF_3900"},    {"lpf", 2, "misc_LPF_5600"},
        {"lpf", 3, "misc_LPF_8200hz"},  {"lpf", 4, "misc_LPF_12khz"},
        {"lpf", 5, "misc_LPF_18khz"},   {"hpf", 1, "misc_HPF_27"},
        {"hpf", 2, "misc_HPF_47"},      {"hpf", 3, "misc_HPF_82"},
        {"hpf", 4, "misc_HPF_150"},     {"hpf", 5, "misc_HPF_270"},
    };
    for (const Row& row : rows) {
        EXPECT_STREQ(TaggedIrBaseName(row.tag, row.choice), row.name);
        EXPECT_EQ(Tagged("/opt/daw/tolvar/", row.tag, row.choice),
                  std::string("/opt/daw/tolvar/") + row.name + ".wav");
    }
    // The folder is appended to as it is, whatever its separator.
    EXPECT_EQ(Tagged("C:\\Plugins\\tolvar\\", "hpf", 3), "C:\\Plugins\\tolvar\\misc_HPF_82.wav");
}

TEST(IrFileNames, ChoicesOutsideTheTablesNameNothing) {
    const char* tags[] = {"input", "lpf", "hpf"};
    const int topChoice[] = {4, 5, 5};
    for (int t = 0; t < 3; ++t) {
        for (int choice : {0, -1, topChoice[t] + 1, 25, kNoChoice}) {
            EXPECT_EQ(TaggedIrBaseName(tags[t], choice), nullptr) << tags[t] << " " << choice;
            EXPECT_EQ(Tagged("/x/", tags[t], choice), "<none>");
        }
    }
    // Tags are compared exactly.
    for (const char* tag : {"Input", "LPF", "hp", "lpf ", "", "band"})
        EXPECT_EQ(TaggedIrBaseName(tag, 1), nullptr) << tag;
    EXPECT_EQ(TaggedIrBaseName(nullptr, 1), nullptr);
    EXPECT_EQ(Tagged(nullptr, "lpf", 1), "<none>");
}

// The names are written out here on purpose, apart from ir_library_layout.h:
// they are those of the files users have.
TEST(IrFileNames, SectionFilesCarryFrequencySignedGainAndHiQ) {
    struct Row {
        int frequency, gain;
        bool hiQ;
        const char* name;
    };
    const Row rows[] = {
        {820, 0, false, "820+0.wav"},        {33, -12, false, "33-12.wav"},
        {1200, -5, true, "1200-5-hq.wav"},   {15000, 12, false, "15000+12.wav"},
        {100, 0, false, "100+0.wav"},        {820, 3, false, "820+3.wav"},
        {270, -1, false, "270-1.wav"},       {8200, 12, true, "8200+12-hq.wav"},
        {1800, 0, true, "1800+0-hq.wav"},    {56, 1, false, "56+1.wav"},
        {10000, -12, false, "10000-12.wav"}, {390, -11, true, "390-11-hq.wav"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Section("/lib/tolvar/", row.frequency, row.gain, row.hiQ),
                  std::string("/lib/tolvar/") + row.name);
    EXPECT_EQ(Section(nullptr, 820, 0, false), "<none>");
}

TEST(IrFileNames, PathsThatDoNotFitAreRefused) {
    // "15000+12.wav" is 12 characters; 511 characters plus the terminator fit.
    const std::string fits(511 - 12, 'f');
    const std::string tooLong(512 - 12, 'f');
    EXPECT_EQ(Section(fits.c_str(), 15000, 12, false), fits + "15000+12.wav");
    EXPECT_EQ(Section(tooLong.c_str(), 15000, 12, false), "<none>");
    EXPECT_EQ(Section(fits.c_str(), 15000, 12, true), "<none>");  // "-hq" no longer fits
    const std::string huge(5000, 'h');
    EXPECT_EQ(Section(huge.c_str(), 33, -12, false), "<none>");
    EXPECT_EQ(Tagged(huge.c_str(), "input", 3), "<none>");
    // "misc_HPF_27.wav" is 15 characters.
    const std::string taggedFits(511 - 15, 't');
    EXPECT_EQ(Tagged(taggedFits.c_str(), "hpf", 1), taggedFits + "misc_HPF_27.wav");
    EXPECT_EQ(Tagged((taggedFits + "t").c_str(), "hpf", 1), "<none>");
}

}  // namespace
}  // namespace tolvar
