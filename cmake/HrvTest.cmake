# SPDX-License-Identifier: MIT
include(GoogleTest)

# hrv_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One test executable per component; tests are discovered so that ctest lists each case.
function(hrv_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main hrv_warnings)
  target_compile_definitions(${name} PRIVATE HRV_SHARED_DATA_DIR="${PROJECT_SOURCE_DIR}/../shared/data")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)
endfunction()
