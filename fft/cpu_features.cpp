#include "fft/cpu_features.h"

namespace tolvar {

// GCC's checks read cpuid and, for AVX, also that the system saves the upper
// register halves (XGETBV). __builtin_cpu_init makes them usable even before
// static constructors have run.
bool CpuHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

bool CpuHasAvx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f");
}

bool CpuHasFma() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("fma");
}

}  // namespace tolvar
