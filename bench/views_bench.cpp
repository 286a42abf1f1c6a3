// SPDX-License-Identifier: MIT
// What the views cost per update: the plot engine pulling a whole series through the data
// enumerator in blocks of 512 (a day of beats is about 100 000), the range scan behind
// every markup, and filling the report page from a finished analysis.
#include <benchmark/benchmark.h>

#include <cmath>

#include "hrv/views/plot_data.h"
#include "hrv/views/report.h"

namespace {

std::vector<double> rr_series(std::size_t n) {
  std::vector<double> rr(n);
  for (std::size_t i = 0; i < n; ++i) rr[i] = 0.8 + 0.1 * std::sin(static_cast<double>(i) * 0.01);
  return rr;
}

void BM_PullSeriesInBlocks(benchmark::State& state) {
  const std::vector<double> rr = rr_series(static_cast<std::size_t>(state.range(0)));
  auto data = make_com<HRV::SeriesData>(u"$HRV_Tachogram", &rr, 1000.0);
  float block[512];
  for (auto _ : state) {
    ComPtr<IPlotData> cursor;
    data->Clone(cursor.put());
    ULONG fetched = 0;
    while (cursor->Next(512, block, &fetched) == S_OK) benchmark::DoNotOptimize(block);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PullSeriesInBlocks)->Arg(1000)->Arg(100000);

void BM_PointListRange(benchmark::State& state) {
  std::vector<HRV::PlotPoint> points(static_cast<std::size_t>(state.range(0)));
  for (std::size_t i = 0; i < points.size(); ++i) points[i] = {0.8 + 1e-6 * static_cast<double>(i), 1.2, 0, 0, 0};
  auto x = make_com<HRV::PointXData>(u"$HRV_Poincare_X", &points, 1000.0);
  double min = 0, max = 0;
  for (auto _ : state) {
    x->GetRange(&min, &max);
    benchmark::DoNotOptimize(min);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PointListRange)->Arg(100000);

void BM_BuildReport(benchmark::State& state) {
  HRV::AnalysisResults results;
  results.rrSeries = rr_series(1000);
  results.beatCount = 1000;
  results.normalCount = 1000;
  results.rr.sum = 800.0;
  results.rr.corrected = 5.0;
  results.spectrum().totalPower = 0.002;
  results.spectrum().lfPower = 0.0008;
  results.spectrum().hfPower = 0.0004;
  HRV::SettingsFields settings;
  settings.StartTick = settings.StartRecord = settings.EndRecord = 0;
  settings.EndTick = 800000;
  const HRV::ReportPlace place{"Recording", 1, "0.000 s", 1, "800.000 s"};
  for (auto _ : state) benchmark::DoNotOptimize(HRV::build_report(results, settings, place));
}
BENCHMARK(BM_BuildReport);

}  // namespace
