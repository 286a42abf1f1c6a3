// SPDX-License-Identifier: MIT
// A plot as a page that opens from a file, with no host behind it: the plot engine's page
// inlined, the commands that made the plot and set its last markup, and every series that
// markup names with the labels of its points, asked of the control as the live page asks
// (PlotControl::answer). In the page the plot reads, zooms and reports gestures as it does
// live; the gestures are kept in the page, as nothing behind it recomputes.
#pragma once

#include <string>
#include <string_view>

#include "korvel/ui/plot_control.h"

namespace korvel::ui {

// `text` for the body or an attribute of a page: & < > " as entities.
std::string html_text(std::string_view text);

// The page (UTF-8 HTML) of `control`'s plot under `title`. Throws HResultError when the
// control cannot answer for one of its series.
std::string plot_snapshot_page(PlotControl& control, std::string_view title);

}  // namespace korvel::ui
