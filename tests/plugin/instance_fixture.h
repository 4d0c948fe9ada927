#pragma once
// Creates instances in this process through the entry point, with the IR files
// served from memory by the composer tests' fake media sources.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "composer/ir_library_layout.h"
#include "plugin/entry.h"
#include "plugin/eq_instance.h"
#include "plugin/ir_library_path.h"
#include "tests/support/fake_ir_folder.h"

namespace tolvar::test {

class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearFiles();
        processLevel = 0;
    }
    void TearDown() override {
        for (AEffect* effect : effects) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        EXPECT_EQ(folder->SourcesCreated(), folder->SourcesDestroyed());
        EXPECT_TRUE(folder->Misuses().empty());
    }

    // Starts again from an empty IR folder.
    void ClearFiles();

    AEffect* Create() {
        AEffect* effect = TolvarPluginMain(&AudioMaster);
        if (effect) effects.push_back(effect);
        return effect;
    }

    // An instance hearing only the section of gainParam (the others bypassed),
    // switched off and on so its stream starts afresh. Null when none was made.
    AEffect* CreateHearingOnly(int gainParam);

    void PutFile(const std::string& name, std::vector<double> samples, double rate = 44100.0) {
        test::FakeIrFile file;
        file.samples = std::move(samples);
        file.sampleRate = rate;
        folder->Add(name, std::move(file));
    }
    const std::vector<std::string>& Opened() const { return folder->Opens(); }

    // A decaying response of the given length with a known, non-trivial shape.
    static std::vector<double> DecayingResponse(int length, double decayPerTap = 0.999) {
        std::vector<double> taps(length);
        double gain = 0.5;
        for (int i = 0; i < length; ++i, gain *= decayPerTap) taps[i] = gain * std::cos(0.37 * i + 0.1);
        taps[0] = 1.0;
        return taps;
    }

    // Offers DB2SLIDER, SLIDER2DB and a PCM_Source_CreateFromFile served by the fake folder.
    static intptr_t TOLVAR_VST_CALL AudioMaster(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                                void* ptr, float opt);

    // What AudioMaster offers as PCM_Source_CreateFromFile: it serves whichever
    // fake folder is current, so binding once per process suffices.
    static inline PcmSourceCreateFromFileFn openSource = nullptr;
    // What AudioMaster answers audioMasterGetCurrentProcessLevel: 0 (as a host
    // that does not say) unless a test sets it.
    static inline std::atomic<intptr_t> processLevel{0};

    std::unique_ptr<test::FakeIrFolder> folder;
    std::vector<AEffect*> effects;
};

// Every gain section bypassed but the one given, so a single file makes the whole composite.
inline void BypassAllBut(AEffect* effect, int gainParam) {
    for (int gain : {kParamLShelfG, kParamBand1G, kParamBand2G, kParamHShelfG}) {
        if (gain != gainParam) effect->setParameter(effect, gain, 1.0f);
    }
}

inline void InstanceTest::ClearFiles() {
    // The entry point fills the process-wide IR path on its first call; so does this.
    folder = std::make_unique<test::FakeIrFolder>(EnsureIrLibraryPath());
    openSource = folder->Library().openSource;
}

inline AEffect* InstanceTest::CreateHearingOnly(int gainParam) {
    AEffect* effect = Create();
    if (!effect) return nullptr;
    BypassAllBut(effect, gainParam);
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    return effect;
}

inline double IdentityFaderLaw(double value) { return value; }

inline intptr_t TOLVAR_VST_CALL InstanceTest::AudioMaster(AEffect*, int32_t opcode, int32_t index, intptr_t,
                                                          void* ptr, float) {
    if (opcode == audioMasterGetCurrentProcessLevel) return processLevel.load();
    if (opcode != kHostFunctionLookupOpcode || index != kHostFunctionLookupIndex || !ptr) return 0;
    const std::string name = static_cast<const char*>(ptr);
    if (name == "DB2SLIDER" || name == "SLIDER2DB") return reinterpret_cast<intptr_t>(&IdentityFaderLaw);
    if (name == "PCM_Source_CreateFromFile") return reinterpret_cast<intptr_t>(openSource);
    return 0;
}

}  // namespace tolvar::test
