# The product: 32-bit Windows. SSE2 is the instruction-set baseline, with SSE
# arithmetic for floating point instead of the x87 unit. Hosts built with other
# compilers call us with a stack aligned to only 4 bytes, so every function
# that keeps vectors on the stack realigns its own frame.
set(TOLVAR_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOLVAR_MINGW_ARCH_FLAGS "-msse2 -mfpmath=sse -mstackrealign")
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
