// The plug-in's own media source, called through the slot table as the
// composer calls it: against the stand-in host's reading of the same files
// (libsndfile), against hand-made files whose headers lie, and against the
// resampling formula evaluated directly.
#include <sndfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <random>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include "host/audio_file.h"
#include "plugin/media/builtin_source.h"
#include "tests/composer/reference_resampler.h"
#include "tests/support/test_files.h"

namespace tolvar::test {
namespace {

// A source on `path`, destroyed with the object.
struct Source {
    explicit Source(const std::string& path) : source(CreateBuiltinSource(path.c_str())) {}
    ~Source() { PcmSourceDestroy(source); }
    bool Available() const { return PcmSourceIsAvailable(source); }
    double Rate() const { return PcmSourceSampleRate(source); }
    double Seconds() const { return PcmSourceLengthSeconds(source); }
    // Asks for `frames` frames into `got`; nothing may land past them.
    int Get(std::vector<double>& got, int frames, double rate, int channels = 1, double start = 0.0) {
        const std::size_t values = static_cast<std::size_t>(frames * channels);
        got.assign(values + 8, 777.0);
        PcmBlock block{start, rate, channels, frames, got.data(), 0, {}};
        PcmSourceGetSamples(source, &block);
        EXPECT_EQ(std::vector<double>(got.begin() + values, got.end()), std::vector<double>(8, 777.0));
        got.resize(values);
        return block.framesDelivered;
    }
    PcmSource* source;
};

TEST(BuiltinSource, ReadsEveryEncodingAsTheHostsSourceDoes) {
    TempDir dir;
    std::mt19937 random(5);
    std::uniform_real_distribution<double> uniform(-0.9, 0.9);
    int checked = 0;
    for (int major : {int{SF_FORMAT_WAV}, int{SF_FORMAT_WAVEX}, SF_FORMAT_WAV | SF_ENDIAN_BIG}) {
        for (int subtype : {SF_FORMAT_PCM_U8, SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_PCM_32, SF_FORMAT_FLOAT,
                            SF_FORMAT_DOUBLE}) {
            for (int channels : {1, 3}) {
                SCOPED_TRACE(testing::Message() << std::hex << (major | subtype) << std::dec << " x" << channels);
                const std::string path = dir.File(std::to_string(++checked) + ".wav");
                const int rate = channels == 1 ? 48000 : 22050;
                std::vector<double> samples(static_cast<std::size_t>(317 * channels));
                for (double& v : samples) v = uniform(random);
                ASSERT_TRUE(WriteWavDoubles(path, major | subtype, rate, channels, samples));
                MonoAudio expected = DecodeMonoAudioFile(path.c_str());
                ASSERT_EQ(expected.samples.size(), 317u);

                Source source(path);
                ASSERT_TRUE(source.Available());
                EXPECT_EQ(source.Rate(), rate);
                EXPECT_DOUBLE_EQ(source.Seconds(), 317.0 / rate);
                std::vector<double> got;
                EXPECT_EQ(source.Get(got, 320, rate), 317);
                expected.samples.insert(expected.samples.end(), 3, 0.0);
                EXPECT_EQ(got, expected.samples);
            }
        }
    }
    EXPECT_EQ(checked, 36);
}

// --- hand-made files ---------------------------------------------------------

std::string Bytes(uint64_t value, int count, bool big = false) {
    std::string out;
    for (int i = 0; i < count; ++i) out += static_cast<char>(value >> (8 * (big ? count - 1 - i : i)));
    return out;
}

std::string Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, bool big = false) {
    const uint16_t align = static_cast<uint16_t>(channels * ((bits + 7) / 8));
    return Bytes(tag, 2, big) + Bytes(channels, 2, big) + Bytes(rate, 4, big) + Bytes(uint64_t{rate} * align, 4, big) +
           Bytes(align, 2, big) + Bytes(bits, 2, big);
}

std::string Extensible(const std::string& guidTail, int length = 40) {
    return (Format(0xFFFE, 1, 44100, 16) + Bytes(22, 2) + Bytes(16, 2) + Bytes(0, 4) + Bytes(1, 4) + Bytes(0, 2) +
            Bytes(0x10, 2) + guidTail).substr(0, static_cast<std::size_t>(length));
}

struct Chunk {
    std::string id, body;
    int64_t declared = -1;  // the size field; -1: the body's own, padded to even
};

std::string Wav(const std::vector<Chunk>& chunks, const char* riff = "RIFF") {
    const bool big = riff[3] == 'X';
    std::string body = "WAVE";
    for (const Chunk& c : chunks) {
        body += c.id + Bytes(static_cast<uint64_t>(c.declared < 0 ? c.body.size() : c.declared), 4, big) + c.body;
        if (c.declared < 0 && c.body.size() % 2) body += '\0';
    }
    return riff + Bytes(body.size(), 4, big) + body;
}

// 16-bit frames: frame k holds 25 (k + 1), which reads as Frame(k).
std::string Frames(int count, bool big = false) {
    std::string out;
    for (int k = 1; k <= count; ++k) out += Bytes(static_cast<uint16_t>(25 * k), 2, big);
    return out;
}
double Frame(int k) { return 25.0 * (k + 1) / 32768.0; }

TEST(BuiltinSource, LyingHeadersAndOddLayoutsGiveTheFramesTheFileHoldsOrNothing) {
    const std::string fmt = Format(1, 1, 44100, 16), data = Frames(100);
    const std::string guid("\x80\x00\x00\xAA\x00\x38\x9B\x71", 8);
    std::string manyChunks = Wav({{"fmt ", fmt}});
    for (int i = 0; i < 1200; ++i) manyChunks += "junk" + Bytes(0, 4);
    struct Case {
        const char* what;
        std::string bytes;
        int frames;  // -1: not available
        double rate = 44100.0;
    };
    const Case cases[] = {
        {"empty", "", -1},
        {"RIFF size only", "RIFF" + Bytes(36, 4), -1},
        {"not WAVE", "RIFF" + Bytes(4, 4) + "AVI ", -1},
        {"cut inside fmt", Wav({{"fmt ", fmt}, {"data", data}}).substr(0, 30), -1},
        {"plain", Wav({{"fmt ", fmt}, {"data", data}}), 100},
        {"RIFX", Wav({{"fmt ", Format(1, 1, 44100, 16, true)}, {"data", Frames(100, true)}}, "RIFX"), 100},
        {"data claims more than the file holds", Wav({{"fmt ", fmt}, {"data", data, 1000000}}), 100},
        {"data size unknown", Wav({{"fmt ", fmt}, {"data", data, 0xFFFFFFFF}}), 100},
        {"odd byte of data", Wav({{"fmt ", fmt}, {"data", data + "x"}}), 100},
        {"fmt after data, odd chunk between", Wav({{"data", data}, {"LIST", "abc"}, {"fmt ", fmt}}), 100},
        {"fmt longer than needed", Wav({{"fmt ", fmt + Bytes(0, 2) + "extra"}, {"data", data}}), 100},
        {"chunk past the end before fmt", Wav({{"bext", "x", 5000000}, {"fmt ", fmt}, {"data", data}}), -1},
        {"fmt too short", Wav({{"fmt ", fmt.substr(0, 14)}, {"data", data}}), -1},
        {"no data", Wav({{"fmt ", fmt}}), -1},
        {"no channels", Wav({{"fmt ", Format(1, 0, 44100, 16)}, {"data", data}}), -1},
        {"1025 channels", Wav({{"fmt ", Format(1, 1025, 44100, 16)}, {"data", data}}), -1},
        {"rate 0", Wav({{"fmt ", Format(1, 1, 0, 16)}, {"data", data}}), -1},
        {"absurd rate", Wav({{"fmt ", Format(1, 1, 4000000000u, 16)}, {"data", data}}), 100, 4.0e9},
        {"0 bits", Wav({{"fmt ", Format(1, 1, 44100, 0)}, {"data", data}}), -1},
        {"40-bit integers", Wav({{"fmt ", Format(1, 1, 44100, 40)}, {"data", data}}), -1},
        {"16-bit float", Wav({{"fmt ", Format(3, 1, 44100, 16)}, {"data", data}}), -1},
        {"ADPCM", Wav({{"fmt ", Format(2, 1, 44100, 16)}, {"data", data}}), -1},
        {"extensible PCM", Wav({{"fmt ", Extensible(guid)}, {"data", data}}), 100},
        {"extensible, foreign GUID", Wav({{"fmt ", Extensible(std::string(8, 'g'))}, {"data", data}}), -1},
        {"extensible, cut short", Wav({{"fmt ", Extensible(guid, 24)}, {"data", data}}), -1},
        {"more chunks than are walked", manyChunks + "data" + Bytes(2, 4) + "ab", -1},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(dir.File("case.wav"), c.bytes);
        Source source(dir.File("case.wav"));
        ASSERT_EQ(source.Available(), c.frames >= 0);
        EXPECT_EQ(source.Rate(), c.frames >= 0 ? c.rate : 0.0);
        EXPECT_DOUBLE_EQ(source.Seconds(), c.frames >= 0 ? c.frames / c.rate : 0.0);
        std::vector<double> got, expected(200, 0.0);
        for (int k = 0; k < c.frames; ++k) expected[static_cast<std::size_t>(k)] = Frame(k);
        EXPECT_EQ(source.Get(got, 200, c.rate), std::max(c.frames, 0));
        EXPECT_EQ(got, expected);
    }
}

TEST(BuiltinSource, AFolderAFifoOrAMissingFileIsNoFileAndAFileThatShrinksGivesWhatItHolds) {
    TempDir dir;
    std::filesystem::create_directory(Utf8Path(dir.File("folder.wav")));
    EXPECT_FALSE(Source(dir.File("folder.wav")).Available());
    EXPECT_FALSE(Source(dir.File("missing.wav")).Available());
#if !defined(_WIN32)
    ASSERT_EQ(mkfifo(dir.File("fifo.wav").c_str(), 0600), 0);
    EXPECT_FALSE(Source(dir.File("fifo.wav")).Available());  // and nothing waits for a writer
#endif

    const std::string path = dir.File("shrinks.wav");
    const std::string whole = Wav({{"fmt ", Format(1, 1, 44100, 16)}, {"data", Frames(1000)}});
    WriteBytes(path, whole);
    Source source(path);
    ASSERT_TRUE(source.Available());
    WriteBytes(path, whole.substr(0, whole.size() - 2 * 600 - 1));  // 399 whole frames and a half
    std::vector<double> got;
    ASSERT_EQ(source.Get(got, 1000, 44100.0), 399);
    EXPECT_EQ(got[398], Frame(398));
    EXPECT_EQ(got[399], 0.0);
    WriteBytes(path, whole + Frames(500));  // growing adds no frames
    EXPECT_EQ(source.Get(got, 2000, 44100.0), 1000);

    // Requests: a start and two channels, then what cannot be served.
    ASSERT_EQ(source.Get(got, 2, 44100.0, 2, 10 / 44100.0), 2);
    EXPECT_EQ(got, (std::vector<double>{Frame(10), Frame(10), Frame(11), Frame(11)}));
    for (double wild : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        EXPECT_EQ(source.Get(got, 5, wild), 0) << wild;
        EXPECT_EQ(source.Get(got, 5, 44100.0, 1, wild - 1.0), 0) << wild;
        EXPECT_EQ(got, std::vector<double>(5, 0.0));
    }
    EXPECT_EQ(CreateBuiltinSource(nullptr), nullptr);
}

// A file at another rate than the one asked for is converted as a filter and
// delivered from its time zero.
TEST(BuiltinSource, AnotherRateIsAFilterConversionFromTimeZero) {
    TempDir dir;
    ASSERT_TRUE(WriteWavDoubles(dir.File("unit.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1, {1.0, 0.0, 0.0}));
    std::vector<double> got;
    ASSERT_EQ(Source(dir.File("unit.wav")).Get(got, 6, 96000.0), 6);
    EXPECT_EQ(got, (std::vector<double>{1.0, 0.0, 0.0, 0.0, 0.0, 0.0}));  // a unit impulse stays one

    std::vector<double> response(400);
    for (std::size_t i = 0; i < response.size(); ++i)
        response[i] = static_cast<float>(std::exp(-0.01 * i) * std::cos(0.3 * i));
    ASSERT_TRUE(WriteWavDoubles(dir.File("decay.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, response));
    for (double rate : {48000.0, 22050.0, 96000.0}) {
        SCOPED_TRACE(rate);
        Source source(dir.File("decay.wav"));
        const int frames = static_cast<int>(std::ceil(source.Seconds() * rate));
        ASSERT_EQ(source.Get(got, frames, rate), frames);
        const TwoSidedResponse reference = ReferenceResample(response, 44100.0, rate, 24, 7.5);
        for (int n = 0; n < frames; ++n)
            ASSERT_NEAR(got[static_cast<std::size_t>(n)],
                        reference.values[static_cast<std::size_t>(n - reference.firstIndex)], 2e-6) << n;
    }
}

}  // namespace
}  // namespace tolvar::test
