// SPDX-License-Identifier: MIT
// Exporting an extension document's analysis for tools and scripts: a summary of the
// results and a table of the analysed events. Implemented by the extension's document
// (asked for by QueryInterface on its IExtensionDocument); the formats are the extension's
// and documented with it.
// Threads: both operations are called by the host on its user-interface thread.
#pragma once

#include "sdk/stream.h"

struct IAnalysisExport : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{2A9C6E51-7B3D-4F08-9E14-C5D2A8B36F90}");

  // Writes the results of the current analysis as a UTF-8 JSON object into `stream` (in).
  // S_FALSE (and a summary that says so) when there is no analysis.
  virtual HRESULT ExportResults(IByteStream* stream) = 0;
  // Writes one UTF-8 CSV row per analysed event, with a header row, into `stream` (in).
  virtual HRESULT ExportEvents(IByteStream* stream) = 0;

 protected:
  ~IAnalysisExport() = default;
};
