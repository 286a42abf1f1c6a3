// SPDX-License-Identifier: MIT
// The two kinds of failure the tool reports, each with a message that says what was wrong
// and what to do. main() alone turns them into exit statuses.
#pragma once

#include <stdexcept>

namespace korvel_hrv {

// A failure the user can act on: a file that cannot be read, data or settings the analysis
// refuses. Exit status 1, as for every other error.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The command line itself is wrong: options that conflict or are out of their range, an
// edit without the times it needs. Exit status 2, as for the errors of option parsing.
class CommandLineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace korvel_hrv
