// SPDX-License-Identifier: MIT
// HRV::Document: the extension's analysis of one host document. It owns the settings, the
// persisted beat edits, the detector chain and the results; decides when an analysis
// starts, which region it covers, when it is thrown away and how it grows while the host
// samples; tells its observers before and after every change; and carries out the menu
// commands and macro commands.
//
// An analysis is the pair (analysis region, detector chain): the region lives in the
// settings, the chain as computed channels in the host document, and the beats are events
// that the host enumerates on demand.
//
// Every operation runs on the host's user-interface thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hrv/core/analysis_results.h"
#include "hrv/core/stretch_results.h"
#include "hrv/core/document_command_target.h"
#include "hrv/core/document_message_sink.h"
#include "hrv/core/document_sampling_sink.h"
#include "hrv/core/hrv_data.h"
#include "sdk/hrv/documents.h"
#include "hrv/core/settings.h"
#include "hrv/detect/detector.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/analysis_export.h"
#include "sdk/host/host_document.h"
#include "sdk/host/sampling.h"

namespace HRV {

// What changed, as observers are told.
enum class ChangeCode : std::uint32_t {
  OnlineRestart = 0,    // the analysis restarted as sampling started
  OnlineData = 1,       // new data folded in while sampling
  OnlineEnded = 2,      // the incremental analysis ended as sampling stops
  SamplingStopped = 3,  // sampling stopped and the region was closed
  Analysis = 4,         // full analysis or re-analysis, or all beats classified as normal
  Cleared = 5,          // analysis cleared
  BeatEdit = 6,         // a beat marker added or removed
};

// Change masks. The low 24 bits select results to recompute (RecalcMask); bits 24 to 26 the
// detector groups to rebuild (DetectorGroups); any higher bit also means the beats must be
// collected again and the user's edits no longer fit; all bits also clear the region.
inline constexpr std::uint32_t kChangeEverything = 0xFFFFFFFFu;
inline constexpr std::uint32_t kChangeDetection = 0x06FFFFFFu;  // detection and fiducial groups
inline constexpr std::uint32_t kChangeFiducial = 0x04FFFFFFu;   // classification and beat edits
inline constexpr std::uint32_t kChangeRebuildOnly = 0xFF000000u;  // chain only, at the start of sampling
inline constexpr std::uint32_t kChangeBeatsMask = 0xFF000000u;  // bits that invalidate beats and edits

// Where SetAnalysisRegion takes the region from.
enum class RegionSource : std::int32_t {
  SamplingStart = 0,  // from where sampling starts to the open end
  Close = 2,          // keep the start, end at the end of the recorded data
  Analyse = 4,        // the chart selection or the whole channel, by AnalyseSelection
};

// Told before and after every change of the analysis (views). Bracketing is by code: every
// Changed follows an AboutToChange with the same code, but an AboutToChange may stand alone
// (Analyze restarting, a batch of online data without new beats).
class DocumentObserver {
 public:
  virtual void AboutToChange(ChangeCode code) = 0;
  virtual void Changed(ChangeCode code) = 0;

 protected:
  ~DocumentObserver() = default;
};

// Lets the user edit a copy of the settings instead of the settings dialog the host shows
// (EditInHostDialog, which a document uses while none is set): tests script one.
class SettingsEditor {
 public:
  // Shows `copy`, offering `channelNames` as the data sources; true when the user accepted.
  virtual bool Edit(Settings& copy, const std::vector<std::u16string>& channelNames) = 0;

 protected:
  ~SettingsEditor() = default;
};

// The COM object answers IHRVDocument, IExtensionDocument, IAnalysisClient and
// IAnalysisExport itself, and IOnlineDataSink, ICommandTarget and IMessageSink through three
// parts it owns (document_sampling_sink.h, document_command_target.h,
// document_message_sink.h), which share its identity.
class Document final : public ComObject<IHRVDocument, IExtensionDocument, IAnalysisClient, IAnalysisExport> {
 public:
  // Throws HResultError when `host` is null or gives no document data.
  explicit Document(ComPtr<IHostDocument> host);
  ~Document() override;

  // The document behind an object that answers IHRVDocument, or null.
  static Document* from(IUnknown* object) noexcept;

  // IExtensionDocument
  HRESULT GetPersistedObject(std::int32_t index, std::int32_t kind, IPersist** object) override;
  HRESULT SetupUserInterface(IMenuService* menus) override;
  HRESULT OnLoaded() override;
  HRESULT Close() override;

  // IAnalysisClient
  HRESULT ReportRegion(std::int32_t argument) override;
  HRESULT RequestClear(std::int32_t argument) override;
  HRESULT RequestReanalysis(std::int32_t argument) override;

  // IAnalysisExport: results.json and beats.csv (analysis_export.h).
  HRESULT ExportResults(IByteStream* stream) override;
  HRESULT ExportEvents(IByteStream* stream) override;

  // Lifecycle operations.

  // Brings the detector up to date and recomputes the results. False, without telling the
  // observers, when the mask needs beats and no region is set.
  bool RunAnalysis(std::uint32_t mask, ChangeCode code);
  // Removes what `mask` selects of the analysis. False when no region is set or the host
  // samples. Observers hear AboutToChange always, Changed only with `notify`.
  bool ClearAnalysis(std::uint32_t mask, bool notify);
  // Recomputes the region of `settings` from the host; true (and `settings` dirty) when it
  // changed.
  bool SetAnalysisRegion(Settings& settings, RegionSource source);
  // Tells the analysis manager and the storage that the analysis (settings) or the beat
  // edits changed.
  void InvalidateAnalysis();
  void InvalidateEdits();
  // Attaches the beat edits and the beat-number cache to the host's chart data, each unless
  // a child of its type is there already; RemoveChildData takes both off.
  void AttachChildData();
  void RemoveChildData();
  // Empties the beat edits if there are any; with `rerun`, marks them changed.
  void ClearUserEdits(bool rerun);
  // Hands the settings (item 0) and the beat edits (item 1) to the host storage, each once.
  void RegisterPersistObjects();
  // Registers the sampling sink while OnlineMode is on; true when it is registered.
  bool UpdateOnlineRegistration();
  // Refreshes the guide lines of the HRV channel calculations found in the document.
  void UpdateChannelCalcs();
  // Clears the analysis when the host no longer holds the region's data or source channel.
  void ValidateRegion();
  // True when no region is set or the region reaches the end of the recorded data, so that
  // data sampled next continue it.
  bool IsOnlineContinuous();
  // Registers with the host's analysis manager; true when both persisted items were taken.
  bool RegisterWithAnalysisManager();

  // Commands (document_commands.cpp). Each does nothing while the host samples.
  void Analyze();
  void ClearAnalysisCommand();
  void ReselectAnalyzedData();
  void ToggleBeatMarkers();
  void ToggleOnlineMode();
  void EditSettings();
  void AddBeatMarker();
  void DeleteBeatMarker();
  void ClassifyAllBeatsAsNormal();
  // Sets the classifier box around the main cluster of the analysed beats (FitClassifierBox)
  // and re-analyses; leaves the box as it is when the beats describe no cluster.
  void FitClassifierBoxToBeats();

  // What commands, views and functions read.
  struct Selection {
    std::uint32_t kind = 0;
    TickPosition start = TickPosition::unset();
    TickPosition end = TickPosition::unset();
  };
  // The chart view's selection; unset positions when there is no view or no selection.
  Selection selection() const;
  bool host_sampling() const;
  bool region_set() const noexcept { return settings_->region_set(); }
  // True when the host can sample this document at all.
  bool can_sample() const;
  // True when the four RR/FF extents of the results are numbers.
  bool extents_known() const noexcept;
  Settings& settings() noexcept { return *settings_; }
  const Settings& settings() const noexcept { return *settings_; }
  Data& data() noexcept { return *data_; }
  const AnalysisResults& results() const noexcept { return results_; }
  // The analysis of a stretch of `data` (the region of `settings`), kept until the document
  // hears of any change: the Tabulet functions of one table row share it.
  std::shared_ptr<const StretchAnalysis> stretch_analysis(IDocumentData* data, const SettingsFields& settings, ChannelId fiducial) {
    return stretches_.get(data, settings, fiducial);
  }
  const HRVDetector& detector() const noexcept { return detector_; }
  IHostDocument* host() const noexcept { return host_.get(); }
  IDocumentData* document_data() const noexcept { return documentData_.get(); }
  bool sink_registered() const noexcept { return samplingSink_.registered(); }
  // The parts, as the host reaches them through QueryInterface.
  IOnlineDataSink& sampling_sink() noexcept { return samplingSink_; }
  ICommandTarget& command_target() noexcept { return commandTarget_; }
  IMessageSink& message_sink() noexcept { return messageSink_; }
  std::int32_t analysis_cookie() const noexcept { return analysisCookie_; }

  // Sends the macro message of `number` to the host, which records it and delivers it back.
  void SendMacroMessage(std::uint16_t number);
  // Asks the host to open (or activate) a view of `viewTypeId`.
  void OpenView(std::uint32_t viewTypeId);

  void add_observer(DocumentObserver* observer);
  void remove_observer(DocumentObserver* observer);
  // The editor the Settings command shows; without one the command does nothing.
  void set_settings_editor(SettingsEditor* editor) noexcept { editor_ = editor; }

 private:
  void notify_about_to_change(ChangeCode code);
  void notify_changed(ChangeCode code);
  // Analyze's and Close's teardown: the previous analysis and every beat edit go.
  void take_analysis_apart();
  // After a beat edit or a new classifier box: redefine the fiducial stage and recompute.
  void refresh_beats();
  // Stores a new classifier box in the settings (RR in s) and re-analyses with it.
  void set_classifier_box(double minRR, double maxRR, double minFF, double maxFF);
  ChannelId fiducial_channel() const;
  TickPosition end_of_data() const;
  ComPtr<IChartData> chart_data() const;
  void recalculate(std::uint32_t mask);
  bool region_data_valid();
  void* query_extra(const GUID& iid) override;

  friend class DocumentSamplingSink;
  friend class DocumentCommandTarget;
  friend class DocumentMessageSink;

  ComPtr<IHostDocument> host_;
  ComPtr<IDocumentData> documentData_;
  ComPtr<IDocumentStorage> storage_;           // asked once, when first needed
  ComPtr<IAnalysisManager> analysisManager_;   // null until registered
  std::int32_t analysisCookie_ = -1;
  ComPtr<Settings> settings_;
  ComPtr<Data> data_;
  HRVDetector detector_;
  AnalysisResults results_;
  StretchResults stretches_;
  std::vector<DocumentObserver*> observers_;
  SettingsEditor* editor_ = nullptr;
  DocumentSamplingSink samplingSink_{*this};
  DocumentCommandTarget commandTarget_{*this};
  DocumentMessageSink messageSink_{*this};
};

}  // namespace HRV
