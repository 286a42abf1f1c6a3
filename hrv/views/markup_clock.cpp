// SPDX-License-Identifier: MIT
#include "hrv/views/markup_clock.h"

#include <chrono>

namespace HRV {

namespace {

class SteadyClock final : public MarkupClock {
 public:
  std::uint64_t now() override {
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }
  std::uint64_t frequency() override {
    using Period = std::chrono::steady_clock::period;
    return static_cast<std::uint64_t>(Period::den / Period::num);
  }
};

}  // namespace

MarkupClock& steady_markup_clock() noexcept {
  static SteadyClock clock;
  return clock;
}

}  // namespace HRV
