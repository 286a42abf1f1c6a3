// SPDX-License-Identifier: MIT
// The tool's host: the stand-in application with the HRV extension loaded from libhrv.so, one
// document open, and the user's actions on it — choosing settings, selecting data, menu
// commands and macro messages — exactly as a user drives the host. The tool never calls into
// the extension's engine; what it reads back comes through the extension's interfaces.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "apps/korvel-hrv/usage_error.h"
#include "korvel/io/load_recording.h"
#include "korvel/services/session.h"
#include "korvel/signal/polarity.h"
#include "korvel/ui/ui_services.h"
#include "sdk/stream.h"
#include "sdk/host/analysis_export.h"
#include "sdk/host/host_document.h"

namespace korvel_hrv {

// libhrv.so: $KORVEL_HRV_LIBRARY, else the one built with this tool.
std::filesystem::path hrv_library_path();

// Preset index for a species name ("Human", "large dog", "Guinea-Pig", "custom", ...).
int preset_index(const std::string& name);
// The name of preset `index` as the user reads it ("Human", "Large Dog"); the number
// itself for an index the list does not hold.
std::string preset_name(int index);

class HrvSession {
 public:
  HrvSession();
  ~HrvSession();

  // Opens a recording file or a saved document. Throws UsageError naming what is wrong.
  void open_recording(const std::filesystem::path& path, const korvel::io::LoadOptions& options = {});
  // `reattach`: open it although its recording changed since it was saved.
  void open_document(const std::filesystem::path& path, bool reattach = false);
  // Opens a document over samples the caller holds (the Python module's arrays). It refers
  // to no file until refer_to names one.
  void open_samples(korvel::io::Recording recording);
  // The file the document's samples are to be read from when its document file is opened.
  void refer_to(const std::filesystem::path& file, const korvel::io::LoadOptions& options);
  // An empty document with the channels of `recording`, ready to sample it.
  void open_for_sampling(const korvel::io::Recording& recording, const std::filesystem::path& source);

  // Settings by name (settings file values, signal, preset, selection flag). A species
  // preset brings its detector, classifier and spectrum values; named values override them.
  // Throws UsageError listing every refused value.
  void apply_settings(const nlohmann::json& values);
  // Selects [from, to) seconds of the data on `signal`'s channel, as the user drags over it.
  void select_seconds(double from, double to, ChannelId channel);
  void select_point_seconds(double at, ChannelId channel);
  int channel_count() const;
  // The samples of recorded channel `signal`, one piece per record in order, read where
  // the document holds them (valid while the document does not change), and the first
  // record's sample interval.
  std::pair<std::vector<korvel::signal::SamplePiece>, double> signal_samples(int signal) const;
  // The event channel of beats the host imported (annotations, an RR list), when the
  // recording is beats rather than signals: the analysis source, with no detection.
  std::optional<ChannelId> imported_beats() const;
  // The channel the detector is to read for recorded channel `signal`: the channel itself,
  // or with `inverted` the computed channel "Inverted_Ch<signal + 1>" holding its negation
  // (created once), so that the deflection the detector searches for points up.
  ChannelId source_channel(int signal, bool inverted);
  double duration_seconds() const;

  // A macro command by name ("HRV_Analyze", ...), delivered as replaying a macro does.
  void run_macro(const std::string& name);
  void replay_macro_file(const std::filesystem::path& path);
  // The menu item at `path` ("HRV|AddMarker"), when enabled; false when it is disabled.
  bool run_menu(const std::string& path);

  // Feeds `recording` into the open document in blocks of `blockSeconds`, as if sampled.
  // `done` hears the fraction of the recording fed so far.
  void sample(const korvel::io::Recording& recording, double blockSeconds, const std::function<void(double)>& done);

  // Refuses a table whose rows would be more than 100,000 (CommandLineError), before any
  // work is done for it.
  void check_table_rows(double windowSeconds, double stepSeconds) const;

  // The RR intervals as the extension's "HRV RR Interval Text File" export writes them.
  void export_rr_intervals(const std::filesystem::path& path);
  // The Tabulet functions over consecutive windows of `windowSeconds`, `stepSeconds` apart,
  // on `channel`, as CSV: each row's window ("Analysis Start (s)", "Analysis End (s)"), then
  // one column per statistic ("name (unit)", units in ASCII: "ms2"; "pRR50 (%)" for a 50 ms
  // threshold), numbers in the shortest form that reads back exactly.
  // `done` hears the fraction of the rows written so far.
  std::string tabulet_csv(double windowSeconds, double stepSeconds, ChannelId channel,
                          const std::function<void(double)>& done);
  // Adds an "HRV Calculation" channel of `parameter` (0 beat period, 1 its change, 2 rate,
  // 3 activity, 4 mobility, 5 complexity), with its guide lines on; a second one gets the
  // next free name.
  ChannelId add_channel_calculation(int parameter);
  // The per-beat values of the document's HRV Calculation channel as CSV
  // (record,tick,time_s,value); nothing when the document has none.
  std::optional<std::string> channel_calculation_csv();

  // Opens the report and the six plot views through the HRV menu, as the user would, and
  // writes what they showed: DIR/report.html (the report page), DIR/markup/<view>.txt (the
  // last markup each plot view sent), DIR/views/<view>.json (the series each plot view
  // registered, as the plot engine pulled them, with their x values and units),
  // DIR/plots/<view>.html (each plot as a page that opens from a file) and DIR/index.html
  // (the report with the six plots beneath it).
  void write_views(const std::filesystem::path& dir);

  // The host run itself, for the server that shows its documents (serve.h).
  korvel::services::Session& session() noexcept { return *session_; }
  const korvel::ui::UiServices& ui() const noexcept { return ui_; }
  // The document the session's actions reach: the one opened last, or the one selected.
  korvel::services::DocumentFrame* frame() const noexcept { return frame_; }
  // Makes `frame` (one of the session's documents) the one the actions and menus reach.
  void select(korvel::services::DocumentFrame& frame);
  // Closes `frame`; the actions reach the document active after it, if any.
  void close(korvel::services::DocumentFrame& frame);

  // results.json: the extension's export, with "signal" the recorded channel analysed and
  // "polarity" the deflection analysed ("positive", or "negative" for an inverted source);
  // both null for imported beats, which "input" ("signal" or "beats") tells apart.
  // Both throw UsageError when a channel of the analysis could not be evaluated to its end
  // (its recording could not be read, say): the extension takes a failed read for the end
  // of the beats, so the results would silently stop short.
  std::string results_json() const;
  std::string beats_csv() const;
  // beats.csv written straight into the new file `path`, a piece at a time.
  void write_beats_csv(const std::filesystem::path& path) const;
  // Saves the document to `path`, naming its recordings as a file in `folder` would (the
  // folder it is moved into when written elsewhere first).
  void save_document(const std::filesystem::path& path, const std::filesystem::path& folder) const;

 private:
  // Has the extension export beats.csv into `stream`; throws UsageError.
  void export_beats(IByteStream* stream) const;
  void check_evaluation() const;
  IExtensionDocument* hrv_document() const;

  std::unique_ptr<korvel::services::Session> session_;
  korvel::ui::UiServices ui_;
  korvel::services::DocumentFrame* frame_ = nullptr;
};

}  // namespace korvel_hrv
