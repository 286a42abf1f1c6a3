// SPDX-License-Identifier: MIT
// What the browser's windows show of the host, and what they may do to it: the open
// documents, the menus with the states the extension reports, the views of each document
// with their plot controls and pages, the clipboard, saving and closing. It lives on the
// host thread (host_thread.h); the web server turns requests into its calls and its
// answers into JSON. Everything the user asks by number (a document, a view, a plot) is
// checked, and a request that names nothing that exists throws RequestError before
// anything changes.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "apps/korvel-hrv/commands.h"
#include "apps/korvel-hrv/hrv_session.h"
#include "apps/korvel-hrv/serve/chart_window.h"
#include "apps/korvel-hrv/serve/dialog_service.h"
#include "korvel/services/macros.h"
#include "korvel/services/sampler.h"

namespace korvel_hrv {

// A request the workspace refuses: the HTTP status and what to tell the user.
class RequestError : public std::runtime_error {
 public:
  RequestError(int status, const std::string& what) : std::runtime_error(what), status_(status) {}
  int status() const noexcept { return status_; }

 private:
  int status_;
};

class Workspace {
 public:
  // Recordings open with `defaults` (signal, preset, settings file), as `analyze` opens them.
  explicit Workspace(AnalyzeOptions defaults);
  ~Workspace();

  // The documents, their views, the menus of the active one and the open dialogs (see README).
  nlohmann::json state();

  // The host's dialog service, which the extension's dialogs are shown through.
  DialogService& dialogs() noexcept { return *dialogs_; }

  // A recording (WFDB header, EDF, MAT, CSV) or a saved document (.korvel), by the path
  // the user gave; the new document's id.
  int open(const std::filesystem::path& path);
  // Writes the document to `path`, or where it was opened from or last saved to. Only
  // document files (.korvel) are written.
  void save(int document, const std::optional<std::filesystem::path>& path);
  void close(int document);
  // Makes the document the one that actions and menus reach.
  void activate(int document) { activate_open(document); }

  // Runs menu command `command` on the document, as choosing the item does; false when
  // the item is disabled now.
  bool run_command(int document, std::uint32_t command);
  // The user's selection on the chart: a range of seconds, or a point.
  void select(int document, double from, std::optional<double> to);

  // One message of a plot page (PlotControl::answer) for plot control `control`. A
  // `gesture` (a callback) acts on the plot's document, which becomes the active one.
  std::string plot_message(std::size_t control, std::string_view message, bool gesture);
  // The script commands plot control `control` was sent, from number `from` on.
  nlohmann::json plot_commands(std::size_t control, std::size_t from);
  // The HTML a page (the report) shows now.
  std::string page_html(std::size_t page);
  // The Copy or Print command of view `view` of the document; for Copy, what the view put
  // on the host's clipboard: {"text", "html"} (either may be missing).
  nlohmann::json view_command(int document, std::size_t view, bool copy);

  // What the document's chart shows of a window (chart_window.h).
  nlohmann::json chart(int document, const ChartRequest& request);

  // Plays `recording` into a new document at `speed` times its own rate with "Analyze
  // while Sampling" on, as `korvel-hrv sample` records it; the document's id. One
  // recording plays at a time.
  int play(const std::filesystem::path& recording, double speed);
  // Feeds the blocks whose time has come; when the next are due, nothing when none plays.
  std::optional<std::chrono::steady_clock::time_point> play_due();
  // Stops the recording playing into the document: the record ends where it is.
  void stop(int document);

  // Adds an HRV calculation channel of `parameter` (0 beat period, 1 its change, 2 beat
  // rate, 5 beat complexity) to the document, as the host's channel menu does.
  void add_calculation(int document, int parameter);
  // Shows the "HRV Calculations" dialog of the document's last HRV calculation channel and,
  // on OK, computes the channel with the settings chosen.
  void edit_calculation(int document);

  // The host's macro recorder: the HRV macro messages sent while recording are kept; the
  // last macro recorded replays into a document or is saved as a macro file.
  void start_macro();
  void stop_macro();
  void replay_macro(int document);
  void save_macro(const std::filesystem::path& path);

  std::string results_json(int document);
  std::string beats_csv(int document);
  // The Tabulet functions over consecutive windows, as `korvel-hrv table` writes them.
  std::string table_csv(int document, double window, double step);

 private:
  struct Panel {
    std::optional<std::size_t> control;  // index among the session's plot controls
    std::optional<std::size_t> page;     // index among its pages
  };
  struct Open {
    korvel::services::DocumentFrame* frame = nullptr;
    std::optional<std::filesystem::path> file;  // the document file it came from or went to
    std::string title;
    int signal = 0;
    std::map<const IExtensionView*, Panel> panels;
    std::unique_ptr<ChartWindow> chart;
  };

  Open& find(int document);
  Open& activate_open(int document);
  // Runs `read(open)` with the document selected, as the session's reads need, and gives
  // the active document back afterwards: reading never changes what the user acts on.
  template <class F>
  auto reading(int document, F read) {
    auto* active = session_.session().active();
    struct Restore {
      HrvSession& session;
      korvel::services::DocumentFrame* active;
      ~Restore() {
        if (active) session.select(*active);
      }
    } restore{session_, active};
    Open& open = find(document);
    session_.select(*open.frame);
    return read(open);
  }
  // Gives the plot controls and pages made since the last call to the view opened last.
  void adopt_new_panels(Open& open);
  nlohmann::json menu_json();

  struct Live {
    int document = 0;
    korvel::io::Recording recording;
    std::size_t record = 0;  // the record playing
    double earlier_s = 0;    // seconds of the records played before it
    std::unique_ptr<korvel::services::SamplingRun> run;
    double speed = 1;
    std::chrono::steady_clock::time_point started;
  };
  // Ends the recording playing: the record ends, analysis while sampling goes off again.
  void end_live();

  AnalyzeOptions defaults_;
  HrvSession session_;
  ComPtr<DialogService> dialogs_ = make_com<DialogService>();
  std::map<int, Open> open_;
  std::size_t controls_seen_ = 0;
  std::size_t pages_seen_ = 0;
  std::vector<korvel::services::MacroStep> macro_;
  // Last, so that a recording still playing ends before the documents close.
  std::unique_ptr<Live> live_;
};

}  // namespace korvel_hrv
