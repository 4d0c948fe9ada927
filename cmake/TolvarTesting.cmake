# tolvar_add_test(<name> [THREADS] SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable per test folder topic; each test case becomes a CTest
# test (under an emulator, each executable is one).
# THREADS marks an executable whose tests start threads: they carry the label
# "threads", and `make test` runs them again under ThreadSanitizer.
find_package(GTest REQUIRED)
include(GoogleTest)

function(tolvar_add_test name)
  cmake_parse_arguments(ARG "THREADS" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  set(labels "")
  if(ARG_THREADS)
    set(labels threads)
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Each start of the emulator costs seconds: one test per program, every
    # case in one run, only failures printed.
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES LABELS "${labels}")
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${labels}")
  endif()
endfunction()
