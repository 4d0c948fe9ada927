// The stand-in audioMaster: lookup answers with functions withheld, the call
// record, neutral answers, and calls from several threads.
#include <algorithm>
#include <thread>

#include <gtest/gtest.h>

#include "host/audio_master.h"
#include "host/fader_law.h"
#include "host/media_source.h"

namespace tolvar {
namespace {

const char* const kNames[] = {"DB2SLIDER", "SLIDER2DB", "PCM_Source_CreateFromFile", "Resampler_Create"};

intptr_t Lookup(const char* name) {
    return StandInAudioMaster(nullptr, kHostFunctionLookupOpcode, kHostFunctionLookupIndex, 0,
                              const_cast<char*>(name), 0.0f);
}

HostFunctionOffer OfferFromMask(unsigned mask) {
    return HostFunctionOffer{(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0};
}

TEST(AudioMaster, AnswersEachLookupUnlessWithheld) {
    const intptr_t addresses[] = {
        reinterpret_cast<intptr_t>(&Db2Slider), reinterpret_cast<intptr_t>(&Slider2Db),
        reinterpret_cast<intptr_t>(&CreateMediaSource), reinterpret_cast<intptr_t>(&ResamplerCreateMisuse)};
    for (unsigned mask = 0; mask < 16; ++mask) {
        ScopedHostFunctionOffer offer(OfferFromMask(mask));
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(testing::Message() << "offer mask " << mask << ", " << kNames[i]);
            EXPECT_EQ(Lookup(kNames[i]), (mask >> i) & 1 ? addresses[i] : 0);
        }
    }
    // The default offer: everything but Resampler_Create.
    const HostFunctionOffer defaults = CurrentHostFunctionOffer();
    EXPECT_TRUE(defaults.db2Slider && defaults.slider2Db && defaults.pcmSourceCreateFromFile);
    EXPECT_FALSE(defaults.resamplerCreate);

    // What comes back is callable with the documented signatures.
    auto db2Slider = reinterpret_cast<double (*)(double)>(Lookup("DB2SLIDER"));
    auto slider2Db = reinterpret_cast<double (*)(double)>(Lookup("SLIDER2DB"));
    EXPECT_NEAR(db2Slider(-68.0), 0.1, 1e-15);
    EXPECT_NEAR(slider2Db(0.1), -68.0, 1e-12);
    auto create = reinterpret_cast<PcmSourceCreateFromFileFn>(Lookup("PCM_Source_CreateFromFile"));
    EXPECT_EQ(create, &CreateMediaSource);

    // Names are matched exactly.
    for (const char* name : {"db2slider", "DB2SLIDER ", "PCM_Source_Create", "", "NoSuchFunction"})
        EXPECT_EQ(Lookup(name), 0) << '"' << name << '"';
    EXPECT_EQ(Lookup(nullptr), 0);
}

TEST(AudioMaster, RecordsEveryCallInOrder) {
    ClearAudioMasterCalls();
    AEffect someEffect{};
    Lookup("SLIDER2DB");
    Lookup("NoSuchFunction");
    EXPECT_EQ(StandInAudioMaster(&someEffect, audioMasterVersion, 0, 0, nullptr, 0.0f), 2400);
    Lookup(nullptr);
    Lookup("DB2SLIDER");

    EXPECT_EQ(HostFunctionLookups(), (std::vector<std::string>{"SLIDER2DB", "NoSuchFunction", "", "DB2SLIDER"}));
    const std::vector<AudioMasterCall> calls = AudioMasterCalls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].answer, reinterpret_cast<intptr_t>(&Slider2Db));
    EXPECT_EQ(calls[1].answer, 0);
    EXPECT_EQ(calls[2].effect, &someEffect);
    EXPECT_EQ(calls[2].opcode, audioMasterVersion);
    EXPECT_EQ(calls[2].answer, 2400);
    EXPECT_EQ(calls[4].effect, nullptr);
    EXPECT_EQ(calls[4].opcode, kHostFunctionLookupOpcode);
    EXPECT_EQ(calls[4].index, kHostFunctionLookupIndex);
    ClearAudioMasterCalls();
    EXPECT_TRUE(AudioMasterCalls().empty());
}

TEST(AudioMaster, OtherOpcodesGetNeutralAnswers) {
    char name[] = "DB2SLIDER";
    EXPECT_EQ(StandInAudioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f), kStandInHostVstVersion);
    for (const int32_t opcode : {int32_t{audioMasterAutomate}, int32_t{audioMasterCurrentId}, int32_t{audioMasterIdle}, 6, 42, -1})
        EXPECT_EQ(StandInAudioMaster(nullptr, opcode, 0, 0, name, 0.0f), 0) << opcode;
    // The lookup opcode with another index is not a lookup.
    EXPECT_EQ(StandInAudioMaster(nullptr, kHostFunctionLookupOpcode, 0, 0, name, 0.0f), 0);
    EXPECT_EQ(StandInAudioMaster(nullptr, 0, kHostFunctionLookupIndex, 0, name, 0.0f), 0);
}

TEST(AudioMaster, ScopedOffersNestAndRestore) {
    const HostFunctionOffer outer = CurrentHostFunctionOffer();
    {
        ScopedHostFunctionOffer first(OfferFromMask(0));
        EXPECT_EQ(Lookup("DB2SLIDER"), 0);
        {
            ScopedHostFunctionOffer second(OfferFromMask(1));
            EXPECT_NE(Lookup("DB2SLIDER"), 0);
        }
        EXPECT_EQ(Lookup("DB2SLIDER"), 0);
    }
    const HostFunctionOffer after = CurrentHostFunctionOffer();
    EXPECT_EQ(after.db2Slider, outer.db2Slider);
    EXPECT_EQ(after.slider2Db, outer.slider2Db);
    EXPECT_EQ(after.pcmSourceCreateFromFile, outer.pcmSourceCreateFromFile);
    EXPECT_EQ(after.resamplerCreate, outer.resamplerCreate);
}

TEST(AudioMaster, CallsFromSeveralThreadsAreAllAnsweredAndRecorded) {
    ClearAudioMasterCalls();
    constexpr int kThreads = 4;
    constexpr int kCallsEach = 500;
    const intptr_t expected = reinterpret_cast<intptr_t>(&CreateMediaSource);
    std::vector<int> wrong(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCallsEach; ++i)
                if (Lookup("PCM_Source_CreateFromFile") != expected) ++wrong[t];
        });
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[t], 0);
    const std::vector<std::string> names = HostFunctionLookups();
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kThreads * kCallsEach));
    EXPECT_EQ(std::count(names.begin(), names.end(), "PCM_Source_CreateFromFile"), kThreads * kCallsEach);
    ClearAudioMasterCalls();
}

TEST(AudioMasterDeathTest, CallingResamplerCreateAbortsLoudly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    HostFunctionOffer offer;
    offer.resamplerCreate = true;
    ScopedHostFunctionOffer scoped(offer);
    auto resamplerCreate = reinterpret_cast<void* (*)()>(Lookup("Resampler_Create"));
    ASSERT_NE(resamplerCreate, nullptr);
    EXPECT_DEATH(resamplerCreate(), "misuse: Resampler_Create was called");
}

}  // namespace
}  // namespace tolvar
