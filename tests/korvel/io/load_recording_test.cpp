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

TEST(LoadRecording, DelimitedTextByAnyCaseOfItsExtensionTakesTheCallersRate) {
  const test::TempDir dir;
  LoadOptions options;
  options.sampling_rate_hz = 50;
  for (const char* name : {"a.CSV", "b.tsv", "c.txt"}) {
    SCOPED_TRACE(name);
    const auto file = dir.write(name, "1\n2\n3\n");
    const Recording recording = load_recording(file, options);
    EXPECT_EQ(recording.source, file.string());
    EXPECT_EQ(recording.name, std::string(1, name[0]));
    EXPECT_DOUBLE_EQ(recording.records.at(0).tick_interval_s, 0.02);
  }
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
  EXPECT_EQ(load_error(dir.write("x.rec", junk)),
            dir.file("x.rec").string() + ": not a valid EDF or BDF file: the header does not follow the format");
  EXPECT_EQ(load_error(dir.write("x.bdf", junk)),
            dir.file("x.bdf").string() + ": not a valid EDF or BDF file: the header does not follow the format");
  EXPECT_NE(load_error(dir.write("x.mat", junk)).find(dir.file("x.mat").string() + ": not a MATLAB file"),
            std::string::npos);
  EXPECT_EQ(load_error(dir.write("x.hea", "this is no header")),
            dir.file("x.hea").string() + ": line 1: bad number of signals \"is\"");
  EXPECT_EQ(
      load_error(dir.write("x.wav", junk)),
      dir.file("x.wav").string() +
          ": unknown recording format \".wav\"; known are .hea/.dat (WFDB), .edf/.bdf/.rec, .mat, .csv/.tsv/.txt");
  for (const char* missing : {"none.hea", "none.edf", "none.mat", "none.csv", "none.wav"}) {
    EXPECT_EQ(load_error(dir.file(missing)), dir.file(missing).string() + ": file not found");
  }
}

}  // namespace
}  // namespace korvel::io
