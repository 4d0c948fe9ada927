#pragma once
// Sets the processor's flush-to-zero and denormals-are-zero modes for the life
// of the guard and restores the caller's modes afterwards. Subnormal numbers
// make the arithmetic many times slower and plug-in validators reject them in
// the output; the host's own modes must not change behind its back.
#include <xmmintrin.h>

namespace tolvar {

class DenormalGuard {
public:
    static constexpr unsigned kFlushToZero = 0x8000;      // MXCSR bit 15
    static constexpr unsigned kDenormalsAreZero = 0x0040;  // MXCSR bit 6

    DenormalGuard() : saved(_mm_getcsr()) { _mm_setcsr(saved | kFlushToZero | kDenormalsAreZero); }
    ~DenormalGuard() { _mm_setcsr(saved); }
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

private:
    unsigned saved;
};

}  // namespace tolvar
