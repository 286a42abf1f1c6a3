// SPDX-License-Identifier: MIT
// Parameters of the fiducial enumerator, as the detection chain writes them:
//   fiducial(Signal, Reference, Width[s], Type, MinRR[s], MaxRR[s], MinFF, MaxFF,
//            LimitStartRecord, LimitStartOffset, LimitEndRecord, LimitEndOffset, ExcludeEctopic)
#pragma once

#include <cstdint>

#include "enumerator_state.h"
#include "sample_position.h"

namespace HRV {

class FiducialParams final : public EEH3::ParamsBase {
 public:
  double widthSec = 0.08;   // search window and complexity segment, seconds
  std::int32_t type = 0;    // 0: the fiducial point is the maximum, 1: the minimum
  double minRR = 0.8, maxRR = 1.2, minFF = 1.0, maxFF = 1.5;  // classifier box (s, s, -, -)
  SamplePosition start{0, 0};                                  // analysis region, end exclusive
  SamplePosition end = SamplePosition::unset();  // unset: to the end of the recording
  bool excludeEctopic = true;
  double dt = 0;            // sample interval of the Signal input, seconds (once bound)
  std::int32_t width = 0;   // window width in samples, W = trunc(width / dt + 0.5)

  // Text order: width, type, the box, the four limits, exclusion. Missing end limits mean
  // "to the end of the recording".
  bool Read(std::istream& text) override;
  void Write(std::ostream& text) const override;
  void Bind(double sampleInterval) override;

  // A limit as the enumerator stores it: rounded half away from zero and saturated to int32.
  static std::int32_t ToLimit(double value);
};

}  // namespace HRV
