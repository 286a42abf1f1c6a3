// SPDX-License-Identifier: MIT
#include "korvel/io/wfdb_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace korvel::io {
namespace {

// The storage layouts written out byte by byte: the slow, obvious inverse of the decoder.
std::vector<std::uint8_t> encode(int format, const std::vector<std::int32_t>& stream) {
  std::vector<std::uint8_t> out;
  auto byte = [&](std::int64_t v, int shift) { out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFF)); };
  for (std::size_t i = 0; i < stream.size(); ++i) {
    const std::int64_t v = stream[i];
    switch (format) {
      case 8:
        byte(v, 0);
        break;
      case 80:
        byte(v + 128, 0);
        break;
      case 16:
        byte(v, 0);
        byte(v, 8);
        break;
      case 61:
        byte(v, 8);
        byte(v, 0);
        break;
      case 160:
        byte(v + 32768, 0);
        byte(v + 32768, 8);
        break;
      case 24:
        byte(v, 0);
        byte(v, 8);
        byte(v, 16);
        break;
      case 32:
        byte(v, 0);
        byte(v, 8);
        byte(v, 16);
        byte(v, 24);
        break;
      case 212:
        if (i % 2 == 1) break;  // written with its partner
        const std::int64_t next = i + 1 < stream.size() ? stream[i + 1] : 0;
        byte(v, 0);
        out.push_back(static_cast<std::uint8_t>(((v >> 8) & 0x0F) | ((next >> 4) & 0xF0)));
        if (i + 1 < stream.size()) byte(next, 0);
        break;
    }
  }
  return out;
}

class Files {
 public:
  void add(const std::string& name, std::vector<std::uint8_t> bytes) {
    files_[name] = std::move(bytes);
    last_ = name;
  }
  std::vector<std::uint8_t>& back() { return files_[last_]; }
  // Files as the decoder sees them; `claimed_size` overrides what a file's size appears to be.
  WfdbSignalFiles access(std::uint64_t claimed_size = 0) const {
    return {[this, claimed_size](const std::string& name) {
              return claimed_size != 0 ? claimed_size : static_cast<std::uint64_t>(find(name).size());
            },
            [this](const std::string& name, std::uint64_t count) {
              const auto& bytes = find(name);
              return std::vector<std::uint8_t>(
                  bytes.begin(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(count, bytes.size())));
            }};
  }

 private:
  const std::vector<std::uint8_t>& find(const std::string& name) const {
    const auto it = files_.find(name);
    if (it == files_.end()) throw ImportError(name + ": file not found");
    return it->second;
  }

  std::map<std::string, std::vector<std::uint8_t>> files_;
  std::string last_;
};

Record decode(const std::string& header, const Files& files, bool verify_checksums = true) {
  return decode_wfdb_signals(parse_wfdb_header(header, "db/rec.hea"), files.access(), "db/rec.hea", verify_checksums);
}

std::string decode_error(const std::string& header, const Files& files, bool verify_checksums = true) {
  try {
    decode(header, files, verify_checksums);
  } catch (const ImportError& e) {
    return e.what();
  }
  return "no error";
}

float physical(std::int32_t adc, int baseline, double gain) {
  return static_cast<float>((adc - static_cast<double>(baseline)) / gain);
}

TEST(WfdbRecord, EveryFormatDecodesInterleavedSignalsFromItsByteLayout) {
  struct Case {
    int format;
    std::int32_t lowest;  // the invalid code is one below
    std::int32_t highest;
  };
  const Case cases[] = {{16, -32767, 32767}, {61, -32767, 32767},     {160, -32767, 32767},         {80, -127, 127},
                        {212, -2047, 2047},  {24, -8388607, 8388607}, {32, -2147483647, 2147483647}};
  std::mt19937 random(7);
  for (const Case& c : cases) {
    SCOPED_TRACE("format " + std::to_string(c.format));
    // Three signals by five frames: an odd sample count ends format 212 on half a group.
    constexpr int kFrames = 5;
    std::uniform_int_distribution<std::int32_t> value(c.lowest, c.highest);
    std::vector<std::int32_t> stream;
    for (int i = 0; i < 3 * kFrames; ++i) stream.push_back(value(random));
    stream[0] = c.lowest;
    stream[4] = c.highest;
    Files files;
    files.add("d.dat", encode(c.format, stream));
    const std::string f = std::to_string(c.format);
    const Record r = decode(
        "rec 3 100 5\nd.dat " + f + " 200(10)/mV\nd.dat " + f + " 0.5(-3)/uV\nd.dat " + f + " 1000/mmHg\n", files);
    ASSERT_EQ(r.channels.size(), 3u);
    EXPECT_EQ(r.channels[1].unit, "uV");
    const int baselines[] = {10, -3, 0};
    const double gains[] = {200, 0.5, 1000};
    for (int s = 0; s < 3; ++s) {
      ASSERT_EQ(r.channels[s].samples.size(), std::size_t{kFrames});
      for (int t = 0; t < kFrames; ++t) {
        // The importer rounds one double result to float, as the oracle does.
        EXPECT_FLOAT_EQ(r.channels[s].samples[t], physical(stream[t * 3 + s], baselines[s], gains[s]))
            << "signal " << s << " frame " << t;
      }
    }
  }
}

TEST(WfdbRecord, InvalidSampleCodesBecomeNaN) {
  Files files;
  files.add("a.dat", encode(212, {-2048, 5}));
  files.add("b.dat", encode(16, {-32768, 5}));
  files.add("c.dat", encode(80, {-128, 5}));
  const Record r = decode("rec 3 100 2\na.dat 212 1(0)\nb.dat 16 1(0)\nc.dat 80 1(0)\n", files);
  for (const Channel& c : r.channels) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(std::isnan(c.samples[0])) << c.samples[0];
    EXPECT_EQ(c.samples[1], 5.0f);
  }
}

TEST(WfdbRecord, FormatEightAddsDifferencesToTheInitialValue) {
  Files files;
  files.add("d.dat", encode(8, {0, 5, -3, 127, -128}));
  const Record r = decode("rec 1 100 5\nd.dat 8 1(0)/mV 8 0 100\n", files);
  EXPECT_EQ(r.channels[0].samples, (std::vector<float>{100, 105, 102, 229, 101}));
}

TEST(WfdbRecord, ByteOffsetSkipsTheFilesPrologue) {
  std::vector<std::uint8_t> bytes = {0xDE, 0xAD, 0xBE, 0xEF};
  const auto samples = encode(16, {1, -2, 3});
  bytes.insert(bytes.end(), samples.begin(), samples.end());
  Files files;
  files.add("d.dat", bytes);
  EXPECT_EQ(decode("rec 1 100\nd.dat 16+4 1(0)\n", files).channels[0].samples, (std::vector<float>{1, -2, 3}));
  EXPECT_NE(decode_error("rec 1 100\nd.dat 16+40 1(0)\n", files)
                .find("db/d.dat: file of 10 bytes is shorter than its byte offset 40"),
            std::string::npos);
}

TEST(WfdbRecord, LengthComesFromTheShortestFileWhenTheHeaderOmitsIt) {
  Files files;
  files.add("a.dat", encode(16, {1, 2, 3, 4, 5, 6, 7}));
  files.back().push_back(0x55);  // half a sample at the end is not a sample
  files.add("b.dat", encode(80, {1, 2, 3, 4, 5, 6, 7, 8, 9}));
  const Record r = decode("rec 2 100\na.dat 16 1(0)\nb.dat 80 1(0)\n", files);
  EXPECT_EQ(r.length(), 7u);
  EXPECT_EQ(r.channels[1].samples.back(), 7.0f);
}

TEST(WfdbRecord, SlowerSignalIsInterpolatedOntoTheFastestTicks) {
  // Each frame holds four samples of "fast" then one of "slow"; 100 frames/s.
  std::vector<std::int32_t> stream;
  const std::int32_t slow[] = {0, 40, 80};
  for (int frame = 0; frame < 3; ++frame) {
    for (int k = 0; k < 4; ++k) stream.push_back(frame * 4 + k);
    stream.push_back(slow[frame]);
  }
  Files files;
  files.add("d.dat", encode(16, stream));
  const Record r =
      decode("rec 2 100 3\nd.dat 16x4 1(0)/mV 16 0 0 66 0 fast\nd.dat 16 1(0)/mV 16 0 0 120 0 slow\n", files);
  EXPECT_DOUBLE_EQ(r.tick_interval_s, 1.0 / 400);
  EXPECT_EQ(r.channels[0].samples, (std::vector<float>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  // Linear between frames; after the last slow sample, its value holds.
  EXPECT_EQ(r.channels[1].samples, (std::vector<float>{0, 10, 20, 30, 40, 50, 60, 70, 80, 80, 80, 80}));
}

TEST(WfdbRecord, SkewTakesLaterFramesAndPadsTheEndWithNaN) {
  Files files;
  files.add("d.dat", encode(16, {0, 100, 1, 101, 2, 102, 3, 103}));
  const Record r = decode("rec 2 100 3\nd.dat 16 1(0)\nd.dat 16:1 1(0)\n", files);
  EXPECT_EQ(r.channels[0].samples, (std::vector<float>{0, 1, 2}));
  EXPECT_EQ(r.channels[1].samples, (std::vector<float>{101, 102, 103}));

  const Record whole = decode("rec 2 100 4\nd.dat 16 1(0)\nd.dat 16:1 1(0)\n", files);
  ASSERT_EQ(whole.channels[1].samples.size(), 4u);
  EXPECT_EQ(whole.channels[1].samples[2], 103.0f);
  EXPECT_TRUE(std::isnan(whole.channels[1].samples[3])) << whole.channels[1].samples[3];
}

TEST(WfdbRecord, TruncatedFileSaysHowManySamplesWereExpectedAndFound) {
  Files files;
  files.add("d.dat", std::vector<std::uint8_t>(39, 0));
  EXPECT_EQ(decode_error("rec 2 100 10\nd.dat 16\nd.dat 16\n", files),
            "db/d.dat: signal file is truncated: the header gives 10 samples per signal (40 bytes), "
            "the file holds 39 bytes, enough for 9 samples per signal");
}

TEST(WfdbRecord, HugeLengthsAreRefusedBeforeAnythingIsAllocatedForThem) {
  Files files;
  files.add("d.dat", std::vector<std::uint8_t>(8, 0));
  EXPECT_EQ(decode_error("rec 1 100 1000000000000000\nd.dat 16\n", files),
            "db/d.dat: signal file is truncated: the header gives 1000000000000000 samples per signal "
            "(2000000000000000 bytes), the file holds 8 bytes, enough for 4 samples per signal");
  // A signal file that claims to be 5 GiB is refused before it is read.
  const auto five_gib = std::uint64_t{5} << 30;
  try {
    decode_wfdb_signals(parse_wfdb_header("rec 1 100\nd.dat 16\n", "db/rec.hea"), files.access(five_gib), "db/rec.hea",
                        true);
    ADD_FAILURE() << "no error";
  } catch (const ImportError& e) {
    EXPECT_EQ(std::string(e.what()),
              "db/d.dat: the record needs 5368709120 bytes of this file; over 4294967296 is not supported");
  }
}

TEST(WfdbRecord, ChecksumMismatchIsRefusedUnlessVerificationIsOff) {
  Files files;
  files.add("d.dat", encode(16, {30000, 30000, -5}));
  // 30000 + 30000 - 5 = 59995, which is -5541 as a signed 16-bit sum.
  EXPECT_NO_THROW(decode("rec 1 100 3\nd.dat 16 1(0) 16 0 0 -5541\n", files));
  EXPECT_NE(decode_error("rec 1 100 3\nd.dat 16 1(0) 16 0 0 -5540\n", files)
                .find("db/d.dat: signal 1 sums to checksum -5541 but the header gives -5540"),
            std::string::npos);
  EXPECT_NO_THROW(decode("rec 1 100 3\nd.dat 16 1(0) 16 0 0 -5540\n", files, false));
}

TEST(WfdbRecord, UnreadableLayoutsAreRefusedWithTheReason) {
  Files files;
  files.add("d.dat", std::vector<std::uint8_t>(16, 0));
  EXPECT_NE(
      decode_error("rec 1 100\nd.dat 310\n", files).find("db/rec.hea: signal 1 is stored in format 310"),
      std::string::npos);
  EXPECT_NE(
      decode_error("rec 2 100\nd.dat 16\nd.dat 80\n", files).find("shares file d.dat with signals of another format"),
      std::string::npos);
  EXPECT_NE(decode_error("rec 1 100\nmissing.dat 16\n", files).find("missing.dat: file not found"), std::string::npos);
  EXPECT_NE(
      decode_error("rec 0 128\n", files).find("db/rec.hea: record rec has no signals (an annotation-only record)"),
      std::string::npos);
}

}  // namespace
}  // namespace korvel::io
