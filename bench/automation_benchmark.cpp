// The plug-in under automation, driven as a workstation plays a session: an
// audio thread processes blocks paced in real time (one block per period,
// audioMasterGetCurrentProcessLevel answering 2) while parameters change in
// the ways sessions change them:
//   steady      nothing changes
//   1 lane      one gain automated, setParameter with the lane's value before
//               every block, on the audio thread
//   3 lanes     three gains so
//   thread      another thread changes a gain 100 times a second
//   picks       a user-interface thread picks another band frequency 4 times
//               a second, as the editor's picks do
// with a typical mix setting (input model, high-pass, low shelf, band 1 Hi-Q,
// band 2, high shelf) at 44.1, 48 and 96 kHz and blocks of 32 to 1024 frames.
// For each case it prints the audio thread's time per block (its setParameter
// calls and processReplacing) against the block's period. Then it steps band
// 1's gain 12 dB under a 1200 Hz tone and measures how much audio passes
// before the step is heard.
//
// The reference is the plug-in binary given with --reference (e.g. the
// previous release's tolvar.so with its tolvar/ folder beside it), run in the
// same process, case by case beside this build's.
//
//   build/bench/tolvar_automation_bench [--reference OLD/tolvar.so] [--seconds 2] [--quick]
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/audio_master.h"
#include "host/plugin_instance.h"
#include "params/param_info.h"

namespace tolvar::bench {
namespace {

using Clock = std::chrono::steady_clock;

enum class Scenario { kSteady, kOneLane, kThreeLanes, kOtherThread, kPicks };
const char* const kScenarioNames[] = {"steady", "1 lane", "3 lanes", "thread", "picks"};

// Normalised values of the typical setting.
const std::pair<int, float> kTypicalSetting[] = {
    {kParamInputMode, 0.25f},              // Mic Pre
    {kParamHpf, 0.6f},                     // 82 Hz
    {kParamLShelfF, 0.5f}, {kParamLShelfG, 0.6f},                             // 100 Hz, +3 dB
    {kParamBand1F, 4.0f / 9}, {kParamBand1G, 0.64f}, {kParamBand1HQ, 1.0f},   // 1200 Hz, +4 dB, Hi-Q
    {kParamBand2F, 7.0f / 9}, {kParamBand2G, 0.36f},                          // 3900 Hz, -3 dB
    {kParamHShelfF, 0.75f}, {kParamHShelfG, 0.56f},                           // 10 kHz, +2 dB
};
const int kLaneParams[] = {kParamBand1G, kParamBand2G, kParamLShelfG};

// The host answers the process level without recording the call, as a
// workstation answers it; everything else goes to the stand-in host.
intptr_t TOLVAR_VST_CALL RealTimeHost(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                      float opt) {
    if (opcode == audioMasterGetCurrentProcessLevel) return kVstProcessLevelRealtime;
    return StandInAudioMaster(effect, opcode, index, value, ptr, opt);
}

// A lane's value at a time: a triangle over most of a gain's range, 4 s a cycle.
float LaneValue(int lane, double seconds) {
    const double phase = std::fmod(seconds / 4.0 + lane * 0.3, 1.0);
    const double triangle = phase < 0.5 ? 2.0 * phase : 2.0 - 2.0 * phase;
    return static_cast<float>(0.2 + 0.6 * triangle);
}

// The audio thread's CPU time so far, in microseconds: unlike the wall clock,
// it leaves out the time the thread was not running (preempted by the system
// or another thread, or waiting), which tells the plug-in's own work apart
// from the machine's jitter.
double ThreadCpuMicros() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return 1e6 * static_cast<double>(now.tv_sec) + 1e-3 * static_cast<double>(now.tv_nsec);
}

struct BlockTimes {
    std::vector<double> micros;     // audio-thread time of each block, wall clock
    std::vector<double> cpuMicros;  // the audio thread's CPU time in each block
    double period = 0.0;         // microseconds
};

class Session {
public:
    static std::unique_ptr<Session> Open(const std::string& path, double rate, int block) {
        std::string error;
        auto library = PluginLibrary::Load(path, &error);
        if (!library) return nullptr;
        auto plugin = PluginInstance::Create(library, &error, &RealTimeHost);
        if (!plugin) return nullptr;
        auto session = std::unique_ptr<Session>(new Session(std::move(plugin), rate, block));
        session->Start();
        return session;
    }

    BlockTimes Play(Scenario scenario, double seconds) {
        BlockTimes times;
        times.period = 1e6 * block / rate;
        std::atomic<bool> playing{true};
        std::thread other;
        if (scenario == Scenario::kOtherThread || scenario == Scenario::kPicks) {
            other = std::thread([&] { ChangeFromAnotherThread(scenario, playing); });
        }
        const long blocks = static_cast<long>(seconds * rate / block);
        const auto period = std::chrono::nanoseconds(static_cast<long long>(1e9 * block / rate));
        auto deadline = Clock::now();
        for (long b = 0; b < blocks; ++b) {
            deadline += period;
            const auto start = Clock::now();
            const double cpuStart = ThreadCpuMicros();
            const double at = static_cast<double>(b) * block / rate;
            const int lanes = scenario == Scenario::kOneLane ? 1 : scenario == Scenario::kThreeLanes ? 3 : 0;
            for (int lane = 0; lane < lanes; ++lane) plugin->SetParameter(kLaneParams[lane], LaneValue(lane, at));
            ProcessOneBlock(b);
            times.micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            times.cpuMicros.push_back(ThreadCpuMicros() - cpuStart);
            std::this_thread::sleep_until(deadline);  // a late block makes the next one start at once
        }
        playing = false;
        if (other.joinable()) other.join();
        return times;
    }

    // With band 1 alone (1200 Hz, Hi-Q: a short response, so the engine's
    // blocks are short too), steps its gain from +4 to -8 dB under a 1200 Hz
    // tone `steps` times and returns, for each, how many frames after the
    // change the output, less the latency, has fallen half way. The switch
    // takes effect at the engine's block boundary before the change when the
    // response is ready at once: then the figure is negative.
    std::vector<int> StepLateness(int steps) {
        for (int gain : {kParamLShelfG, kParamBand2G, kParamHShelfG}) plugin->SetParameter(gain, 1.0f);  // bypassed
        for (int off : {kParamInputMode, kParamHpf}) plugin->SetParameter(off, 0.0f);
        plugin->SetMains(false);
        plugin->SetMains(true);
        std::vector<int> lateness;
        // Long enough for the latency and the step's own ringing on either side.
        const long settle = static_cast<long>((plugin->InitialDelay() + 0.3 * rate) / block);
        const auto period = std::chrono::nanoseconds(static_cast<long long>(1e9 * block / rate));
        for (int s = 0; s < steps; ++s) {
            plugin->SetParameter(kParamBand1G, 0.64f);
            std::vector<float> levels;
            long changeBlock = settle;
            auto deadline = Clock::now();
            for (long b = 0; b < 2 * settle; ++b) {
                deadline += period;
                if (b == changeBlock) plugin->SetParameter(kParamBand1G, 0.16f);
                levels.push_back(ProcessOneBlock(b));
                std::this_thread::sleep_until(deadline);
            }
            const float before = levels[static_cast<std::size_t>(changeBlock - 1)], after = levels.back();
            const float halfway = std::sqrt(before * after);
            long heard = changeBlock;
            while (heard < static_cast<long>(levels.size()) && levels[static_cast<std::size_t>(heard)] > halfway) ++heard;
            lateness.push_back(static_cast<int>((heard - changeBlock) * block) - plugin->InitialDelay());
        }
        return lateness;
    }

private:
    Session(std::unique_ptr<PluginInstance> instance, double sampleRate, int blockSize)
        : plugin(std::move(instance)), rate(sampleRate), block(blockSize),
          in(static_cast<std::size_t>(blockSize)), outL(in.size()), outR(in.size()) {}

    void Start() {
        plugin->Prepare(rate, block);
        for (const auto& [index, value] : kTypicalSetting) plugin->SetParameter(index, value);
        plugin->SetMains(false);
        plugin->SetMains(true);
    }

    // One block of a 1200 Hz tone; returns the output's peak level.
    float ProcessOneBlock(long b) {
        for (int i = 0; i < block; ++i) {
            const double t = static_cast<double>(b * block + i) / rate;
            in[static_cast<std::size_t>(i)] = static_cast<float>(0.1 * std::sin(2.0 * M_PI * 1200.0 * t));
        }
        float* inputs[2] = {in.data(), in.data()};
        float* outputs[2] = {outL.data(), outR.data()};
        plugin->ProcessBlock(inputs, outputs, block);
        float peak = 0.0f;
        for (float v : outL) peak = std::max(peak, std::fabs(v));
        return peak;
    }

    void ChangeFromAnotherThread(Scenario scenario, const std::atomic<bool>& playing) {
        const bool picks = scenario == Scenario::kPicks;
        const auto interval = std::chrono::milliseconds(picks ? 250 : 10);
        auto next = Clock::now();
        for (int i = 0; playing.load(); ++i) {
            if (picks) {
                plugin->SetParameter(kParamBand2F, static_cast<float>(i % 10) / 9);
            } else {
                plugin->SetParameter(kParamBand1G, LaneValue(0, i * 0.01));
            }
            next += interval;
            std::this_thread::sleep_until(next);
        }
    }

    std::unique_ptr<PluginInstance> plugin;
    double rate;
    int block;
    std::vector<float> in, outL, outR;
};

struct Summary {
    double median = 0.0, worst = 0.0, cpuWorst = 0.0;
    long overHalf = 0, overPeriod = 0, cpuOverHalf = 0, blocks = 0;
};

Summary Summarise(BlockTimes times) {
    Summary s;
    s.blocks = static_cast<long>(times.micros.size());
    if (times.micros.empty()) return s;
    for (double t : times.micros) {
        s.overHalf += t > times.period / 2;
        s.overPeriod += t > times.period;
    }
    for (double t : times.cpuMicros) {
        s.cpuOverHalf += t > times.period / 2;
        s.cpuWorst = std::max(s.cpuWorst, t);
    }
    std::sort(times.micros.begin(), times.micros.end());
    s.median = times.micros[times.micros.size() / 2];
    s.worst = times.micros.back();
    return s;
}

void PrintRow(const char* who, double rate, int block, Scenario scenario, double period, const Summary& s) {
    std::printf("%-9s %6.0f %5d %-8s %8.0f %9.1f %9.1f %7ld %7ld %9.1f %7ld %7ld\n", who, rate, block,
                kScenarioNames[static_cast<int>(scenario)], period, s.median, s.worst, s.overHalf, s.overPeriod,
                s.cpuWorst, s.cpuOverHalf, s.blocks);
}

// The audio thread at a real-time priority, as workstations run theirs, when
// the system allows it.
bool RunAudioThreadInRealTime() {
    sched_param priority{};
    priority.sched_priority = 70;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority) == 0;
}

int Run(const std::string& ours, const std::string& reference, double seconds, bool quick) {
    const bool realTimePriority = RunAudioThreadInRealTime();
    std::printf("audio thread: %s\n", realTimePriority ? "SCHED_FIFO priority 70" : "normal priority (real-time refused)");
    const std::vector<double> rates = quick ? std::vector<double>{48000.0} : std::vector<double>{44100.0, 48000.0, 96000.0};
    const std::vector<int> blocks = quick ? std::vector<int>{64, 256} : std::vector<int>{32, 64, 256, 1024};
    std::vector<std::pair<const char*, std::string>> plugins = {{"tolvar", ours}};
    if (!reference.empty()) plugins.push_back({"reference", reference});
    std::printf("audio-thread time per block, microseconds (setParameter calls + processReplacing):\n"
                "wall clock, then the thread's CPU time (without preemption and waiting)\n");
    std::printf("%-9s %6s %5s %-8s %8s %9s %9s %7s %7s %9s %7s %7s\n", "plug-in", "rate", "block", "changes", "period",
                "median", "worst", ">half", ">period", "cpu worst", ">half", "blocks");
    for (double rate : rates) {
        for (int block : blocks) {
            for (int s = 0; s < 5; ++s) {
                for (const auto& [who, path] : plugins) {
                    auto session = Session::Open(path, rate, block);
                    if (!session) {
                        std::fprintf(stderr, "cannot load %s\n", path.c_str());
                        return 1;
                    }
                    session->Play(Scenario::kSteady, 0.2);  // caches, pages, the first composition
                    const BlockTimes times = session->Play(static_cast<Scenario>(s), seconds);
                    PrintRow(who, rate, block, static_cast<Scenario>(s), times.period, Summarise(times));
                }
            }
        }
    }
    std::printf("\nfrom a 12 dB step of band 1 alone until the output (less the latency) shows it, at 48 kHz in\n"
                "blocks of 64: frames (ms); negative where the switch lands at the block boundary before it\n");
    for (const auto& [who, path] : plugins) {
        auto session = Session::Open(path, 48000.0, 64);
        if (!session) return 1;
        std::vector<int> lateness = session->StepLateness(quick ? 5 : 20);
        std::sort(lateness.begin(), lateness.end());
        std::printf("%-9s median %5d (%.1f ms), worst %5d (%.1f ms)\n", who, lateness[lateness.size() / 2],
                    lateness[lateness.size() / 2] / 48.0, lateness.back(), lateness.back() / 48.0);
    }
    return 0;
}

}  // namespace
}  // namespace tolvar::bench

int main(int argc, char** argv) {
    std::string reference;
    double seconds = 2.0;
    bool quick = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--reference") && i + 1 < argc) {
            reference = argv[++i];
        } else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (!std::strcmp(argv[i], "--quick")) {
            quick = true;
        } else {
            std::fprintf(stderr, "usage: %s [--reference PLUGIN] [--seconds S] [--quick]\n", argv[0]);
            return 2;
        }
    }
    return tolvar::bench::Run(TOLVAR_PLUGIN_PATH, reference, seconds, quick);
}
