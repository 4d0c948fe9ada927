#include "composer/impulse_merge.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace tolvar {
namespace {

// Largest count of doubles a HeapBuffer of granularity 64 can hold.
constexpr std::int64_t kMaxDoubles = (INT_MAX - 64) / static_cast<int>(sizeof(double));

void Reverse(double* x, int count) { std::reverse(x, x + count); }

}  // namespace

double DotProduct(const double* a, const double* b, int count) {
    // Eight independent sums: four packed chains that hide the adder's latency.
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0, s5 = 0.0, s6 = 0.0, s7 = 0.0;
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        s0 += a[i] * b[i];
        s1 += a[i + 1] * b[i + 1];
        s2 += a[i + 2] * b[i + 2];
        s3 += a[i + 3] * b[i + 3];
        s4 += a[i + 4] * b[i + 4];
        s5 += a[i + 5] * b[i + 5];
        s6 += a[i + 6] * b[i + 6];
        s7 += a[i + 7] * b[i + 7];
    }
    for (; i < count; ++i) s0 += a[i] * b[i];
    return ((s0 + s1) + (s2 + s3)) + ((s4 + s5) + (s6 + s7));
}

bool MergeImpulse(HeapBuffer& accumulator, double* x, int count, double scale) {
    if (count < 1 || count > kMaxDoubles) return false;
    const int a = accumulator.Count<double>();
    if (a == 0) {
        double* acc = static_cast<double*>(accumulator.Resize(count * int{sizeof(double)}, true));
        if (!acc) return false;
        for (int i = 0; i < count; ++i) acc[i] = scale * x[i];
        return true;
    }

    const std::int64_t total = std::int64_t{a} + count - 1;
    if (total > kMaxDoubles) return false;
    double* acc = static_cast<double*>(
        accumulator.Resize(static_cast<int>(total) * int{sizeof(double)}, true));
    if (!acc) return false;

    // With x reversed, out[n] = sum over j of x[j] * acc[n - j] becomes a dot
    // product of two ranges running the same way: xr[i] * acc[n - count + 1 + i].
    // Only old positions 0..a-1 contribute; the grown positions would add zeros.
    Reverse(x, count);
    const double* xr = x;
    for (std::int64_t n = total - 1; n >= 0; --n) {
        const int first = static_cast<int>(std::max<std::int64_t>(0, n - (a - 1)));  // lowest j
        const int last = static_cast<int>(std::min<std::int64_t>(count - 1, n));     // highest j
        const int from = count - 1 - last;  // index into xr of j = last
        const double* accFrom = acc + (n - last);
        acc[n] = scale * DotProduct(xr + from, accFrom, last - first + 1);
    }
    return true;
}

}  // namespace tolvar
