// SPDX-License-Identifier: MIT
#include "korvel/io/load_recording.h"

#include <gtest/gtest.h>

#include <string>

#include "temp_dir.h"

namespace korvel::io {
namespace {

std::string load_error(const std::filesystem::path& file, const LoadOptions& options = {}) {
  try {
    load_recording(file, options);
  } catch (const ImportError& e) {
    return e.what();
  }
  return "no error";
}

TEST(LoadRecording, WfdbHeaderOrSignalFileOpensTheRecordAndChecksumsCanBeWaived) {
  const test::TempDir dir;
  dir.write("r.hea", "r 1 100 2\nr.dat 16 1(0)/mV 16 0 5 99 0 lead\n");  // true sum is 12
  dir.write("r.dat", std::string("\x05\x00\x07\x00", 4));
  EXPECT_NE(load_error(dir.file("r.dat")).find("r.dat: signal 1 (lead) sums to checksum 12"), std::string::npos);
  LoadOptions trusting;
  trusting.verify_checksums = false;
  const Recording recording = load_recording(dir.file("r.hea"), trusting);
  EXPECT_EQ(recording.records.at(0).channels.at(0).samples, (std::vector<float>{5, 7}));
  dir.write("lone.dat", "xx");
  EXPECT_EQ(load_error(dir.file("lone.dat")),
            dir.file("lone.dat").string() + ": no WFDB header lone.hea next to the signal file");
}

TEST(LoadRecording, EachFormatReportsBadFilesUnderTheirOwnName) {
  const test::TempDir dir;
  const std::string junk(300, 'x');
  const std::pair<std::filesystem::path, std::string> cases[] = {
      {dir.write("x.rec", junk), "header field \"version\" (bytes 0-7) is \"xxxxxxxx\""},
      {dir.write("x.bdf", junk), "header field \"version\" (bytes 0-7) is \"xxxxxxxx\""},
      {dir.write("x.mat", junk), "not a MATLAB file"},
      {dir.write("x.hea", "this is no header"), "line 1: bad number of signals \"is\""},
      {dir.write("x.wav", junk), "unknown recording format \".wav\"; known are .hea/.dat (WFDB), .edf/.bdf/.rec, .mat, .csv/.tsv/.txt"},
  };
  for (const auto& [file, reason] : cases) EXPECT_EQ(load_error(file).find(file.string() + ": " + reason), 0u) << load_error(file);
  for (const char* missing : {"none.hea", "none.edf", "none.mat", "none.csv", "none.wav"})
    EXPECT_EQ(load_error(dir.file(missing)), dir.file(missing).string() + ": file not found");
}

}  // namespace
}  // namespace korvel::io
