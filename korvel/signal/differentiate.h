// SPDX-License-Identifier: MIT
// differentiate(x, 3): time derivative by the three-point central difference,
// y[n] = (x[n+1] - x[n-1]) fs / 2, in units of x per second. Its gain is
// sin(w) / w of the true derivative's at w = 2 pi f / fs (-1.6 % at fs / 20), and it
// has no delay. At the two ends of the record the one-sided difference is used:
// y[0] = (x[1] - x[0]) fs and y[N-1] = (x[N-1] - x[N-2]) fs.
#pragma once

#include <memory>

#include "korvel/signal/stage.h"

namespace korvel::signal {

std::unique_ptr<SampleStage> differentiate_stage(double sample_rate_hz);

}  // namespace korvel::signal
