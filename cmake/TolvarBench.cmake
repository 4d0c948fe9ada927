# tolvar_add_bench(<name> SOURCES <files...> LIBS <targets...>)
# Benchmarks are built by default but never registered with CTest.
find_package(benchmark REQUIRED)

function(tolvar_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
endfunction()
