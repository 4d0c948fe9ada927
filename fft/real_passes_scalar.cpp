// The reference real-transform passes: plain float arithmetic, pair by pair.
// The vector versions must reproduce them operation for operation.
#include "fft/real_passes.h"
#include "fft/real_tables.h"

namespace tolvar {
namespace {

using C = ComplexFloat;

// The bins k (at p) and m - k (at q) of one pair, with factor w = exp(+2 pi i k / n).
inline void ForwardPair(C& p, C& q, C w) {
    const C s = {p.re + q.re, p.im - q.im};   // Z[k] + conj Z[m-k]
    const C d = {p.re - q.re, p.im + q.im};   // Z[k] - conj Z[m-k]
    const C t = {d.re * w.re - d.im * w.im, d.re * w.im + d.im * w.re};  // w d
    // X[k] = (s - i t) / 2; X[m-k] = conj(s + i t) / 2
    p = {0.5f * (s.re + t.im), 0.5f * (s.im - t.re)};
    q = {0.5f * (s.re - t.im), -(0.5f * (s.im + t.re))};
}

inline void InversePair(C& p, C& q, C w) {
    const C s = {p.re + q.re, p.im - q.im};   // X[k] + conj X[m-k]
    const C d = {p.re - q.re, p.im + q.im};   // X[k] - conj X[m-k]
    const C t = {d.re * w.re + d.im * w.im, d.im * w.re - d.re * w.im};  // conj(w) d
    // Z[k] = s + i t; Z[m-k] = conj(s - i t)
    p = {s.re - t.im, s.im + t.re};
    q = {s.re + t.im, -(s.im - t.re)};
}

}  // namespace

void RealForwardPassScalar(ComplexFloat* data, int n) {
    const int m = n / 2;
    const C z0 = data[0];
    data[0] = {z0.re + z0.im, z0.re - z0.im};
    // Position 1 holds bin m/2, its own partner: it stays as it is.
    for (int quarter = 1; 4 * quarter <= m; quarter *= 2) {
        for (int i = quarter; i < 2 * quarter; ++i) ForwardPair(data[i + quarter], data[kRealPartners[i]], kRealTwiddles[i]);
    }
}

void RealInversePassScalar(ComplexFloat* data, int n) {
    const int m = n / 2;
    const C x0 = data[0];
    data[0] = {x0.re + x0.im, x0.re - x0.im};
    if (m >= 2) data[1] = {2.0f * data[1].re, 2.0f * data[1].im};
    for (int quarter = 1; 4 * quarter <= m; quarter *= 2) {
        for (int i = quarter; i < 2 * quarter; ++i) InversePair(data[i + quarter], data[kRealPartners[i]], kRealTwiddles[i]);
    }
}

}  // namespace tolvar
