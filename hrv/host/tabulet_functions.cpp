// SPDX-License-Identifier: MIT
#include "hrv/host/tabulet_functions.h"

#include <iterator>

#include "hrv/core/document.h"
#include "hrv/engine/statistics.h"
#include "sdk/cpp/hresult_error.h"

namespace HRV {
namespace {

// Seconds shown in milliseconds and s² in ms²: the value is scaled, the unit keeps its
// base and gets the prefix of 10^-3.
constexpr int kMilli = 1000;
constexpr double kMilliSquared = 1000.0 * 1000.0;

// Where the host's time axis puts `position` on the document's source channel, s. An open
// end (analysis still growing) is where the recorded data end now.
double host_time(const Document& document, TickPosition position) {
  IDocumentData* data = document.document_data();
  if (position.record == TickPosition::kOpenEndRecord || position.tick == TickPosition::kUnset)
    check_hresult(data->GetEndOfData(&position), "end of data");
  const Settings& s = document.settings();
  double start = 0.0, interval = 0.0;
  check_hresult(data->GetRecordStartTime(position.record, &start), "record start time");
  check_hresult(data->GetSampleInterval(position.record, ChannelId{s.SourceChannel, s.SourceKind}.for_data(), &interval), "sample interval");
  return start + position.tick * interval;
}

// Turns a statistic into a Tabulet value function, scaled to its display unit (an integer
// factor: floating-point template arguments are not yet accepted by every compiler).
template <double (*Statistic)(const BeatStatistics&) noexcept, int Scale = 1>
TabuletValue of_results(const TabuletInputs& in) {
  return Statistic(in.results) * Scale;
}
template <double (*Statistic)(const PowerSpectrum&) noexcept>
TabuletValue of_spectrum(const TabuletInputs& in) {
  return Statistic(in.results.spectrum());
}
template <std::uint32_t (*Count)(const BeatStatistics&) noexcept>
TabuletValue count_of(const TabuletInputs& in) {
  return static_cast<std::int32_t>(Count(in.results));
}
template <double PowerSpectrum::*Band>
TabuletValue power_of(const TabuletInputs& in) {
  return in.results.spectrum().*Band * kMilliSquared;
}

TabuletValue analysis_start(const TabuletInputs& in) { return host_time(in.document, in.document.settings().region_start()); }
TabuletValue analysis_end(const TabuletInputs& in) { return host_time(in.document, in.document.settings().region_end()); }

constexpr std::string_view kGeneral = "General";
constexpr std::string_view kDecimals = "0.0###";  // at least one decimal, at most four

constexpr TabuletFunctionInfo kFunctions[] = {
    {"AnalysisStart", 85, "", 0, kGeneral, analysis_start},
    {"AnalysisEnd", 89, "", 0, "HH:mm:ss.00", analysis_end},
    {"TotalCount", 93, "", 0, kGeneral, count_of<TotalBeats>},
    {"NormalCount", 97, "", 0, kGeneral, count_of<NormalBeats>},
    {"EctopicCount", 101, "", 0, kGeneral, count_of<EctopicBeats>},
    {"MeanRR", 105, "s", -3, kDecimals, of_results<MeanRR, kMilli>},
    {"MedianRR", 109, "s", -3, kDecimals, of_results<MedianRR, kMilli>},
    {"SDRR", 113, "s", -3, kDecimals, of_results<SDRR, kMilli>},
    {"CVRR", 117, "", 0, kDecimals, of_results<CVRR>},  // a ratio, not percent
    {"MeanRate", 121, "BPM", 0, kDecimals, of_results<MeanRate>},
    {"SDRate", 125, "BPM", 0, kDecimals, of_results<SDRate>},
    {"SDSD", 129, "s", -3, kDecimals, of_results<SDSD, kMilli>},
    {"RMSSD", 133, "s", -3, kDecimals, of_results<RMSSD, kMilli>},
    {"pNNx", 137, "%", 0, kDecimals, of_results<PRRx>},
    {"SD1", 145, "s", -3, kDecimals, of_results<SD1, kMilli>},
    {"SD2", 149, "s", -3, kDecimals, of_results<SD2, kMilli>},
    {"SDARR", 141, "s", -3, kDecimals, of_results<SDARR, kMilli>},
    {"TotalPower", 153, "s\u00b2", -3, kDecimals, power_of<&PowerSpectrum::totalPower>},
    {"VLFPower", 157, "s\u00b2", -3, kDecimals, power_of<&PowerSpectrum::vlfPower>},
    {"VLFPowerPercent", 161, "", 0, kDecimals, of_spectrum<VLFPercent>},
    {"LFPower", 165, "s\u00b2", -3, kDecimals, power_of<&PowerSpectrum::lfPower>},
    {"LFPowerPercent", 169, "", 0, kDecimals, of_spectrum<LFPercent>},
    {"LFPowerNU", 173, "", 0, kDecimals, of_spectrum<LFnu>},
    {"HFPower", 177, "s\u00b2", -3, kDecimals, power_of<&PowerSpectrum::hfPower>},
    {"HFPowerPercent", 181, "", 0, kDecimals, of_spectrum<HFPercent>},
    {"HFPowerNU", 185, "", 0, kDecimals, of_spectrum<HFnu>},
    {"LFHFRatio", 189, "", 0, kDecimals, of_spectrum<LFHFRatio>},
};
static_assert(std::size(kFunctions) == 27);

}  // namespace

std::span<const TabuletFunctionInfo> tabulet_functions() noexcept { return kFunctions; }

const std::vector<ComPtr<IUnknown>>& tabulet_function_classes() {
  static const std::vector<ComPtr<IUnknown>> classes = [] {
    std::vector<ComPtr<IUnknown>> all;
    for (std::size_t position = 0; position < std::size(kFunctions); ++position)
      all.push_back(ComPtr<IUnknown>::retain(
          make_com<TabuletFunctionClass>(kFunctions[position], static_cast<std::int32_t>(position))->identity()));
    return all;
  }();
  return classes;
}

}  // namespace HRV
