// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>

namespace korvel_hrv {

// A failure the user can act on; the tool prints its message and exits with status 1.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace korvel_hrv
