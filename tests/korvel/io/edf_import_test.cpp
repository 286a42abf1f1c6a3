// SPDX-License-Identifier: MIT
#include "korvel/io/edf_import.h"

#include <edflib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "temp_dir.h"

namespace korvel::io {
namespace {

constexpr double kPhysicalRange = 1000.0;  // written range is -1000 .. 1000
double ecg_wave(double t) { return 800 * std::sin(2 * M_PI * 1.3 * t); }

// Three one-second data records of "ECG" (uV, 200 Hz) and "Resp" (%, 50 Hz, a ramp),
// written with EDFlib's writer.
void write_two_rates(const std::filesystem::path& file, int filetype, int seconds = 3) {
  const bool bdf = filetype == EDFLIB_FILETYPE_BDFPLUS;
  const int handle = edfopen_file_writeonly(file.c_str(), filetype, 2);
  ASSERT_GE(handle, 0) << "EDFlib cannot create " << file;
  const int rates[] = {200, 50};
  for (int s = 0; s < 2; ++s) {
    ASSERT_EQ(edf_set_samplefrequency(handle, s, rates[s]), 0);
    edf_set_physical_maximum(handle, s, kPhysicalRange);
    edf_set_physical_minimum(handle, s, -kPhysicalRange);
    edf_set_digital_maximum(handle, s, bdf ? 8388607 : 32767);
    edf_set_digital_minimum(handle, s, bdf ? -8388608 : -32768);
    edf_set_label(handle, s, s == 0 ? "ECG" : "Resp");
    edf_set_physical_dimension(handle, s, s == 0 ? "uV" : "%");
  }
  for (int second = 0; second < seconds; ++second)
    for (int s = 0; s < 2; ++s) {
      std::vector<double> block(static_cast<std::size_t>(rates[s]));
      for (int k = 0; k < rates[s]; ++k) {
        const double t = second + static_cast<double>(k) / rates[s];
        block[k] = s == 0 ? ecg_wave(t) : 100 * t;
      }
      ASSERT_EQ(edfwrite_physical_samples(handle, block.data()), 0);
    }
  ASSERT_EQ(edfclose_file(handle), 0);
}

std::string edf_error(const std::filesystem::path& file) {
  try {
    read_edf(file);
  } catch (const ImportError& e) {
    return e.what();
  }
  return "no error";
}

TEST(EdfImport, MultiRateFileKeepsLabelsUnitsAndValuesOnTheFastestTicks) {
  for (const auto& [filetype, name, steps] : {std::tuple(EDFLIB_FILETYPE_EDFPLUS, "two.edf", 65535), std::tuple(EDFLIB_FILETYPE_BDFPLUS, "two.bdf", 16777215)}) {
    SCOPED_TRACE(name);
    // One digital step (half of it is the writer's quantisation, the rest covers rounding of
    // the offset) plus the float rounding of values up to 1000.
    const double tolerance = 2 * kPhysicalRange / steps + kPhysicalRange * std::ldexp(1.0, -24);
    const test::TempDir dir;
    write_two_rates(dir.file(name), filetype);
    const Recording recording = read_edf(dir.file(name));
    EXPECT_EQ(recording.name, "two");
    ASSERT_EQ(recording.records.size(), 1u);
    const Record& r = recording.records[0];
    ASSERT_EQ(r.channels.size(), 2u) << "the annotation signal is not a channel";
    EXPECT_EQ(std::tie(r.channels[0].name, r.channels[0].unit, r.channels[1].name, r.channels[1].unit), std::tuple("ECG", "uV", "Resp", "%"));
    EXPECT_DOUBLE_EQ(r.tick_interval_s, 1.0 / 200);
    ASSERT_EQ(r.length(), 600u);
    for (std::size_t n = 0; n < r.length(); ++n) {
      const double t = static_cast<double>(n) / 200;
      ASSERT_NEAR(r.channels[0].samples[n], ecg_wave(t), tolerance) << "tick " << n;
      // A ramp interpolates to itself; after the last 50 Hz sample (2.98 s) it holds.
      ASSERT_NEAR(r.channels[1].samples[n], 100 * std::min(t, 2.98), tolerance) << "tick " << n;
    }
  }
}

TEST(EdfImport, DamagedOrDiscontinuousFilesAreRefusedNamingTheFile) {
  const test::TempDir dir;
  write_two_rates(dir.file("cut.edf"), EDFLIB_FILETYPE_EDFPLUS);
  std::filesystem::resize_file(dir.file("cut.edf"), std::filesystem::file_size(dir.file("cut.edf")) - 100);
  write_two_rates(dir.file("gaps.edf"), EDFLIB_FILETYPE_EDFPLUS, 2);
  auto gaps = test::file_bytes(dir.file("gaps.edf"));
  std::copy_n("EDF+D", 5, gaps.begin() + 192);  // the reserved field that marks EDF+ continuity
  dir.write("gaps.edf", gaps);
  const std::pair<std::filesystem::path, std::string> cases[] = {
      {dir.file("cut.edf"), "the header gives 3 data records of 614 bytes, but the file holds 1742 bytes after the header: it was cut short"},
      {dir.file("gaps.edf"), "discontinuous EDF+D/BDF+D recording; only continuous EDF, EDF+C, BDF and BDF+C files are supported"},
      {dir.write("notes.edf", "this is not an EDF file at all"), "not an EDF or BDF file: 30 bytes, shorter than the 256-byte header"},
      {dir.write("blank.edf", std::string(300, ' ')),
       "header field \"version\" (bytes 0-7) is \"\": an EDF file begins with \"0\", a BDF file with byte 255 and \"BIOSEMI\""},
      {dir.file("missing.edf"), "file not found"},
  };
  for (const auto& [file, reason] : cases) EXPECT_EQ(edf_error(file), file.string() + ": " + reason);
}

}  // namespace
}  // namespace korvel::io
