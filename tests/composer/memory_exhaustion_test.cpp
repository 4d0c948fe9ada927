// Every buffer a composition sizes, refused in turn: a file whose frames
// cannot be held leaves only its own section out; any other refusal makes the
// composition report failure with the impulse in use exactly as it was.
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

const char* const kDefaultFiles[] = {"100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"};
constexpr int kAllFiles = 15;

struct Scenario {
    const char* name;
    double fileRate;
    double hostRate;
    int firstLength;  // the files are this long, and each one 23 more than the one before
    bool bandHiQ;     // band 1 asks for a Hi-Q file that is missing
    bool noFiles;     // every section bypassed: only the unit impulse is sized
};

// The default sections' files that `mask` selects (bit i: kDefaultFiles[i]).
void FillFolder(FakeIrFolder& folder, const Scenario& scenario, int mask) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (int i = 0; i < 4; ++i) {
        FakeIrFile file;
        file.sampleRate = scenario.fileRate;
        file.samples.resize(scenario.firstLength + 23 * i);
        for (double& v : file.samples) v = value(random);
        if (mask & (1 << i)) folder.Add(kDefaultFiles[i], file);
    }
}

void Values(const Scenario& scenario, double (&values)[kParamCount]) {
    for (int i = 0; i < kParamCount; ++i) values[i] = NormalizedFromValue(i, kParamTable[i].defaultValue);
    if (scenario.bandHiQ) values[kParamBand1HQ] = 1.0;
    if (scenario.noFiles)
        for (int i : {kParamLShelfG, kParamBand1G, kParamBand2G, kParamHShelfG}) values[i] = 1.0;
}

std::vector<float> Taps(const ImpulseBuffer& impulse) {
    return std::vector<float>(impulse.Taps(0), impulse.Taps(0) + impulse.TapCount(0));
}

TEST(MemoryExhaustion, ARefusedBufferLeavesOutItsFileOrKeepsThePreviousImpulse) {
    const Scenario scenarios[] = {
        {"same rate, FFT", 96000.0, 96000.0, 63, false, false},
        {"same rate, direct", 96000.0, 96000.0, 2, false, false},
        {"down to 44.1 kHz", 96000.0, 44100.0, 63, false, false},
        {"up to 96 kHz", 48000.0, 96000.0, 63, false, false},
        {"Hi-Q fall-back", 96000.0, 48000.0, 40, true, false},
        {"unit impulse", 96000.0, 44100.0, 63, false, true},
    };
    for (const Scenario& scenario : scenarios) {
        double values[kParamCount];
        Values(scenario, values);
        // What the composition gives with each subset of the files.
        std::vector<float> bySubset[kAllFiles + 1];
        for (int mask = 0; mask <= kAllFiles; ++mask) {
            FakeIrFolder partial;
            FillFolder(partial, scenario, mask);
            ImpulseBuffer impulse;
            ASSERT_TRUE(BuildCompositeImpulse(values, scenario.hostRate, partial.Library(), impulse));
            bySubset[mask] = Taps(impulse);
        }
        FakeIrFolder folder;
        FillFolder(folder, scenario, kAllFiles);

        // The complete composition, counting its allocation calls.
        int calls = 0;
        {
            ImpulseBuffer impulse;
            auto heap = test::FailingHeap::RefusingCalls(0, 0);
            ASSERT_TRUE(BuildCompositeImpulse(values, scenario.hostRate, folder.Library(), impulse));
            calls = heap.Requests();
        }
        ASSERT_GT(calls, 0);
        std::printf("%-18s %d allocation calls swept\n", scenario.name, calls);

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
                if (!built) {
                    EXPECT_LE(k, calls) << where;
                    EXPECT_TRUE(test::ImpulseSnapshot(impulse) == before) << where;
                } else {
                    int subset = -1;
                    for (int mask = kAllFiles; mask >= 0 && subset < 0; --mask)
                        if (Taps(impulse) == bySubset[mask]) subset = mask;
                    EXPECT_GE(subset, 0) << where;
                    // A refusal that did not fail the composition left files out.
                    if (k <= calls) {
                        EXPECT_TRUE(subset != kAllFiles && !scenario.noFiles) << where;
                    }
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
