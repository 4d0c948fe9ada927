// The composition through a real media source, the stand-in host's or the
// plug-in's own: files of arbitrary bytes in the IR folder, selected by
// arbitrary parameter values and read at arbitrary host rates. A file that
// cannot be used must leave its section out; nothing may crash, leak, read out
// of bounds, leave a source open, or turn finite input into output that is not
// finite.
//
// Input, front to back (bytes past the end read as zero):
//   15 bytes  one selector per parameter (ParameterValue; 0 keeps the default)
//   1 byte    host rate selector (HostRate)
//   1 byte    bit 0: the rate is set before the parameters, not after them;
//             bit 1: the files are read by the plug-in's built-in media source,
//             as for a host that offers no PCM_Source_CreateFromFile
//   then one file record for each path the settings make the plug-in try, in
//   the order it first tries them (found by a run without files):
//     u8 kind   0 or 3: no file; 1: the bytes as they are; 2: a RIFF/WAVE
//               header built from the fields below, then the bytes
//     kind 2:   u16 format tag, u16 channels, u32 rate, u16 bits per sample,
//               u16 block align (0: computed), u32 data size declared (0: true size),
//               u16 sub-format tag (used when the format tag is 0xFFFE)
//     u16 n, then n bytes
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/wav_bytes.h"
#include "host/source_registry.h"
#include "params/param_info.h"

namespace tolvar::fuzz {
namespace {

struct Settings {
    uint8_t selectors[kParamCount];
    float rate;
    bool rateFirst;
    bool builtinSource;
};

Settings ReadSettings(ByteReader& input) {
    Settings settings{};
    for (uint8_t& selector : settings.selectors) selector = input.U8();
    settings.rate = HostRate(input.U8());
    const uint8_t flags = input.U8();
    settings.rateFirst = (flags & 1) != 0;
    settings.builtinSource = (flags & 2) != 0;
    return settings;
}

// Construction composes the defaults; then the rate and the parameters, each
// call composing again.
AEffect* ComposeInNewInstance(const Settings& settings) {
    AEffect* effect = CreateInstance();
    auto setRate = [&] {
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, settings.rate);
        RequireNoOpenSource();
    };
    if (settings.rateFirst) setRate();
    for (int index = 0; index < kParamCount; ++index) {
        float value = 0.0f;
        if (!ParameterValue(index, settings.selectors[index], value)) continue;
        effect->setParameter(effect, index, value);
        RequireNoOpenSource();
    }
    if (!settings.rateFirst) setRate();
    Require(effect->initialDelay >= 0, "negative latency reported");
    return effect;
}

// The distinct paths the plug-in tried since the last clear, first try first.
std::vector<std::string> TriedPaths() {
    std::vector<std::string> distinct;
    for (const std::string& path : OpenedMediaPaths()) {
        bool seen = false;
        for (const std::string& earlier : distinct) seen = seen || earlier == path;
        if (!seen) distinct.push_back(path);
    }
    return distinct;
}

std::vector<uint8_t> ReadFileRecord(ByteReader& input, bool& present) {
    const uint8_t kind = input.U8() & 3;
    present = kind == 1 || kind == 2;
    std::vector<uint8_t> bytes;
    if (kind == 2) {
        WavHeaderFields fields;
        fields.formatTag = input.U16();
        fields.channels = input.U16();
        fields.sampleRate = input.U32();
        fields.bitsPerSample = input.U16();
        fields.blockAlign = input.U16();
        fields.declaredDataBytes = input.U32();
        fields.subFormatTag = input.U16();
        const std::span<const uint8_t> data = input.Bytes(input.U16());
        bytes = WavBytes(fields, data);
    } else if (present) {
        const std::span<const uint8_t> data = input.Bytes(input.U16());
        bytes.assign(data.begin(), data.end());
    }
    return bytes;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Require(file != nullptr, "cannot write into the IR folder");
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

}  // namespace
}  // namespace tolvar::fuzz

using namespace tolvar;
using namespace tolvar::fuzz;

// Files a crashed run left behind would be read by the next.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (const auto& entry : std::filesystem::directory_iterator(IrFolder()))
        std::filesystem::remove(entry.path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ByteReader input(data, size);
    const Settings settings = ReadSettings(input);

    // The folder is empty between runs, so this run's tries (through the host's
    // source, which records them) name every file it may read.
    UseBuiltinMediaSource(false);
    ClearOpenedMediaPaths();
    AEffect* probe = ComposeInNewInstance(settings);
    const std::vector<std::string> paths = TriedPaths();
    CloseInstance(probe);

    std::vector<std::string> written;
    for (const std::string& path : paths) {
        bool present = false;
        const std::vector<uint8_t> bytes = ReadFileRecord(input, present);
        if (!present) continue;
        WriteFile(path, bytes);
        written.push_back(path);
    }

    UseBuiltinMediaSource(settings.builtinSource);
    AEffect* effect = ComposeInNewInstance(settings);
    RequireFiniteBlock(effect, 256, 1);
    RequireFiniteBlock(effect, 1000, 2);
    CloseInstance(effect);

    for (const std::string& path : written) std::remove(path.c_str());
    return 0;
}
