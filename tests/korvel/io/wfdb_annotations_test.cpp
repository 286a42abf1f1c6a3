// SPDX-License-Identifier: MIT
#include "korvel/io/wfdb_annotations.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace korvel::io {
namespace {

// Writes annotation words exactly as the file format lays them out.
class Writer {
 public:
  Writer& word(int code, unsigned field) {
    half(static_cast<std::uint16_t>(code << 10 | field));
    return *this;
  }
  Writer& skip(std::int32_t increment) {
    const auto u = static_cast<std::uint32_t>(increment);
    word(59, 0);
    half(static_cast<std::uint16_t>(u >> 16));  // high half first
    half(static_cast<std::uint16_t>(u & 0xFFFF));
    return *this;
  }
  Writer& aux(const std::string& text) {
    word(63, static_cast<unsigned>(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
    if (text.size() % 2 == 1) bytes.push_back(0);
    return *this;
  }
  std::vector<std::uint8_t> bytes;

 private:
  void half(std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
  }
};

AnnotationSet decode(const Writer& w) { return decode_wfdb_annotations(w.bytes, "rec.atr"); }

std::string decode_error(const std::vector<std::uint8_t>& bytes) {
  try {
    decode_wfdb_annotations(bytes, "rec.atr");
  } catch (const ImportError& e) {
    return e.what();
  }
  return "no error";
}

TEST(WfdbAnnotations, ModifiersApplyToTheAnnotationBeforeThemAndNumberAndChannelStick) {
  Writer w;
  w.word(28, 18)
      .aux(std::string("(N\0", 3))  // rhythm change at 18 with its text
      .word(1, 59)                  // normal beat at 77
      .word(60, 7)
      .word(62, 2)
      .word(61, 3)  // NUM 7, CHN 2, SUB 3 for that beat
      .skip(100000)
      .word(5, 10)  // PVC after a long gap, at 100087
      .word(0, 0);
  const AnnotationSet set = decode(w);
  ASSERT_EQ(set.annotations.size(), 3u);
  const auto fields = [](const Annotation& a) { return std::tuple(a.time, a.code, a.number, a.channel, a.subtype, a.aux); };
  EXPECT_EQ(fields(set.annotations[0]), std::tuple(18, 28, 0, 0, 0, std::string("(N")));  // the text up to the first NUL
  EXPECT_EQ(fields(set.annotations[1]), std::tuple(77, 1, 7, 2, 3, std::string()));
  EXPECT_EQ(fields(set.annotations[2]), std::tuple(100087, 5, 7, 2, 0, std::string())) << "NUM and CHN carry over, SUB does not";
  EXPECT_EQ(set.time_base_hz, 0.0);
}

TEST(WfdbAnnotations, DamagedFilesAreRefusedWithThePlace) {
  Writer aux;
  aux.word(1, 5).word(63, 40);
  aux.bytes.resize(aux.bytes.size() + 10);
  EXPECT_EQ(decode_error(aux.bytes),
            "rec.atr: truncated annotation file: AUX text of 40 bytes at byte 2 runs past the end (14 bytes)");
  Writer skip;
  skip.word(1, 5).skip(70000);
  skip.bytes.resize(skip.bytes.size() - 1);
  EXPECT_EQ(decode_error(skip.bytes),
            "rec.atr: truncated annotation file: SKIP increment at byte 2 runs past the end (7 bytes)");
  Writer odd;
  odd.word(1, 5).word(1, 5);
  odd.bytes.pop_back();
  EXPECT_EQ(decode_error(odd.bytes), "rec.atr: truncated annotation file: odd length of 3 bytes");
  // A file that stops after whole words without the end marker keeps what it held.
  Writer unterminated;
  unterminated.word(1, 5).word(1, 5);
  EXPECT_EQ(decode(unterminated).annotations.size(), 2u);
}

}  // namespace
}  // namespace korvel::io
