// SPDX-License-Identifier: MIT
#include "korvel/io/wfdb_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace korvel::io {
namespace {

// The storage layouts written out byte by byte: the slow, obvious inverse of the decoder.
std::vector<std::uint8_t> encode(int format, const std::vector<std::int32_t>& stream) {
  std::vector<std::uint8_t> out;
  auto byte = [&](std::int64_t v) { out.push_back(static_cast<std::uint8_t>(v & 0xFF)); };
  if (format == 212) {  // pairs in three bytes: low bytes, then both high nibbles
    for (std::size_t i = 0; i < stream.size(); i += 2) {
      const std::int64_t v = stream[i], next = i + 1 < stream.size() ? stream[i + 1] : 0;
      byte(v);
      byte(((v >> 8) & 0x0F) | ((next >> 4) & 0xF0));
      if (i + 1 < stream.size()) byte(next);
    }
    return out;
  }
  // Bytes per sample, the offset added (offset binary), and whether the high byte comes first.
  const std::map<int, std::tuple<int, int, bool>> layouts = {{8, {1, 0, false}},      {80, {1, 128, false}}, {16, {2, 0, false}},
                                                             {61, {2, 0, true}},      {160, {2, 32768, false}},
                                                             {24, {3, 0, false}},     {32, {4, 0, false}}};
  const auto [bytes, offset, big_endian] = layouts.at(format);
  for (const std::int64_t v : stream)
    for (int i = 0; i < bytes; ++i) byte((v + offset) >> (8 * (big_endian ? bytes - 1 - i : i)));
  return out;
}

using Files = std::map<std::string, std::vector<std::uint8_t>>;

// The files as the decoder sees them; `claimed_size` overrides what a file's size appears to be.
WfdbSignalFiles access(const Files& files, std::uint64_t claimed_size = 0) {
  auto find = [&files](const std::string& name) -> const std::vector<std::uint8_t>& {
    const auto it = files.find(name);
    if (it == files.end()) throw ImportError(name + ": file not found");
    return it->second;
  };
  return {[=](const std::string& name) { return claimed_size != 0 ? claimed_size : std::uint64_t{find(name).size()}; },
          [=](const std::string& name, std::uint64_t count) {
            const auto& bytes = find(name);
            return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(count, bytes.size())));
          }};
}

// The files with reads at any offset too: signals that can be read on demand are.
WfdbSignalFiles on_demand(const Files& files) {
  WfdbSignalFiles a = access(files);
  a.open = [&files](const std::string& name) -> WfdbSignalFiles::ReadAt {
    const auto& bytes = files.at(name);
    return [&bytes](std::uint64_t offset, std::uint64_t count, std::uint8_t* out) {
      if (offset + count > bytes.size()) throw ImportError("read past the end of the file");
      std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), count, out);
    };
  };
  return a;
}

Record decode(const std::string& header, const Files& files, bool verify_checksums = true, std::uint64_t claimed_size = 0) {
  return decode_wfdb_signals(parse_wfdb_header(header, "db/rec.hea"), access(files, claimed_size), "db/rec.hea", verify_checksums);
}

std::string decode_error(const std::string& header, const Files& files, bool verify_checksums = true, std::uint64_t claimed_size = 0) {
  try {
    decode(header, files, verify_checksums, claimed_size);
  } catch (const ImportError& e) {
    return e.what();
  }
  return "no error";
}

TEST(WfdbRecord, EveryFormatDecodesInterleavedSignalsFromItsByteLayout) {
  // Each format's lowest valid code (the invalid code is one below) and highest.
  const std::tuple<int, std::int32_t, std::int32_t> cases[] = {
      {16, -32767, 32767},   {61, -32767, 32767}, {160, -32767, 32767}, {80, -127, 127}, {212, -2047, 2047},
      {24, -8388607, 8388607}, {32, -2147483647, 2147483647}};
  std::mt19937 random(7);
  for (const auto& [format, lowest, highest] : cases) {
    SCOPED_TRACE("format " + std::to_string(format));
    // Three signals by five frames: an odd sample count ends format 212 on half a group.
    std::uniform_int_distribution<std::int32_t> value(lowest, highest);
    std::vector<std::int32_t> stream;
    for (int i = 0; i < 15; ++i) stream.push_back(value(random));
    stream[0] = lowest;
    stream[4] = highest;
    const std::string f = std::to_string(format);
    const Record r = decode("rec 3 100 5\nd.dat " + f + " 200(10)/mV\nd.dat " + f + " 0.5(-3)/uV\nd.dat " + f + " 1000/mmHg\n",
                            {{"d.dat", encode(format, stream)}});
    ASSERT_EQ(r.channels.size(), 3u);
    EXPECT_EQ(r.channels[1].unit, "uV");
    const int baselines[] = {10, -3, 0};
    const double gains[] = {200, 0.5, 1000};
    for (int s = 0; s < 3; ++s) {
      ASSERT_EQ(r.channels[s].samples.size(), 5u);
      for (int t = 0; t < 5; ++t)  // one double result rounded to float, as the importer does
        EXPECT_FLOAT_EQ(r.channels[s].samples[t], static_cast<float>((stream[t * 3 + s] - static_cast<double>(baselines[s])) / gains[s]))
            << "signal " << s << " frame " << t;
    }
  }
}

TEST(WfdbRecord, InvalidCodesAreNaNAndFormatEightAddsDifferencesToTheInitialValue) {
  const Record r = decode("rec 3 100 2\na.dat 212 1(0)\nb.dat 16 1(0)\nc.dat 80 1(0)\n",
                          {{"a.dat", encode(212, {-2048, 5})}, {"b.dat", encode(16, {-32768, 5})}, {"c.dat", encode(80, {-128, 5})}});
  for (const Channel& c : r.channels) {
    EXPECT_TRUE(std::isnan(c.samples[0])) << c.name << ": " << c.samples[0];
    EXPECT_EQ(c.samples[1], 5.0f) << c.name;
  }
  EXPECT_EQ(decode("rec 1 100 5\nd.dat 8 1(0)/mV 8 0 100\n", {{"d.dat", encode(8, {0, 5, -3, 127, -128})}}).channels[0].samples,
            (std::vector<float>{100, 105, 102, 229, 101}));
}

TEST(WfdbRecord, ByteOffsetSkipsTheFilesPrologueAndTheShortestFileGivesTheLength) {
  std::vector<std::uint8_t> bytes = {0xDE, 0xAD, 0xBE, 0xEF};
  const auto samples = encode(16, {1, -2, 3});
  bytes.insert(bytes.end(), samples.begin(), samples.end());
  EXPECT_EQ(decode("rec 1 100\nd.dat 16+4 1(0)\n", {{"d.dat", bytes}}).channels[0].samples, (std::vector<float>{1, -2, 3}));
  EXPECT_NE(decode_error("rec 1 100\nd.dat 16+40 1(0)\n", {{"d.dat", bytes}}).find("db/d.dat: file of 10 bytes is shorter than its byte offset 40"),
            std::string::npos);

  auto a = encode(16, {1, 2, 3, 4, 5, 6, 7});
  a.push_back(0x55);  // half a sample at the end is not a sample
  const Record r = decode("rec 2 100\na.dat 16 1(0)\nb.dat 80 1(0)\n", {{"a.dat", a}, {"b.dat", encode(80, {1, 2, 3, 4, 5, 6, 7, 8, 9})}});
  EXPECT_EQ(r.length(), 7u);
  EXPECT_EQ(r.channels[1].samples.back(), 7.0f);
}

TEST(WfdbRecord, SlowerSignalIsInterpolatedOntoTheFastestTicks) {
  // Each frame holds four samples of "fast" then one of "slow"; 100 frames/s.
  std::vector<std::int32_t> stream;
  for (int frame = 0; frame < 3; ++frame) {
    for (int k = 0; k < 4; ++k) stream.push_back(frame * 4 + k);
    stream.push_back(40 * frame);
  }
  const Record r = decode("rec 2 100 3\nd.dat 16x4 1(0)/mV 16 0 0 66 0 fast\nd.dat 16 1(0)/mV 16 0 0 120 0 slow\n",
                          {{"d.dat", encode(16, stream)}});
  EXPECT_DOUBLE_EQ(r.tick_interval_s, 1.0 / 400);
  EXPECT_EQ(r.channels[0].samples, (std::vector<float>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  // Linear between frames; after the last slow sample, its value holds.
  EXPECT_EQ(r.channels[1].samples, (std::vector<float>{0, 10, 20, 30, 40, 50, 60, 70, 80, 80, 80, 80}));
}

TEST(WfdbRecord, ChecksumMismatchIsRefusedUnlessVerificationIsOff) {
  const Files files = {{"d.dat", encode(16, {30000, 30000, -5})}};
  // 30000 + 30000 - 5 = 59995, which is -5541 as a signed 16-bit sum.
  EXPECT_NO_THROW(decode("rec 1 100 3\nd.dat 16 1(0) 16 0 0 -5541\n", files));
  EXPECT_NE(decode_error("rec 1 100 3\nd.dat 16 1(0) 16 0 0 -5540\n", files).find("db/d.dat: signal 1 sums to checksum -5541 but the header gives -5540"),
            std::string::npos);
  EXPECT_NO_THROW(decode("rec 1 100 3\nd.dat 16 1(0) 16 0 0 -5540\n", files, false));
}

// Read on demand, a signal gives the values decoded whole from any tick, across the pieces
// a read decodes (three signals of format 212: a frame starting mid-group), and its
// checksum is still verified as the record is opened.
TEST(WfdbRecord, SignalsReadOnDemandEqualThoseDecodedWhole) {
  std::mt19937 random(11);
  std::uniform_int_distribution<std::int32_t> value(-2047, 2047);
  for (const int format : {212, 16}) {
    SCOPED_TRACE("format " + std::to_string(format));
    std::vector<std::int32_t> stream(3 * 150001);
    for (auto& v : stream) v = value(random);
    std::vector<std::uint8_t> bytes(5, 0xAA);  // a prologue the byte offset skips
    const auto encoded = encode(format, stream);
    bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    const Files files = {{"d.dat", bytes}};
    const std::string f = std::to_string(format) + "+5";
    const WfdbHeader header = parse_wfdb_header(
        "rec 3 100 150001\nd.dat " + f + " 200(10)/mV\nd.dat " + f + " 0.5(-3)/uV\nd.dat " + f + " 1000/mmHg\n", "db/rec.hea");
    const Record whole = decode_wfdb_signals(header, access(files), "db/rec.hea", true);
    const Record read = decode_wfdb_signals(header, on_demand(files), "db/rec.hea", true);
    for (int s = 0; s < 3; ++s) {
      const Channel& c = read.channels[static_cast<std::size_t>(s)];
      ASSERT_TRUE(c.stored && c.samples.empty());
      ASSERT_EQ(c.length(), 150001u);
      for (const auto& [from, n] : {std::pair<std::size_t, std::size_t>{0, 150001}, {65535, 3}, {1, 70000}, {150000, 1}}) {
        std::vector<float> got(n);
        c.read(from, n, got.data());
        const auto want = whole.channels[static_cast<std::size_t>(s)].samples.begin() + static_cast<std::ptrdiff_t>(from);
        ASSERT_TRUE(std::equal(got.begin(), got.end(), want, [](float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }))
            << "signal " << s << " from " << from;
      }
    }
  }
  const Files files = {{"d.dat", encode(16, {30000, 30000, -5})}};
  try {
    decode_wfdb_signals(parse_wfdb_header("rec 1 100 3\nd.dat 16 1(0) 16 0 0 -5540\n", "db/rec.hea"), on_demand(files), "db/rec.hea", true);
    ADD_FAILURE() << "a wrong checksum passed";
  } catch (const ImportError& e) {
    EXPECT_NE(std::string(e.what()).find("sums to checksum -5541"), std::string::npos) << e.what();
  }
}

TEST(WfdbRecord, DamagedOrUnreadableHeadersAndFilesAreRefusedWithTheReason) {
  const Files files = {{"d.dat", std::vector<std::uint8_t>(39, 0)}, {"e.dat", std::vector<std::uint8_t>(8, 0)}};
  const struct {
    const char* header;
    std::uint64_t claimed_size;
    const char* expected;
  } cases[] = {
      {"rec 2 100 10\nd.dat 16\nd.dat 16\n", 0,
       "db/d.dat: signal file is truncated: the header gives 10 samples per signal (40 bytes), the file holds 39 bytes, enough for 9 "
       "samples per signal"},
      // Huge lengths are refused before anything is allocated for them.
      {"rec 1 100 1000000000000000\ne.dat 16\n", 0,
       "db/e.dat: signal file is truncated: the header gives 1000000000000000 samples per signal (2000000000000000 bytes), the file "
       "holds 8 bytes, enough for 4 samples per signal"},
      {"rec 1 100\ne.dat 16\n", std::uint64_t{5} << 30,
       "db/e.dat: the record needs 5368709120 bytes of this file; over 4294967296 is not supported"},
      {"rec 1 100\nd.dat 310\n", 0, "db/rec.hea: signal 1 is stored in format 310"},
      {"rec 2 100\nd.dat 16\nd.dat 80\n", 0, "shares file d.dat with signals of another format"},
      {"rec 1 100\nmissing.dat 16\n", 0, "missing.dat: file not found"},
      {"rec 0 128\n", 0, "db/rec.hea: record rec has no signals (an annotation-only record)"},
      // The header's own lines, named by number.
      {"rec 1\n\nd.dat 16y\n", 0, "db/rec.hea: line 3: bad format \"16y\""},
      {"rec 1\nd.dat 16 abc\n", 0, "line 2: bad gain \"abc\""},
      {"rec 1\nd.dat 16x0\n", 0, "line 2: samples per frame must be"},
      {"rec 1\nd.dat 16 200(5\n", 0, "line 2: bad baseline"},
      {"rec -1\n", 0, "line 1: negative number of signals"},
      {"rec 1 1e300\n", 0, "line 1: sampling frequency 1e+300 Hz is outside 0.1 Hz to 1 MHz"},
      {"rec 1 360 10 noon\n", 0, "line 1: bad base time \"noon\""},
      {"rec/2 1 360\n", 0, "line 1: multi-segment record"},
      {"rec 1\nd.dat 16\nd.dat 16\n", 0, "line 3: unexpected line; the record line declares 1 signals"},
      {"rec 2\nd.dat 16\n", 0, "db/rec.hea: the record line declares 2 signals but 1 signal lines follow"},
      {"# only a comment\n", 0, "db/rec.hea: no record line"},
      {"rec 1\nd.dat\n", 0, "line 2: signal line without a format"},
      // A header may only name files in its own folder.
      {"rec 1\n/etc/passwd 16\n", 0, "line 2: signal file \"/etc/passwd\" is outside the header's folder"},
      {"rec 1\n../d.dat 16\n", 0, "line 2: signal file \"../d.dat\" is outside the header's folder"},
  };
  for (const auto& c : cases) {
    const std::string message = decode_error(c.header, files, true, c.claimed_size);
    EXPECT_NE(message.find(c.expected), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace korvel::io
