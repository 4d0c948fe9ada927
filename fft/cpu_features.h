#pragma once

// Run-time checks of the processor, for choosing the FFT's instruction set.
// Each answer includes the operating system's support for the wider registers.

namespace tolvar {

bool CpuHasAvx2();
bool CpuHasFma();
bool CpuHasAvx512();  // AVX-512 Foundation

}  // namespace tolvar

// Callers on 32-bit x86 may arrive with a stack aligned to only 4 bytes (hosts
// built with other compilers); the vector code spills 16- and 32-byte values,
// so the public entry point realigns its frame there.
#if defined(__i386__)
#define TOLVAR_FFT_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define TOLVAR_FFT_ALIGN_STACK
#endif
