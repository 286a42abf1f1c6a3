// SPDX-License-Identifier: MIT
// The views of one series: tachogram, spectrum and the two histograms.
#include <charconv>

#include "hrv/engine/recalc_mask.h"
#include "hrv/resources/string_table.h"
#include "hrv/views/plot_views.h"
#include "sdk/cpp/utf.h"

namespace HRV {

namespace {

constexpr std::uint32_t kTachogramTitle = 195;
constexpr std::uint32_t kSpectrumTitle = 196;
constexpr std::uint32_t kRRHistogramTitle = 197;
constexpr std::uint32_t kDeltaRRHistogramTitle = 198;

AxisRange box_rr_ms(const SettingsFields& s) { return {s.MinRR * 1000.0, s.MaxRR * 1000.0}; }

bool sampled_update(ChangeCode code) { return code == ChangeCode::OnlineData || code == ChangeCode::OnlineEnded; }

}  // namespace

// ---- Tachogram ----

std::string_view TachogramView::Title() const { return LoadString(kTachogramTitle); }

void TachogramView::UpdateFlagsFor(ChangeCode code, std::uint32_t& flags) {
  PlotViewYT::UpdateFlagsFor(code, flags);
  if (!sampled_update(code) || !data_) return;
  const AxisRange previous = lastX_;
  ComputeRanges(*data_);
  if (lastX_ != previous) flags |= UpdateResetRanges | UpdateSendMarkup;
}

void TachogramView::OnMouseClick(std::string_view, std::u16string_view label) {
  const std::string text = utf16_to_utf8(label);
  std::size_t index = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), index);
  if (ec != std::errc() || end == text.data()) return;
  // The series and the Poincaré points hold the included beats in the same order.
  const std::vector<PlotPoint>& points = document_.results().poincarePoints;
  if (index >= points.size()) return;
  ShowBeat(points[index].record, points[index].tick);
}

PlotRanges TachogramView::ComputeRanges(SeriesData& data) {
  const PlotRanges r = tachogram_ranges(data.size(), data_range(data), Sampling(), box_rr_ms(document_.settings()));
  lastX_ = r.x;
  return r;
}

std::string TachogramView::BuildMarkup(SeriesData& data) { return tachogram_markup(Colours(), ComputeRanges(data)); }

// ---- Spectrum ----

std::string_view SpectrumView::Title() const { return LoadString(kSpectrumTitle); }

void SpectrumView::OnLinesDragged(std::string_view plotter, std::span<const double> positions) {
  if (plotter != kSpectrumBandsId || positions.size() < 6) return;
  Settings& s = document_.settings();
  s.VLFLowHz = positions[0];
  s.VLFHighHz = positions[1];
  s.LFLowHz = positions[2];
  s.LFHighHz = positions[3];
  s.HFLowHz = positions[4];
  s.HFHighHz = positions[5];
  document_.InvalidateAnalysis();
  // While sampling the new edges wait for the next analysis.
  if (!Sampling()) document_.RunAnalysis(RecalcBands, ChangeCode::BeatEdit);
}

PlotRanges SpectrumView::ComputeRanges(SeriesData& data) {
  const PowerSpectrum& p = document_.results().spectrum();
  return spectrum_ranges(p.df, p.firstBin, data.size(), data_range(data), Sampling(), document_.settings().MaxFrequencyHz);
}

std::string SpectrumView::BuildMarkup(SeriesData& data) {
  const Settings& s = document_.settings();
  const PowerSpectrum& p = document_.results().spectrum();
  return spectrum_markup(Colours(), ComputeRanges(data),
                         {s.VLFLowHz, s.VLFHighHz, s.LFLowHz, s.LFHighHz, s.HFLowHz, s.HFHighHz}, p.df, p.firstBin,
                         !Sampling());
}

// ---- Histograms ----

std::string_view HistogramView::Title() const {
  return LoadString(kind_ == HistogramKind::RR ? kRRHistogramTitle : kDeltaRRHistogramTitle);
}

std::string_view HistogramView::PlotId() const {
  return kind_ == HistogramKind::RR ? kRRHistogramPlotId : kDeltaRRHistogramPlotId;
}

std::string_view HistogramView::DataId() const {
  return kind_ == HistogramKind::RR ? kRRHistogramDataId : kDeltaRRHistogramDataId;
}

const ValueHistogram& HistogramView::Histogram() const {
  return kind_ == HistogramKind::RR ? document_.results().rrHistogram : document_.results().deltaRRHistogram;
}

void HistogramView::UpdateFlagsFor(ChangeCode code, std::uint32_t& flags) {
  PlotViewYT::UpdateFlagsFor(code, flags);
  if (sampled_update(code)) flags |= UpdateResetRanges | UpdateSendMarkup | UpdateDataChanged;
}

PlotRanges HistogramView::ComputeRanges(SeriesData& data) {
  const ValueHistogram& h = Histogram();
  return histogram_ranges(kind_, h.binWidth, h.firstBin, data.size(), data_range(data), Sampling(),
                          box_rr_ms(document_.settings()));
}

std::string HistogramView::BuildMarkup(SeriesData& data) {
  const ValueHistogram& h = Histogram();
  return histogram_markup(kind_, Colours(), ComputeRanges(data), h.binWidth, h.firstBin);
}

}  // namespace HRV
