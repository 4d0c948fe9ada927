// The plug-in binary against a media source written here from the binary
// interface alone, as a host's compiler lays it out: on 32-bit Windows the
// operations take self in ECX and pop their own arguments (__thiscall), and the
// request record is read and written at fixed byte offsets, never through our
// own declarations of it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "abi/vst2.h"
#include "tests/plugin/loaded_plugin.h"

namespace tolvar::test {
namespace {

#if defined(_WIN32) && !defined(_WIN64)
#define HOST_SLOT_CALL __attribute__((thiscall))
constexpr std::size_t kDeliveredAt = 28, kRecordBytes = 64;
#else
#define HOST_SLOT_CALL
constexpr std::size_t kDeliveredAt = 32, kRecordBytes = 72;
#endif
constexpr std::size_t kRateAt = 8, kChannelsAt = 16, kFramesAt = 20, kBufferAt = 24;
constexpr double kTap = 0.5;  // every file is this one tap

struct HostSource {
    void* const* table;
    bool live;
};

struct Observed {
    std::vector<std::string> paths;  // every file opened
    int destroyed = 0;
    int misuses = 0;  // a wrong self, flags or record, or a slot the plug-in may not call
} observed;
HostSource sources[16];

bool Live(void* self) {
    for (HostSource& source : sources)
        if (self == &source && source.live) return true;
    ++observed.misuses;
    return false;
}

template <typename T>
T Read(const unsigned char* record, std::size_t offset) {
    T value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

void* HOST_SLOT_CALL Destroy(void* self, unsigned flags) {
    if (Live(self) && flags == 1) {
        static_cast<HostSource*>(self)->live = false;
        ++observed.destroyed;
    } else {
        ++observed.misuses;
    }
    return nullptr;
}
bool HOST_SLOT_CALL IsAvailable(void* self) { return Live(self); }
double HOST_SLOT_CALL SampleRate(void* self) { return Live(self) ? 44100.0 : 0.0; }
double HOST_SLOT_CALL LengthSeconds(void* self) { return Live(self) ? 0.5 / 44100.0 : 0.0; }  // one frame

void HOST_SLOT_CALL GetSamples(void* self, unsigned char* record) {
    if (!Live(self)) return;
    const int32_t frames = Read<int32_t>(record, kFramesAt);
    double* buffer = Read<double*>(record, kBufferAt);
    bool tailZero = true;
    for (std::size_t i = kDeliveredAt; i < kRecordBytes; ++i) tailZero = tailZero && record[i] == 0;
    if (Read<double>(record, kRateAt) != 44100.0 || Read<int32_t>(record, kChannelsAt) != 1 || frames < 1 ||
        !buffer || !tailZero) {
        ++observed.misuses;
        return;
    }
    buffer[0] = kTap;
    const int32_t delivered = 1;
    std::memcpy(record + kDeliveredAt, &delivered, sizeof delivered);
}

void* HOST_SLOT_CALL NotToBeCalled(void*) {
    ++observed.misuses;
    return nullptr;
}

void* const* Table() {
    static void* table[17];
    for (void*& slot : table) slot = reinterpret_cast<void*>(&NotToBeCalled);
    table[0] = reinterpret_cast<void*>(&Destroy);
    table[2] = reinterpret_cast<void*>(&IsAvailable);
    table[10] = reinterpret_cast<void*>(&SampleRate);
    table[11] = reinterpret_cast<void*>(&LengthSeconds);
    table[16] = reinterpret_cast<void*>(&GetSamples);
    return table;
}

void* CreateFromFile(const char* path) {
    observed.paths.push_back(path);
    for (HostSource& source : sources) {
        if (!source.live) {
            source = {Table(), true};
            return &source;
        }
    }
    return nullptr;
}

double Fader(double value) { return value; }

intptr_t TOLVAR_VST_CALL Host(AEffect*, int32_t opcode, int32_t index, intptr_t, void* ptr, float) {
    if (opcode != kHostFunctionLookupOpcode || index != kHostFunctionLookupIndex || !ptr) return 0;
    const std::string name = static_cast<const char*>(ptr);
    if (name == "DB2SLIDER" || name == "SLIDER2DB") return reinterpret_cast<intptr_t>(&Fader);
    if (name == "PCM_Source_CreateFromFile") return reinterpret_cast<intptr_t>(&CreateFromFile);
    return 0;
}

TEST(HostAbi, ThePluginCallsAHostsMediaSourceByItsBinaryLayout) {
    LoadedPluginFolder folder;
    auto library = folder.Load();
    ASSERT_TRUE(library);
    std::string error;
    auto plugin = PluginInstance::Create(library, &error, Host);
    ASSERT_TRUE(plugin) << error;

    // The defaults select four section files, each read once and destroyed.
    const std::vector<std::string> expected = {folder.IrPath("100+0.wav"), folder.IrPath("820+0.wav"),
                                               folder.IrPath("1800+0.wav"), folder.IrPath("6800+0.wav")};
    EXPECT_EQ(observed.paths, expected);
    EXPECT_EQ(observed.destroyed, 4);
    EXPECT_EQ(observed.misuses, 0);

    // Four one-tap files compose to one tap: the audio passes scaled by it.
    const double gain = std::pow(kTap * kStandardFileScale, 4);
    const std::vector<float> input = {1.0f, -0.5f, 0.25f, 0.0f, 2.0f};
    const std::vector<float> output = ProcessMono(*plugin, input, {2, 3});
    ASSERT_EQ(output.size(), input.size());
    for (std::size_t i = 0; i < input.size(); ++i) EXPECT_NEAR(output[i], gain * input[i], 1e-6) << i;
}

}  // namespace
}  // namespace tolvar::test
