#include "tools/irgen/real_fft.h"

#include <fftw3.h>

#include <mutex>
#include <new>

namespace tolvar::irgen {
namespace {

// FFTW's planner keeps global state.
std::mutex plannerLock;

}  // namespace

RealFft::RealFft(int points) : size(points) {
    const std::lock_guard<std::mutex> hold(plannerLock);
    signal = fftw_alloc_real(points);
    // FFTW's complex type is two doubles, laid out as std::complex<double>.
    auto* bins = fftw_alloc_complex(points / 2 + 1);
    if (!signal || !bins) throw std::bad_alloc();
    spectrum = reinterpret_cast<std::complex<double>*>(bins);
    const unsigned flags = FFTW_ESTIMATE | FFTW_NO_SIMD;
    forward = fftw_plan_dft_r2c_1d(points, signal, bins, flags);
    backward = fftw_plan_dft_c2r_1d(points, bins, signal, flags);
}

RealFft::~RealFft() {
    const std::lock_guard<std::mutex> hold(plannerLock);
    fftw_destroy_plan(static_cast<fftw_plan>(forward));
    fftw_destroy_plan(static_cast<fftw_plan>(backward));
    fftw_free(signal);
    fftw_free(spectrum);
}

void RealFft::Forward() { fftw_execute(static_cast<fftw_plan>(forward)); }

void RealFft::Backward() { fftw_execute(static_cast<fftw_plan>(backward)); }

}  // namespace tolvar::irgen
