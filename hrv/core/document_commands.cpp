// SPDX-License-Identifier: MIT
// The document's commands. Each first asks the host whether it samples and does nothing
// when it does.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "hrv/core/document.h"
#include "hrv/dialogs/settings_dialog.h"
#include "hrv/engine/classifier_fit.h"
#include "hrv/host/commands.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace HRV {

namespace {

// Selection value limits for Reselect: the query asks with the widest limits, the new
// selection carries the chart's usual ones.
constexpr double kSelectionLowLimit = -32000.0;
constexpr double kSelectionHighLimit = 32000.0;
// Classify all Beats as Normal widens the box around every beat by this fraction of its
// upper edge.
constexpr double kBoxMargin = 0.05;

}  // namespace

// ---- Commands ----

void Document::Analyze() {
  if (host_sampling()) return;
  if (region_set()) take_analysis_apart();  // the previous analysis and every beat edit go
  if (SetAnalysisRegion(*settings_, RegionSource::Analyse)) InvalidateAnalysis();
  if (!host_sampling()) RunAnalysis(kChangeEverything, ChangeCode::Analysis);
}

void Document::ClearAnalysisCommand() {
  if (!host_sampling()) ClearAnalysis(kChangeEverything, true);
}

void Document::ReselectAnalyzedData() {
  if (host_sampling() || !region_set()) return;
  ComPtr<IChartView> view;
  if (host_->GetChartView(view.put()) != S_OK || !view) return;
  std::uint32_t kind = kSelectionQueryStart;
  TickPosition start, end;
  ChannelId channel;
  double low = -std::numeric_limits<double>::max(), high = std::numeric_limits<double>::max();
  view->GetSelection(&kind, &start, &end, &channel, &low, &high);
  view->SetSelection(kind, settings_->region_start(), settings_->region_end(),
                     {settings_->SourceChannel, settings_->SourceKind}, kSelectionLowLimit, kSelectionHighLimit);
}

void Document::ToggleBeatMarkers() {
  if (host_sampling()) return;
  settings_->ShowMarkers = !settings_->ShowMarkers;
  settings_->Dirty = true;
  InvalidateAnalysis();
  if (const ChannelId fiducial = fiducial_channel(); fiducial.found())
    detector_.SetBeatMarkers(fiducial, settings_->SourceChannel, settings_->ShowMarkers);
}

void Document::ToggleOnlineMode() {
  if (host_sampling()) return;
  settings_->OnlineMode = !settings_->OnlineMode;
  settings_->Dirty = true;
  UpdateOnlineRegistration();
  InvalidateAnalysis();
}

void Document::EditSettings() {
  if (host_sampling()) return;
  ComPtr<Settings> copy = settings_->Clone();
  std::vector<std::u16string> channels;
  std::int32_t count = 0;
  if (SUCCEEDED(documentData_->GetChannelCount(&count)))
    for (std::int32_t i = 0; i < count; ++i) {
      Bstr name;
      documentData_->GetChannelName({i, ChannelId::kDefaultKind}, name.put());
      channels.emplace_back(name.view());
    }
  if (!(editor_ ? editor_->Edit(*copy, channels) : EditInHostDialog(*host_, channels, *copy))) return;

  SetAnalysisRegion(*copy, RegionSource::Analyse);
  const std::uint32_t mask = settings_->CompareForRecompute(copy.get());
  // Beats and edits that no longer fit go while the old settings still describe them.
  if (mask & kChangeBeatsMask) ClearAnalysis(mask, false);
  settings_->Assign(copy.get());
  if (mask == 0) return;
  if (analysisManager_ && analysisCookie_ != -1) analysisManager_->MarkChanged(analysisCookie_);
  RegisterPersistObjects();
  settings_->Dirty = true;
  if (!host_sampling()) RunAnalysis(mask, ChangeCode::Analysis);
}

void Document::AddBeatMarker() {
  if (host_sampling()) return;
  const TickPosition position = selection().start;
  if (!position.is_set()) return;
  notify_about_to_change(ChangeCode::BeatEdit);
  UserEventData& edits = data_->user_events();
  edits.Remove(&position, RemovedBeats);  // a beat the user had deleted comes back ...
  edits.Add(&position, AddedBeats);       // ... and is listed as the user's own
  refresh_beats();
  notify_changed(ChangeCode::BeatEdit);
  InvalidateEdits();
}

void Document::DeleteBeatMarker() {
  if (host_sampling()) return;
  notify_about_to_change(ChangeCode::BeatEdit);
  const Selection s = selection();
  const ChannelId fiducial = fiducial_channel();
  UserEventData& edits = data_->user_events();
  if (s.start.is_set() && s.end.is_set() && fiducial.found()) {
    // Every beat inside the selection goes, record by record: from the start tick in the
    // first record, to the end tick in the last, whole records between.
    std::vector<FiducialEvent> beats(64);
    std::vector<std::int32_t> records(beats.size());
    for (std::int32_t record = s.start.record; record <= s.end.record; ++record) {
      const TickPosition from = record == s.start.record ? s.start : TickPosition{0, record};
      TickPosition to = s.end;
      if (record != s.end.record) {
        std::int32_t length = 0;
        if (FAILED(documentData_->GetRecordLength(record, &length))) continue;
        to = {length, record};
      }
      ComPtr<IEventReader> reader;
      if (FAILED(documentData_->OpenEventReader(fiducial, from, to, reader.put())) || !reader) continue;
      ULONG size = 0;
      if (FAILED(reader->GetEventSize(&size)) || size != sizeof(FiducialEvent)) continue;
      ULONG count = 0;
      while (reader->Read(beats.data(), static_cast<ULONG>(beats.size()), records.data(), &count) == S_OK && count > 0)
        for (ULONG i = 0; i < std::min<ULONG>(count, static_cast<ULONG>(beats.size())); ++i) {
          const TickPosition at{beats[i].tick, records[i]};
          edits.Remove(&at, AddedBeats);
          edits.Add(&at, RemovedBeats);
        }
    }
  }
  refresh_beats();
  notify_changed(ChangeCode::BeatEdit);
  InvalidateEdits();
}

void Document::ClassifyAllBeatsAsNormal() {
  if (host_sampling() || !extents_known()) return;
  const double dRR = kBoxMargin * results_.maxRR;
  const double dFF = kBoxMargin * results_.maxFF;
  set_classifier_box(std::max(results_.minRR - dRR, 0.0), results_.maxRR + dRR, std::max(results_.minFF - dFF, 0.0),
                     results_.maxFF + dFF);
}

void Document::FitClassifierBoxToBeats() {
  if (host_sampling()) return;
  if (const auto box = FitClassifierBox(results_.classifierPoints))
    set_classifier_box(box->minRR, box->maxRR, box->minFF, box->maxFF);
}

void Document::set_classifier_box(double minRR, double maxRR, double minFF, double maxFF) {
  notify_about_to_change(ChangeCode::Analysis);
  settings_->MinRR = minRR;
  settings_->MaxRR = maxRR;
  settings_->MinFF = minFF;
  settings_->MaxFF = maxFF;
  settings_->Dirty = true;  // the box is a setting the document file keeps
  if (detector_.Build(kChangeFiducial, settings_.get())) detector_.ShowBeatMarkers(settings_.get());
  UpdateChannelCalcs();
  recalculate(kChangeFiducial);
  notify_changed(ChangeCode::Analysis);
}

void Document::refresh_beats() {
  if (detector_.Build(kChangeFiducial, settings_.get())) detector_.ShowBeatMarkers(settings_.get());
  recalculate(kChangeFiducial);
}

}  // namespace HRV
