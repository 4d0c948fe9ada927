#pragma once
// The double-precision FFT's routines at one instruction-set width.
// fft_double.cpp picks one set at run time; tests may call either directly.
// Contracts as in fft_double.h; sizes and pointers are not checked here.

namespace tolvar {

struct DoubleFftRoutines {
    void (*forward)(double* re, double* im, int m, const double* table);
    void (*inverse)(double* re, double* im, int m, const double* table);
    void (*realForward)(const double* x, int count, double* spectrum, int n, const double* table);
    void (*realInverse)(double* spectrum, int n, double* out, int count, double scale, const double* table);
    void (*multiply)(double* accumulator, const double* factor, int n);
};

extern const DoubleFftRoutines kDoubleFftSse2;  // baseline: two doubles per vector
extern const DoubleFftRoutines kDoubleFftAvx2;  // four per vector; only after CpuHasAvx2()

}  // namespace tolvar
