// One thread processes audio while another automates parameters and a third
// changes the sample rate, as hosts do. Also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>

#include "host/source_registry.h"
#include "params/param_info.h"
#include "tests/plugin/loaded_plugin.h"

namespace tolvar::test {
namespace {

TEST(Concurrency, AudioParametersAndSampleRateFromThreeThreads) {
    LoadedPluginFolder folder;
    // Short files in a few sections at two rates keep each recomposition quick.
    const char* names[] = {"100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav", "820+3.wav", "100-2.wav"};
    for (int i = 0; i < 6; ++i) folder.PutIr(names[i], FloatResponse(40 + 300 * (i % 3), 30 + i), i % 2 ? 96000 : 48000);
    auto plugin = folder.Create();
    ASSERT_TRUE(plugin);
    plugin->Prepare(44100.0, 512);

    std::atomic<int> writersLeft{2};
    std::atomic<bool> allFinite{true};
    std::atomic<long> framesProcessed{0};
    std::thread audio([&] {
        std::vector<float> inL(512), inR(512), outL(512), outR(512);
        std::mt19937 random(1);
        std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
        // Until the writers are done, and at least a few blocks in any case:
        // recompositions are quick enough to finish before this thread starts.
        while (writersLeft.load() > 0 || framesProcessed.load() < 4096) {
            const int frames = std::uniform_int_distribution<int>(0, 512)(random);
            for (int i = 0; i < frames; ++i) inL[i] = uniform(random), inR[i] = uniform(random);
            float* inputs[2] = {inL.data(), inR.data()};
            float* outputs[2] = {outL.data(), outR.data()};
            plugin->ProcessBlock(inputs, outputs, frames);
            for (int i = 0; i < frames; ++i) {
                if (!std::isfinite(outL[i]) || !std::isfinite(outR[i])) allFinite = false;
            }
            framesProcessed += frames;
        }
    });
    std::thread automation([&] {
        std::mt19937 random(2);
        const float values[] = {0.0f, 0.12f, 0.48f, 0.52f, 1.0f, 1.7f, -0.3f, NAN, INFINITY, 0.5f};
        for (int i = 0; i < 150; ++i) {
            plugin->SetParameter(std::uniform_int_distribution<int>(-1, 15)(random), values[random() % 10]);
            plugin->GetParameter(static_cast<int32_t>(random() % 15));
        }
        --writersLeft;
    });
    std::thread rates([&] {
        const float choices[] = {44100.0f, 48000.0f, 96000.0f, 22050.0f, 0.0f, NAN, 88200.0f};
        for (int i = 0; i < 40; ++i) {
            plugin->SetSampleRate(choices[i % 7]);
            if (i % 10 == 9) plugin->SetMains(false), plugin->SetMains(true);
        }
        --writersLeft;
    });
    automation.join();
    rates.join();
    audio.join();
    EXPECT_TRUE(allFinite.load());
    EXPECT_GT(framesProcessed.load(), 0);
    plugin->Close();
    EXPECT_EQ(LiveMediaSourceCount(), 0);
}

}  // namespace
}  // namespace tolvar::test
