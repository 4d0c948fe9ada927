#pragma once
// Creates instances in this process through the entry point, with the IR files
// served from memory.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "plugin/entry.h"
#include "plugin/eq_instance.h"
#include "tests/plugin/in_memory_host.h"

namespace tolvar::testing {

constexpr double kStandardScale = 1.2599210498948732;  // 2^(2/6)

class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override { InMemoryIrFiles::Instance().Clear(); }
    void TearDown() override {
        for (AEffect* effect : effects) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        EXPECT_EQ(InMemoryIrFiles::Instance().SourcesAlive(), 0);
    }

    AEffect* Create() {
        AEffect* effect = TolvarPluginMain(&InMemoryAudioMaster);
        if (effect) effects.push_back(effect);
        return effect;
    }

    static void PutFile(const std::string& name, std::vector<double> samples, double rate = 44100.0) {
        InMemoryIrFiles::Instance().Put(name, {rate, std::move(samples)});
    }

    // A decaying response of the given length with a known, non-trivial shape.
    static std::vector<double> DecayingResponse(int length, double decayPerTap = 0.999) {
        std::vector<double> taps(length);
        double gain = 0.5;
        for (int i = 0; i < length; ++i, gain *= decayPerTap) taps[i] = gain * std::cos(0.37 * i + 0.1);
        taps[0] = 1.0;
        return taps;
    }

    // An instance hearing only the section of gainParam (the others bypassed),
    // switched off and on so its stream starts afresh. Null when none was made.
    AEffect* CreateHearingOnly(int gainParam);

    std::vector<AEffect*> effects;
};

// Default settings with every section bypassed but the one given, so a single
// file makes the whole composite.
inline void BypassAllBut(AEffect* effect, int gainParam) {
    for (int gain : {kParamLShelfG, kParamBand1G, kParamBand2G, kParamHShelfG}) {
        if (gain != gainParam) effect->setParameter(effect, gain, 1.0f);
    }
}

inline AEffect* InstanceTest::CreateHearingOnly(int gainParam) {
    AEffect* effect = Create();
    if (!effect) return nullptr;
    BypassAllBut(effect, gainParam);
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    return effect;
}

}  // namespace tolvar::testing
