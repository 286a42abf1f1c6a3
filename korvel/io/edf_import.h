// SPDX-License-Identifier: MIT
// EDF, EDF+ and BDF(+) files, read through EDFlib. The annotation signals of EDF+ are not
// channels and are left out. Signals with fewer samples per data record than the fastest
// are linearly interpolated onto its ticks (see interpolate_onto_ticks).
//
// Discontinuous files (EDF+D, BDF+D) are refused with a message saying so: EDFlib opens
// only continuous files, so their gaps could not be placed on the time axis.
#pragma once

#include <filesystem>

#include "korvel/io/recording.h"

namespace korvel::io {

Recording read_edf(const std::filesystem::path& file);

}  // namespace korvel::io
