#include "fft/fft_double.h"

#include <algorithm>
#include <cmath>

#include "fft/cpu_features.h"
#include "fft/fft_double_isa.h"

namespace tolvar {
namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

const DoubleFftRoutines& Routines() {
    static const DoubleFftRoutines& chosen = CpuHasAvx2() ? kDoubleFftAvx2 : kDoubleFftSse2;
    return chosen;
}

int Log2(int m) {
    int bits = 0;
    while ((1 << bits) < m) ++bits;
    return bits;
}

int ReverseBits(int value, int bits) {
    int reversed = 0;
    for (int b = 0; b < bits; ++b) reversed |= ((value >> b) & 1) << (bits - 1 - b);
    return reversed;
}

// exp(-2 pi i k / span) for k = 0..last into re[], im[]. Directly for the
// first `step` values, and for the others as one direct value (at a multiple of
// step) times one of those: within two units in the last place, with about
// 2 sqrt(last) sines and cosines instead of `last`.
void FillRoots(double* re, double* im, int last, int span) {
    int step = 1;
    while (step * step <= last) ++step;
    auto direct = [span](int k, double& c, double& s) {
        const double angle = kTwoPi * (static_cast<double>(k) / span);
        c = std::cos(angle);
        s = -std::sin(angle);
    };
    for (int k = 0; k < step && k <= last; ++k) direct(k, re[k], im[k]);
    for (int base = step; base <= last; base += step) {
        double cr, ci;
        direct(base, cr, ci);
        for (int b = 0; b < step && base + b <= last; ++b) {
            re[base + b] = cr * re[b] - ci * im[b];
            im[base + b] = cr * im[b] + ci * re[b];
        }
    }
}

// One level of the table (layout in fft_double_kernels.h), span L = 4q.
//
// W^k = exp(-2 pi i k / L) is computed for k <= L/8 only; the rest of the
// first quadrant follows by swapping cosine and sine, the other quadrants by
// multiplying with -i or -1, all exact. The real transform's twiddles are odd
// powers of exp(-2 pi i / 2L): one power of W times exp(-2 pi i / 2L).
void FillLevel(double* level, int q) {
    const int span = 4 * q;
    double* w1r = level + 2 * q;
    double* w1i = level + 3 * q;
    FillRoots(w1r, w1i, std::min(span / 8, q - 1), span);
    for (int k = q / 2 + 1; k < q; ++k) {  // cos(pi/2 - a) = sin(a)
        w1r[k] = -w1i[q - k];
        w1i[k] = -w1r[q - k];
    }
    // W^k for 0 <= k < 3q from the first quadrant: W^q = -i.
    auto power = [&](int k, double& re, double& im) {
        const int quadrant = k / q, r = k % q;
        const double cr = w1r[r], ci = w1i[r];
        if (quadrant == 0) re = cr, im = ci;
        else if (quadrant == 1) re = ci, im = -cr;  // times -i
        else re = -cr, im = -ci;                    // times -1
    };
    for (int j = 0; j < q; ++j) {
        power(2 * j, level[4 * q + j], level[5 * q + j]);
        power(3 * j, level[6 * q + j], level[7 * q + j]);
    }
    const double hr = std::cos(kTwoPi / (2.0 * span)), hi = -std::sin(kTwoPi / (2.0 * span));
    int reversed = 0;  // t with its log2(q) bits reversed
    for (int t = 0; t < q; ++t) {
        double pr, pi;
        power(2 * reversed, pr, pi);
        level[t] = pr * hr - pi * hi;
        level[q + t] = pr * hi + pi * hr;
        int bit = q >> 1;
        while (reversed & bit) {
            reversed ^= bit;
            bit >>= 1;
        }
        reversed |= bit;
    }
}

}  // namespace

bool IsDoubleFftSize(int m) { return m >= 1 && m <= (1 << kDoubleFftMaxLog2) && (m & (m - 1)) == 0; }

int DoubleFftTableDoubles(int m) { return m >= 4 ? 4 * m - 8 : 0; }

void DoubleFftFillTable(double* table, int filledFor, int m) {
    for (int span = 4; span <= m; span *= 2) {
        if (span <= filledFor) continue;
        FillLevel(table + 2 * span - 8, span / 4);
    }
}

TOLVAR_FFT_ALIGN_STACK void DoubleFftForward(double* re, double* im, int m, const double* table) {
    Routines().forward(re, im, m, table);
}

TOLVAR_FFT_ALIGN_STACK void DoubleFftInverse(double* re, double* im, int m, const double* table) {
    Routines().inverse(re, im, m, table);
}

TOLVAR_FFT_ALIGN_STACK void RealFftForward(const double* x, int count, double* spectrum, int n,
                                           const double* table) {
    Routines().realForward(x, count, spectrum, n, table);
}

TOLVAR_FFT_ALIGN_STACK void RealFftInverse(double* spectrum, int n, double* out, int count, double scale,
                                           const double* table) {
    Routines().realInverse(spectrum, n, out, count, scale, table);
}

TOLVAR_FFT_ALIGN_STACK void RealSpectrumMultiply(double* accumulator, const double* factor, int n) {
    Routines().multiply(accumulator, factor, n);
}

int DoubleFftBinAt(int p, int m) { return ReverseBits(p, Log2(m)); }

}  // namespace tolvar
