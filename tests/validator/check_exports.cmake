# SPDX-License-Identifier: MIT
# cmake -DNM=<nm> -DLIBRARY=<libhrv.so> -P check_exports.cmake
# Fails unless the library's dynamic symbol table defines exactly DllRegisterClassObjects.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE table RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${NM} could not read ${LIBRARY}")
endif()
string(STRIP "${table}" table)
string(REPLACE "\n" ";" lines "${table}")
set(names "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND names "${name}")
endforeach()
if(NOT names STREQUAL "DllRegisterClassObjects")
  message(FATAL_ERROR "exported symbols are [${names}], expected exactly [DllRegisterClassObjects]")
endif()
message(STATUS "exports exactly DllRegisterClassObjects")
