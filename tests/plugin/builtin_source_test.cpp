// The plug-in's own media source, called through the slot table as the
// composer calls it, against libsndfile's reading of the same files and
// against hand-made files whose headers lie.
#include <sndfile.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include "plugin/media/builtin_source.h"
#include "tests/composer/reference_resampler.h"
#include "tests/support/test_files.h"

namespace tolvar::test {
namespace {

// A source opened on `path`, destroyed with the object.
class Source {
public:
    explicit Source(const std::string& path) : source(CreateBuiltinSource(path.c_str())) {}
    ~Source() {
        if (source) PcmSourceDestroy(source);
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    bool Available() const { return PcmSourceIsAvailable(source); }
    double Rate() const { return PcmSourceSampleRate(source); }
    double Seconds() const { return PcmSourceLengthSeconds(source); }
    // Asks for `frames` frames; `values` holds the buffer and a guard after it.
    int Get(std::vector<double>& values, int frames, double rate, int channels = 1, double start = 0.0) {
        values.assign(static_cast<std::size_t>(frames * channels) + 8, 777.0);
        PcmBlock block{start, rate, channels, frames, values.data(), 0, {}};
        PcmSourceGetSamples(source, &block);
        for (std::size_t i = static_cast<std::size_t>(frames * channels); i < values.size(); ++i)
            EXPECT_EQ(values[i], 777.0) << "written past the buffer at " << i;
        values.resize(static_cast<std::size_t>(frames * channels));
        return block.framesDelivered;
    }

private:
    PcmSource* source;
};

// The file as libsndfile reads it, channels averaged frame by frame.
std::vector<double> ReadWithLibsndfile(const std::string& path, SF_INFO& info) {
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path;
    if (!file) return {};
    std::vector<double> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_double(file, interleaved.data(), info.frames);
    sf_close(file);
    std::vector<double> folded;
    for (std::size_t at = 0; at < interleaved.size(); at += static_cast<std::size_t>(info.channels)) {
        double sum = 0.0;
        for (int c = 0; c < info.channels; ++c) sum += interleaved[at + static_cast<std::size_t>(c)];
        folded.push_back(sum / info.channels);
    }
    return folded;
}

TEST(BuiltinSource, ReadsEveryEncodingAsLibsndfileDoes) {
    TempDir dir;
    std::mt19937 random(5);
    std::uniform_real_distribution<double> uniform(-0.9, 0.9);
    int checked = 0;
    for (int major : {int{SF_FORMAT_WAV}, int{SF_FORMAT_WAVEX}, SF_FORMAT_WAV | SF_ENDIAN_BIG}) {
        for (int subtype : {SF_FORMAT_PCM_U8, SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_PCM_32, SF_FORMAT_FLOAT,
                            SF_FORMAT_DOUBLE}) {
            for (int channels : {1, 3}) {
                SCOPED_TRACE(testing::Message() << std::hex << (major | subtype) << std::dec << " x" << channels);
                const std::string path = dir.File("f" + std::to_string(checked) + ".wav");
                const int rate = channels == 1 ? 48000 : 22050;
                std::vector<double> samples(static_cast<std::size_t>(317 * channels));
                for (double& v : samples) v = uniform(random);
                ASSERT_TRUE(WriteWavDoubles(path, major | subtype, rate, channels, samples));
                SF_INFO info{};
                const std::vector<double> expected = ReadWithLibsndfile(path, info);
                ASSERT_EQ(info.format, major | subtype);

                Source source(path);
                ASSERT_TRUE(source.Available());
                EXPECT_EQ(source.Rate(), rate);
                EXPECT_DOUBLE_EQ(source.Seconds(), 317.0 / rate);
                std::vector<double> got;
                EXPECT_EQ(source.Get(got, 320, rate), 317);
                EXPECT_EQ(std::vector<double>(got.begin(), got.begin() + 317), expected);
                EXPECT_EQ(std::vector<double>(got.begin() + 317, got.end()), std::vector<double>(3, 0.0));
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 36);
}

// A RIFF (or RIFX) WAVE file put together chunk by chunk, sizes as given.
struct Chunk {
    std::string id;
    std::string body;
    int64_t declared = -1;  // the size field; -1: the body's true size, padded to even
};

std::string Le(uint64_t value, int bytes, bool big = false) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * (big ? bytes - 1 - i : i)));
    return out;
}

std::string Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, bool big = false) {
    const uint16_t align = static_cast<uint16_t>(channels * ((bits + 7) / 8));
    return Le(tag, 2, big) + Le(channels, 2, big) + Le(rate, 4, big) + Le(uint64_t{rate} * align, 4, big) +
           Le(align, 2, big) + Le(bits, 2, big);
}

std::string Extensible(uint16_t subFormat, uint16_t channels, uint16_t bits, const std::string& guidTail) {
    return Format(0xFFFE, channels, 44100, bits) + Le(22, 2) + Le(bits, 2) + Le(0, 4) + Le(subFormat, 4) + Le(0, 2) +
           Le(0x10, 2) + guidTail;
}

const std::string kGuidTail("\x80\x00\x00\xAA\x00\x38\x9B\x71", 8);

std::string Wav(const std::vector<Chunk>& chunks, const char* riff = "RIFF") {
    const bool big = std::string(riff) == "RIFX";
    std::string body = "WAVE";
    for (const Chunk& chunk : chunks) {
        const auto size = static_cast<uint64_t>(chunk.declared < 0 ? chunk.body.size() : chunk.declared);
        body += chunk.id + Le(size, 4, big) + chunk.body;
        if (chunk.body.size() % 2 && chunk.declared < 0) body += '\0';
    }
    return riff + Le(body.size(), 4, big) + body;
}

// 16-bit frames 25, 50, 75, ... (little- or big-endian): frame k is 25 (k + 1) / 32768.
std::string Frames16(int count, bool big = false) {
    std::string out;
    for (int k = 1; k <= count; ++k) out += Le(static_cast<uint16_t>(25 * k), 2, big);
    return out;
}

double Frame16(int k) { return 25.0 * (k + 1) / 32768.0; }

TEST(BuiltinSource, LyingHeadersAndOddLayoutsGiveTheFramesTheFileHoldsOrNothing) {
    const std::string fmt16 = Format(1, 1, 44100, 16);
    const std::string data = Frames16(100);
    std::string junkChunks;
    for (int i = 0; i < 1200; ++i) junkChunks += "junk" + Le(0, 4);
    struct Case {
        const char* what;
        std::string bytes;
        int frames;  // -1: not available
        double rate = 44100.0;
    };
    const std::vector<Case> cases = {
        {"empty", "", -1},
        {"RIFF size only", "RIFF" + Le(36, 4), -1},
        {"not WAVE", "RIFF" + Le(4, 4) + "AVI ", -1},
        {"cut inside fmt", Wav({{"fmt ", fmt16}, {"data", data}}).substr(0, 30), -1},
        {"plain", Wav({{"fmt ", fmt16}, {"data", data}}), 100},
        {"RIFX", Wav({{"fmt ", Format(1, 1, 44100, 16, true)}, {"data", Frames16(100, true)}}, "RIFX"), 100},
        {"data claims more than the file holds", Wav({{"fmt ", fmt16}, {"data", data, 1000000}}), 100},
        {"data size unknown", Wav({{"fmt ", fmt16}, {"data", data, 0xFFFFFFFF}}), 100},
        {"odd byte of data", Wav({{"fmt ", fmt16}, {"data", data + "x"}}), 100},
        {"fmt after data, odd chunk between", Wav({{"data", data}, {"LIST", "abc"}, {"fmt ", fmt16}}), 100},
        {"fmt longer than needed", Wav({{"fmt ", fmt16 + Le(0, 2) + "extra"}, {"data", data}}), 100},
        {"chunk past the end before fmt", Wav({{"bext", "x", 5000000}, {"fmt ", fmt16}, {"data", data}}), -1},
        {"fmt too short", Wav({{"fmt ", fmt16.substr(0, 14)}, {"data", data}}), -1},
        {"no data", Wav({{"fmt ", fmt16}}), -1},
        {"no channels", Wav({{"fmt ", Format(1, 0, 44100, 16)}, {"data", data}}), -1},
        {"1025 channels", Wav({{"fmt ", Format(1, 1025, 44100, 16)}, {"data", data}}), -1},
        {"rate 0", Wav({{"fmt ", Format(1, 1, 0, 16)}, {"data", data}}), -1},
        {"absurd rate", Wav({{"fmt ", Format(1, 1, 4000000000u, 16)}, {"data", data}}), 100, 4.0e9},
        {"0 bits", Wav({{"fmt ", Format(1, 1, 44100, 0)}, {"data", data}}), -1},
        {"40-bit integers", Wav({{"fmt ", Format(1, 1, 44100, 40)}, {"data", data}}), -1},
        {"16-bit float", Wav({{"fmt ", Format(3, 1, 44100, 16)}, {"data", data}}), -1},
        {"ADPCM", Wav({{"fmt ", Format(2, 1, 44100, 16)}, {"data", data}}), -1},
        {"extensible PCM", Wav({{"fmt ", Extensible(1, 1, 16, kGuidTail)}, {"data", data}}), 100},
        {"extensible, foreign GUID", Wav({{"fmt ", Extensible(1, 1, 16, std::string(8, 'g'))}, {"data", data}}), -1},
        {"extensible, cut short", Wav({{"fmt ", Extensible(1, 1, 16, kGuidTail).substr(0, 24)}, {"data", data}}), -1},
        {"more chunks than are walked", Wav({{"fmt ", fmt16}}) + junkChunks + "data" + Le(2, 4) + "ab", -1},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.File("case.wav");
        WriteBytes(path, c.bytes);
        Source source(path);
        ASSERT_EQ(source.Available(), c.frames >= 0);
        std::vector<double> got;
        if (c.frames < 0) {
            EXPECT_EQ(source.Rate(), 0.0);
            EXPECT_EQ(source.Seconds(), 0.0);
            EXPECT_EQ(source.Get(got, 10, 44100.0), 0);
            EXPECT_EQ(got, std::vector<double>(10, 0.0));
            continue;
        }
        EXPECT_EQ(source.Rate(), c.rate);
        EXPECT_DOUBLE_EQ(source.Seconds(), c.frames / c.rate);
        ASSERT_EQ(source.Get(got, 200, c.rate), c.frames);
        for (int k = 0; k < c.frames; ++k) ASSERT_EQ(got[k], Frame16(k)) << k;
    }
}

TEST(BuiltinSource, AFolderAFifoOrAMissingFileIsNoFileAndAFileThatShrinksGivesWhatItHolds) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder.wav"));
    EXPECT_FALSE(Source(dir.File("folder.wav")).Available());
    EXPECT_FALSE(Source(dir.File("missing.wav")).Available());
#if !defined(_WIN32)
    ASSERT_EQ(mkfifo(dir.File("fifo.wav").c_str(), 0600), 0);
    EXPECT_FALSE(Source(dir.File("fifo.wav")).Available());  // and nothing waits for a writer
#endif

    const std::string path = dir.File("shrinks.wav");
    const std::string whole = Wav({{"fmt ", Format(1, 1, 44100, 16)}, {"data", Frames16(1000)}});
    WriteBytes(path, whole);
    Source source(path);
    ASSERT_TRUE(source.Available());
    EXPECT_DOUBLE_EQ(source.Seconds(), 1000 / 44100.0);
    WriteBytes(path, whole.substr(0, whole.size() - 2 * 600 - 1));  // 399 whole frames and a half
    std::vector<double> got;
    ASSERT_EQ(source.Get(got, 1000, 44100.0), 399);
    EXPECT_EQ(got[398], Frame16(398));
    EXPECT_EQ(got[399], 0.0);
    WriteBytes(path, whole + Frames16(500));  // growing does not add frames
    EXPECT_EQ(source.Get(got, 2000, 44100.0), 1000);
}

TEST(BuiltinSource, RequestsAreServedWithinTheCallersBuffer) {
    TempDir dir;
    const std::string path = dir.File("ramp.wav");
    WriteBytes(path, Wav({{"fmt ", Format(1, 1, 48000, 16)}, {"data", Frames16(50)}}));
    Source source(path);
    ASSERT_TRUE(source.Available());
    std::vector<double> got;
    ASSERT_EQ(source.Get(got, 4, 48000.0, 2, 10 / 48000.0), 4);  // from frame 10, both channels alike
    EXPECT_EQ(got, (std::vector<double>{Frame16(10), Frame16(10), Frame16(11), Frame16(11), Frame16(12), Frame16(12),
                                        Frame16(13), Frame16(13)}));
    EXPECT_EQ(source.Get(got, 5, 48000.0, 1, 1.0), 0);  // past the end
    EXPECT_EQ(got, std::vector<double>(5, 0.0));
    for (double wild : {0.0, -48000.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        EXPECT_EQ(source.Get(got, 5, wild), 0) << wild;
        EXPECT_EQ(got, std::vector<double>(5, 0.0));
    }
    EXPECT_EQ(source.Get(got, 5, 48000.0, 1, -1.0), 0);

    double untouched = 5.0;
    PcmBlock noFrames{0.0, 48000.0, 1, 0, &untouched, 0, {}};
    PcmBlock noBuffer{0.0, 48000.0, 1, 5, nullptr, 0, {}};
    PcmSource* raw = CreateBuiltinSource(path.c_str());
    ASSERT_NE(raw, nullptr);
    PcmSourceGetSamples(raw, &noFrames);
    PcmSourceGetSamples(raw, &noBuffer);
    PcmSourceDestroy(raw);
    EXPECT_EQ(untouched, 5.0);
    EXPECT_EQ(noFrames.framesDelivered, 0);
    EXPECT_EQ(noBuffer.framesDelivered, 0);
    EXPECT_EQ(CreateBuiltinSource(nullptr), nullptr);
}

// Files at another rate than the one asked for are converted as filters, from
// their time zero: against the resampling formula evaluated directly.
TEST(BuiltinSource, AnotherRateIsAFilterConversionFromTimeZero) {
    TempDir dir;
    const std::string impulse = dir.File("impulse.wav");
    ASSERT_TRUE(WriteWavDoubles(impulse, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1, {1.0, 0.0, 0.0}));
    std::vector<double> got;
    ASSERT_EQ(Source(impulse).Get(got, 6, 96000.0), 6);
    EXPECT_EQ(got, (std::vector<double>{1.0, 0.0, 0.0, 0.0, 0.0, 0.0}));  // a unit impulse stays one

    std::vector<double> response(400);
    for (std::size_t i = 0; i < response.size(); ++i)
        response[i] = static_cast<float>(std::exp(-0.01 * i) * std::cos(0.3 * i));
    const std::string file = dir.File("response.wav");
    ASSERT_TRUE(WriteWavDoubles(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, response));
    for (double rate : {48000.0, 22050.0, 96000.0}) {
        SCOPED_TRACE(rate);
        Source source(file);
        const int frames = static_cast<int>(std::ceil(source.Seconds() * rate));
        ASSERT_EQ(source.Get(got, frames, rate), frames);
        const TwoSidedResponse reference = ReferenceResample(response, 44100.0, rate, 24, 7.5);
        for (int n = 0; n < frames; ++n) {
            const std::size_t at = static_cast<std::size_t>(n - reference.firstIndex);
            ASSERT_NEAR(got[n], reference.values[at], 2e-6) << n;
        }
    }
}

}  // namespace
}  // namespace tolvar::test
