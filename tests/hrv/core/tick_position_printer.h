// SPDX-License-Identifier: MIT
// Lets assertion messages show positions as {tick, record} instead of raw bytes.
#pragma once

#include <ostream>

#include "sdk/tick_position.h"

inline void PrintTo(const TickPosition& p, std::ostream* os) { *os << "{tick " << p.tick << ", record " << p.record << "}"; }
