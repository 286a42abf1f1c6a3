# SPDX-License-Identifier: MIT
include(GoogleTest)

# hrv_add_test(<name> [KIND unit|contract|integration] SOURCES <files...> LIBS <targets...>)
# One test executable per component; tests are discovered so that ctest lists each case.
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
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${ARG_KIND})
endfunction()
