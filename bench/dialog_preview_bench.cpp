// SPDX-License-Identifier: MIT
// How long the detector dialog's preview takes to follow a change, as `serve` shows it: the
// low-pass cut-off typed into the dialog (the controller rebuilds the preview chain) and the
// preview pane's data fetched over a 10-second window (the host evaluates the stages and
// folds the source, the envelope and the beats into the pane's columns). On mitdb/100
// (30 minutes at 360 Hz); the benchmark plays the user inside the dialog's modal wait.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "apps/korvel-hrv/serve/workspace.h"

namespace {

const std::filesystem::path kRecording = std::filesystem::path(HRV_SHARED_DATA_DIR) / "mitdb/100.hea";

std::uint32_t command_of(const nlohmann::json& items, const std::string& path) {
  for (const auto& item : items) {
    if (item.value("path", "") == path) return item["command"].get<std::uint32_t>();
    if (item.contains("items"))
      if (const auto c = command_of(item["items"], path)) return c;
  }
  return 0;
}

void BM_PreviewFollowsTheLowPass(benchmark::State& state) {
  if (!std::filesystem::exists(kRecording)) {
    state.SkipWithError("the shared recording mitdb/100 is absent");
    return;
  }
  korvel_hrv::Workspace workspace(korvel_hrv::AnalyzeOptions{});
  const int document = workspace.open(kRecording);
  const std::uint32_t settings = command_of(workspace.state()["menus"][0]["items"], "HRV|Settings");
  auto& dialogs = workspace.dialogs();
  const auto send = [&](std::size_t level, std::int32_t control, DialogNotificationCode code, std::int32_t value = 0,
                        const char16_t* text = u"") { dialogs.notify(level, {control, code, value, text}); };
  korvel_hrv::ChartRequest window{0, 10, 800, true};
  dialogs.connect({[&](const std::function<bool()>& done) {
                     send(0, 110, DialogSelected, 8);  // Custom
                     send(0, 111, DialogClicked);      // Advanced...
                     workspace.chart(document, window);  // the first preview
                     bool high = false;
                     for (auto _ : state) {
                       send(1, 517, DialogTextChanged, 0, (high = !high) ? u"40" : u"30");
                       benchmark::DoNotOptimize(workspace.chart(document, window));
                     }
                     send(1, 2, DialogClicked);
                     send(0, 2, DialogClicked);
                     return done();
                   },
                   [] {}});
  workspace.run_command(document, settings);
}
BENCHMARK(BM_PreviewFollowsTheLowPass)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
