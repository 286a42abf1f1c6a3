// SPDX-License-Identifier: MIT
// Module ids: the 16-bit numbers that the host assigns to GUID families. Extensions build
// every 32-bit type id from them and cache them for the life of the process, so one table
// serves every application object of the process.
#pragma once

#include <cstdint>

#include "sdk/guid.h"

namespace korvel::app {

// The id of `family`: assigned on first request, from 0x1000 upwards in request order, and
// the same for every later request in this process. Thread-safe. Throws HResultError
// (E_OUTOFMEMORY) once all 16-bit ids are taken.
std::uint16_t module_id(const GUID& family);

}  // namespace korvel::app
