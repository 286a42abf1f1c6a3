// SPDX-License-Identifier: MIT
#include "korvel/io/edf_import.h"

#include <edflib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace korvel::io {
namespace {

struct TestSignal {
  const char* label;
  const char* unit;
  int rate;                            // samples per 1 s data record
  std::function<double(double)> wave;  // physical value at a time in seconds
};

constexpr double kPhysicalRange = 1000.0;  // written range is -1000 .. 1000

// Writes `seconds` one-second data records with EDFlib's writer.
void write_file(const std::filesystem::path& file, int filetype, const std::vector<TestSignal>& signals, int seconds) {
  const bool bdf = filetype == EDFLIB_FILETYPE_BDFPLUS;
  const int handle = edfopen_file_writeonly(file.c_str(), filetype, static_cast<int>(signals.size()));
  ASSERT_GE(handle, 0) << "EDFlib cannot create " << file;
  for (std::size_t i = 0; i < signals.size(); ++i) {
    const int s = static_cast<int>(i);
    ASSERT_EQ(edf_set_samplefrequency(handle, s, signals[i].rate), 0);
    edf_set_physical_maximum(handle, s, kPhysicalRange);
    edf_set_physical_minimum(handle, s, -kPhysicalRange);
    edf_set_digital_maximum(handle, s, bdf ? 8388607 : 32767);
    edf_set_digital_minimum(handle, s, bdf ? -8388608 : -32768);
    edf_set_label(handle, s, signals[i].label);
    edf_set_physical_dimension(handle, s, signals[i].unit);
  }
  for (int second = 0; second < seconds; ++second) {
    for (const TestSignal& signal : signals) {
      std::vector<double> block(static_cast<std::size_t>(signal.rate));
      for (int k = 0; k < signal.rate; ++k) block[k] = signal.wave(second + static_cast<double>(k) / signal.rate);
      ASSERT_EQ(edfwrite_physical_samples(handle, block.data()), 0);
    }
  }
  ASSERT_EQ(edfclose_file(handle), 0);
}

std::string read_error(const std::filesystem::path& file) {
  try {
    read_edf(file);
  } catch (const ImportError& e) {
    return e.what();
  }
  return "no error";
}

void patch(const std::filesystem::path& file, std::size_t offset, std::string_view text) {
  auto bytes = test::file_bytes(file);
  std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
  std::filesystem::remove(file);
  test::TempDir::write_to(file, bytes);
}

const std::vector<TestSignal> kTwoRates = {
    {"ECG", "uV", 200, [](double t) { return 800 * std::sin(2 * M_PI * 1.3 * t); }},
    {"Resp", "%", 50, [](double t) { return 100 * t; }},
};

TEST(EdfImport, MultiRateFileKeepsLabelsUnitsAndValuesOnTheFastestTicks) {
  struct Case {
    int filetype;
    int digital_steps;
  };
  const Case cases[] = {{EDFLIB_FILETYPE_EDFPLUS, 65535}, {EDFLIB_FILETYPE_BDFPLUS, 16777215}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filetype == EDFLIB_FILETYPE_EDFPLUS ? "EDF+" : "BDF+");
    // One digital step (half of it is the writer's quantisation, the rest covers rounding of
    // the offset) plus the float rounding of values up to 1000.
    const double tolerance = 2 * kPhysicalRange / c.digital_steps + kPhysicalRange * std::ldexp(1.0, -24);
    const test::TempDir dir;
    const auto file = dir.file(c.filetype == EDFLIB_FILETYPE_EDFPLUS ? "two.edf" : "two.bdf");
    write_file(file, c.filetype, kTwoRates, 3);
    const Recording recording = read_edf(file);
    EXPECT_EQ(recording.name, "two");
    ASSERT_EQ(recording.records.size(), 1u);
    const Record& r = recording.records[0];
    ASSERT_EQ(r.channels.size(), 2u);  // the annotation signal is not a channel
    EXPECT_EQ(r.channels[0].name, "ECG");
    EXPECT_EQ(r.channels[0].unit, "uV");
    EXPECT_EQ(r.channels[1].name, "Resp");
    EXPECT_EQ(r.channels[1].unit, "%");
    EXPECT_DOUBLE_EQ(r.tick_interval_s, 1.0 / 200);
    ASSERT_EQ(r.length(), 600u);
    for (std::size_t n = 0; n < r.length(); ++n) {
      const double t = static_cast<double>(n) / 200;
      ASSERT_NEAR(r.channels[0].samples[n], kTwoRates[0].wave(t), tolerance) << "tick " << n;
      // A ramp interpolates to itself; after the last 50 Hz sample (2.98 s) it holds.
      ASSERT_NEAR(r.channels[1].samples[n], 100 * std::min(t, 2.98), tolerance) << "tick " << n;
    }
  }
}

// A plain EDF file laid out field by field: two records of 0.5 s, "fast" with 4 samples
// and "slow" with 2 per record, 0.1 physical units per digital step.
std::string plain_edf(const std::vector<std::int16_t>& fast, const std::vector<std::int16_t>& slow) {
  auto field = [](std::string text, std::size_t width) { return text.append(width - text.size(), ' '); };
  std::string h = field("0", 8) + field("patient", 80) + field("recording", 80) + "01.02.03" + "04.05.06" +
                  field("768", 8) + field("", 44) + field("2", 8) + field("0.5", 8) + field("2", 4);
  for (const char* label : {"fast", "slow"}) h += field(label, 16);
  h += field("", 160);                             // transducers
  h += field("mV", 8) + field("bpm", 8);           // physical dimensions
  h += field("-3276.8", 8) + field("-3276.8", 8);  // physical minimum
  h += field("3276.7", 8) + field("3276.7", 8);    // physical maximum
  h += field("-32768", 8) + field("-32768", 8);    // digital minimum
  h += field("32767", 8) + field("32767", 8);      // digital maximum
  h += field("", 160);                             // prefilters
  h += field("4", 8) + field("2", 8);              // samples per record
  h += field("", 64);
  for (int record = 0; record < 2; ++record) {
    for (int k = 0; k < 4; ++k)
      h += {static_cast<char>(fast[record * 4 + k] & 0xFF), static_cast<char>(fast[record * 4 + k] >> 8)};
    for (int k = 0; k < 2; ++k)
      h += {static_cast<char>(slow[record * 2 + k] & 0xFF), static_cast<char>(slow[record * 2 + k] >> 8)};
  }
  return h;
}

TEST(EdfImport, PlainEdfMapsDigitalToPhysicalOverItsDataRecords) {
  const test::TempDir dir;
  const auto file = dir.write("plain.edf", plain_edf({0, 10, -20, 30, 32767, -32768, 5, 6}, {100, 300, 500, 700}));
  const Record r = read_edf(file).records.at(0);
  ASSERT_EQ(r.channels.size(), 2u);
  EXPECT_EQ(r.channels[0].name, "fast");
  EXPECT_EQ(r.channels[1].unit, "bpm");
  EXPECT_DOUBLE_EQ(r.tick_interval_s, 0.5 / 4);
  // 0.1 per step from 0, within float rounding of values up to 3276.8.
  const std::vector<double> fast = {0, 1, -2, 3, 3276.7, -3276.8, 0.5, 0.6};
  const std::vector<double> slow = {10, 20, 30, 40, 50, 60, 70, 70};  // 10, 30, 50, 70 interpolated
  ASSERT_EQ(r.length(), 8u);
  for (std::size_t n = 0; n < 8; ++n) {
    EXPECT_NEAR(r.channels[0].samples[n], fast[n], 1e-3) << "tick " << n;
    EXPECT_NEAR(r.channels[1].samples[n], slow[n], 1e-3) << "tick " << n;
  }
}

TEST(EdfImport, DiscontinuousFilesAreRefusedSayingSo) {
  const test::TempDir dir;
  const auto file = dir.file("gaps.edf");
  write_file(file, EDFLIB_FILETYPE_EDFPLUS, kTwoRates, 2);
  patch(file, 192, "EDF+D");  // the reserved field that marks EDF+ continuity
  EXPECT_EQ(read_error(file), file.string() +
                                  ": discontinuous EDF+D/BDF+D recording; only continuous EDF, EDF+C, BDF and BDF+C "
                                  "files are supported");
}

TEST(EdfImport, DamagedFilesAreRefusedNamingTheFile) {
  const test::TempDir dir;
  const auto file = dir.file("cut.edf");
  write_file(file, EDFLIB_FILETYPE_EDFPLUS, kTwoRates, 3);
  std::filesystem::resize_file(file, std::filesystem::file_size(file) - 100);
  EXPECT_EQ(read_error(file), file.string() + ": not a valid EDF or BDF file: the header does not follow the format");

  const auto text = dir.write("notes.edf", "this is not an EDF file at all");
  EXPECT_EQ(read_error(text), text.string() + ": not an EDF or BDF file: 30 bytes, shorter than the 256-byte header");
  const auto header_sized = dir.write("blank.edf", std::string(300, ' '));
  EXPECT_EQ(read_error(header_sized),
            header_sized.string() + ": not a valid EDF or BDF file: the header does not follow the format");
  EXPECT_EQ(read_error(dir.file("missing.edf")), dir.file("missing.edf").string() + ": file not found");
}

}  // namespace
}  // namespace korvel::io
