#pragma once
// A real-input FFT of one size on FFTW, with its own aligned buffers.
#include <complex>

namespace tolvar::irgen {

// Plans with FFTW_ESTIMATE and without SIMD codelets, so that the plan, and with
// it every rounding, depends on the size alone and not on the processor or on
// timing: the library's bytes must not change from run to run.
//
// Threads: one object is used by one thread at a time; objects may be made and
// destroyed on several threads (the planner is taken in turn).
class RealFft {
public:
    explicit RealFft(int points);  // points: even, at least 2
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    int Size() const { return size; }
    double* Signal() { return signal; }                    // size values
    std::complex<double>* Spectrum() { return spectrum; }  // size / 2 + 1 bins

    // Signal -> Spectrum: X[k] = sum over n of x[n] exp(-2 pi i k n / size).
    void Forward();
    // Spectrum -> Signal: x[n] = sum over all size bins of X[k] exp(+2 pi i k n / size),
    // the upper half taken as the conjugate mirror; unnormalised (size times the
    // inverse). Overwrites Spectrum.
    void Backward();

private:
    int size;
    double* signal;
    std::complex<double>* spectrum;
    void* forward;   // fftw_plan
    void* backward;  // fftw_plan
};

}  // namespace tolvar::irgen
