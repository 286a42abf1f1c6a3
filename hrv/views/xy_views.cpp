// SPDX-License-Identifier: MIT
// The scatter views: Poincaré plot and beat classifier.
#include <algorithm>
#include <cmath>

#include "hrv/core/document.h"
#include "hrv/engine/statistics.h"
#include "hrv/resources/string_table.h"
#include "hrv/views/plot_views.h"

namespace HRV {

namespace {

constexpr std::uint32_t kClassifierTitle = 199;
constexpr std::uint32_t kPoincareTitle = 200;

}  // namespace

// ---- Poincaré ----

std::string_view PoincareView::Title() const { return LoadString(kPoincareTitle); }

PlotRanges PoincareView::ComputeRanges(PointXData& x, PointYData& y) {
  const Settings& s = document_.settings();
  const bool sampling = Sampling();
  // The data's extents are not asked for while the host samples.
  return poincare_ranges({s.MinRR * 1000.0, s.MaxRR * 1000.0}, sampling ? AxisRange{} : data_range(x),
                         sampling ? AxisRange{} : data_range(y), sampling);
}

std::string PoincareView::BuildMarkup(PointXData& x, PointYData& y) {
  const AnalysisResults& r = document_.results();
  const double mean = MeanRR(r), sd1 = SD1(r), sd2 = SD2(r);
  std::optional<PoincareEllipse> ellipse;
  if (!std::isnan(mean) && !std::isnan(sd1) && !std::isnan(sd2))
    ellipse = PoincareEllipse{mean * 1000.0, sd1 * 1000.0, sd2 * 1000.0};
  return poincare_markup(Colours(), ComputeRanges(x, y), ellipse);
}

// ---- Classifier ----

std::string_view ClassifierView::Title() const { return LoadString(kClassifierTitle); }

ClassifierBox ClassifierView::Box() const {
  const Settings& s = document_.settings();
  return {{s.MinRR * 1000.0, s.MaxRR * 1000.0}, {s.MinFF, s.MaxFF}};
}

void ClassifierView::OnBoxResized(std::string_view box, std::span<const double> values) {
  if (box != kClassifierBoxId || values.size() < 4) return;
  Settings& s = document_.settings();
  s.MinRR = std::max(0.0, values[0] / 1000.0);
  s.MaxRR = std::min(60.0, values[1] / 1000.0);
  s.MinFF = std::max(0.0, values[2]);
  s.MaxFF = std::min(10.0, values[3]);
  document_.InvalidateAnalysis();
  // The beats are classified as they are enumerated: the fiducial stage runs again.
  if (!Sampling()) document_.RunAnalysis(kChangeFiducial, ChangeCode::BeatEdit);
}

PlotRanges ClassifierView::ComputeRanges(PointXData& x, PointYData& y) {
  const bool sampling = Sampling();
  return classifier_ranges(Box(), sampling ? AxisRange{} : data_range(x), sampling ? AxisRange{} : data_range(y), sampling);
}

std::string ClassifierView::BuildMarkup(PointXData& x, PointYData& y) {
  return classifier_markup(Colours(), ComputeRanges(x, y), Box(), !Sampling());
}

}  // namespace HRV
