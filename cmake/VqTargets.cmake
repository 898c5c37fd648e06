# Shared target helpers: one place decides warnings, sanitizers and test registration.

set(VQ_WARNINGS -Wall -Wextra -Wpedantic)
if(VQ_WERROR)
  list(APPEND VQ_WARNINGS -Werror)
endif()

if(VQ_FUZZ)
  # Coverage instrumentation for every library; the fuzzer main is linked into each target.
  add_compile_options(-fsanitize=fuzzer-no-link)
  if(NOT VQ_SANITIZE)
    set(VQ_SANITIZE "address;undefined")
  endif()
endif()

if(VQ_SANITIZE)
  string(REPLACE ";" "," vq_sanitizers "${VQ_SANITIZE}")
  add_compile_options(-fsanitize=${vq_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${vq_sanitizers})
endif()

# vq_add_library(name SOURCES ... [PUBLIC_DEPS ...] [PRIVATE_DEPS ...])
function(vq_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${VQ_WARNINGS})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# vq_add_test(name SOURCES ... DEPS ...): one GoogleTest binary, its cases registered with CTest.
function(vq_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${VQ_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "VQ_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data")
endfunction()

# vq_add_fuzzer(name SOURCES ... DEPS ...): a libFuzzer target (fuzz preset only).
function(vq_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${VQ_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()
