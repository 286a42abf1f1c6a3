// SPDX-License-Identifier: MIT
// A session with the probe extension loaded and a document open on a synthetic recording
// (two channels, 500 Hz, 20 s), and the probe document that the host created for it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "korvel/app/module_ids.h"
#include "korvel/services/session.h"
#include "sdk/cpp/utf.h"
#include "tests/korvel/calc/synthetic_recording.h"
#include "tests/probe/probe.h"

namespace korvel::services::test {

using Lines = std::vector<std::string>;
inline constexpr double kRate = 500.0;

inline doc::Document synthetic_document(double seconds = 20.0) {
  return doc::Document(korvel::test::synthetic_recording(korvel::test::synthetic_ecg(seconds, kRate, 7), kRate));
}

inline ComPtr<probe::IProbeDocument> probe_of(const DocumentFrame& frame) {
  const DocumentFrame::Extension* e = frame.find_extension(probe::kDocumentClassId);
  return e ? e->document.query<probe::IProbeDocument>() : nullptr;
}

// The probe document's journal since the last call, one line per host call.
inline Lines journal_of(probe::IProbeDocument& document) {
  BSTR text = nullptr;
  EXPECT_EQ(document.TakeJournal(&text), S_OK);
  Lines out;
  std::istringstream in(Bstr::adopt(text).utf8());
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

class ProbeSession : public ::testing::Test {
 protected:
  void SetUp() override {
    application->load_extension(PROBE_PATH);
    session = std::make_unique<Session>(application);
    frame = &session->open(synthetic_document());
    probe = probe_of(*frame);
    ASSERT_TRUE(probe);
  }
  Lines journal() { return journal_of(*probe); }
  static std::uint32_t command(std::uint16_t local) { return (std::uint32_t{app::module_id(probe::kProbeFamily)} << 16) | local; }

  ComPtr<app::Application> application = make_com<app::Application>();
  std::unique_ptr<Session> session;
  DocumentFrame* frame = nullptr;
  ComPtr<probe::IProbeDocument> probe;
};

}  // namespace korvel::services::test
