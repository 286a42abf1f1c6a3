// SPDX-License-Identifier: MIT
#include "hrv/views/plot_markup.h"

#include <algorithm>

#include "hrv/views/markup_text.h"

namespace HRV {

namespace {

// Every markup ends with the four full ranges, each followed by a comma without a blank.
std::string full_ranges(const PlotRanges& r) {
  return "fullrange_yscalemin: " + markup_number(r.y.min) + ",fullrange_yscalemax: " + markup_number(r.y.max) +
         ",fullrange_xscalemin: " + markup_number(r.x.min) + ",fullrange_xscalemax: " + markup_number(r.x.max) + ",";
}

std::string opening(std::string_view block, std::string_view plotId) {
  std::string out = "topmargin: 40, rightmargin: 40, ";
  out.append(block).append(": {id: '").append(plotId).append("', ");
  return out;
}

std::string data_reference(std::string_view dataId, std::string_view interval) {
  std::string out = "'";
  out.append(dataId).append("' ").append(interval);
  return out;
}

// Widens both ends by 5 % of the span unless the range is a single value.
AxisRange widened(AxisRange r) {
  if (r.min != r.max) {
    const double margin = (r.max - r.min) * 0.05;
    r.min -= margin;
    r.max += margin;
  }
  return r;
}

// Counts and powers start at 0: only the top gets the 5 % margin.
AxisRange raised(AxisRange r) {
  if (r.max != r.min) r.max += (r.max - r.min) * 0.05;
  return r;
}

// Values in ms under the milli prefix of seconds.
constexpr std::string_view kMs = "ms";
constexpr std::string_view kMsSquared = "ms\u00b2";
constexpr std::string_view kAllValues = "[0:1:2147483647]";

}  // namespace

PlotRanges tachogram_ranges(std::size_t count, AxisRange data, bool sampling, AxisRange boxRR) {
  PlotRanges r;
  // While sampling the axis grows in whole steps, so the plot does not rescale every beat.
  if (sampling)
    count = (count / 500 + 1) * 500;
  else
    r.y = data;
  if (r.y.unset()) r.y = boxRR;
  if (count == 0) count = 500;
  r.x = {0.0, static_cast<double>(count)};
  r.y = widened(r.y);
  return r;
}

std::string tachogram_markup(const PlotColours& colours, const PlotRanges& ranges) {
  std::string out = opening("tplot", kTachogramPlotId);
  out.append("cursor: { readout: 'RR Interval {0} = {1} ").append(kMs).append("' }, ");
  out.append("xdata: [0:1:end], ");
  out.append("ydata: ").append(data_reference(kTachogramDataId, kAllValues)).append(", ");
  out.append("colour: ").append(colour_text(colours.trace, 1.0)).append("}, ");
  out.append("graticule: { colour:").append(colour_text(colours.graticule, 1.0)).append(" }, ");
  out.append("xlabel: 'Interval Number', ");
  out.append("ylabel: 'RR Interval (").append(kMs).append(")', ");
  return out + full_ranges(ranges);
}

PlotRanges spectrum_ranges(double df, std::int32_t firstBin, std::size_t count, AxisRange data, bool sampling,
                           double maxFrequency) {
  PlotRanges r;
  if (!sampling) {
    r.y = data;
    if (df > 0.0)
      r.x = {firstBin * df, (static_cast<double>(count) - 1.0 + firstBin) * df};
  }
  if (sampling || df <= 0.0 || r.x.unset()) r.x = {0.0, maxFrequency};
  if (r.y.unset()) r.y = {0.0, 500.0};
  r.y = raised(r.y);
  return r;
}

std::string spectrum_markup(const PlotColours& colours, const PlotRanges& ranges, const std::array<double, 6>& bands,
                            double df, std::int32_t firstBin, bool draggable) {
  std::string out = opening("tplot", kSpectrumPlotId);
  out.append("cursor: { readout: 'Power spectrum at {0} Hz = {1} ").append(kMsSquared).append("'}, ");
  out.append("vlines: {id: '").append(kSpectrumBandsId).append("', colour: #787878ff, ");
  out.append("fillcolours: [#0000ff20, #00ff0020, #ff000020], showvalues: true, textcolour: 'blue', ");
  out.append("draggable: ").append(draggable ? "true" : "false").append(", ");
  out.append("positions: [[")
      .append(markup_number(bands[0])).append(", ").append(markup_number(bands[1])).append("], [")
      .append(markup_number(bands[2])).append(", ").append(markup_number(bands[3])).append("], [")
      .append(markup_number(bands[4])).append(", ").append(markup_number(bands[5])).append("]]}, ");
  if (df > 0.0)
    out.append("xdata: [").append(markup_number(firstBin * df)).append(":").append(markup_number(df)).append(":end], ");
  else
    out.append("xdata: [0:1:end], ");
  out.append("ydata: ").append(data_reference(kSpectrumDataId, "[0:1:end]")).append(", ");
  out.append("colour: ").append(colour_text(colours.trace, 1.0)).append("}, ");
  out.append("graticule: { colour:").append(colour_text(colours.graticule, 1.0)).append(" }, ");
  out.append("xlabel: 'Frequency (Hz)', ");
  out.append("ylabel: 'Power (").append(kMsSquared).append(")', ");
  return out + full_ranges(ranges);
}

namespace {

struct HistogramNames {
  std::string_view plotId;
  std::string_view dataId;
  std::string_view label;
  double defaultMaxCount;
};

HistogramNames names_of(HistogramKind kind) {
  if (kind == HistogramKind::RR) return {kRRHistogramPlotId, kRRHistogramDataId, "RR Interval", 100.0};
  return {kDeltaRRHistogramPlotId, kDeltaRRHistogramDataId, "Delta RR Interval", 200.0};
}

}  // namespace

PlotRanges histogram_ranges(HistogramKind kind, double binWidth, std::int32_t firstBin, std::size_t count,
                            AxisRange data, bool sampling, AxisRange boxRR) {
  PlotRanges r;
  if (!sampling) {
    r.y = data;
    if (binWidth > 0.0)
      r.x = {firstBin * binWidth * 1000.0, (firstBin + static_cast<double>(count)) * binWidth * 1000.0};
  }
  if (sampling || binWidth <= 0.0 || r.x.unset()) r.x = kind == HistogramKind::RR ? boxRR : AxisRange{-200.0, 200.0};
  if (r.y.unset()) r.y = {0.0, names_of(kind).defaultMaxCount};
  r.y = raised(r.y);
  return r;
}

std::string histogram_markup(HistogramKind kind, const PlotColours& colours, const PlotRanges& ranges,
                             double binWidth, std::int32_t firstBin) {
  const HistogramNames n = names_of(kind);
  const double start = binWidth > 0.0 ? firstBin * binWidth * 1000.0 : 0.0;
  const double step = binWidth > 0.0 ? binWidth * 1000.0 : 1.0;
  std::string out = opening("histogram", n.plotId);
  // Bins are half-open, and the readout writes them so.
  out.append("cursor: { readout: '").append(n.label).append(": bin = [{0}, {1}) ").append(kMs);
  out.append(", count = {2}' }, ");
  out.append("bins: [").append(markup_number(start)).append(":").append(markup_number(step)).append(":end], ");
  out.append("heights: ").append(data_reference(n.dataId, "[0:1:end]")).append(", ");
  out.append("colour: #000000ff, ");
  out.append("fillcolour: ").append(colour_text(colours.trace, 0.8)).append("}, ");
  out.append("graticule: { colour: ").append(colour_text(colours.graticule, 1.0)).append("}, ");
  out.append("xlabel: '").append(n.label).append(" (").append(kMs).append(")', ");
  out.append("ylabel: 'Count', ");
  return out + full_ranges(ranges);
}

PlotRanges poincare_ranges(AxisRange boxRR, AxisRange xData, AxisRange yData, bool sampling) {
  PlotRanges r{boxRR, boxRR};
  if (!sampling) {
    if (!xData.unset()) r.x = xData;
    if (!yData.unset()) r.y = yData;
  }
  return {widened(r.x), widened(r.y)};
}

std::string poincare_markup(const PlotColours& colours, const PlotRanges& ranges,
                            const std::optional<PoincareEllipse>& ellipse) {
  std::string out = opening("scatter", kPoincarePlotId);
  out.append("cursor: { readout: 'RR Interval: {0} ").append(kMs).append(", Next RR Interval: {1} ");
  out.append(kMs).append("' }, ");
  if (ellipse) {
    // a (SD2) lies along the identity line once rotated, b (SD1) across it.
    out.append("ellipse: {x:").append(markup_number(ellipse->meanRR));
    out.append(", y:").append(markup_number(ellipse->meanRR));
    out.append(", a:").append(markup_number(ellipse->sd2));
    out.append(", b:").append(markup_number(ellipse->sd1));
    out.append(", rotate: -45, colour: #000000ff, draw_axes: true}, ");
  }
  out.append("xdata: ").append(data_reference(kPoincareXDataId, kAllValues)).append(", ");
  out.append("ydata: ").append(data_reference(kPoincareYDataId, kAllValues)).append(", ");
  out.append("colour: ").append(colour_text(colours.trace, 1.0)).append("}, ");
  out.append("graticule: { colour:").append(colour_text(colours.graticule, 1.0)).append(", style: 'dashed' }, ");
  out.append("xlabel: 'RR Interval (").append(kMs).append(")', ");
  out.append("ylabel: 'Next RR Interval (").append(kMs).append(")', ");
  return out + full_ranges(ranges);
}

PlotRanges classifier_ranges(const ClassifierBox& box, AxisRange xData, AxisRange yData, bool sampling) {
  PlotRanges r{box.rr, box.ff};
  // The box always stays in view: the data widen it, never replace it.
  auto include = [](AxisRange& axis, AxisRange data) {
    if (data.unset()) return;
    axis.min = std::min(axis.min, data.min);
    axis.max = std::max(axis.max, data.max);
  };
  if (!sampling) {
    include(r.x, xData);
    include(r.y, yData);
  }
  return {widened(r.x), widened(r.y)};
}

std::string classifier_markup(const PlotColours& colours, const PlotRanges& ranges, const ClassifierBox& box,
                              bool draggable) {
  std::string out = opening("scatter", kClassifierPlotId);
  // FF has no unit: the readout keeps the blank before the empty unit.
  out.append("cursor: { readout: 'RR Interval = {0} ").append(kMs).append(", Complexity = {1} ' }, ");
  out.append("box: {id: '").append(kClassifierBoxId).append("', colour: #ff0000ff, showvalues: true, ");
  out.append("draggable: ").append(draggable ? "true" : "false").append(", ");
  out.append("range_x: { min:").append(markup_number(box.rr.min)).append(", max:").append(markup_number(box.rr.max));
  out.append("}, range_y: { min:").append(markup_number(box.ff.min)).append(", max:").append(markup_number(box.ff.max));
  // Inside the box, FF outside only, both outside, RR outside only: the engine colours the
  // points as the classifier will class them.
  out.append("}, plotcolours: [#0050ffff, #ff00aaff, #ff0000ff, #ffaa00ff]}, ");
  out.append("xdata: ").append(data_reference(kClassifierXDataId, kAllValues)).append(", ");
  out.append("ydata: ").append(data_reference(kClassifierYDataId, kAllValues)).append(", ");
  out.append("colour: ").append(colour_text(colours.trace, 1.0)).append("}, ");
  out.append("graticule: { colour:").append(colour_text(colours.graticule, 1.0)).append(" }, ");
  out.append("xlabel: 'RR Interval (").append(kMs).append(")', ");
  out.append("ylabel: 'Complexity', ");
  return out + full_ranges(ranges);
}

}  // namespace HRV
