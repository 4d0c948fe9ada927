#include "tests/fft/recursive_reference.h"

#include "fft/twiddle_tables.h"

namespace tolvar::test {
namespace {

using C = ComplexFloat;

C Add(C a, C b) { return {a.re + b.re, a.im + b.im}; }
C Sub(C a, C b) { return {a.re - b.re, a.im - b.im}; }
C TimesI(C a) { return {-a.im, a.re}; }

// How w_j multiplies: not at all (j = 0), by sqrt(1/2) * (re -+ im), or in general.
enum class Kind { kOne, kSqrtHalf, kGeneral };

struct Factor {
    Kind kind;
    C w;
};

float SqrtHalf() { return TwiddleTable(16)[1].re; }

Factor FactorFor(int j, int n) {
    if (j == 0) return {Kind::kOne, {1, 0}};
    if (n == 8) return {Kind::kSqrtHalf, {}};
    if (n == 16) {
        const C w1 = TwiddleTable(16)[0];
        if (j == 1) return {Kind::kGeneral, w1};
        if (j == 2) return {Kind::kSqrtHalf, {}};
        return {Kind::kGeneral, {w1.im, w1.re}};
    }
    const C* table = TwiddleTable(n);
    if (n <= 512 || j < n / 8) return {Kind::kGeneral, table[j - 1]};
    if (j == n / 8) return {Kind::kSqrtHalf, {}};
    const C mirrored = table[n / 4 - j - 1];
    return {Kind::kGeneral, {mirrored.im, mirrored.re}};
}

C Times(C a, Factor f) {
    const float h = SqrtHalf();
    switch (f.kind) {
        case Kind::kOne: return a;
        case Kind::kSqrtHalf: return {h * (a.re - a.im), h * (a.re + a.im)};
        case Kind::kGeneral: break;
    }
    return {a.re * f.w.re - a.im * f.w.im, a.re * f.w.im + a.im * f.w.re};
}

C TimesConj(C a, Factor f) {
    const float h = SqrtHalf();
    switch (f.kind) {
        case Kind::kOne: return a;
        case Kind::kSqrtHalf: return {h * (a.re + a.im), h * (a.im - a.re)};
        case Kind::kGeneral: break;
    }
    return {a.re * f.w.re + a.im * f.w.im, a.im * f.w.re - a.re * f.w.im};
}

void ForwardPass(C* a, int n) {
    const int q = n / 4;
    for (int j = 0; j < q; ++j) {
        const C a0 = a[j], a1 = a[j + q], a2 = a[j + 2 * q], a3 = a[j + 3 * q];
        const C d = Sub(a0, a2), ie = TimesI(Sub(a1, a3));
        const Factor f = FactorFor(j, n);
        a[j] = Add(a0, a2);
        a[j + q] = Add(a1, a3);
        a[j + 2 * q] = Times(Add(d, ie), f);
        a[j + 3 * q] = TimesConj(Sub(d, ie), f);
    }
}

void InversePass(C* a, int n) {
    const int q = n / 4;
    for (int j = 0; j < q; ++j) {
        const Factor f = FactorFor(j, n);
        const C a0 = a[j], a1 = a[j + q];
        const C v = TimesConj(a[j + 2 * q], f), z = Times(a[j + 3 * q], f);
        const C s = Add(v, z), id = TimesI(Sub(v, z));
        a[j] = Add(a0, s);
        a[j + 2 * q] = Sub(a0, s);
        a[j + q] = Sub(a1, id);
        a[j + 3 * q] = Add(a1, id);
    }
}

}  // namespace

void RecursiveForward(ComplexFloat* a, int n) {
    if (n < 2) return;
    if (n == 2) {
        const C a0 = a[0], a1 = a[1];
        a[0] = Add(a0, a1);
        a[1] = Sub(a0, a1);
        return;
    }
    ForwardPass(a, n);
    RecursiveForward(a + n / 2, n / 4);
    RecursiveForward(a + 3 * n / 4, n / 4);
    RecursiveForward(a, n / 2);
}

void RecursiveInverse(ComplexFloat* a, int n) {
    if (n < 2) return;
    if (n == 2) {
        RecursiveForward(a, 2);
        return;
    }
    RecursiveInverse(a, n / 2);
    RecursiveInverse(a + n / 2, n / 4);
    RecursiveInverse(a + 3 * n / 4, n / 4);
    InversePass(a, n);
}

}  // namespace tolvar::test
