// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <tuple>

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
  // 0.25 is 0x3FD0000000000000, its high byte last.
  EXPECT_EQ(stream->bytes(), (std::vector<std::uint8_t>{4, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0xD0, 0x3F, 1, 0, 0, 0, 1, 0}));
  stream->rewind();
  BinaryReader r(stream.get());
  std::int32_t i = 0;
  double d = 0;
  bool flag32 = false, flag16 = false;
  EXPECT_TRUE(r.read(i) && r.read(d) && r.read_bool32(flag32) && r.read_bool16(flag16));
  EXPECT_EQ(std::tuple(i, d, flag32, flag16), std::tuple(0x01020304, 0.25, true, true));
}

TEST(BinaryStream, AReadOrSkipPastTheEndLeavesTheValueAndStaysFailed) {
  auto stream = make_com<MemoryStream>(std::vector<std::uint8_t>{1, 0, 0, 0, 9, 9});
  BinaryReader r(stream.get());
  std::int32_t first = 0, second = -5;
  std::int16_t later = -7;
  EXPECT_TRUE(r.read(first));
  EXPECT_FALSE(r.read(second)) << "only two bytes left";
  EXPECT_FALSE(r.read(later)) << "the failure persists although two bytes remain";
  EXPECT_EQ(std::tuple(first, second, later, r.failed()), std::tuple(1, -5, std::int16_t{-7}, true));
  auto long_stream = make_com<MemoryStream>(std::vector<std::uint8_t>(300, 0));
  BinaryReader skipping(long_stream.get());
  EXPECT_TRUE(skipping.skip(290));
  EXPECT_FALSE(skipping.skip(11));
  EXPECT_TRUE(skipping.failed());
}

TEST(MemoryStream, SeekAndSizeFollowTheBuffer) {
  auto stream = make_com<MemoryStream>();
  ULONG n = 0;
  std::uint64_t pos = 0, size = 0;
  char buf[4] = {};
  EXPECT_EQ(stream->Write("abcdef", 6, &n), S_OK);
  EXPECT_EQ(stream->Seek(-2, 2, &pos), S_OK);
  EXPECT_EQ(pos, 4u);
  EXPECT_EQ(stream->Read(buf, 4, &n), S_FALSE);
  EXPECT_EQ(std::string(buf, n), "ef");
  EXPECT_EQ(stream->GetSize(&size), S_OK);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(stream->Seek(-1, 0, nullptr), E_INVALIDARG);
}

}  // namespace
