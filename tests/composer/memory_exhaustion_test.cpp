// Every buffer a composition sizes, refused in turn: the composition reports
// failure and the impulse in use stays exactly as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "composer/compose_impulse.h"
#include "tests/support/failing_heap.h"
#include "tests/support/fake_ir_folder.h"
#include "tests/composer/impulse_snapshot.h"

namespace tolvar {
namespace {

using test::FakeIrFile;
using test::FakeIrFolder;

struct Scenario {
    const char* name;
    double fileRate;
    double hostRate;
    bool bandHiQ;           // band 1 asks for a Hi-Q file that is missing
    bool noFiles;           // every section bypassed: only the unit impulse is sized
};

void FillFolder(FakeIrFolder& folder, double rate) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    int length = 40;
    for (const char* name : {"100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"}) {
        FakeIrFile file;
        file.sampleRate = rate;
        file.samples.resize(length += 23);
        for (double& v : file.samples) v = value(random);
        folder.Add(name, file);
    }
}

void Values(const Scenario& scenario, double (&values)[kParamCount]) {
    for (int i = 0; i < kParamCount; ++i) values[i] = NormalizedFromValue(i, kParamTable[i].defaultValue);
    if (scenario.bandHiQ) values[kParamBand1HQ] = 1.0;
    if (scenario.noFiles)
        for (int i : {kParamLShelfG, kParamBand1G, kParamBand2G, kParamHShelfG}) values[i] = 1.0;
}

TEST(MemoryExhaustion, ARefusedBufferLeavesThePreviousImpulseInPlace) {
    const Scenario scenarios[] = {
        {"same rate", 96000.0, 96000.0, false, false},
        {"down to 44.1 kHz", 96000.0, 44100.0, false, false},
        {"up to 96 kHz", 48000.0, 96000.0, false, false},
        {"Hi-Q fall-back", 96000.0, 48000.0, true, false},
        {"unit impulse", 96000.0, 44100.0, false, true},
    };
    for (const Scenario& scenario : scenarios) {
        double values[kParamCount];
        Values(scenario, values);
        FakeIrFolder folder;
        FillFolder(folder, scenario.fileRate);

        // The complete composition, counting its allocation calls.
        ImpulseBuffer expected;
        int calls = 0;
        {
            auto heap = test::FailingHeap::RefusingCalls(0, 0);
            ASSERT_TRUE(BuildCompositeImpulse(values, scenario.hostRate, folder.Library(), expected));
            calls = heap.Requests();
        }
        ASSERT_GT(calls, 0);
        std::printf("%-18s %d allocation calls swept\n", scenario.name, calls);
        const std::vector<float> expectedTaps(expected.Taps(0), expected.Taps(0) + expected.TapCount(0));

        // A refusal at call k, either for good (the heap stays exhausted) or for
        // two calls (one buffer is refused, the buffers after it are granted).
        for (int k = 1; k <= calls + 1; ++k) {
            for (int lastRefused : {1 << 30, k + 1}) {
                ImpulseBuffer impulse;
                test::FillPreviousImpulse(impulse);
                const test::ImpulseSnapshot before(impulse);
                const int created = folder.SourcesCreated();
                bool built;
                {
                    auto heap = test::FailingHeap::RefusingCalls(k, lastRefused);
                    built = BuildCompositeImpulse(values, scenario.hostRate, folder.Library(), impulse);
                }
                const std::string where = std::string(scenario.name) + ", refused from call " +
                                          std::to_string(k) + " to " + std::to_string(lastRefused);
                if (k <= calls) {
                    EXPECT_FALSE(built) << where;
                    EXPECT_TRUE(test::ImpulseSnapshot(impulse) == before) << where;
                } else {
                    ASSERT_TRUE(built) << where;
                    EXPECT_EQ(std::vector<float>(impulse.Taps(0), impulse.Taps(0) + impulse.TapCount(0)),
                              expectedTaps)
                        << where;
                }
                EXPECT_LE(folder.SourcesCreated() - created, 5) << where;
                EXPECT_EQ(folder.SourcesDestroyed(), folder.SourcesCreated()) << where;
            }
        }
        EXPECT_TRUE(folder.Misuses().empty());
    }
}

}  // namespace
}  // namespace tolvar
