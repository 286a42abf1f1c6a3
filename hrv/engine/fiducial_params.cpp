// SPDX-License-Identifier: MIT
#include "fiducial_params.h"

#include <cmath>
#include <limits>
#include <istream>
#include <locale>
#include <vector>

namespace HRV {

std::int32_t FiducialParams::ToLimit(double value) {
  if (std::isnan(value)) return 0;
  const double rounded = std::round(value);  // halves away from zero
  if (rounded >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (rounded <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(rounded);
}

bool FiducialParams::Read(std::istream& text) {
  text.imbue(std::locale::classic());
  std::vector<double> values;
  double v;
  while (values.size() < 12 && text >> v) values.push_back(v);
  // width, type, the box, both start limits and the exclusion flag are required; the end
  // limits may be missing and then mean "to the end of the recording".
  if (values.size() < 9 || values.size() > 11 || !(text >> std::ws).eof()) return false;
  const double exclusion = values.back();
  values.pop_back();
  values.resize(10, static_cast<double>(SamplePosition::kUnset));
  widthSec = values[0];
  type = ToLimit(std::trunc(values[1]));  // saturated: any text must give a defined type
  minRR = values[2];
  maxRR = values[3];
  minFF = values[4];
  maxFF = values[5];
  start = {ToLimit(values[7]), ToLimit(values[6])};
  end = {ToLimit(values[9]), ToLimit(values[8])};
  // −1 (any negative) means from the beginning, respectively to the end of the recording.
  if (start.record < 0) start.record = 0;
  if (start.tick < 0) start.tick = 0;
  if (end.record < 0) end.record = SamplePosition::kUnset;
  if (end.tick < 0) end.tick = SamplePosition::kUnset;
  excludeEctopic = exclusion > 0;
  return true;
}

void FiducialParams::Write(std::ostream& text) const {
  text.imbue(std::locale::classic());
  text.precision(17);
  text << widthSec << ' ' << type << ' ' << minRR << ' ' << maxRR << ' ' << minFF << ' ' << maxFF << ' ' << start.record
       << ' ' << start.tick << ' ' << end.record << ' ' << end.tick << ' ' << (excludeEctopic ? 1 : 0);
}

void FiducialParams::Bind(double sampleInterval) {
  dt = sampleInterval;
  // Saturated rather than converted blindly, so that any parameter text binds to a defined
  // width.
  width = dt > 0 ? ToLimit(std::trunc(widthSec / dt + 0.5)) : 0;
}

}  // namespace HRV
