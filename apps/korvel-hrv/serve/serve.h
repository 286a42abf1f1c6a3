// SPDX-License-Identifier: MIT
// `korvel-hrv serve`: the stand-in host's windows as a local web application.
#pragma once

#include <filesystem>
#include <vector>

#include "apps/korvel-hrv/commands.h"

namespace korvel_hrv {

struct ServeOptions {
  std::vector<std::filesystem::path> files;  // recordings and documents to open at start
  int port = 0;                              // 0: any free port
  AnalyzeOptions analysis;                   // how recordings open (signal, preset, settings)
  bool live = false;   // play the one recording given into a new document, analysing while sampling
  double speed = 1.0;  // times the recording's own rate
};

// Opens the files, prints the address to open and answers until SIGINT or SIGTERM.
int serve(const ServeOptions& options);

}  // namespace korvel_hrv
