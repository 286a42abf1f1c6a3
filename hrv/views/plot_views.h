// SPDX-License-Identifier: MIT
// The six plot views of an analysis. Each gives its series, names, units, ranges and
// markup (plot_markup.h) to the update cycle of its base (plot_view.h), and handles its own
// gestures: a click on the tachogram or a scatter shows the beat in the chart, dragging the
// spectrum's band lines moves the bands, dragging the classifier's box moves the box; both
// drags re-analyse.
#pragma once

#include "hrv/views/plot_view.h"

namespace HRV {

// RR of every included beat (shown in ms) against its interval number.
class TachogramView final : public PlotViewYT {
 public:
  explicit TachogramView(Document& document) : PlotViewYT(document) {}
  std::string_view Title() const override;
  std::string_view PlotId() const override { return kTachogramPlotId; }
  int DataMode() const override { return 2; }
  // While sampling the x axis grows in steps: a step to a new range resends the markup.
  void UpdateFlagsFor(ChangeCode code, std::uint32_t& flags) override;
  // The label starts with the interval number: the beat of that Poincaré point is shown.
  void OnMouseClick(std::string_view plotter, std::u16string_view label) override;

 private:
  const std::vector<double>& Series() const override { return document_.results().rrSeries; }
  std::string_view DataId() const override { return kTachogramDataId; }
  double DisplayScale() const override { return 1000.0; }
  PlotRanges ComputeRanges(SeriesData& data) override;
  std::string BuildMarkup(SeriesData& data) override;

  AxisRange lastX_;
};

// The power spectrum (shown in ms²) against frequency, with the three bands as lines the
// user can drag while the host does not sample.
class SpectrumView final : public PlotViewYT {
 public:
  explicit SpectrumView(Document& document) : PlotViewYT(document) {}
  std::string_view Title() const override;
  std::string_view PlotId() const override { return kSpectrumPlotId; }
  int DataMode() const override { return 1; }
  // Six positions of the band lines replace the band edges; the band powers are recomputed
  // unless the host samples.
  void OnLinesDragged(std::string_view plotter, std::span<const double> positions) override;

 private:
  const std::vector<double>& Series() const override { return document_.results().spectrum().power; }
  std::string_view DataId() const override { return kSpectrumDataId; }
  double DisplayScale() const override { return 1e6; }  // s² shown in ms²: the square of 1000
  PlotRanges ComputeRanges(SeriesData& data) override;
  std::string BuildMarkup(SeriesData& data) override;
};

// The bin counts of the RR or the delta-RR histogram.
class HistogramView final : public PlotViewYT {
 public:
  HistogramView(Document& document, HistogramKind kind) : PlotViewYT(document), kind_(kind) {}
  std::string_view Title() const override;
  std::string_view PlotId() const override;
  int DataMode() const override { return 1; }
  double MinMarkupInterval() const override { return 2.0; }
  // Every sampled update also resets the ranges and offers a markup to the throttle.
  void UpdateFlagsFor(ChangeCode code, std::uint32_t& flags) override;

 private:
  const ValueHistogram& Histogram() const;
  const std::vector<double>& Series() const override { return Histogram().counts; }
  std::string_view DataId() const override;
  double DisplayScale() const override { return 1.0; }
  PlotRanges ComputeRanges(SeriesData& data) override;
  std::string BuildMarkup(SeriesData& data) override;

  HistogramKind kind_;
};

// Each included beat's RR against the previous one, with the SD1/SD2 ellipse.
class PoincareView final : public PlotViewXY {
 public:
  explicit PoincareView(Document& document) : PlotViewXY(document) {}
  std::string_view Title() const override;
  std::string_view PlotId() const override { return kPoincarePlotId; }

 private:
  const std::vector<PlotPoint>& Points() const override { return document_.results().poincarePoints; }
  std::string_view XDataId() const override { return kPoincareXDataId; }
  std::string_view YDataId() const override { return kPoincareYDataId; }
  double XDisplayScale() const override { return 1000.0; }
  double YDisplayScale() const override { return 1000.0; }
  PlotRanges ComputeRanges(PointXData& x, PointYData& y) override;
  std::string BuildMarkup(PointXData& x, PointYData& y) override;
};

// Each classified beat's RR (ms) against its complexity, with the classifier box, which the
// user can drag while the host does not sample.
class ClassifierView final : public PlotViewXY {
 public:
  explicit ClassifierView(Document& document) : PlotViewXY(document) {}
  std::string_view Title() const override;
  std::string_view PlotId() const override { return kClassifierPlotId; }
  // The box's new extent becomes the classifier box, clamped to 0..60 s and 0..10; the beats
  // are classified again unless the host samples.
  void OnBoxResized(std::string_view box, std::span<const double> values) override;

 private:
  const std::vector<PlotPoint>& Points() const override { return document_.results().classifierPoints; }
  std::string_view XDataId() const override { return kClassifierXDataId; }
  std::string_view YDataId() const override { return kClassifierYDataId; }
  double XDisplayScale() const override { return 1000.0; }
  double YDisplayScale() const override { return 1.0; }
  PlotRanges ComputeRanges(PointXData& x, PointYData& y) override;
  std::string BuildMarkup(PointXData& x, PointYData& y) override;
  ClassifierBox Box() const;
};

}  // namespace HRV
