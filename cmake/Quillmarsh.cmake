# Helpers that keep each folder's CMakeLists.txt to a line or two.

# qm_library(NAME DEPS ...): a static library of every .cpp in the current folder.
function(qm_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    # Headers only, so far.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# qm_tests(NAME DEPS ... [LABELS ...]): one GoogleTest program of every
# *_test.cpp in the current folder; each test case is registered with CTest,
# with the given CTest labels (e.g. "concurrency" for the ThreadSanitizer run).
function(qm_tests name)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} qm_testsupport GTest::gmock GTest::gtest_main)
  # A bound on every test, so that a hang fails that test instead of the run.
  set(props ENVIRONMENT "QM_SOURCE_DIR=${PROJECT_SOURCE_DIR}" TIMEOUT 600)
  if(ARG_LABELS)
    list(JOIN ARG_LABELS "\\;" labels)
    list(APPEND props LABELS "${labels}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()

# qm_benchmarks(DEPS ...): one Google Benchmark program per *_bench.cpp.
# Built by default, run on demand (never by CTest).
function(qm_benchmarks)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_bench.cpp)
  foreach(src ${srcs})
    get_filename_component(base ${src} NAME_WE)
    add_executable(${base} ${src})
    target_link_libraries(${base} PRIVATE ${ARG_DEPS} qm_testsupport benchmark::benchmark_main)
  endforeach()
endfunction()

# qm_fuzzers(DEPS ...): one target per *_fuzz.cpp, each defining
# LLVMFuzzerTestOneInput. With clang and QM_LIBFUZZER=ON they link libFuzzer;
# otherwise a replay driver runs them over files, and CTest replays the
# corpus kept beside them (corpus/<name>/ in the same folder) in the normal test run.
option(QM_LIBFUZZER "link fuzz targets with libFuzzer (clang only)" OFF)
# The code under test needs the coverage instrumentation too, or libFuzzer
# sees only the target's own few lines.
if(QM_LIBFUZZER)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
function(qm_fuzzers)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_fuzz.cpp)
  foreach(src ${srcs})
    get_filename_component(base ${src} NAME_WE)
    add_executable(${base} ${src})
    target_link_libraries(${base} PRIVATE ${ARG_DEPS})
    if(QM_LIBFUZZER)
      target_compile_options(${base} PRIVATE -fsanitize=fuzzer)
      target_link_options(${base} PRIVATE -fsanitize=fuzzer)
    else()
      target_link_libraries(${base} PRIVATE qm_fuzzreplay)
      set(corpus ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${base})
      if(EXISTS ${corpus})
        add_test(NAME ${base}.replay COMMAND ${base} ${corpus})
      endif()
    endif()
  endforeach()
endfunction()
