// SPDX-License-Identifier: MIT
#include "hrv/core/tagged_blocks.h"

#include <gtest/gtest.h>

#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/memory_stream.h"
#include "sdk/hrv/result_codes.h"

namespace {

using namespace HRV::tagged_blocks;

// Runs `body` and returns the HRESULT of the HResultError it throws, S_OK when none.
template <class Body>
HRESULT thrown_code(Body&& body) {
  try {
    body();
  } catch (const HResultError& e) {
    return e.code();
  }
  return S_OK;
}

ComPtr<MemoryStream> stream_of(const std::vector<std::int32_t>& words) {
  auto stream = make_com<MemoryStream>();
  BinaryWriter w(stream.get());
  for (auto v : words) w.write(v);
  stream->rewind();
  return stream;
}

TEST(LegacyStream, BlockHeaderAcceptsKnownTagAndVersionAndRefusesOthers) {
  {
    auto s = stream_of({0x10005, 102});
    BinaryReader in(s.get());
    EXPECT_EQ(read_block_header(in, 0x10005, {101, 102}), 102);
  }
  {
    auto s = stream_of({0x10004, 101});
    BinaryReader in(s.get());
    EXPECT_EQ(thrown_code([&] { read_block_header(in, 0x10005, {101}); }), HRV_E_WRONG_TAG);
  }
  {
    auto s = stream_of({0x10005, 103});
    BinaryReader in(s.get());
    EXPECT_EQ(thrown_code([&] { read_block_header(in, 0x10005, {101, 102}); }), HRV_E_WRONG_BLOCK_VERSION);
  }
}

TEST(LegacyStream, StreamEndingBeforeAHeaderCountsAsWrongTagOrVersion) {
  auto empty = stream_of({});
  BinaryReader in(empty.get());
  EXPECT_EQ(thrown_code([&] { expect_tag(in, 0x10001); }), HRV_E_WRONG_TAG);
  auto tag_only = stream_of({0x10001});
  BinaryReader in2(tag_only.get());
  EXPECT_EQ(thrown_code([&] { read_block_header(in2, 0x10001, {101}); }), HRV_E_WRONG_BLOCK_VERSION);
}

TEST(LegacyStream, SkipStringLeavesTheReaderOnTheNextField) {
  auto stream = make_com<MemoryStream>();
  BinaryWriter w(stream.get());
  write_string(w, u"Channel 1 \u00b5V");
  write_string(w, u"");
  w.write<std::int32_t>(777);
  ASSERT_EQ(stream->bytes().size(), 8u + 2u * 12u + 8u + 4u);
  stream->rewind();
  BinaryReader in(stream.get());
  skip_string(in);
  skip_string(in);
  std::int32_t after = 0;
  EXPECT_TRUE(in.read(after));
  EXPECT_EQ(after, 777);
  EXPECT_NO_THROW(require_complete(in));
}

TEST(LegacyStream, UnreadableStringHeadersAreDamagedBlocks) {
  struct Case {
    std::int32_t encoding, length;
  };
  for (Case c : {Case{0, 4}, Case{2, 4}, Case{1, -1}, Case{1, kMaxStringUnits + 1}}) {
    auto s = stream_of({c.encoding, c.length, 0, 0});
    BinaryReader in(s.get());
    EXPECT_EQ(thrown_code([&] { skip_string(in); }), HRV_E_WRONG_BLOCK_VERSION)
        << "encoding " << c.encoding << " length " << c.length;
  }
}

TEST(LegacyStream, StringCutShortFailsTheReaderWithoutThrowing) {
  auto s = stream_of({kStringEncodingUtf16, 10, 0x00410041});  // promises 20 bytes, holds 4
  BinaryReader in(s.get());
  EXPECT_NO_THROW(skip_string(in));
  EXPECT_TRUE(in.failed());
  EXPECT_EQ(thrown_code([&] { require_complete(in); }), E_FAIL);
}

}  // namespace
