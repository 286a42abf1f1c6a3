# SPDX-License-Identifier: MIT
# Warning flags for the project's own targets.
add_library(hrv_warnings INTERFACE)
target_compile_options(hrv_warnings INTERFACE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor)
# Shadowing among locals only; clang (used for the fuzzers) spells the same check differently.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(hrv_warnings INTERFACE -Wshadow=local)
else()
  target_compile_options(hrv_warnings INTERFACE -Wshadow-uncaptured-local)
endif()
if(HRV_WERROR)
  target_compile_options(hrv_warnings INTERFACE -Werror)
endif()
