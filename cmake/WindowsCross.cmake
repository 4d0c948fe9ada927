# The Windows cross builds: test programs run under wine (CMake's cross-compiling
# emulator) in a wine prefix inside the build tree, 32-bit or 64-bit like the
# build. Paths that the build writes into test programs name the build tree as
# wine sees it: its drive Z: is the root of the file system.
find_program(TOLVAR_WINE wine)
if(NOT TOLVAR_WINE)
  message(WARNING "wine not found: the Windows tests cannot run here")
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TOLVAR_WINE_ARCH win32)
else()
  set(TOLVAR_WINE_ARCH win64)
endif()
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${PROJECT_SOURCE_DIR}/cmake/run-under-wine.sh ${CMAKE_BINARY_DIR}/wine-prefix ${TOLVAR_WINE_ARCH})
endif()
set(TOLVAR_TEST_PATH_PREFIX "Z:")

# Resource scripts (the editor's dialog template) compile with the toolchain's windres.
enable_language(RC)
