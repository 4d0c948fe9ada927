// Decoding: every WAV sample format read back exactly, channel folding, and the
// files that cannot be decoded.
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "host/audio_file.h"
#include "tests/support/test_files.h"

namespace tolvar {
namespace {

using test::TempDir;

constexpr int kFrames = 1000;

// Random integers of `bits` bits, the extremes first, stored in the top bits of
// an int32 as libsndfile's int interface wants them. `expected` gets each value
// scaled to [-1, 1): k / 2^(bits - 1).
std::vector<int32_t> IntegerSamples(int bits, uint32_t seed, std::vector<double>& expected) {
    const int64_t top = int64_t{1} << (bits - 1);
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int64_t> value(-top, top - 1);
    std::vector<int32_t> stored;
    expected.clear();
    for (int i = 0; i < kFrames; ++i) {
        const int64_t k = i == 0 ? -top : i == 1 ? top - 1 : i == 2 ? 0 : value(generator);
        stored.push_back(static_cast<int32_t>(static_cast<uint32_t>(k) << (32 - bits)));
        expected.push_back(static_cast<double>(k) / static_cast<double>(top));
    }
    return stored;
}

// Random values beyond ±1 (float files are not clipped) and tiny ones, as
// floats when `asFloat`, else full doubles.
std::vector<double> FloatSamples(bool asFloat, uint32_t seed, int count = kFrames) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> value(-1.5, 1.5);
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        double x = i == 0 ? 1.0e-30 : i == 1 ? -1.5 : value(generator);
        samples.push_back(asFloat ? static_cast<double>(static_cast<float>(x)) : x);
    }
    return samples;
}

struct FormatCase {
    const char* name;
    int format;
    int bits;  // integer bits, or 0 for float and double
};

bool IsExtensible(const std::string& path) {
    const std::string bytes = test::ReadBytes(path);
    return bytes.size() > 22 && bytes.compare(12, 4, "fmt ") == 0 && static_cast<unsigned char>(bytes[20]) == 0xFE &&
           static_cast<unsigned char>(bytes[21]) == 0xFF;
}

TEST(AudioFile, ReadsEveryWavSampleFormatExactly) {
    const FormatCase cases[] = {
        {"pcm-u8", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8},
        {"pcm16", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16},
        {"pcm24", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 24},
        {"pcm32", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 32},
        {"float", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0},
        {"double", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 0},
        {"x-pcm16", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 16},
        {"x-pcm24", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 24},
        {"x-pcm32", SF_FORMAT_WAVEX | SF_FORMAT_PCM_32, 32},
        {"x-float", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 0},
        {"x-double", SF_FORMAT_WAVEX | SF_FORMAT_DOUBLE, 0},
    };
    TempDir dir;
    uint32_t seed = 1;
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(std::string(c.name) + ".wav");
        const int rate = 44100 + 1000 * static_cast<int>(seed);
        std::vector<double> expected;
        if (c.bits > 0) {
            ASSERT_TRUE(test::WriteWavInts(path, c.format, rate, 1, IntegerSamples(c.bits, seed, expected)));
        } else {
            expected = FloatSamples((c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT, seed);
            ASSERT_TRUE(test::WriteWavDoubles(path, c.format, rate, 1, expected));
        }
        EXPECT_EQ(IsExtensible(path), (c.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAVEX);
        ++seed;

        const MonoAudio audio = DecodeMonoAudioFile(path.c_str());
        ASSERT_TRUE(audio.decoded);
        EXPECT_EQ(audio.sampleRate, rate);
        ASSERT_EQ(audio.samples.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(audio.samples[i], expected[i]) << "frame " << i;
    }
}

TEST(AudioFile, FoldsChannelsByAveraging) {
    TempDir dir;
    // Hand-computed: (0.25 - 0.75) / 2 and (0.5 + 0.25 - 1.5) / 3.
    const std::string stereo = dir.File("stereo.wav");
    ASSERT_TRUE(test::WriteWavDoubles(stereo, SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 48000, 2, {0.25, -0.75, 1.0, 1.0}));
    EXPECT_EQ(DecodeMonoAudioFile(stereo.c_str()).samples, (std::vector<double>{-0.25, 1.0}));
    const std::string three = dir.File("three.wav");
    ASSERT_TRUE(test::WriteWavDoubles(three, SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 48000, 3, {0.5, 0.25, -1.5}));
    ASSERT_EQ(DecodeMonoAudioFile(three.c_str()).samples.size(), 1u);
    EXPECT_NEAR(DecodeMonoAudioFile(three.c_str()).samples[0], -0.25, 1e-16);

    // Random 6-channel extensible file against the mean taken in long double.
    const int channels = 6;
    const std::vector<double> values = FloatSamples(true, 99, channels * kFrames);
    const std::string six = dir.File("six.wav");
    ASSERT_TRUE(test::WriteWavDoubles(six, SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 96000, channels, values));
    const MonoAudio audio = DecodeMonoAudioFile(six.c_str());
    ASSERT_TRUE(audio.decoded);
    ASSERT_EQ(audio.samples.size(), values.size() / channels);
    for (std::size_t frame = 0; frame < audio.samples.size(); ++frame) {
        long double sum = 0;
        for (int c = 0; c < channels; ++c) sum += values[frame * channels + c];
        EXPECT_NEAR(audio.samples[frame], static_cast<double>(sum / channels), 1e-15) << "frame " << frame;
    }
}

// A canonical 16-bit PCM WAV file, built by hand: RIFF header, 16-byte fmt
// chunk, data chunk.
std::string PcmWavBytes(uint16_t channels, const std::vector<int16_t>& samples) {
    std::string bytes;
    auto put = [&](uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    const uint32_t rate = 48000;
    const uint32_t dataBytes = static_cast<uint32_t>(2 * samples.size());
    bytes += "RIFF";
    put(36 + dataBytes, 4);
    bytes += "WAVEfmt ";
    put(16, 4);
    put(1, 2);  // PCM
    put(channels, 2);
    put(rate, 4);
    put(rate * channels * 2, 4);
    put(channels * 2, 2);
    put(16, 2);
    bytes += "data";
    put(dataBytes, 4);
    for (int16_t sample : samples) put(static_cast<uint16_t>(sample), 2);
    return bytes;
}

TEST(AudioFile, FilesThatAreNotAudioAreNotDecoded) {
    TempDir dir;
    test::WriteBytes(dir.File("text.wav"), "This is a text file, not a WAV file.\n");
    test::WriteBytes(dir.File("empty.wav"), "");
    test::WriteBytes(dir.File("header.wav"), std::string("RIFF\x24\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00", 22));
    // A complete header that claims no channels; the same header with one
    // channel is a good (if short) file, so the channel count is what fails.
    test::WriteBytes(dir.File("nochannels.wav"), PcmWavBytes(0, {1, 2}));
    test::WriteBytes(dir.File("onechannel.wav"), PcmWavBytes(1, {16384, -16384}));
    EXPECT_EQ(DecodeMonoAudioFile(dir.File("onechannel.wav").c_str()).samples, (std::vector<double>{0.5, -0.5}));
    std::filesystem::create_directory(dir.File("folder.wav"));
    for (const char* name : {"missing.wav", "text.wav", "empty.wav", "header.wav", "nochannels.wav", "folder.wav"}) {
        SCOPED_TRACE(name);
        const MonoAudio audio = DecodeMonoAudioFile(dir.File(name).c_str());
        EXPECT_FALSE(audio.decoded);
        EXPECT_EQ(audio.sampleRate, 0.0);
        EXPECT_TRUE(audio.samples.empty());
    }
    EXPECT_FALSE(DecodeMonoAudioFile(nullptr).decoded);
}

TEST(AudioFile, FileWithoutFramesDecodesEmptyAndTruncatedFileGivesWhatIsThere) {
    TempDir dir;
    const std::string empty = dir.File("noframes.wav");
    ASSERT_TRUE(test::WriteWavDoubles(empty, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, {}));
    const MonoAudio none = DecodeMonoAudioFile(empty.c_str());
    EXPECT_TRUE(none.decoded);
    EXPECT_EQ(none.sampleRate, 22050.0);
    EXPECT_TRUE(none.samples.empty());

    // 1000 16-bit frames with the last 600 bytes cut off: the header still
    // claims 1000, 700 are there.
    std::vector<double> expected;
    const std::string cut = dir.File("cut.wav");
    ASSERT_TRUE(test::WriteWavInts(cut, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1, IntegerSamples(16, 5, expected)));
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) - 600);
    const MonoAudio part = DecodeMonoAudioFile(cut.c_str());
    ASSERT_TRUE(part.decoded);
    ASSERT_EQ(part.samples.size(), 700u);
    for (std::size_t i = 0; i < part.samples.size(); ++i) ASSERT_EQ(part.samples[i], expected[i]) << "frame " << i;
}

}  // namespace
}  // namespace tolvar
