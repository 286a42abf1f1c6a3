// SPDX-License-Identifier: MIT
#include "hrv/core/analysis_export.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include <nlohmann/json.hpp>

#include "hrv/core/document.h"
#include "hrv/core/settings_properties.h"
#include "hrv/engine/statistics.h"
#include "sdk/cpp/utf.h"

namespace HRV {

namespace {

using nlohmann::ordered_json;

// NaN and infinities have no JSON form; scripts read them as null.
ordered_json number(double x) { return std::isfinite(x) ? ordered_json(x) : ordered_json(nullptr); }

// Seconds of a position on the document's time axis, or null when the host cannot place it.
ordered_json seconds_of(IDocumentData* data, const Document& document, TickPosition p) {
  if (!data || !p.is_set() || p.record >= TickPosition::kOpenEndRecord) return nullptr;
  double start = 0, dt = 0;
  const ChannelId source = ChannelId{document.settings().SourceChannel, document.settings().SourceKind}.for_data();
  if (data->GetRecordStartTime(p.record, &start) != S_OK || data->GetSampleInterval(p.record, source, &dt) != S_OK)
    return nullptr;
  return number(start + p.tick * dt);
}

ordered_json position(IDocumentData* data, const Document& document, TickPosition p) {
  ordered_json o;
  o["record"] = p.record;
  o["tick"] = p.tick;
  o["seconds"] = seconds_of(data, document, p);
  return o;
}

// Visits every beat the fiducial channel yields in the region, with its record.
template <class Visit>
void for_each_beat(const Document& document, Visit visit) {
  ChannelId fiducial;
  IDocumentData* data = document.document_data();
  if (!data || !document.region_set() || !document.detector().FiducialChannel(&fiducial)) return;
  ComPtr<IEventReader> reader;
  if (data->OpenEventReader(fiducial, document.settings().region_start(), document.settings().region_end(),
                            reader.put()) != S_OK || !reader)
    return;
  std::vector<FiducialEvent> batch(1024);
  std::vector<std::int32_t> records(batch.size());
  ULONG count = 0;
  while (reader->Read(batch.data(), static_cast<ULONG>(batch.size()), records.data(), &count) == S_OK && count > 0)
    for (ULONG i = 0; i < count; ++i) visit(batch[i], records[i]);
}

// Written in place: a row of beats.csv is mostly numbers, and a day holds 100,000 rows.
void append_integer(std::string& out, std::int64_t x) {
  char buffer[24];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, x);
  out.append(buffer, end);
}

// Shortest text that reads back to the same double; empty for NaN and infinities.
void append_number(std::string& out, double x) {
  if (!std::isfinite(x)) return;
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, x);
  out.append(buffer, end);
}

}  // namespace

std::string results_json(const Document& document) {
  const Settings& s = document.settings();
  const AnalysisResults& r = document.results();
  IDocumentData* data = document.document_data();

  ordered_json out;
  Bstr name;
  if (data) data->GetDocumentName(name.put());
  out["recording"] = name.utf8();
  out["signal"] = s.SourceChannel;

  ordered_json settings;
  for (const SettingsProperty& p : settings_properties())
    std::visit([&](auto member) { settings[utf16_to_utf8(p.name)] = s.*member; }, p.field);
  out["settings"] = settings;

  ordered_json region;
  region["start"] = position(data, document, s.region_start());
  region["end"] = position(data, document, s.region_end());
  out["region"] = region;

  // Ectopic beats are counted as beats.csv classes them, analysed or not; `excluded` is
  // every detected beat the statistics leave out (ectopic with exclusion on, the beat after
  // one, beats without an interval, a difference or a complexity).
  std::size_t detected = 0, ectopic = 0, outsideRR = 0, outsideFF = 0;
  for_each_beat(document, [&](const FiducialEvent& e, std::int32_t) {
    ++detected;
    if (display_class(e) != BeatDisplayClass::Ectopic) return;
    ++ectopic;
    outsideRR += (e.flags & ClassOutsideRR) != 0;
    outsideFF += (e.flags & ClassOutsideFF) != 0;
  });
  const std::size_t total = TotalBeats(r);
  out["beats"] = {{"total", total},          {"normal", NormalBeats(r)},   {"ectopic", ectopic},
                  {"detected", detected},    {"outside_rr", outsideRR},    {"outside_ff", outsideFF},
                  {"excluded", detected > total ? detected - total : 0}};

  // Undefined statistics are null, with the reason under their key in "undefined".
  ordered_json undefined = ordered_json::object();
  auto statistic = [&](const char* key, double x, Needs needs) {
    if (std::isfinite(x)) return ordered_json(x);
    undefined[key] = WhyUndefined(r, needs);
    return ordered_json(nullptr);
  };
  out["time_domain"] = {{"mean_rr_s", statistic("mean_rr_s", MeanRR(r), Needs::OneBeat)},
                        {"median_rr_s", statistic("median_rr_s", MedianRR(r), Needs::OneBeat)},
                        {"sdrr_s", statistic("sdrr_s", SDRR(r), Needs::TwoBeats)},
                        {"cvrr", statistic("cvrr", CVRR(r), Needs::TwoBeats)},
                        {"mean_rate_bpm", statistic("mean_rate_bpm", MeanRate(r), Needs::OneBeat)},
                        {"sd_rate_bpm", statistic("sd_rate_bpm", SDRate(r), Needs::TwoBeats)},
                        {"sdsd_s", statistic("sdsd_s", SDSD(r), Needs::TwoBeats)},
                        {"rmssd_s", statistic("rmssd_s", RMSSD(r), Needs::TwoBeats)},
                        {"prr_threshold_s", number(r.threshold)},
                        {"prrx_pct", statistic("prrx_pct", PRRx(r), Needs::TwoBeats)},
                        {"sdarr_s", statistic("sdarr_s", SDARR(r), Needs::TwoSdarrGroups)}};
  out["nonlinear"] = {{"sd1_s", statistic("sd1_s", SD1(r), Needs::TwoBeats)},
                      {"sd2_s", statistic("sd2_s", SD2(r), Needs::SD2Variance)}};

  const PowerSpectrum& p = r.spectrum();
  auto power = [&](const char* key, double x) { return statistic(key, HasSpectrum(r) ? x : kUndefinedStatistic, Needs::Spectrum); };
  auto share = [&](const char* key, double x) {
    return statistic(key, HasSpectrum(r) ? x : kUndefinedStatistic, Needs::PowerDenominator);
  };
  out["frequency"] = {{"total_power_s2", power("total_power_s2", p.totalPower)}, {"vlf_power_s2", power("vlf_power_s2", p.vlfPower)},
                      {"lf_power_s2", power("lf_power_s2", p.lfPower)},          {"hf_power_s2", power("hf_power_s2", p.hfPower)},
                      {"vlf_pct", share("vlf_pct", VLFPercent(p))},              {"lf_pct", share("lf_pct", LFPercent(p))},
                      {"hf_pct", share("hf_pct", HFPercent(p))},                 {"lf_nu", share("lf_nu", LFnu(p))},
                      {"hf_nu", share("hf_nu", HFnu(p))},                        {"lf_hf", share("lf_hf", LFHFRatio(p))}};
  out["undefined"] = undefined;
  out["warnings"] = Warnings(r);
  ordered_json bins = ordered_json::array();
  for (double x : p.power) bins.push_back(number(x));
  out["spectrum"] = {{"df_hz", number(p.df)}, {"first_bin", p.firstBin}, {"power_s2", bins}};
  return out.dump(2) + "\n";
}

void beats_csv(const Document& document, const std::function<bool(std::string_view)>& write) {
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  bool writing = true;
  std::string out;
  out.reserve(kChunk + 512);
  out = "beat_number,record,tick,time_s,rr_s,delta_rr_s,rate_hz,ff,activity,mobility,peak_value,peak_index,flags,class\n";
  IDocumentData* data = document.document_data();
  const ChannelId source = ChannelId{document.settings().SourceChannel, document.settings().SourceKind}.for_data();
  std::int32_t cachedRecord = -1;
  double start = 0, dt = 0;
  for_each_beat(document, [&](const FiducialEvent& e, std::int32_t record) {
    if (!writing) return;
    if (record != cachedRecord) {
      data->GetRecordStartTime(record, &start);
      data->GetSampleInterval(record, source, &dt);
      cachedRecord = record;
    }
    append_integer(out, e.beatNumber);
    out += ',';
    append_integer(out, record);
    out += ',';
    append_integer(out, e.tick);
    out += ',';
    append_number(out, start + (e.tick + static_cast<double>(e.fraction)) * dt);
    for (double x : {e.rr, e.deltaRR, e.rate, e.ff, e.complexityA, e.complexityB, e.peakValue}) {
      out += ',';
      append_number(out, x);
    }
    out += ',';
    append_integer(out, e.peakIndex);
    out += ",0x";
    for (int shift = 28; shift >= 0; shift -= 4) out += "0123456789ABCDEF"[(e.flags >> shift) & 0xFu];
    out += ',';
    out += to_string(display_class(e));
    out += '\n';
    if (out.size() >= kChunk) {
      writing = write(out);
      out.clear();
    }
  });
  if (writing) write(out);
}

}  // namespace HRV
