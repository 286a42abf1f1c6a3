// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/view_pages.h"

#include <cmath>
#include <cstdio>
#include <regex>

#include <nlohmann/json.hpp>

#include "korvel/ui/plot_snapshot.h"

namespace korvel_hrv {
namespace {

using Json = nlohmann::ordered_json;

// A value of a regular grid, rounded to 10 significant digits so that 0.001 × 3 reads
// 0.003 rather than 0.0030000000000000001.
double grid_value(double start, double step, std::size_t k) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", start + step * static_cast<double>(k));
  return std::strtod(text, nullptr);
}

// {"label": "RR Interval (ms)", "unit": "ms"}: the unit is what the label's last
// parentheses hold, empty without them.
Json axis_of(const std::string& markup, const char* key) {
  Json axis = Json::object();
  std::smatch m;
  const std::string label = std::regex_search(markup, m, std::regex(std::string(key) + ": '([^']*)'")) ? m[1].str() : "";
  axis["label"] = label;
  axis["unit"] = std::regex_search(label, m, std::regex(R"(\(([^()]*)\)\s*$)")) ? m[1].str() : "";
  return axis;
}

}  // namespace

std::string view_json(const korvel::ui::PlotControl& plot, std::string_view title) {
  const std::string& markup = plot.markup();
  Json data;
  data["plot"] = plot.plot_id();
  data["title"] = title;
  std::smatch m;
  const std::string kind = std::regex_search(markup, m, std::regex(R"((tplot|histogram|scatter): \{)")) ? m[1].str() : "";
  data["kind"] = kind;
  Json x = axis_of(markup, "xlabel");
  Json y = axis_of(markup, "ylabel");
  const auto bound = plot.binding(plot.plot_id());
  const std::string yId = bound ? bound->first : "";
  if (!yId.empty()) y["series"] = yId;
  if (bound && !bound->second.empty()) {
    x["series"] = bound->second;  // a scatter: x is a series of its own
  } else if (std::regex_search(markup, m, std::regex(R"((?:xdata|bins): \[([^:\]]+):([^:\]]+):end\])"))) {
    // A series against a regular grid: value k of the series sits at start + k × step; a
    // histogram's bin k spans [edge k, edge k + 1).
    const double start = std::stod(m[1].str());
    const double step = std::stod(m[2].str());
    const std::size_t n = plot.values(yId).size();
    x["grid"] = {{"start", start}, {"step", step}};
    Json values = Json::array();
    for (std::size_t k = 0; k < n + (kind == "histogram" ? 1 : 0); ++k) values.push_back(grid_value(start, step, k));
    x[kind == "histogram" ? "bin_edges" : "values"] = std::move(values);
  }
  data["x"] = std::move(x);
  data["y"] = std::move(y);
  data["series"] = Json::object();
  for (const auto& [id, values] : plot.all_values()) {
    Json series = Json::array();
    for (float v : values) series.push_back(std::isfinite(v) ? Json(v) : Json(nullptr));
    data["series"][id] = std::move(series);
  }
  std::string text = data.dump(1);
  text += '\n';
  return text;
}

std::string index_page(const std::string& reportHtml, const std::vector<PlotPageLink>& plots) {
  static constexpr std::string_view kStyle =
      "<style>\n"
      ".plots { clear: both; padding-top: 8px; }\n"
      ".plots h2 { font-size: 12pt; margin: 0 0 6px 4px; }\n"
      ".plot-grid { display: grid; grid-template-columns: repeat(auto-fill, minmax(560px, 1fr)); gap: 8px; }\n"
      ".plot-grid figure { margin: 0 4px 0 0; border: 1px solid #808080; }\n"
      ".plot-grid figcaption { font-weight: bold; padding: 2px 4px; background-color: #e0e0e0; }\n"
      ".plot-grid iframe { display: block; width: 100%; height: 420px; border: 0; }\n"
      "</style>\n";
  std::string section = "<section class=\"plots\">\n<h2>Plots</h2>\n<div class=\"plot-grid\">\n";
  for (const PlotPageLink& p : plots) {
    const std::string path = korvel::ui::html_text(p.path);
    const std::string title = korvel::ui::html_text(p.title);
    section += "<figure><figcaption><a href=\"" + path + "\">" + title + "</a></figcaption><iframe src=\"" + path +
               "\" title=\"" + title + "\"></iframe></figure>\n";
  }
  section += "</div>\n</section>\n";
  std::string page = reportHtml;
  const std::size_t head = page.find("</head>");
  if (head != std::string::npos) page.insert(head, kStyle);
  const std::size_t body = page.rfind("</body>");
  page.insert(body == std::string::npos ? page.size() : body, section);
  return page;
}

}  // namespace korvel_hrv
