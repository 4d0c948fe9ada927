# 64-bit Windows: the 32-bit product's twin. SSE2 is part of the architecture
# and the calling convention keeps the stack aligned to 16 bytes.
set(TOLVAR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOLVAR_MINGW_ARCH_FLAGS "")
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
