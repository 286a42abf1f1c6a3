# SPDX-License-Identifier: MIT
# Warning flags for the project's own targets.
add_library(hrv_warnings INTERFACE)
target_compile_options(hrv_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow=local -Wnon-virtual-dtor)
if(HRV_WERROR)
  target_compile_options(hrv_warnings INTERFACE -Werror)
endif()
