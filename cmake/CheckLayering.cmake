# Fails when a source file includes a folder of ours that its own folder may
# not build on. The floors, lowest first: abi, buffers (the heap storage) and
# params at the bottom; fft on buffers; the convolution engine and the composer
# are peers on buffers and fft, the composer also on params and abi; plugin on
# both; editor (with its resources) on the plug-in. The stand-in host builds on
# abi alone and is never included by the plug-in; tools, benchmarks and tests
# sit above everything.
#
# Run as: cmake -DSOURCE_DIR=<repository root> -P CheckLayering.cmake
cmake_minimum_required(VERSION 3.25)
set(allowed_abi abi)
set(allowed_buffers buffers)
set(allowed_fft fft buffers)
set(allowed_params params)
set(allowed_convolution convolution fft buffers)
set(allowed_composer composer fft buffers params abi)
set(allowed_plugin plugin composer convolution fft buffers params abi)
set(allowed_editor editor resources plugin composer convolution fft buffers params abi)
set(allowed_resources resources editor)
set(allowed_host host abi)
set(allowed_tools tools host editor plugin composer convolution fft buffers params abi)
set(floors abi buffers fft params convolution composer plugin editor resources host tools)

set(faults "")
foreach(floor IN LISTS floors)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${floor}/*.h" "${SOURCE_DIR}/${floor}/*.cpp"
       "${SOURCE_DIR}/${floor}/*.rc")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*$" "\\1" target "${line}")
      if(NOT target IN_LIST floors AND NOT target STREQUAL "tests" AND NOT target STREQUAL "bench")
        continue()  # a system or third-party header with a folder in its name
      endif()
      if(NOT target IN_LIST allowed_${floor})
        file(RELATIVE_PATH where "${SOURCE_DIR}" "${source}")
        list(APPEND faults "${where}: ${floor}/ may not include ${target}/")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "include layering broken:\n  ${text}")
endif()
message(STATUS "include layering holds")
