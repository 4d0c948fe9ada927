#include "tests/convolution/engine_test_support.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include <gtest/gtest.h>

#include "convolution/block_delivery.h"

namespace tolvar::test {

Signal DecayingImpulse(int taps, std::uint32_t seed) {
    Signal h = Noise(taps, seed);
    for (int i = 0; i < taps; ++i) h[static_cast<std::size_t>(i)] *= static_cast<float>(std::exp(-3.0 * i / taps));
    return h;
}

namespace {
void FillChannel(HeapBuffer& buffer, const Signal& taps) {
    buffer.Resize(0, true);
    if (taps.empty()) return;
    void* data = buffer.Resize(static_cast<int>(4 * taps.size()), true);
    std::memcpy(data, taps.data(), 4 * taps.size());
}
}  // namespace

void FillImpulse(ImpulseBuffer& impulse, const Signal& channel0) {
    impulse.channels = 1;
    FillChannel(impulse.samples[0], channel0);
    FillChannel(impulse.samples[1], {});
}

void FillImpulse(ImpulseBuffer& impulse, const Signal& channel0, const Signal& channel1) {
    impulse.channels = 2;
    FillChannel(impulse.samples[0], channel0);
    FillChannel(impulse.samples[1], channel1);
}

double Convolved(const Signal& h, const Signal& x, long t) {
    const long taps = static_cast<long>(h.size());
    const long first = std::max(0L, t - static_cast<long>(x.size()) + 1);
    const long last = std::min(taps - 1, t);
    double sum = 0.0;
    for (long m = first; m <= last; ++m) {
        sum += static_cast<double>(h[static_cast<std::size_t>(m)]) * x[static_cast<std::size_t>(t - m)];
    }
    return sum;
}

void CallbackDriver::RaiseLatency(int latency) { initialDelay = std::max(initialDelay, latency); }

int CallbackDriver::Process(const float* in0, const float* in1, float* out0, float* out1, int n) {
    const float* inputs[2] = {in0, in1};
    float* outputs[2] = {out0, out1};
    OwedSilence silence{initialDelay, delayInserted};
    const int count = DeliverBlock(engine, inputs, outputs, n, 2, silence);
    delayInserted = silence.inserted;
    silentFrames += n - count;
    for (int c = 0; c < 2; ++c) delivered[c].insert(delivered[c].end(), outputs[c] + n - count, outputs[c] + n);
    return count;
}

void CallbackDriver::Run(const Signal& x0, const Signal& x1, long from, long to,
                         const std::function<int()>& nextSize, Signal& out0, Signal& out1) {
    Signal block0, block1;
    for (long t = from; t < to;) {
        const int n = static_cast<int>(std::min<long>(nextSize(), to - t));
        block0.resize(static_cast<std::size_t>(n) + 1);  // never empty, so data() is usable
        block1.resize(static_cast<std::size_t>(n) + 1);
        Process(x0.data() + t, x1.data() + t, block0.data(), block1.data(), n);
        out0.insert(out0.end(), block0.begin(), block0.begin() + n);
        out1.insert(out1.end(), block1.begin(), block1.begin() + n);
        t += n;
    }
}

std::function<int()> RandomBlockSizes(std::uint32_t seed, int large) {
    auto random = std::make_shared<std::mt19937>(seed);
    return [random, large]() {
        const int kind = static_cast<int>((*random)() % 10);
        switch (kind) {
            case 0: return 0;
            case 1: return 1;
            case 2: return 2 * static_cast<int>((*random)() % 50) + 1;         // small odd
            case 3: return large + 1 + static_cast<int>((*random)() % 1000);   // beyond N
            default: return 1 + static_cast<int>((*random)() % 1024);
        }
    };
}

}  // namespace tolvar::test
