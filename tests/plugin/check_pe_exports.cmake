cmake_minimum_required(VERSION 3.25)
# Fails unless the Windows DLL LIBRARY exports exactly one symbol, main, and
# imports from the system's own DLLs only, so that it stands alone beside any
# host (no runtime DLLs of the compiler).
#
# Run as: cmake -DLIBRARY=<dll> -DOBJDUMP=<objdump> -P check_pe_exports.cmake
set(system_dlls kernel32.dll user32.dll gdi32.dll comctl32.dll msvcrt.dll)

execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} failed on ${LIBRARY}")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" import_lines "${dump}")
set(imports "")
foreach(line IN LISTS import_lines)
  string(REGEX REPLACE "DLL Name: " "" dll "${line}")
  list(APPEND imports "${dll}")
endforeach()

# The export names follow the "[Ordinal/Name Pointer] Table" heading.
set(exports "")
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
if(at GREATER -1)
  string(SUBSTRING "${dump}" ${at} -1 table)
  string(REGEX MATCHALL "\n[ \t]+\\[ *[0-9]+\\] [^\n]+" export_lines "${table}")
  foreach(line IN LISTS export_lines)
    string(REGEX REPLACE "^.*\\] " "" name "${line}")
    list(APPEND exports "${name}")
  endforeach()
endif()
message(STATUS "exports: ${exports}; imports: ${imports}")

if(NOT exports STREQUAL "main")
  message(FATAL_ERROR "expected only 'main' to be exported, found: ${exports}")
endif()
foreach(dll IN LISTS imports)
  string(TOLOWER "${dll}" lower)
  if(NOT lower IN_LIST system_dlls)
    message(FATAL_ERROR "imports ${dll}, which is not a system DLL")
  endif()
endforeach()
