# Runs the IR library generator into a fresh folder and either checks the files
# against the manifest (names, sizes, SHA-256) or rewrites the manifest from them.
#
#   cmake -DMODE=check|write -DIRGEN=<tolvar-irgen> -DTUNABLES=<GLIBC_TUNABLES for it>
#         -DMANIFEST=<ir_library.manifest>
#         -DWORK_DIR=<scratch folder, removed before and after> -P ir_manifest.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var MODE IRGEN TUNABLES MANIFEST WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "ir_manifest.cmake needs -D${var}=...")
  endif()
endforeach()

set(library ${WORK_DIR}/tolvar)
file(REMOVE_RECURSE ${WORK_DIR})
set(ENV{GLIBC_TUNABLES} "${TUNABLES}")
execute_process(COMMAND ${IRGEN} ${library} RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${IRGEN} failed: ${result}")
endif()

# One line per file, in name order: name, size in bytes, SHA-256.
file(GLOB names RELATIVE ${library} ${library}/*)
list(SORT names)
set(lines "")
foreach(name IN LISTS names)
  file(SIZE ${library}/${name} size)
  file(SHA256 ${library}/${name} hash)
  list(APPEND lines "${name} ${size} ${hash}")
endforeach()
list(LENGTH lines count)

if(MODE STREQUAL "write")
  list(JOIN lines "\n" text)
  file(WRITE ${MANIFEST}
    "# The IR library as tolvar-irgen writes it: file, bytes, SHA-256.\n"
    "# Rewrite after a deliberate change: cmake --build build --target tolvar_ir_manifest\n"
    "${text}\n")
  message(STATUS "wrote ${count} entries to ${MANIFEST}")
elseif(MODE STREQUAL "check")
  file(STRINGS ${MANIFEST} expected REGEX "^[^#]")
  set(faults "")
  foreach(line IN LISTS expected)
    string(REPLACE " " ";" fields "${line}")
    list(GET fields 0 name)
    if(NOT line IN_LIST lines)
      if(name IN_LIST names)
        list(APPEND faults "${name}: differs from the manifest")
      else()
        list(APPEND faults "${name}: not written")
      endif()
    endif()
    list(REMOVE_ITEM names ${name})
  endforeach()
  foreach(name IN LISTS names)
    list(APPEND faults "${name}: written but not in the manifest")
  endforeach()
  if(faults)
    list(LENGTH faults faultCount)
    list(SUBLIST faults 0 20 shown)
    list(JOIN shown "\n  " text)
    message(FATAL_ERROR "${faultCount} files do not match ${MANIFEST}:\n  ${text}\n"
                        "After a deliberate change: cmake --build <build> --target tolvar_ir_manifest")
  endif()
  message(STATUS "all ${count} files match the manifest")
else()
  message(FATAL_ERROR "MODE must be check or write")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
