# Shared part of the Windows toolchain files: Debian's mingw-w64 compilers in
# their POSIX thread model (the standard library's threads and mutexes need it;
# the static winpthread goes into each binary), everything linked statically so
# that a binary needs nothing beyond the system's own DLLs.
#
# Set before including: TOLVAR_MINGW_TRIPLE, CMAKE_SYSTEM_PROCESSOR and
# TOLVAR_MINGW_ARCH_FLAGS. TOLVAR_WINDOWS_DEPS (optional, from the command line)
# is the prefix of the cross-built libraries that the stand-in host and the
# tests link (scripts/build-windows-deps.sh).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TOLVAR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLVAR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLVAR_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${TOLVAR_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${TOLVAR_MINGW_TRIPLE})
if(TOLVAR_WINDOWS_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TOLVAR_WINDOWS_DEPS})
  # pkg-config must see the cross-built libraries only, never the build machine's.
  set(ENV{PKG_CONFIG_LIBDIR} ${TOLVAR_WINDOWS_DEPS}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GCC on Windows may spill 32-byte AVX values with aligned moves to stack slots
# it cannot actually align (x86-64: the unwind data allows no realignment
# beyond 16 bytes). The assembler turns every aligned vector move into its
# unaligned form, which is as fast whenever the data is aligned after all.
set(CMAKE_C_FLAGS_INIT "${TOLVAR_MINGW_ARCH_FLAGS} -Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "${TOLVAR_MINGW_ARCH_FLAGS} -Wa,-muse-unaligned-vector-move")
# Line tables are enough for wine's backtraces; full debugging information
# would cost the cross builds about 70% more compile time.
set(CMAKE_C_FLAGS_RELWITHDEBINFO "-O2 -g1 -DNDEBUG" CACHE STRING "Flags for RelWithDebInfo builds")
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O2 -g1 -DNDEBUG" CACHE STRING "Flags for RelWithDebInfo builds")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
