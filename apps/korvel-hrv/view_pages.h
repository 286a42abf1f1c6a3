// SPDX-License-Identifier: MIT
// What the tool writes of a plot view besides its markup: views/<view>.json, the series as
// the engine pulled them with what a reader needs besides the y values (the x values or
// grid, bin edges, frequencies, axis labels and units), and the index page, the report
// with the six plots beneath it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "korvel/ui/plot_control.h"

namespace korvel_hrv {

// views/<view>.json of the plot `plot` titled `title`.
std::string view_json(const korvel::ui::PlotControl& plot, std::string_view title);

struct PlotPageLink {
  std::string path;  // relative to the index page, "plots/tachogram.html"
  std::string title;
};

// index.html: `reportHtml` (a whole page) with the plots, each in a frame, beneath it.
std::string index_page(const std::string& reportHtml, const std::vector<PlotPageLink>& plots);

}  // namespace korvel_hrv
