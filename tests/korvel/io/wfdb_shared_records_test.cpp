// SPDX-License-Identifier: MIT
// The shared real recordings, checked against values worked out by hand from their raw
// bytes and headers, and damaged copies of them (made in a temporary folder).
#include <gtest/gtest.h>

#include <string>

#include "korvel/io/load_recording.h"
#include "korvel/io/wfdb_annotations.h"
#include "shared_data.h"
#include "temp_dir.h"

namespace korvel::io {
namespace {

std::string load_error(const std::filesystem::path& file) {
  try {
    load_recording(file);
  } catch (const ImportError& e) {
    return e.what();
  }
  return "no error";
}

// Every expectation below is (ADC value - baseline) / gain computed in double and rounded
// once to float, as the importer does, so samples compare within 4 float ULPs.

TEST(WfdbSharedRecords, Mitdb100IsTwoFormat212SignalsAt360Hz) {
  HRV_REQUIRE_SHARED(header, "mitdb/100.hea");
  const Recording recording = load_recording(header);
  EXPECT_EQ(recording.name, "100");
  ASSERT_EQ(recording.records.size(), 1u);
  const Record& r = recording.records[0];
  ASSERT_EQ(r.channels.size(), 2u);
  EXPECT_EQ(r.length(), 650000u);
  EXPECT_DOUBLE_EQ(r.tick_interval_s, 1.0 / 360);
  EXPECT_EQ(r.channels[0].name, "MLII");
  EXPECT_EQ(r.channels[1].name, "V5");
  EXPECT_EQ(r.channels[1].unit, "mV");
  // od -t x1 -N 3 100.dat: e3 33 f3. MLII = 0xe3 | (0x33 & 0x0f) << 8 = 0x3e3 = 995,
  // V5 = 0xf3 | (0x33 & 0xf0) << 4 = 0x3f3 = 1011; gain 200, baseline = ADC zero 1024.
  EXPECT_FLOAT_EQ(r.channels[0].samples[0], static_cast<float>((995 - 1024) / 200.0));
  EXPECT_FLOAT_EQ(r.channels[1].samples[0], static_cast<float>((1011 - 1024) / 200.0));
  // od -j 3000 -N 3 (frame 1000): b1 33 ca. MLII = 0x3b1 = 945, V5 = 0x3ca = 970.
  EXPECT_FLOAT_EQ(r.channels[0].samples[1000], static_cast<float>((945 - 1024) / 200.0));
  EXPECT_FLOAT_EQ(r.channels[1].samples[1000], static_cast<float>((970 - 1024) / 200.0));
  // The signal file opens the same record.
  EXPECT_EQ(load_recording(header.parent_path() / "100.dat").records[0].channels[0].samples[1000],
            r.channels[0].samples[1000]);
}

TEST(WfdbSharedRecords, DogIsOneFormat16SignalWithAnEmptyUnit) {
  HRV_REQUIRE_SHARED(header, "animal/Dog_example.hea");
  const Record r = load_recording(header).records.at(0);
  ASSERT_EQ(r.channels.size(), 1u);
  EXPECT_EQ(r.length(), 177092u);
  EXPECT_DOUBLE_EQ(r.tick_interval_s, 1.0 / 500);
  EXPECT_EQ(r.channels[0].name, "electrocardiogram-dog");
  EXPECT_EQ(r.channels[0].unit, "");
  // Gain 61180.7927, baseline -4442. Bytes 0-1: 00 fd = 0xfd00 = -768 (also the header's
  // initial value). Bytes 20000-20001 (sample 10000): 4a c2 = 0xc24a = -15798.
  EXPECT_FLOAT_EQ(r.channels[0].samples[0], static_cast<float>((-768 + 4442) / 61180.7927));
  EXPECT_FLOAT_EQ(r.channels[0].samples[10000], static_cast<float>((-15798 + 4442) / 61180.7927));
}

TEST(WfdbSharedRecords, LongRecordIsTwoFormat80Signals) {
  HRV_REQUIRE_SHARED(header, "long/3975656_0006.hea");
  const Record r = load_recording(header).records.at(0);
  ASSERT_EQ(r.channels.size(), 2u);
  EXPECT_EQ(r.length(), 1304941u);
  EXPECT_DOUBLE_EQ(r.tick_interval_s, 1.0 / 125);
  // Bytes 200000-200001 (frame 100000): 83 80. Offset binary: 0x83 - 128 = 3, 0x80 - 128 = 0;
  // gains 26 and 11 per mV, baseline 0.
  EXPECT_FLOAT_EQ(r.channels[0].samples[100000], static_cast<float>(3 / 26.0));
  EXPECT_EQ(r.channels[1].samples[100000], 0.0f);
}

TEST(WfdbSharedRecords, MimicRecordInterleavesSixSignals) {
  HRV_REQUIRE_SHARED(header, "bp/mimicdb230_pcst.hea");
  const Record r = load_recording(header).records.at(0);
  ASSERT_EQ(r.channels.size(), 6u);
  EXPECT_EQ(r.length(), 37500u);
  EXPECT_DOUBLE_EQ(r.tick_interval_s, 1.0 / 125);
  EXPECT_EQ(r.channels[2].name, "ABP");
  EXPECT_EQ(r.channels[2].unit, "mmHg");
  // od -j 12000 -N 12 (frame 1000): 43 00 0c 00 50 fe 18 00 5d fe f1 fa, i.e. 67, 12, -432,
  // 24, -419, -1295 against gains 1880, 1157, 19.9115, 40, 2000, 2000 and baselines 0, 0,
  // -1601, -1599, 0, 0.
  const auto& c = r.channels;
  EXPECT_FLOAT_EQ(c[0].samples[1000], static_cast<float>(67 / 1880.0));
  EXPECT_FLOAT_EQ(c[1].samples[1000], static_cast<float>(12 / 1157.0));
  EXPECT_FLOAT_EQ(c[2].samples[1000], static_cast<float>((-432 + 1601) / 19.9115));
  EXPECT_FLOAT_EQ(c[3].samples[1000], static_cast<float>((24 + 1599) / 40.0));
  EXPECT_FLOAT_EQ(c[4].samples[1000], static_cast<float>(-419 / 2000.0));
  EXPECT_FLOAT_EQ(c[5].samples[1000], static_cast<float>(-1295 / 2000.0));
}

TEST(WfdbSharedRecords, AnnotationOnlyRecordRefusesSignalsButReadsItsBeats) {
  HRV_REQUIRE_SHARED(header, "rr24h/nsr001.hea");
  EXPECT_NE(load_error(header).find("nsr001.hea: record nsr001 has no signals (an annotation-only record)"),
            std::string::npos)
      << load_error(header);
  const AnnotationSet set = read_wfdb_annotations(header.parent_path() / "nsr001.ecg");
  EXPECT_EQ(set.time_base_hz, 128.0);  // from the header: the file has no resolution note
  EXPECT_EQ(beat_annotations(set.annotations).size(), 106460u);
}

TEST(WfdbSharedRecords, ReferenceBeatCountsAndTimeBases) {
  struct Case {
    const char* file;
    std::size_t beats;
    double time_base_hz;
  };
  // Counts as published with the recordings, confirmed by this reader.
  const Case cases[] = {{"mitdb/100.atr", 2273, 360},
                        {"animal/Dog_example.qrs", 636, 500},
                        {"animal/Mouse_24.qrs", 9656, 1000},
                        {"animal/Rabbit_example.qrs", 5449, 1000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    HRV_REQUIRE_SHARED(file, c.file);
    const AnnotationSet set = read_wfdb_annotations(file);
    EXPECT_EQ(beat_annotations(set.annotations).size(), c.beats);
    EXPECT_EQ(set.time_base_hz, c.time_base_hz);
  }
}

TEST(WfdbSharedRecords, Mitdb100BeatsAgreeWithABareWordCount) {
  HRV_REQUIRE_SHARED(file, "mitdb/100.atr");
  // Independent count: walk the words, jump over SKIP's 4 bytes and AUX text, count beat codes.
  const auto bytes = test::file_bytes(file);
  std::size_t beats = 0;
  for (std::size_t i = 0; i + 1 < bytes.size();) {
    const unsigned word = bytes[i] | bytes[i + 1] << 8;
    i += 2;
    const unsigned code = word >> 10;
    if (word == 0) break;
    if (code == 59) i += 4;
    if (code == 63) i += ((word & 0x3FF) + 1) / 2 * 2;
    if (is_beat_code(static_cast<int>(code))) ++beats;
  }
  const AnnotationSet set = read_wfdb_annotations(file);
  EXPECT_EQ(beat_annotations(set.annotations).size(), beats);
  // The first annotation is the rhythm label "(N" at sample 18, the first beat at 77.
  ASSERT_GE(set.annotations.size(), 2u);
  EXPECT_EQ(set.annotations[0].code, 28);
  EXPECT_EQ(set.annotations[0].time, 18);
  EXPECT_EQ(set.annotations[0].aux, "(N");
  EXPECT_EQ(set.annotations[1].time, 77);
}

TEST(WfdbSharedRecords, DamagedCopiesAreRefusedNamingTheFile) {
  HRV_REQUIRE_SHARED(header, "mitdb/100.hea");
  const test::TempDir dir;
  const std::string header_text = [&] {
    const auto b = test::file_bytes(header);
    return std::string(b.begin(), b.end());
  }();
  auto signal = test::file_bytes(header.parent_path() / "100.dat");
  dir.write("100.hea", header_text);

  signal.resize(signal.size() - 4);  // cut in the middle of the last frames
  dir.write("100.dat", signal);
  EXPECT_EQ(load_error(dir.file("100.hea")),
            dir.file("100.dat").string() +
                ": signal file is truncated: the header gives 650000 samples per signal (1950000 bytes), the file "
                "holds 1949996 bytes, enough for 649998 samples per signal");

  signal.resize(1950000);
  signal[300000] ^= 0x01;  // one bit of MLII in frame 100000
  dir.write("100.dat", signal);
  EXPECT_NE(load_error(dir.file("100.hea")).find(dir.file("100.dat").string() + ": signal 1 (MLII) sums to checksum"),
            std::string::npos);

  dir.write("bad.hea", "100 2 360 650000\n100.dat 212 200 11 1024 995 -22131 0 MLII\n100.dat 21Z 200\n");
  EXPECT_EQ(load_error(dir.file("bad.hea")), dir.file("bad.hea").string() + ": line 3: bad format \"21Z\"");

  auto annotations = test::file_bytes(header.parent_path() / "100.atr");
  annotations.resize(5);  // inside the AUX text of the first annotation
  dir.write("cut.atr", annotations);
  try {
    read_wfdb_annotations(dir.file("cut.atr"));
    ADD_FAILURE() << "a cut annotation file was read";
  } catch (const ImportError& e) {
    EXPECT_EQ(std::string(e.what()),
              dir.file("cut.atr").string() +
                  ": truncated annotation file: AUX text of 3 bytes at byte 2 runs past the end (5 bytes)");
  }
}

}  // namespace
}  // namespace korvel::io
