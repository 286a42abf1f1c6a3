// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/hrv_session.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "apps/korvel-hrv/commands.h"
#include "apps/korvel-hrv/usage_error.h"
#include "tests/korvel/io/temp_dir.h"

namespace {

// A long record is read from its file while the chain runs. When the file shrinks after it
// was opened, the extension would take the failed read for the end of the beats; the
// session must refuse to export results that stop short instead.
TEST(HrvSession, ARecordingThatShrinksWhileItIsAnalysedGivesAnErrorNotShortResults) {
  korvel::io::test::TempDir dir;
  const auto header = dir.file("long.hea");
  // 2.5 hours at 1 kHz: longer than a record the importer loads whole.
  ASSERT_EQ(korvel_hrv::synthesize(header, "human", 150, 1000, 1), 0);
  korvel_hrv::HrvSession session;
  session.open_recording(header);
  std::filesystem::resize_file(dir.file("long.dat"), std::filesystem::file_size(dir.file("long.dat")) / 2);
  korvel_hrv::AnalyzeOptions options;
  options.polarity = "positive";  // no scan of the file before the chain reads it
  try {
    korvel_hrv::analyse_open_document(session, options, "long");
    session.beats_csv();
    FAIL() << "the beats of a shrunken recording were exported";
  } catch (const korvel_hrv::UsageError& e) {
    EXPECT_NE(std::string(e.what()).find("the file ended"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("no results were written"), std::string::npos) << e.what();
  }
}

}  // namespace
