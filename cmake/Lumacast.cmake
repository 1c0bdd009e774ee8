# Helpers shared by every folder of the build.

# lumacast_library(name SOURCES ... [LIBS ...] [PUBLIC_LIBS ...])
# A static library of the program (platform, swf, jobmodel, ...), linked into the program.
function(lumacast_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;PUBLIC_LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_PUBLIC_LIBS} PRIVATE ${A_LIBS})
endfunction()

# lumacast_shared_library(name SOURCES ... [LIBS ...])
# A shared library of the program folder (libmorv*.so): exports only what is marked,
# finds its neighbours through $ORIGIN, lands beside the program.
function(lumacast_shared_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;PUBLIC_LIBS" ${ARGN})
  add_library(${name} SHARED ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_PUBLIC_LIBS} PRIVATE ${A_LIBS})
  set_target_properties(${name} PROPERTIES
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    BUILD_RPATH "$ORIGIN"
    INSTALL_RPATH "$ORIGIN"
    LIBRARY_OUTPUT_DIRECTORY ${LUMACAST_PROGRAM_DIR})
endfunction()

# lumacast_program(name SOURCES ... [LIBS ...]): an executable of the program folder.
function(lumacast_program name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  set_target_properties(${name} PROPERTIES
    BUILD_RPATH "$ORIGIN"
    RUNTIME_OUTPUT_DIRECTORY ${LUMACAST_PROGRAM_DIR})
endfunction()

# lumacast_tool(name SOURCES ... [LIBS ...]): a build-time generator, run by the build.
function(lumacast_tool name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  set_target_properties(${name} PROPERTIES
    BUILD_RPATH "${LUMACAST_PROGRAM_DIR}"
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
endfunction()

# lumacast_test(name SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s] [DEPENDS fixture...])
# One GoogleTest executable; its cases are registered with CTest one by one. The label
# "threads" marks tests that exercise threads: they also run under ThreadSanitizer.
# Tests run with LUMACAST_PROGRAM_DIR, LUMACAST_SOURCE_DIR, LUMACAST_NODE_DIR in the environment.
function(lumacast_test name)
  cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;LIBS;LABELS;DEPENDS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES
    BUILD_RPATH "${LUMACAST_PROGRAM_DIR}"
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  # The environment reaches the test through `env` as its launcher, which serves both
  # the discovery of the cases and their runs. Windows stay off the developer's display
  # (a desktop test starts its own display and clears LUMACAST_HEADLESS). As the program
  # does at start, the launcher ignores SIGXFSZ: under a file-size limit writes fail with
  # an error the code reports, instead of the signal ending the test.
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
    "env;--ignore-signal=XFSZ;LUMACAST_HEADLESS=1;LUMACAST_PROGRAM_DIR=${LUMACAST_PROGRAM_DIR};LUMACAST_SOURCE_DIR=${CMAKE_SOURCE_DIR};LUMACAST_NODE_DIR=${LUMACAST_NODE_DIR};LUMACAST_BUILD_DIR=${CMAKE_BINARY_DIR}")
  set(props
    TIMEOUT ${A_TIMEOUT})
  # Properties whose value is a list (two labels, two fixtures) cannot pass through the
  # discovery's PROPERTIES, which flattens them: every item after the first would be read
  # as a property name. They are set on the discovered cases by a script of their own,
  # which CTest runs right after the discovery's.
  set(lists)
  if(A_LABELS)
    string(APPEND lists " LABELS \"${A_LABELS}\"")
    if("threads" IN_LIST A_LABELS)
      add_dependencies(thread_tests ${name})
    endif()
    # A Flash player in a browser takes its screenshots at wall-clock times: it runs
    # alone, so that a busy machine cannot make it late.
    if("ruffle" IN_LIST A_LABELS)
      list(APPEND props RUN_SERIAL TRUE)
    endif()
  endif()
  if(A_DEPENDS)
    string(APPEND lists " FIXTURES_REQUIRED \"${A_DEPENDS}\"")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
  if(lists)
    set(script "${CMAKE_CURRENT_BINARY_DIR}/${name}_list_properties.cmake")
    file(WRITE "${script}" "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES${lists})\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
  endif()
endfunction()

# lumacast_benchmark(name SOURCES ... [LIBS ...]): a Google Benchmark program (never a test).
function(lumacast_benchmark name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT LUMACAST_BENCHMARKS)
    return()
  endif()
  find_package(benchmark REQUIRED)
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} benchmark::benchmark benchmark::benchmark_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES
    BUILD_RPATH "${LUMACAST_PROGRAM_DIR}"
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# lumacast_fuzzer(name SOURCES ... [LIBS ...] [CORPUS dir] [RSS_LIMIT_MB n])
# A fuzz target (LLVMFuzzerTestOneInput). Built with clang it is a real libFuzzer binary;
# built with g++ it is linked with a small driver that replays the corpus and then feeds
# seeded random mutations of it. Either way CTest runs it briefly. RSS_LIMIT_MB (2048 when
# not given) fails the run when its peak memory goes beyond; AddressSanitizer's quarantine
# of freed memory is kept to a quarter of it.
function(lumacast_fuzzer name)
  cmake_parse_arguments(A "" "CORPUS;RSS_LIMIT_MB" "SOURCES;LIBS" ${ARGN})
  if(NOT A_RSS_LIMIT_MB)
    set(A_RSS_LIMIT_MB 2048)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES
    BUILD_RPATH "${LUMACAST_PROGRAM_DIR}"
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    # libFuzzer adds what it finds to its first corpus folder: a folder of the build,
    # so that the seeds in the source tree stay as they are.
    set(work_corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}.corpus)
    file(MAKE_DIRECTORY ${work_corpus})
    set(run_args -max_total_time=10 -rss_limit_mb=${A_RSS_LIMIT_MB} -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/${name}- ${work_corpus})
  else()
    target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/fuzz/driver.cpp)
    set(run_args --seconds=10 --rss-limit-mb=${A_RSS_LIMIT_MB})
  endif()
  if(A_CORPUS)
    list(APPEND run_args ${A_CORPUS})
  endif()
  add_test(NAME fuzz.${name} COMMAND ${name} ${run_args})
  math(EXPR quarantine "${A_RSS_LIMIT_MB} / 4")
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz TIMEOUT 120
    ENVIRONMENT_MODIFICATION "ASAN_OPTIONS=string_append::quarantine_size_mb=${quarantine}")
  add_dependencies(fuzzers ${name})
endfunction()
