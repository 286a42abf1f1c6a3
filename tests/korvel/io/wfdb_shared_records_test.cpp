// SPDX-License-Identifier: MIT
// The shared real recordings, checked against values worked out by hand from their raw
// bytes and headers, and damaged copies of them (made in a temporary folder).
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "korvel/io/load_recording.h"
#include "korvel/io/wfdb_annotations.h"
#include "shared_data.h"
#include "temp_dir.h"

namespace korvel::io {
namespace {

std::string record_error(const std::filesystem::path& file) {
  try {
    load_recording(file);
  } catch (const ImportError& e) {
    return e.what();
  }
  return "no error";
}

struct Sample {
  std::size_t channel, tick;
  double expected;  // (ADC value - baseline) / gain in double, rounded once to float as the importer does
};

struct SharedRecord {
  const char* header;
  std::size_t channels, length;
  double rate_hz;
  std::vector<std::tuple<std::size_t, const char*, const char*>> names;  // channel, name, unit
  std::vector<Sample> samples;
};

TEST(WfdbSharedRecords, DecodeToTheValuesOfTheirRawBytes) {
  const SharedRecord records[] = {
      // od -t x1 -N 3 100.dat: e3 33 f3. MLII = 0xe3 | (0x33 & 0x0f) << 8 = 995, V5 = 0xf3 | (0x33 & 0xf0) << 4 = 1011;
      // frame 1000 (od -j 3000): b1 33 ca, 945 and 970. Gain 200, baseline = ADC zero 1024.
      {"mitdb/100.hea", 2, 650000, 360, {{0, "MLII", "mV"}, {1, "V5", "mV"}},
       {{0, 0, (995 - 1024) / 200.0}, {1, 0, (1011 - 1024) / 200.0}, {0, 1000, (945 - 1024) / 200.0}, {1, 1000, (970 - 1024) / 200.0}}},
      // Gain 61180.7927, baseline -4442. Bytes 0-1: 00 fd = -768; sample 10000: 4a c2 = -15798.
      {"animal/Dog_example.hea", 1, 177092, 500, {{0, "electrocardiogram-dog", ""}},
       {{0, 0, (-768 + 4442) / 61180.7927}, {0, 10000, (-15798 + 4442) / 61180.7927}}},
      // Format 80, frame 100000 (bytes 200000-1): 83 80, offset binary 3 and 0; gains 26 and 11.
      {"long/3975656_0006.hea", 2, 1304941, 125, {}, {{0, 100000, 3 / 26.0}, {1, 100000, 0.0}}},
      // od -j 12000 -N 12 (frame 1000): 67, 12, -432, 24, -419, -1295 against gains 1880, 1157,
      // 19.9115, 40, 2000, 2000 and baselines 0, 0, -1601, -1599, 0, 0.
      {"bp/mimicdb230_pcst.hea", 6, 37500, 125, {{2, "ABP", "mmHg"}},
       {{0, 1000, 67 / 1880.0}, {1, 1000, 12 / 1157.0}, {2, 1000, (-432 + 1601) / 19.9115}, {3, 1000, (24 + 1599) / 40.0},
        {4, 1000, -419 / 2000.0}, {5, 1000, -1295 / 2000.0}}},
  };
  for (const SharedRecord& c : records) {
    SCOPED_TRACE(c.header);
    HRV_REQUIRE_SHARED(header, c.header);
    const Recording recording = load_recording(header);
    ASSERT_EQ(recording.records.size(), 1u);
    const Record& r = recording.records[0];
    ASSERT_EQ(r.channels.size(), c.channels);
    EXPECT_EQ(r.length(), c.length);
    EXPECT_DOUBLE_EQ(r.tick_interval_s, 1.0 / c.rate_hz);
    for (const auto& [channel, name, unit] : c.names) EXPECT_EQ(std::tie(r.channels[channel].name, r.channels[channel].unit), std::tuple(name, unit));
    for (const Sample& s : c.samples)
      EXPECT_FLOAT_EQ(r.channels[s.channel].samples[s.tick], static_cast<float>(s.expected)) << "channel " << s.channel << " tick " << s.tick;
  }
}

TEST(WfdbSharedRecords, TheSignalFileOpensTheSameRecordAsTheHeader) {
  HRV_REQUIRE_SHARED(header, "mitdb/100.hea");
  EXPECT_EQ(load_recording(header.parent_path() / "100.dat").records[0].channels[0].samples,
            load_recording(header).records[0].channels[0].samples);
}

TEST(WfdbSharedRecords, AnnotationsHaveThePublishedBeatCountsAndTimeBases) {
  // Counts as published with the recordings, confirmed by this reader.
  const std::tuple<const char*, std::size_t, double> cases[] = {{"mitdb/100.atr", 2273, 360},
                                                                {"animal/Dog_example.qrs", 636, 500},
                                                                {"animal/Mouse_24.qrs", 9656, 1000},
                                                                {"animal/Rabbit_example.qrs", 5449, 1000},
                                                                {"rr24h/nsr001.ecg", 106460, 128}};  // the time base from the header
  for (const auto& [name, beats, time_base_hz] : cases) {
    SCOPED_TRACE(name);
    HRV_REQUIRE_SHARED(file, name);
    const AnnotationSet set = read_wfdb_annotations(file);
    EXPECT_EQ(beat_annotations(set.annotations).size(), beats);
    EXPECT_EQ(set.time_base_hz, time_base_hz);
  }
  HRV_REQUIRE_SHARED(mitdb, "mitdb/100.atr");
  const AnnotationSet set = read_wfdb_annotations(mitdb);
  ASSERT_GE(set.annotations.size(), 2u);  // the rhythm label "(N" at sample 18, the first beat at 77
  EXPECT_EQ(std::tie(set.annotations[0].code, set.annotations[0].time, set.annotations[0].aux), std::tuple(28, 18, "(N"));
  EXPECT_EQ(set.annotations[1].time, 77);
  // An annotation-only record opens as its beats: one event per beat annotation, on the
  // annotations' clock.
  HRV_REQUIRE_SHARED(nsr, "rr24h/nsr001.hea");
  const Recording beats = load_recording(nsr);
  ASSERT_EQ(beats.records.size(), 1u);
  ASSERT_EQ(beats.records[0].events.size(), 1u);
  EXPECT_EQ(beats.records[0].events[0].ticks.size(), 106460u);
  EXPECT_EQ(beats.records[0].tick_interval_s, 1.0 / 128);
}

TEST(WfdbSharedRecords, DamagedCopiesAreRefusedNamingTheFile) {
  HRV_REQUIRE_SHARED(header, "mitdb/100.hea");
  const test::TempDir dir;
  const auto header_bytes = test::file_bytes(header);
  auto signal = test::file_bytes(header.parent_path() / "100.dat");
  dir.write("100.hea", header_bytes);

  signal.resize(signal.size() - 4);  // cut in the middle of the last frames
  dir.write("100.dat", signal);
  EXPECT_EQ(record_error(dir.file("100.hea")),
            dir.file("100.dat").string() +
                ": signal file is truncated: the header gives 650000 samples per signal (1950000 bytes), the file holds 1949996 bytes, "
                "enough for 649998 samples per signal");
  signal.resize(1950000);
  signal[300000] ^= 0x01;  // one bit of MLII in frame 100000
  dir.write("100.dat", signal);
  EXPECT_NE(record_error(dir.file("100.hea")).find(dir.file("100.dat").string() + ": signal 1 (MLII) sums to checksum"), std::string::npos);
  dir.write("bad.hea", "100 2 360 650000\n100.dat 212 200 11 1024 995 -22131 0 MLII\n100.dat 21Z 200\n");
  EXPECT_EQ(record_error(dir.file("bad.hea")), dir.file("bad.hea").string() + ": line 3: bad format \"21Z\"");

  auto annotations = test::file_bytes(header.parent_path() / "100.atr");
  annotations.resize(5);  // inside the text of the first annotation
  try {
    read_wfdb_annotations(dir.write("cut.atr", annotations));
    ADD_FAILURE() << "a cut annotation file was read";
  } catch (const ImportError& e) {
    EXPECT_EQ(std::string(e.what()),
              dir.file("cut.atr").string() + ": truncated annotation file: AUX text of 3 bytes at byte 2 runs past the end (5 bytes)");
  }
}

}  // namespace
}  // namespace korvel::io
