// SPDX-License-Identifier: MIT
// The block headers and strings of the earlier stream format; whole earlier records are read
// in settings_stream_tagged_test.cpp and hrv_data_test.cpp.
#include "hrv/core/tagged_blocks.h"

#include <gtest/gtest.h>

#include "sdk/cpp/hresult_error.h"
#include "sdk/hrv/result_codes.h"
#include "settings_test_support.h"

namespace {

using namespace HRV::tagged_blocks;
using settings_test::StreamBuilder;

// Runs `body` on a reader over `bytes` and returns the HRESULT of the HResultError it
// throws, S_OK when none.
template <class Body>
HRESULT thrown_code(const StreamBuilder& bytes, Body&& body) {
  auto stream = bytes.stream();
  BinaryReader in(stream.get());
  try {
    body(in);
  } catch (const HResultError& e) {
    return e.code();
  }
  return S_OK;
}

TEST(TaggedBlocks, BlockHeadersNeedTheTagAndAKnownVersion) {
  auto header = [](BinaryReader& in) { EXPECT_EQ(read_block_header(in, 0x10005, {101, 102}), 102); };
  EXPECT_EQ(thrown_code(StreamBuilder().put(0x10005).put(102), header), S_OK);
  EXPECT_EQ(thrown_code(StreamBuilder().put(0x10004).put(102), header), HRV_E_WRONG_TAG);
  EXPECT_EQ(thrown_code(StreamBuilder().put(0x10005).put(103), header), HRV_E_WRONG_BLOCK_VERSION);
  // A stream that ends before a header counts as a wrong tag or version.
  EXPECT_EQ(thrown_code(StreamBuilder(), header), HRV_E_WRONG_TAG);
  EXPECT_EQ(thrown_code(StreamBuilder().put(0x10005), header), HRV_E_WRONG_BLOCK_VERSION);
}

TEST(TaggedBlocks, SkipStringLeavesTheReaderOnTheNextField) {
  EXPECT_EQ(thrown_code(StreamBuilder().put_string(u"Channel 1 \u00b5V").put_string(u"").put(777),
                        [](BinaryReader& in) {
                          skip_string(in);
                          skip_string(in);
                          std::int32_t after = 0;
                          EXPECT_TRUE(in.read(after));
                          EXPECT_EQ(after, 777);
                          require_complete(in);
                        }),
            S_OK);
}

TEST(TaggedBlocks, UnreadableStringHeadersAreDamagedBlocksAndCutStringsFailTheReader) {
  for (auto [encoding, length] : {std::pair{0, 4}, {2, 4}, {1, -1}, {1, kMaxStringUnits + 1}})
    EXPECT_EQ(thrown_code(StreamBuilder().put(encoding).put(length).put(0).put(0), skip_string), HRV_E_WRONG_BLOCK_VERSION)
        << "encoding " << encoding << " length " << length;
  // A string that promises 20 bytes and holds 4 fails the reader without throwing.
  EXPECT_EQ(thrown_code(StreamBuilder().put(1).put(10).put(0x00410041), [](BinaryReader& in) {
              skip_string(in);
              EXPECT_TRUE(in.failed());
              require_complete(in);
            }),
            E_FAIL);
}

}  // namespace
