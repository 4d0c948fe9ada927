#pragma once
// The loops of the double-precision FFT, written once over a lane type (a
// vector of doubles with its loads, stores and lane shuffles), so that the
// baseline file and the AVX2 file compile the same arithmetic at two widths.
// Each value goes through the same operations in the same order at any width,
// so both agree to the bit.
//
// Everything here is a member of DoubleFftKernels<Lanes>, instantiated with a
// lane type local to the including file: no inline code is shared between
// files built for different processors.
//
// Table layout (see DoubleFftFillTable), in doubles: level l (span L = 2^l,
// l >= 2) starts at 2L - 8 and holds eight arrays of q = L/4 doubles:
//   post re, post im  the real transform's twiddles for the positions
//                     2^(l-1) + t, t < q (the first halves of the pairs there)
//   w1 re, w1 im      W^j     with W = exp(-2 pi i / L), j < q
//   w2 re, w2 im      W^(2j)
//   w3 re, w3 im      W^(3j)
#include <cstring>

namespace tolvar {

template <class Lanes>
struct DoubleFftKernels {
    using V = typename Lanes::V;
    static constexpr int kWidth = Lanes::kWidth;
    // Sub-transforms up to this many points run stage by stage, their data
    // staying in the first-level cache (32 KiB of doubles); larger ones run
    // one stage and recurse into their quarters.
    static constexpr int kLeafPoints = 2048;

    // One lane: the remainder loops, and spans narrower than a vector.
    struct Scalar {
        using V = double;
        static constexpr int kWidth = 1;
        static V Load(const double* p) { return *p; }
        static void Store(double* p, V v) { *p = v; }
        static V Set(double x) { return x; }
        static V Reverse(V v) { return v; }
    };

    static const double* Level(const double* table, int span) { return table + 2 * span - 8; }
    static bool HasOddLog2(int m) { return (m & 0x2AAAAAAA) != 0; }

    // --- complex transforms -------------------------------------------------

    template <class L>
    [[gnu::always_inline]] static void StoreProduct(double* re, double* im, typename L::V xr, typename L::V xi, typename L::V wr,
                             typename L::V wi) {
        L::Store(re, xr * wr - xi * wi);
        L::Store(im, xr * wi + xi * wr);
    }

    template <class L>
    [[gnu::always_inline]] static void ConjProduct(typename L::V& xr, typename L::V& xi, const double* wr, const double* wi) {
        const typename L::V cr = L::Load(wr), ci = L::Load(wi);
        const typename L::V r = xr * cr + xi * ci;
        xi = xi * cr - xr * ci;
        xr = r;
    }

    // Radix-4 decimation in frequency at span 4q, lanes j..: inputs at j, j+q,
    // j+2q, j+3q; outputs in bit-reversed order of the two stages it merges.
    template <class L>
    [[gnu::always_inline]] static void ForwardButterfly(double* re, double* im, int j, int q, const double* level) {
        using T = typename L::V;
        double* r0 = re + j;
        double* i0 = im + j;
        const T ar = L::Load(r0), ai = L::Load(i0);
        const T br = L::Load(r0 + q), bi = L::Load(i0 + q);
        const T cr = L::Load(r0 + 2 * q), ci = L::Load(i0 + 2 * q);
        const T dr = L::Load(r0 + 3 * q), di = L::Load(i0 + 3 * q);
        const T t0r = ar + cr, t0i = ai + ci, t1r = ar - cr, t1i = ai - ci;
        const T t2r = br + dr, t2i = bi + di;
        const T t3r = bi - di, t3i = dr - br;  // (b - d) * -i
        L::Store(r0, t0r + t2r);
        L::Store(i0, t0i + t2i);
        const double* w = level + 2 * q + j;
        StoreProduct<L>(r0 + q, i0 + q, t0r - t2r, t0i - t2i, L::Load(w + 2 * q), L::Load(w + 3 * q));
        StoreProduct<L>(r0 + 2 * q, i0 + 2 * q, t1r + t3r, t1i + t3i, L::Load(w), L::Load(w + q));
        StoreProduct<L>(r0 + 3 * q, i0 + 3 * q, t1r - t3r, t1i - t3i, L::Load(w + 4 * q), L::Load(w + 5 * q));
    }

    // The exact reverse of ForwardButterfly with conjugate twiddles, unscaled.
    template <class L>
    [[gnu::always_inline]] static void InverseButterfly(double* re, double* im, int j, int q, const double* level) {
        using T = typename L::V;
        double* r0 = re + j;
        double* i0 = im + j;
        const double* w = level + 2 * q + j;
        const T y0r = L::Load(r0), y0i = L::Load(i0);
        T u2r = L::Load(r0 + q), u2i = L::Load(i0 + q);
        T u1r = L::Load(r0 + 2 * q), u1i = L::Load(i0 + 2 * q);
        T u3r = L::Load(r0 + 3 * q), u3i = L::Load(i0 + 3 * q);
        ConjProduct<L>(u2r, u2i, w + 2 * q, w + 3 * q);
        ConjProduct<L>(u1r, u1i, w, w + q);
        ConjProduct<L>(u3r, u3i, w + 4 * q, w + 5 * q);
        const T ar = y0r + u2r, ai = y0i + u2i, br = y0r - u2r, bi = y0i - u2i;
        const T cr = u1r + u3r, ci = u1i + u3i;
        const T dr = u3i - u1i, di = u1r - u3r;  // (u1 - u3) * i
        L::Store(r0, ar + cr);
        L::Store(i0, ai + ci);
        L::Store(r0 + 2 * q, ar - cr);
        L::Store(i0 + 2 * q, ai - ci);
        L::Store(r0 + q, br + dr);
        L::Store(i0 + q, bi + di);
        L::Store(r0 + 3 * q, br - dr);
        L::Store(i0 + 3 * q, bi - di);
    }

    static void ForwardStage(double* re, double* im, int span, const double* table) {
        const int q = span / 4;
        const double* level = Level(table, span);
        int j = 0;
        for (; j + kWidth <= q; j += kWidth) ForwardButterfly<Lanes>(re, im, j, q, level);
        for (; j < q; ++j) ForwardButterfly<Scalar>(re, im, j, q, level);
    }

    static void InverseStage(double* re, double* im, int span, const double* table) {
        const int q = span / 4;
        const double* level = Level(table, span);
        int j = 0;
        for (; j + kWidth <= q; j += kWidth) InverseButterfly<Lanes>(re, im, j, q, level);
        for (; j < q; ++j) InverseButterfly<Scalar>(re, im, j, q, level);
    }

    // Span 2, no twiddles; its own inverse.
    static void RadixTwoPairs(double* re, double* im, int m) {
        int k = 0;
        for (; k + 2 * kWidth <= m; k += 2 * kWidth) {
            V ar, br, ai, bi;
            Lanes::Deinterleave(re + k, ar, br);
            Lanes::Deinterleave(im + k, ai, bi);
            Lanes::Interleave(ar + br, ar - br, re + k);
            Lanes::Interleave(ai + bi, ai - bi, im + k);
        }
        for (; k < m; k += 2) {
            const double ar = re[k], ai = im[k], br = re[k + 1], bi = im[k + 1];
            re[k] = ar + br;
            im[k] = ai + bi;
            re[k + 1] = ar - br;
            im[k + 1] = ai - bi;
        }
    }

    // Span 4 across the whole array: its twiddles are all 1, and kWidth groups
    // at a time are gathered into one vector per element by a transpose.
    template <bool kInverse>
    static void RadixFourQuads(double* re, double* im, int m, const double* table) {
        int k = 0;
        for (; k + 4 * kWidth <= m; k += 4 * kWidth) {
            V ar, br, cr, dr, ai, bi, ci, di;
            Lanes::LoadQuads(re + k, ar, br, cr, dr);
            Lanes::LoadQuads(im + k, ai, bi, ci, di);
            if (kInverse) {
                // Inputs in the order y0, y2, y1, y3.
                const V pr = ar + br, pi = ai + bi, qr = ar - br, qi = ai - bi;
                const V sr = cr + dr, si = ci + di, tr = di - ci, ti = cr - dr;  // (y1 - y3) * i
                Lanes::StoreQuads(re + k, pr + sr, qr + tr, pr - sr, qr - tr);
                Lanes::StoreQuads(im + k, pi + si, qi + ti, pi - si, qi - ti);
            } else {
                const V t0r = ar + cr, t0i = ai + ci, t1r = ar - cr, t1i = ai - ci;
                const V t2r = br + dr, t2i = bi + di, t3r = bi - di, t3i = dr - br;
                Lanes::StoreQuads(re + k, t0r + t2r, t0r - t2r, t1r + t3r, t1r - t3r);
                Lanes::StoreQuads(im + k, t0i + t2i, t0i - t2i, t1i + t3i, t1i - t3i);
            }
        }
        for (; k < m; k += 4) {
            if (kInverse) InverseButterfly<Scalar>(re + k, im + k, 0, 1, Level(table, 4));
            else ForwardButterfly<Scalar>(re + k, im + k, 0, 1, Level(table, 4));
        }
    }

    static void ForwardLeaf(double* re, double* im, int m, const double* table) {
        int span = m;
        for (; span > 4; span /= 4) {
            for (int g = 0; g < m; g += span) ForwardStage(re + g, im + g, span, table);
        }
        if (span == 4) RadixFourQuads<false>(re, im, m, table);
        if (span == 2) RadixTwoPairs(re, im, m);
    }

    static void InverseLeaf(double* re, double* im, int m, const double* table) {
        if (m < 2) return;
        int span = 16;
        if (HasOddLog2(m)) {
            RadixTwoPairs(re, im, m);
            span = 8;
        } else {
            RadixFourQuads<true>(re, im, m, table);
        }
        for (; span <= m; span *= 4) {
            for (int g = 0; g < m; g += span) InverseStage(re + g, im + g, span, table);
        }
    }

    static void Forward(double* re, double* im, int m, const double* table) {
        if (m <= kLeafPoints) {
            ForwardLeaf(re, im, m, table);
            return;
        }
        ForwardStage(re, im, m, table);
        const int q = m / 4;
        for (int g = 0; g < m; g += q) Forward(re + g, im + g, q, table);
    }

    // A radix-4 stage whose inputs are zero from `nonzero` (<= q) on: each
    // butterfly only multiplies its first input by the twiddles, and the
    // butterflies past `nonzero` leave their zeros as they are.
    template <class L>
    [[gnu::always_inline]] static void SparseButterfly(double* re, double* im, int j, int q, const double* level) {
        using T = typename L::V;
        const T ar = L::Load(re + j), ai = L::Load(im + j);
        const double* w = level + 2 * q + j;
        StoreProduct<L>(re + j + q, im + j + q, ar, ai, L::Load(w + 2 * q), L::Load(w + 3 * q));
        StoreProduct<L>(re + j + 2 * q, im + j + 2 * q, ar, ai, L::Load(w), L::Load(w + q));
        StoreProduct<L>(re + j + 3 * q, im + j + 3 * q, ar, ai, L::Load(w + 4 * q), L::Load(w + 5 * q));
    }

    // Forward of data that is zero from `nonzero` on, as a zero-padded
    // response is: while the data lies in the first quarter, a stage is
    // only twiddle multiplications, and so on down its quarters.
    static void ForwardPadded(double* re, double* im, int m, int nonzero, const double* table) {
        if (m < 16 || nonzero > m / 4) {
            Forward(re, im, m, table);
            return;
        }
        const int q = m / 4;
        const double* level = Level(table, m);
        int j = 0;
        for (; j + kWidth <= nonzero; j += kWidth) SparseButterfly<Lanes>(re, im, j, q, level);
        for (; j < nonzero; ++j) SparseButterfly<Scalar>(re, im, j, q, level);
        for (int g = 0; g < m; g += q) ForwardPadded(re + g, im + g, q, nonzero, table);
    }

    static void Inverse(double* re, double* im, int m, const double* table) {
        if (m <= kLeafPoints) {
            InverseLeaf(re, im, m, table);
            return;
        }
        const int q = m / 4;
        for (int g = 0; g < m; g += q) Inverse(re + g, im + g, q, table);
        InverseStage(re, im, m, table);
    }

    // --- real transforms ----------------------------------------------------
    //
    // With m = n/2, the real signal x is transformed as z[k] = x[2k] + i x[2k+1]
    // (m points); its spectrum Z gives the even and odd halves'
    //   E = (Z[k] + conj Z[m-k]) / 2,  O = (Z[k] - conj Z[m-k]) / 2i,
    // and X[k] = E + w O, X[m-k] = conj(E - w O) with w = exp(-2 pi i k / n).
    // In bit-reversed order the partner of position p in [2^j, 2^(j+1)) is
    // 3 * 2^j - 1 - p, so each pair lies within one block.

    template <class L>
    [[gnu::always_inline]] static void SplitPair(double* re, double* im, int base, int t, const double* wr, const double* wi) {
        using T = typename L::V;
        double* pr = re + base + t;
        double* pi = im + base + t;
        double* qr = re + 2 * base - t - L::kWidth;  // partners, in descending order of t
        double* qi = im + 2 * base - t - L::kWidth;
        const T zr = L::Load(pr), zi = L::Load(pi);
        const T yr = L::Reverse(L::Load(qr)), yi = L::Reverse(L::Load(qi));
        const T w0 = L::Load(wr + t), w1 = L::Load(wi + t);
        const T half = L::Set(0.5);
        const T er = (zr + yr) * half, ei = (zi - yi) * half;
        const T or_ = (zi + yi) * half, oi = (yr - zr) * half;
        const T wor = w0 * or_ - w1 * oi, woi = w0 * oi + w1 * or_;
        L::Store(pr, er + wor);
        L::Store(pi, ei + woi);
        L::Store(qr, L::Reverse(er - wor));
        L::Store(qi, L::Reverse(woi - ei));
    }

    // The reverse of SplitPair.
    template <class L>
    [[gnu::always_inline]] static void JoinPair(double* re, double* im, int base, int t, const double* wr, const double* wi) {
        using T = typename L::V;
        double* pr = re + base + t;
        double* pi = im + base + t;
        double* qr = re + 2 * base - t - L::kWidth;
        double* qi = im + 2 * base - t - L::kWidth;
        const T xr = L::Load(pr), xi = L::Load(pi);
        const T vr = L::Reverse(L::Load(qr)), vi = L::Reverse(L::Load(qi));
        const T w0 = L::Load(wr + t), w1 = L::Load(wi + t);
        const T half = L::Set(0.5);
        const T er = (xr + vr) * half, ei = (xi - vi) * half;
        const T fr = (xr - vr) * half, fi = (xi + vi) * half;
        const T or_ = w0 * fr + w1 * fi, oi = w0 * fi - w1 * fr;
        L::Store(pr, er - oi);
        L::Store(pi, ei + or_);
        L::Store(qr, L::Reverse(er + oi));
        L::Store(qi, L::Reverse(or_ - ei));
    }

    template <bool kSplit>
    static void Pairs(double* re, double* im, int m, const double* table) {
        for (int base = 2; base < m; base *= 2) {
            const int half = base / 2;
            const double* wr = Level(table, 2 * base);
            const double* wi = wr + half;
            int t = 0;
            for (; t + kWidth <= half; t += kWidth) {
                if (kSplit) SplitPair<Lanes>(re, im, base, t, wr, wi);
                else JoinPair<Lanes>(re, im, base, t, wr, wi);
            }
            for (; t < half; ++t) {
                if (kSplit) SplitPair<Scalar>(re, im, base, t, wr, wi);
                else JoinPair<Scalar>(re, im, base, t, wr, wi);
            }
        }
    }

    static void Deinterleave(const double* x, int count, double* re, double* im, int m) {
        const int pairs = count / 2;
        int k = 0;
        for (; k + kWidth <= pairs; k += kWidth) {
            V even, odd;
            Lanes::Deinterleave(x + 2 * k, even, odd);
            Lanes::Store(re + k, even);
            Lanes::Store(im + k, odd);
        }
        for (; k < pairs; ++k) {
            re[k] = x[2 * k];
            im[k] = x[2 * k + 1];
        }
        if (count % 2 != 0) {
            re[k] = x[2 * k];
            im[k] = 0.0;
            ++k;
        }
        if (k < m) {
            std::memset(re + k, 0, sizeof(double) * static_cast<unsigned>(m - k));
            std::memset(im + k, 0, sizeof(double) * static_cast<unsigned>(m - k));
        }
    }

    static void Interleave(const double* re, const double* im, double* out, int count, double scale) {
        const int pairs = count / 2;
        const V s = Lanes::Set(scale);
        int k = 0;
        for (; k + kWidth <= pairs; k += kWidth)
            Lanes::Interleave(Lanes::Load(re + k) * s, Lanes::Load(im + k) * s, out + 2 * k);
        for (; k < pairs; ++k) {
            out[2 * k] = re[k] * scale;
            out[2 * k + 1] = im[k] * scale;
        }
        if (count % 2 != 0) out[2 * k] = re[k] * scale;
    }

    static void RealForward(const double* x, int count, double* spectrum, int n, const double* table) {
        const int m = n / 2;
        double* re = spectrum;
        double* im = spectrum + m;
        Deinterleave(x, count, re, im, m);
        ForwardPadded(re, im, m, (count + 1) / 2, table);
        const double zr = re[0], zi = im[0];
        re[0] = zr + zi;
        im[0] = zr - zi;
        if (m < 2) return;
        im[1] = -im[1];  // the middle bin m/2 is its own partner: conj Z
        Pairs<true>(re, im, m, table);
    }

    static void RealInverse(double* spectrum, int n, double* out, int count, double scale, const double* table) {
        const int m = n / 2;
        double* re = spectrum;
        double* im = spectrum + m;
        const double x0 = re[0], xm = im[0];
        re[0] = (x0 + xm) * 0.5;
        im[0] = (x0 - xm) * 0.5;
        if (m >= 2) {
            im[1] = -im[1];
            Pairs<false>(re, im, m, table);
        }
        Inverse(re, im, m, table);
        Interleave(re, im, out, count, scale);
    }

    static void Multiply(double* accumulator, const double* factor, int n) {
        const int m = n / 2;
        double* ar = accumulator;
        double* ai = accumulator + m;
        const double* fr = factor;
        const double* fi = factor + m;
        ar[0] *= fr[0];  // X[0] and X[m], both real
        ai[0] *= fi[0];
        int k = 1;
        for (; k + kWidth <= m; k += kWidth) MultiplyBins<Lanes>(ar + k, ai + k, fr + k, fi + k);
        for (; k < m; ++k) MultiplyBins<Scalar>(ar + k, ai + k, fr + k, fi + k);
    }

    template <class L>
    [[gnu::always_inline]] static void MultiplyBins(double* ar, double* ai, const double* fr, const double* fi) {
        StoreProduct<L>(ar, ai, L::Load(ar), L::Load(ai), L::Load(fr), L::Load(fi));
    }
};

}  // namespace tolvar
