# SPDX-License-Identifier: MIT
include(GoogleTest)

# Every test file includes GoogleTest; its headers are compiled once into a precompiled header
# that every test executable reuses instead of parsing them again, file after file. Its owner is
# an (empty) test executable itself, so that it is compiled with the executables' options.
file(WRITE ${CMAKE_BINARY_DIR}/hrv_test_pch.cpp "// The precompiled header's own translation unit.\n")
add_executable(hrv_test_pch ${CMAKE_BINARY_DIR}/hrv_test_pch.cpp)
target_link_libraries(hrv_test_pch PRIVATE GTest::gtest GTest::gtest_main hrv_warnings)
target_compile_definitions(hrv_test_pch PRIVATE HRV_SHARED_DATA_DIR="${PROJECT_SOURCE_DIR}/../shared/data")
target_precompile_headers(hrv_test_pch PRIVATE <gtest/gtest.h> <string> <vector> <cmath> <cstdint>)

# hrv_add_test(<name> [KIND unit|contract|integration] SOURCES <files...> LIBS <targets...>)
# One test executable per component; tests are discovered so that ctest lists each case
# (unless HRV_TEST_EACH_CASE is off).
# KIND labels the cases so that each CI stage runs what it should: `unit` (the default)
# tests one component in-process, `contract` checks the built library through its binary
# contract, `integration` runs the whole system on recordings or through the tool.
function(hrv_add_test name)
  cmake_parse_arguments(ARG "" "KIND" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_KIND)
    set(ARG_KIND unit)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main hrv_warnings)
  target_compile_definitions(${name} PRIVATE HRV_SHARED_DATA_DIR="${PROJECT_SOURCE_DIR}/../shared/data")
  target_precompile_headers(${name} REUSE_FROM hrv_test_pch)
  if(HRV_TEST_EACH_CASE)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${ARG_KIND})
  else()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS ${ARG_KIND})
  endif()
endfunction()
