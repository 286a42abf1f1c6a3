// SPDX-License-Identifier: MIT
// The local web server of `korvel-hrv serve`: the browser's windows onto the host. It
// answers on the loopback address only, refuses what request_guard.h refuses, serves the
// pages of web/app and web/engine, and hands every API request to the host thread, which
// owns the workspace (workspace.h); the worker threads only parse, check and wait.
//
// The API (JSON in and out; every request carries the token, request_guard.h):
//   GET  /api/state?after=V           the documents, views and menus; waits up to 20 s
//                                     for a change when V is the version the page has
//   POST /api/open {path}             open a recording or a .korvel document
//   POST /api/play {path, speed?}     play a recording into a new document, analysing
//   POST /api/documents/D/save {path?}   /close {}   /activate {}   /command {command}   /stop {}
//   POST /api/documents/D/select {from, to?}   (seconds; a point without `to`)
//   POST /api/documents/D/calculation {parameter}   an HRV calculation channel
//   POST /api/documents/D/views/V/copy {}   /print {}
//   GET  /api/documents/D/results     results.json;  /beats  beats.csv;  /table?window=S&step=S  CSV
//   GET  /api/documents/D/chart?from=S&to=S&columns=N&computed=0|1   chart_window.h
//   POST /api/plots/P {engine message}   GET /api/plots/P/commands?from=N
//   GET  /api/pages/N                 the HTML a page (the report) shows
//   POST /api/macro/start {}  /stop {}  /replay {document}  /save {path}   (.macro files)
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "apps/korvel-hrv/serve/host_thread.h"
#include "apps/korvel-hrv/serve/request_guard.h"
#include "apps/korvel-hrv/serve/workspace.h"

namespace httplib {
class Server;
}

namespace korvel_hrv {

class WebServer {
 public:
  // `workspace` lives on `host`; `web_root` holds app/ and engine/.
  WebServer(HostThread& host, Workspace& workspace, const std::filesystem::path& web_root);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds 127.0.0.1:`port` (0: a free port) with a fresh token; the port bound. Throws
  // UsageError when the port is taken.
  int bind(int port);
  // Answers requests until stop(); call after bind.
  void listen();
  void stop();
  const RequestGuard& guard() const { return *guard_; }

 private:
  void routes();

  HostThread& host_;
  Workspace& workspace_;
  std::filesystem::path web_root_;
  std::unique_ptr<httplib::Server> server_;
  std::optional<RequestGuard> guard_;
};

// The folder of the pages: $KORVEL_HRV_WEB, else share/korvel-hrv/web beside the folder
// of the executable (an installed tool), else the web/ folder of the source tree the
// tool was built from. Throws UsageError when none holds app/index.html.
std::filesystem::path find_web_root();

}  // namespace korvel_hrv
