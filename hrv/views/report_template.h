// SPDX-License-Identifier: MIT
// The report's HTML template, compiled into the library from
// hrv/resources/report_template.html byte for byte: ASCII with CR LF line ends, numbered
// placeholders "%1%" to "%38%" and "%%" for each literal percent sign.
#pragma once

#include <string_view>

namespace HRV {

std::string_view report_template() noexcept;

}  // namespace HRV
