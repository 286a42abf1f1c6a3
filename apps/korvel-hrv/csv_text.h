// SPDX-License-Identifier: MIT
// Comma-separated text as the tool's tables write and read it: a field is quoted when it
// holds a comma, a quote or a line break, with its quotes doubled.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvel_hrv {

std::string csv_field(std::string_view text);

// The fields of one line (without its line break), quotes undone. Throws
// std::invalid_argument when a quote is not closed.
std::vector<std::string> csv_fields(std::string_view line);

}  // namespace korvel_hrv
