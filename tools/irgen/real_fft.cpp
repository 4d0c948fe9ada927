#include "tools/irgen/real_fft.h"

#include <fftw3.h>

#include <mutex>
#include <new>

namespace tolvar::irgen {
namespace {

// FFTW's planner keeps global state.
std::mutex plannerLock;

}  // namespace

RealFft::RealFft(int size) : size_(size) {
    const std::lock_guard<std::mutex> hold(plannerLock);
    signal_ = fftw_alloc_real(size);
    // FFTW's complex type is two doubles, laid out as std::complex<double>.
    auto* bins = fftw_alloc_complex(size / 2 + 1);
    if (!signal_ || !bins) throw std::bad_alloc();
    spectrum_ = reinterpret_cast<std::complex<double>*>(bins);
    const unsigned flags = FFTW_ESTIMATE | FFTW_NO_SIMD;
    forward_ = fftw_plan_dft_r2c_1d(size, signal_, bins, flags);
    backward_ = fftw_plan_dft_c2r_1d(size, bins, signal_, flags);
}

RealFft::~RealFft() {
    const std::lock_guard<std::mutex> hold(plannerLock);
    fftw_destroy_plan(static_cast<fftw_plan>(forward_));
    fftw_destroy_plan(static_cast<fftw_plan>(backward_));
    fftw_free(signal_);
    fftw_free(spectrum_);
}

void RealFft::Forward() { fftw_execute(static_cast<fftw_plan>(forward_)); }

void RealFft::Backward() { fftw_execute(static_cast<fftw_plan>(backward_)); }

}  // namespace tolvar::irgen
