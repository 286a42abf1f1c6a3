// SPDX-License-Identifier: MIT
// The analysis as files for scripts: the results summary (JSON) and one row per beat (CSV).
// Their layout is a contract users script against; it is documented in the README.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace HRV {

class Document;

// The results object: recording, signal, settings (every value by name), region, beat
// counts, time-domain, nonlinear and frequency-domain values (SI units, named with their
// unit) and the spectrum. NaN and infinities are written as null.
std::string results_json(const Document& document);

// One row per beat the fiducial channel yields in the region, in order, under the header
// beat_number,record,tick,time_s,rr_s,delta_rr_s,rate_hz,ff,activity,mobility,peak_value,
// peak_index,flags,class. Undefined values are empty cells; flags as 0x%08X. The text goes
// to `write` a megabyte or so at a time, so that a week of beats is never held whole;
// `write` returns false to stop.
void beats_csv(const Document& document, const std::function<bool(std::string_view)>& write);

}  // namespace HRV
