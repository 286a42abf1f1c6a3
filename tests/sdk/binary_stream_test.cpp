// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "sdk/cpp/binary_stream.h"
#include "sdk/cpp/memory_stream.h"

namespace {

TEST(BinaryStream, WritesLittleEndianAndReadsBack) {
  auto stream = make_com<MemoryStream>();
  BinaryWriter w(stream.get());
  w.write<std::int32_t>(0x01020304);
  w.write<double>(0.25);
  w.write_bool32(true);
  w.write_bool16(true);
  ASSERT_FALSE(w.failed());
  const auto& b = stream->bytes();
  ASSERT_EQ(b.size(), 4u + 8u + 4u + 2u);
  EXPECT_EQ(b[0], 0x04);
  EXPECT_EQ(b[3], 0x01);
  EXPECT_EQ(b[11], 0x3F);  // 0.25 = 0x3FD0000000000000, high byte last
  stream->rewind();
  BinaryReader r(stream.get());
  std::int32_t i = 0;
  double d = 0;
  bool flag32 = false, flag16 = false;
  EXPECT_TRUE(r.read(i) && r.read(d) && r.read_bool32(flag32) && r.read_bool16(flag16));
  EXPECT_EQ(i, 0x01020304);
  EXPECT_EQ(d, 0.25);
  EXPECT_TRUE(flag32);
  EXPECT_TRUE(flag16);
}

TEST(BinaryStream, ReadPastTheEndLeavesTheValueAndStaysFailed) {
  auto stream = make_com<MemoryStream>(std::vector<std::uint8_t>{1, 0, 0, 0, 9, 9});
  BinaryReader r(stream.get());
  std::int32_t first = 0, second = -5;
  EXPECT_TRUE(r.read(first));
  EXPECT_EQ(first, 1);
  EXPECT_FALSE(r.read(second));  // only two bytes left
  EXPECT_EQ(second, -5);
  EXPECT_TRUE(r.failed());
  std::int16_t later = -7;
  EXPECT_FALSE(r.read(later));  // error state persists even though two bytes remain
  EXPECT_EQ(later, -7);
}

TEST(BinaryStream, SkipFailsLikeAReadWhenTheStreamEnds) {
  auto stream = make_com<MemoryStream>(std::vector<std::uint8_t>(300, 0));
  BinaryReader r(stream.get());
  EXPECT_TRUE(r.skip(290));
  EXPECT_FALSE(r.skip(11));
  EXPECT_TRUE(r.failed());
}

TEST(MemoryStream, SeekAndSizeFollowTheBuffer) {
  auto stream = make_com<MemoryStream>();
  ULONG n = 0;
  EXPECT_EQ(stream->Write("abcdef", 6, &n), S_OK);
  std::uint64_t pos = 0, size = 0;
  EXPECT_EQ(stream->Seek(-2, 2, &pos), S_OK);
  EXPECT_EQ(pos, 4u);
  char buf[4] = {};
  EXPECT_EQ(stream->Read(buf, 4, &n), S_FALSE);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(std::string(buf, 2), "ef");
  EXPECT_EQ(stream->GetSize(&size), S_OK);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(stream->Seek(-1, 0, nullptr), E_INVALIDARG);
}

}  // namespace
