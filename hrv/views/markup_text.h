// SPDX-License-Identifier: MIT
// The small pieces of text every plot view sends to the plot engine: numbers as the markup
// writes them, colours, unit prefixes, the escaping that keeps a markup one script string
// literal, and the two script commands a view sends itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace HRV {

// A number in the classic locale and the stream's default notation, 6 significant digits
// ("0.001", "1234", "1e+06").
std::string markup_number(double value);

// "#rrggbbaa", lowercase, alpha = trunc(alpha × 255). `rgb` is 0x00RRGGBB.
std::string colour_text(std::uint32_t rgb, double alpha);

// Unit prefixes by index, as the views name them: 7 milli (values shown × 1000), 8 none
// (× 1). The character is UTF-8 ("µ" is two bytes); empty for "none".
std::string_view prefix_text(int index) noexcept;
// The factor a value in the base unit is multiplied by to show it under the prefix: the
// reciprocal of the prefix's value (milli 1000, micro 10⁶, kilo 10⁻³); 1 for "none" and
// for an unknown index.
double prefix_display_factor(int index) noexcept;

// Every "'" becomes "\'" and every CR LF the five characters \ n \ CR LF, so that the markup
// stays one string literal of the script command that carries it.
std::string escape_markup(std::string_view markup);

// etch.get_plot('<plot>').set_markup('<escaped markup>');
std::string set_markup_command(std::string_view plotId, std::string_view markup);
// etch.get_plot('<plot>').plotter_data_changed('<plotter>', <start>, 2147483647);
std::string data_changed_command(std::string_view plotId, std::string_view plotterId, std::int64_t start);

}  // namespace HRV
