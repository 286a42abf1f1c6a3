// SPDX-License-Identifier: MIT
// What each plot view tells the plot engine: the full ranges of its scales and its markup,
// as plain functions of the numbers they depend on, so that the views only gather those
// numbers. Values are in the units shown (ms, ms², counts, Hz), not in SI units.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace HRV {

// Plot ids (also the id of each view's main plotter) and the ids its data are registered
// under.
inline constexpr std::string_view kTachogramPlotId = "hrv_tachogram_view";
inline constexpr std::string_view kSpectrumPlotId = "hrv_spectrum_view";
inline constexpr std::string_view kRRHistogramPlotId = "hrv_rr_histogram_view";
inline constexpr std::string_view kDeltaRRHistogramPlotId = "hrv_delta_rr_histogram_view";
inline constexpr std::string_view kPoincarePlotId = "hrv_poincare_view";
inline constexpr std::string_view kClassifierPlotId = "hrv_classifier_view";
inline constexpr std::string_view kTachogramDataId = "$HRV_Tachogram";
inline constexpr std::string_view kSpectrumDataId = "$HRV_Spectrum";
inline constexpr std::string_view kRRHistogramDataId = "$HRV_RRHistogram";
inline constexpr std::string_view kDeltaRRHistogramDataId = "$HRV_DeltaRRHistogram";
inline constexpr std::string_view kPoincareXDataId = "$HRV_Poincare_X";
inline constexpr std::string_view kPoincareYDataId = "$HRV_Poincare_Y";
inline constexpr std::string_view kClassifierXDataId = "$HRV_Classifier_X";
inline constexpr std::string_view kClassifierYDataId = "$HRV_Classifier_Y";
// The spectrum's band lines and the classifier's box, as the engine's callbacks name them.
inline constexpr std::string_view kSpectrumBandsId = "spectrum_freq_bands";
inline constexpr std::string_view kClassifierBoxId = "classifier_box";

// A scale's range. (0, 0) means unset or no data.
struct AxisRange {
  double min = 0.0;
  double max = 0.0;

  bool unset() const noexcept { return min == 0.0 && max == 0.0; }
  friend bool operator==(const AxisRange&, const AxisRange&) = default;
};

struct PlotRanges {
  AxisRange x;
  AxisRange y;
  friend bool operator==(const PlotRanges&, const PlotRanges&) = default;
};

// The colours a markup draws with, 0x00RRGGBB: the analysed source channel's trace colour
// and the host's graticule colour.
struct PlotColours {
  std::uint32_t trace = 0;
  std::uint32_t graticule = 0;
};

// The classifier box in the units shown: RR in ms, FF as it is.
struct ClassifierBox {
  AxisRange rr;
  AxisRange ff;
};

// Tachogram. `count` intervals; `data` their range in ms ((0, 0) when empty); `boxRR` the
// classifier box's RR limits in ms, the default y range. While sampling the x range grows
// in steps of 500 intervals and the data range is not read.
PlotRanges tachogram_ranges(std::size_t count, AxisRange data, bool sampling, AxisRange boxRR);
std::string tachogram_markup(const PlotColours& colours, const PlotRanges& ranges);

// Spectrum. `df` the frequency step (Hz), `firstBin` the index of the first bin, `count`
// bins, `data` the power range in ms², `maxFrequency` the settings' grid end (Hz).
PlotRanges spectrum_ranges(double df, std::int32_t firstBin, std::size_t count, AxisRange data, bool sampling,
                           double maxFrequency);
// `bands`: VLF lower, VLF upper, LF lower, LF upper, HF lower, HF upper (Hz). The band lines
// are draggable while the host does not sample.
std::string spectrum_markup(const PlotColours& colours, const PlotRanges& ranges, const std::array<double, 6>& bands,
                            double df, std::int32_t firstBin, bool draggable);

// The two histograms differ only in their names and defaults.
enum class HistogramKind { RR, DeltaRR };
// `binWidth` in s (0: no histogram), `firstBin` the index of the first bin, `count` bins,
// `data` the range of the counts, `boxRR` the classifier box's RR limits in ms (the RR
// histogram's default x range).
PlotRanges histogram_ranges(HistogramKind kind, double binWidth, std::int32_t firstBin, std::size_t count,
                            AxisRange data, bool sampling, AxisRange boxRR);
std::string histogram_markup(HistogramKind kind, const PlotColours& colours, const PlotRanges& ranges,
                             double binWidth, std::int32_t firstBin);

// Poincaré plot. The SD1/SD2 ellipse, ms, centred on the identity line at the mean RR.
struct PoincareEllipse {
  double meanRR = 0.0;
  double sd1 = 0.0;
  double sd2 = 0.0;
};
// `xData`, `yData`: the ranges of the previous and the next RR in ms ((0, 0) when empty).
PlotRanges poincare_ranges(AxisRange boxRR, AxisRange xData, AxisRange yData, bool sampling);
// The ellipse is left out when nothing is given.
std::string poincare_markup(const PlotColours& colours, const PlotRanges& ranges,
                            const std::optional<PoincareEllipse>& ellipse);

// Classifier plot: RR (ms) against FF, with the box that classifies the beats.
PlotRanges classifier_ranges(const ClassifierBox& box, AxisRange xData, AxisRange yData, bool sampling);
std::string classifier_markup(const PlotColours& colours, const PlotRanges& ranges, const ClassifierBox& box,
                              bool draggable);

}  // namespace HRV
