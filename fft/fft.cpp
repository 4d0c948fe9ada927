#include "fft/fft.h"

#include "fft/twiddle_tables.h"

namespace tolvar {
namespace {

using C = ComplexFloat;

inline C Add(C a, C b) { return {a.re + b.re, a.im + b.im}; }
inline C Sub(C a, C b) { return {a.re - b.re, a.im - b.im}; }
inline C Mul(C a, C w) { return {a.re * w.re - a.im * w.im, a.re * w.im + a.im * w.re}; }
inline C MulConj(C a, C w) { return {a.re * w.re + a.im * w.im, a.im * w.re - a.re * w.im}; }
inline C TimesI(C a) { return {-a.im, a.re}; }

// w_j for the pass of size N: the full table up to 512, the mirrored table above.
template <int N>
inline C Twiddle(const C* table, int j) {
    if constexpr (N == 8) {
        const float h = SmallKernelConstants().sqrtHalf;
        return {h, h};
    } else if constexpr (N <= 512) {
        return table[j - 1];
    } else {
        if (j < N / 8) return table[j - 1];
        if (j == N / 8) {
            const float h = SmallKernelConstants().sqrtHalf;
            return {h, h};
        }
        const C mirrored = table[N / 4 - j - 1];
        return {mirrored.im, mirrored.re};
    }
}

template <int N>
void ForwardPass(C* a) {
    const C* table = TwiddleTable(N);
    for (int j = 0; j < N / 4; ++j) {
        const C a0 = a[j], a1 = a[j + N / 4], a2 = a[j + N / 2], a3 = a[j + 3 * N / 4];
        const C d = Sub(a0, a2), ie = TimesI(Sub(a1, a3));
        a[j] = Add(a0, a2);
        a[j + N / 4] = Add(a1, a3);
        if (j == 0) {
            a[j + N / 2] = Add(d, ie);
            a[j + 3 * N / 4] = Sub(d, ie);
        } else {
            const C w = Twiddle<N>(table, j);
            a[j + N / 2] = Mul(Add(d, ie), w);
            a[j + 3 * N / 4] = MulConj(Sub(d, ie), w);
        }
    }
}

template <int N>
void InversePass(C* a) {
    const C* table = TwiddleTable(N);
    for (int j = 0; j < N / 4; ++j) {
        const C a0 = a[j], a1 = a[j + N / 4];
        C v = a[j + N / 2], z = a[j + 3 * N / 4];
        if (j != 0) {
            const C w = Twiddle<N>(table, j);
            v = MulConj(v, w);
            z = Mul(z, w);
        }
        const C s = Add(v, z), id = TimesI(Sub(v, z));
        a[j] = Add(a0, s);
        a[j + N / 2] = Sub(a0, s);
        a[j + N / 4] = Sub(a1, id);
        a[j + 3 * N / 4] = Add(a1, id);
    }
}

// Each size has its own forward and inverse routine; the recursion is resolved
// at compile time so no size is passed at run time below the dispatcher.
template <int N>
void Forward(C* a) {
    if constexpr (N == 2) {
        const C a0 = a[0], a1 = a[1];
        a[0] = Add(a0, a1);
        a[1] = Sub(a0, a1);
    } else {
        ForwardPass<N>(a);
        if constexpr (N >= 8) {
            Forward<N / 4>(a + N / 2);
            Forward<N / 4>(a + 3 * N / 4);
        }
        Forward<N / 2>(a);
    }
}

template <int N>
void Inverse(C* a) {
    if constexpr (N == 2) {
        Forward<2>(a);
    } else {
        Inverse<N / 2>(a);
        if constexpr (N >= 8) {
            Inverse<N / 4>(a + N / 2);
            Inverse<N / 4>(a + 3 * N / 4);
        }
        InversePass<N>(a);
    }
}

using Routine = void (*)(C*);

template <int... Ns>
struct Routines {
    static constexpr Routine forward[] = {Forward<Ns>...};
    static constexpr Routine inverse[] = {Inverse<Ns>...};
};
using AllSizes = Routines<2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 32768>;

int Log2OfSupportedSize(int n) {
    if (n < 2 || n > 32768 || (n & (n - 1)) != 0) return -1;
    int log2 = 0;
    while ((1 << log2) < n) ++log2;
    return log2;
}

}  // namespace

void FftInitTables() {
    // A function-local static is initialised exactly once, and concurrent first
    // callers wait until that initialisation has finished.
    static const bool built = (BuildTwiddleTables(), true);
    (void)built;
}

void FftTransform(ComplexFloat* data, int n, int inverse) {
    const int log2 = Log2OfSupportedSize(n);
    if (log2 < 0 || !data) return;
    (inverse ? AllSizes::inverse : AllSizes::forward)[log2 - 1](data);
}

int FftFrequencyAt(int p, int n) {
    if (n <= 2) return p;
    if (p < n / 2) return 2 * FftFrequencyAt(p, n / 2);
    if (p < 3 * n / 4) return 4 * FftFrequencyAt(p - n / 2, n / 4) + 1;
    return (4 * FftFrequencyAt(p - 3 * n / 4, n / 4) - 1) & (n - 1);
}

}  // namespace tolvar
