# The floors of the tree and what each may build on. A source file includes,
# and a library links, only its own folder and the folders listed for it. The
# floors, lowest first: abi and buffers (the heap storage) at the bottom; fft
# on buffers; params on abi; the convolution engine and the composer are peers
# on buffers and fft, the composer also on params and abi; plugin on both;
# editor (with its resources) on the plug-in. The stand-in host builds on abi
# alone and never on the plug-in; tools, benchmarks, fuzzers and tests sit
# above everything.
#
# Includes, a test: cmake -DSOURCE_DIR=<repository root> -P CheckLayering.cmake
# Links, at configure time: the top CMakeLists.txt includes this file after
# adding every folder and calls tolvar_check_link_layering(), which fails when a
# library of ours links one that its folder may not build on. A binary (the
# plug-in, a program, a test) is the top of its own link graph: it may also
# link what binary_allowed_<folder> names. So the plug-in binary takes the
# editor, which builds on the plug-in's library, and never the library itself.
if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.25)
endif()
set(allowed_abi abi)
set(allowed_buffers buffers)
set(allowed_fft fft buffers)
set(allowed_params params abi)
set(allowed_convolution convolution fft buffers)
set(allowed_composer composer fft buffers params abi)
set(allowed_plugin plugin composer convolution fft buffers params abi)
set(allowed_editor editor resources plugin composer convolution fft buffers params abi)
set(allowed_resources resources editor)
set(allowed_host host abi)
set(allowed_tools tools host editor plugin composer convolution fft buffers params abi)
set(floors abi buffers fft params convolution composer plugin editor resources host tools)
set(binary_allowed_plugin editor resources)

# The floor a folder of the source tree belongs to, or "" above the floors.
function(tolvar_floor_of path out)
  file(RELATIVE_PATH where "${PROJECT_SOURCE_DIR}" "${path}")
  string(REGEX REPLACE "/.*$" "" folder "${where}")
  if(folder IN_LIST floors)
    set(${out} "${folder}" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

function(tolvar_targets_below directory out)
  get_property(targets DIRECTORY "${directory}" PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirectories DIRECTORY "${directory}" PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    tolvar_targets_below("${subdirectory}" more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Our own targets that `target` links directly, whatever the scope.
function(tolvar_linked_targets target out)
  set(linked "")
  foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
    get_target_property(items ${target} ${property})
    if(NOT items)
      continue()
    endif()
    foreach(item IN LISTS items)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
      if(item MATCHES "^::@" OR NOT TARGET "${item}")
        continue()  # a directory marker, a system library or a linker flag
      endif()
      get_target_property(imported ${item} IMPORTED)
      if(NOT imported)
        list(APPEND linked ${item})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES linked)
  set(${out} ${linked} PARENT_SCOPE)
endfunction()

function(tolvar_check_link_layering)
  tolvar_targets_below("${PROJECT_SOURCE_DIR}" targets)
  set(faults "")
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(directory ${target} SOURCE_DIR)
    tolvar_floor_of("${directory}" floor)
    if(type STREQUAL "UTILITY" OR NOT floor)
      continue()
    endif()
    set(allowed ${allowed_${floor}})
    if(type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
      list(APPEND allowed ${binary_allowed_${floor}})
    endif()
    tolvar_linked_targets(${target} linked)
    foreach(item IN LISTS linked)
      get_target_property(item_directory ${item} SOURCE_DIR)
      tolvar_floor_of("${item_directory}" item_floor)
      if(item_floor AND NOT item_floor IN_LIST allowed)
        list(APPEND faults "${target} (${floor}/) may not link ${item} (${item_floor}/)")
      endif()
    endforeach()
  endforeach()
  if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "link layering broken:\n  ${text}")
  endif()
  message(STATUS "link layering holds")
endfunction()

if(NOT CMAKE_SCRIPT_MODE_FILE)
  return()  # included for the link check
endif()

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
