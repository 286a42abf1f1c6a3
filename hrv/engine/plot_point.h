// SPDX-License-Identifier: MIT
// One point of a beat plot (Poincaré or classifier), with the beat it came from so that a
// click on the point can find the beat in the host's data.
#pragma once

#include <cstdint>

namespace HRV {

struct PlotPoint {
  double x = 0.0;
  double y = 0.0;
  std::int32_t beatNumber = 0;
  std::int32_t tick = 0;
  std::int32_t record = 0;
};

}  // namespace HRV
