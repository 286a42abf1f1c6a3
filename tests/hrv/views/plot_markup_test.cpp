// SPDX-License-Identifier: MIT
#include "hrv/views/plot_markup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "hrv/views/markup_text.h"

namespace {

using HRV::AxisRange;
using HRV::PlotRanges;

const HRV::PlotColours kRedOnGrey{0xFF0000, 0xC0C0C0};
const AxisRange kDefaultBoxRR{800.0, 1200.0};

// Ranges are sums and products of short decimals; 1e-9 is far below the 6 digits the
// markup writes and far above the rounding of those few operations.
constexpr double kTolerance = 1e-9;

// ---- Numbers, colours, escaping and commands ----

TEST(MarkupText, NumbersColoursPrefixesAndEscapes) {
  for (auto [value, text] : {std::pair{0.001, "0.001"}, {1234.0, "1234"}, {-200.0, "-200"}, {1.0 / 3.0, "0.333333"},
                             {1234567.0, "1.23457e+06"}})
    EXPECT_EQ(HRV::markup_number(value), text);
  EXPECT_EQ(HRV::colour_text(0xFF0000, 1.0), "#ff0000ff");
  EXPECT_EQ(HRV::colour_text(0xFF0000, 0.8), "#ff0000cc");  // 204 = trunc(0.8 × 255)
  EXPECT_EQ(HRV::colour_text(0x0A0B0C, 0.0), "#0a0b0c00");
  // A prefix's text and the factor that shows a value in it: the reciprocal of its value.
  for (auto [prefix, text, factor] : {std::tuple{7, "m", 1000.0}, {8, "", 1.0}, {6, "\u00b5", 1e6}}) {
    EXPECT_EQ(HRV::prefix_text(prefix), text) << prefix;
    EXPECT_DOUBLE_EQ(HRV::prefix_display_factor(prefix), factor) << prefix;
  }
  EXPECT_DOUBLE_EQ(HRV::prefix_display_factor(9), 1e-3);
  EXPECT_EQ(HRV::escape_markup("xlabel: 'RR'"), "xlabel: \\'RR\\'");
  EXPECT_EQ(HRV::escape_markup("a\r\nb"), "a\\n\\\r\nb");
  // A lone CR or LF is not a line end of the markup and stays as it is.
  EXPECT_EQ(HRV::escape_markup("a\rb\nc"), "a\rb\nc");
}

TEST(MarkupText, CommandsNameThePlotAndCarryTheEscapedMarkup) {
  EXPECT_EQ(HRV::set_markup_command("hrv_tachogram_view", "id: 'x'"),
            "etch.get_plot('hrv_tachogram_view').set_markup('id: \\'x\\'');");
  EXPECT_EQ(HRV::data_changed_command("hrv_spectrum_view", "hrv_spectrum_view", 0),
            "etch.get_plot('hrv_spectrum_view').plotter_data_changed('hrv_spectrum_view', 0, 2147483647);");
  EXPECT_EQ(HRV::data_changed_command("p", "p", 2147483647), "etch.get_plot('p').plotter_data_changed('p', 2147483647, 2147483647);");
}

// ---- Tachogram ----

TEST(TachogramMarkup, IdleAnalysisGivesTheWorkedExample) {
  const PlotRanges ranges = HRV::tachogram_ranges(1234, {750.0, 850.0}, false, kDefaultBoxRR);
  EXPECT_EQ(HRV::tachogram_markup(kRedOnGrey, ranges),
            "topmargin: 40, rightmargin: 40, tplot: {id: 'hrv_tachogram_view', cursor: { readout: 'RR Interval {0} = "
            "{1} ms' }, xdata: [0:1:end], ydata: '$HRV_Tachogram' [0:1:2147483647], colour: #ff0000ff}, graticule: { "
            "colour:#c0c0c0ff }, xlabel: 'Interval Number', ylabel: 'RR Interval (ms)', fullrange_yscalemin: "
            "745,fullrange_yscalemax: 855,fullrange_xscalemin: 0,fullrange_xscalemax: 1234,");
}

// ---- Spectrum ----

TEST(SpectrumMarkup, IdleSpectrumGivesTheWorkedExample) {
  const PlotRanges ranges = HRV::spectrum_ranges(0.001, 1, 500, {0.0, 2000.0}, false, 0.5);
  EXPECT_EQ(HRV::spectrum_markup(kRedOnGrey, ranges, {0, 0.04, 0.04, 0.15, 0.15, 0.45}, 0.001, 1, true),
            "topmargin: 40, rightmargin: 40, tplot: {id: 'hrv_spectrum_view', cursor: { readout: 'Power spectrum at {0} "
            "Hz = {1} ms\u00b2'}, vlines: {id: 'spectrum_freq_bands', colour: #787878ff, fillcolours: [#0000ff20, "
            "#00ff0020, #ff000020], showvalues: true, textcolour: 'blue', draggable: true, positions: [[0, 0.04], [0.04, "
            "0.15], [0.15, 0.45]]}, xdata: [0.001:0.001:end], ydata: '$HRV_Spectrum' [0:1:end], colour: #ff0000ff}, "
            "graticule: { colour:#c0c0c0ff }, xlabel: 'Frequency (Hz)', ylabel: 'Power (ms\u00b2)', fullrange_yscalemin: "
            "0,fullrange_yscalemax: 2100,fullrange_xscalemin: 0.001,fullrange_xscalemax: 0.5,");
}

TEST(SpectrumMarkup, BandsAreFixedWhileSamplingAndAGridlessSpectrumCountsBins) {
  const std::string markup = HRV::spectrum_markup(kRedOnGrey, {}, {0, 0.04, 0.04, 0.15, 0.15, 0.45}, 0.0, 1, false);
  EXPECT_NE(markup.find("draggable: false, "), std::string::npos) << markup;
  EXPECT_NE(markup.find("xdata: [0:1:end], "), std::string::npos) << markup;
}

// ---- Histograms ----

TEST(HistogramMarkup, IdleRRHistogramGivesTheWorkedExample) {
  const PlotRanges ranges = HRV::histogram_ranges(HRV::HistogramKind::RR, 0.01, 70, 25, {0.0, 40.0}, false, kDefaultBoxRR);
  EXPECT_EQ(HRV::histogram_markup(HRV::HistogramKind::RR, kRedOnGrey, ranges, 0.01, 70),
            "topmargin: 40, rightmargin: 40, histogram: {id: 'hrv_rr_histogram_view', cursor: { readout: 'RR Interval: "
            "bin = [{0}, {1}) ms, count = {2}' }, bins: [700:10:end], heights: '$HRV_RRHistogram' [0:1:end], colour: "
            "#000000ff, fillcolour: #ff0000cc}, graticule: { colour: #c0c0c0ff}, xlabel: 'RR Interval (ms)', ylabel: "
            "'Count', fullrange_yscalemin: 0,fullrange_yscalemax: 42,fullrange_xscalemin: 700,fullrange_xscalemax: 950,");
}

TEST(HistogramMarkup, DeltaHistogramWithNegativeBinsStartsItsGridBelowZero) {
  const std::string markup = HRV::histogram_markup(HRV::HistogramKind::DeltaRR, kRedOnGrey, {}, 0.01, -5);
  EXPECT_NE(markup.find("histogram: {id: 'hrv_delta_rr_histogram_view', cursor: { readout: 'Delta RR Interval: bin = "
                        "[{0}, {1}) ms, count = {2}' }, bins: [-50:10:end], heights: '$HRV_DeltaRRHistogram' [0:1:end], "),
            std::string::npos)
      << markup;
  EXPECT_NE(markup.find("xlabel: 'Delta RR Interval (ms)', "), std::string::npos) << markup;
  EXPECT_NE(HRV::histogram_markup(HRV::HistogramKind::RR, kRedOnGrey, {}, 0.0, 0).find("bins: [0:1:end], "),
            std::string::npos);
}

// ---- Poincaré ----

TEST(PoincareMarkup, EllipseCarriesMeanAndBothAxesInMilliseconds) {
  const PlotRanges ranges = HRV::poincare_ranges(kDefaultBoxRR, {700.0, 900.0}, {700.0, 900.0}, false);
  EXPECT_EQ(HRV::poincare_markup(kRedOnGrey, ranges, HRV::PoincareEllipse{0.8 * 1000, 0.02 * 1000, 0.06 * 1000}),
            "topmargin: 40, rightmargin: 40, scatter: {id: 'hrv_poincare_view', cursor: { readout: 'RR Interval: {0} ms, "
            "Next RR Interval: {1} ms' }, ellipse: {x:800, y:800, a:60, b:20, rotate: -45, colour: #000000ff, draw_axes: "
            "true}, xdata: '$HRV_Poincare_X' [0:1:2147483647], ydata: '$HRV_Poincare_Y' [0:1:2147483647], colour: "
            "#ff0000ff}, graticule: { colour:#c0c0c0ff, style: 'dashed' }, xlabel: 'RR Interval (ms)', ylabel: 'Next RR "
            "Interval (ms)', fullrange_yscalemin: 690,fullrange_yscalemax: 910,fullrange_xscalemin: "
            "690,fullrange_xscalemax: 910,");
  EXPECT_EQ(HRV::poincare_markup(kRedOnGrey, ranges, std::nullopt).find("ellipse"), std::string::npos);
}

// ---- Classifier ----

TEST(ClassifierMarkup, BoxEdgesInMillisecondsAndFFWithDragFollowingSampling) {
  const HRV::ClassifierBox box{{800.0, 1200.0}, {1.0, 1.5}};
  const PlotRanges ranges = HRV::classifier_ranges(box, {}, {}, false);
  EXPECT_EQ(HRV::classifier_markup(kRedOnGrey, ranges, box, true),
            "topmargin: 40, rightmargin: 40, scatter: {id: 'hrv_classifier_view', cursor: { readout: 'RR Interval = {0} "
            "ms, Complexity = {1} ' }, box: {id: 'classifier_box', colour: #ff0000ff, showvalues: true, draggable: true, "
            "range_x: { min:800, max:1200}, range_y: { min:1, max:1.5}, plotcolours: [#0050ffff, #ff00aaff, #ff0000ff, "
            "#ffaa00ff]}, xdata: '$HRV_Classifier_X' [0:1:2147483647], ydata: '$HRV_Classifier_Y' [0:1:2147483647], "
            "colour: #ff0000ff}, graticule: { colour:#c0c0c0ff }, xlabel: 'RR Interval (ms)', ylabel: 'Complexity', "
            "fullrange_yscalemin: 0.975,fullrange_yscalemax: 1.525,fullrange_xscalemin: 780,fullrange_xscalemax: 1220,");
  EXPECT_NE(HRV::classifier_markup(kRedOnGrey, ranges, box, false).find("draggable: false, "), std::string::npos);
}

// ---- Ranges ----

// The data are not read while sampling: the axes fall back to the classifier box's limits,
// widened by 5 %, or grow in steps. A NaN bound is not checked.
TEST(PlotRanges, FollowTheDataTheBoxOrTheGridAndStayPutWhileSampling) {
  const double any = std::nan("");
  const HRV::ClassifierBox box{{800.0, 1200.0}, {1.0, 1.5}};
  const HRV::HistogramKind rr = HRV::HistogramKind::RR, delta = HRV::HistogramKind::DeltaRR;
  const std::tuple<const char*, PlotRanges, double, double, double, double> cases[] = {
      {"tachogram while sampling", HRV::tachogram_ranges(1234, {750.0, 850.0}, true, kDefaultBoxRR), 0, 1500, 780, 1220},
      {"tachogram of 1000 while sampling", HRV::tachogram_ranges(1000, {}, true, kDefaultBoxRR), 0, 1500, any, any},
      {"tachogram", HRV::tachogram_ranges(1234, {750.0, 850.0}, false, kDefaultBoxRR), 0, 1234, any, any},
      {"empty tachogram", HRV::tachogram_ranges(0, {}, false, kDefaultBoxRR), 0, 500, 780, 1220},
      {"flat tachogram", HRV::tachogram_ranges(10, {900.0, 900.0}, false, kDefaultBoxRR), any, any, 900, 900},
      {"no spectrum", HRV::spectrum_ranges(0.0, 1, 0, {}, false, 0.5), 0, 0.5, 0, 525},
      {"spectrum while sampling", HRV::spectrum_ranges(0.001, 1, 500, {0.0, 2000.0}, true, 0.4), 0, 0.4, 0, 525},
      {"spectrum from 100", HRV::spectrum_ranges(0.001, 1, 500, {100.0, 300.0}, false, 0.5), any, any, 100, 310},
      {"no RR histogram", HRV::histogram_ranges(rr, 0.0, 0, 0, {}, false, kDefaultBoxRR), 800, 1200, 0, 105},
      {"no delta histogram", HRV::histogram_ranges(delta, 0.0, 0, 0, {}, false, kDefaultBoxRR), -200, 200, 0, 210},
      {"RR histogram while sampling", HRV::histogram_ranges(rr, 0.01, 70, 25, {0.0, 40.0}, true, kDefaultBoxRR), 800, 1200, any, any},
      {"delta histogram", HRV::histogram_ranges(delta, 0.01, -5, 10, {0.0, 4.0}, false, kDefaultBoxRR), -50, 50, any, any},
      {"Poincare", HRV::poincare_ranges(kDefaultBoxRR, {600.0, 1000.0}, {}, false), 580, 1020, 780, 1220},
      {"Poincare while sampling", HRV::poincare_ranges(kDefaultBoxRR, {600.0, 1000.0}, {600.0, 1000.0}, true), 780, 1220, 780, 1220},
      {"classifier", HRV::classifier_ranges(box, {500.0, 1000.0}, {1.2, 2.5}, false), 465, 1235, 0.925, 2.575},
      {"classifier while sampling", HRV::classifier_ranges(box, {500.0, 1000.0}, {1.2, 2.5}, true), 780, 1220, any, any},
  };
  for (const auto& [what, r, xmin, xmax, ymin, ymax] : cases) {
    SCOPED_TRACE(what);
    for (auto [got, want] : {std::pair{r.x.min, xmin}, {r.x.max, xmax}, {r.y.min, ymin}, {r.y.max, ymax}})
      if (!std::isnan(want)) {
        EXPECT_NEAR(got, want, kTolerance);
      }
  }
}

}  // namespace
