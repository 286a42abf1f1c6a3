// SPDX-License-Identifier: MIT
// The byte form of document files: a round trip keeps everything, and every truncation and
// every single damaged byte is refused with a message.
#include "korvel/docfile/document_contents.h"

#include <gtest/gtest.h>

#include <tuple>

namespace korvel::docfile {
namespace {

constexpr GUID kDocClass = make_guid("{11111111-2222-3333-4444-555555555555}");
constexpr GUID kItemClass = make_guid("{66666666-7777-8888-9999-AAAAAAAAAAAA}");

DocumentContents sample_contents() {
  DocumentContents c;
  services::RecordingSource csv;
  csv.path = "/data/ecg 1.csv";
  csv.options.sampling_rate_hz = 500.0;
  services::RecordingSource mat;
  mat.path = "records/ré.mat";
  mat.options.mat_variable = "val";
  mat.options.verify_checksums = false;
  c.recordings = {csv, mat};
  c.channels = {{"Lp", "lowpass(Ch1,40)", true}, {"Empty", "", false}};
  c.calculations = {{"Empty", kItemClass, {9, 8}}};
  c.items = {{kDocClass, 0, kItemClass, {1, 2, 3}}, {kDocClass, 1, kItemClass, {}}};
  return c;
}

std::string refusal(std::span<const std::uint8_t> bytes) {
  try {
    decode_document(bytes);
  } catch (const DocumentFileError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(DocumentCodec, ReadsBackWhatItWrote) {
  const DocumentContents c = sample_contents();
  const DocumentContents back = decode_document(encode_document(c));
  // Every field written is read back: writing again gives the same bytes. The fields below
  // could be dropped by both directions alike.
  EXPECT_EQ(encode_document(back), encode_document(c));
  ASSERT_EQ(back.recordings.size(), 2u);
  EXPECT_EQ(back.recordings[1].path, c.recordings[1].path);
  EXPECT_EQ(back.recordings[0].options.sampling_rate_hz, 500.0);
  EXPECT_EQ(back.recordings[1].options.mat_variable, "val");
  EXPECT_FALSE(back.recordings[1].options.verify_checksums);
  EXPECT_EQ(back.channels, c.channels);
  ASSERT_EQ(back.calculations.size(), 1u);
  EXPECT_EQ(std::tie(back.calculations[0].channel, back.calculations[0].class_id, back.calculations[0].settings),
            std::tie(c.calculations[0].channel, c.calculations[0].class_id, c.calculations[0].settings));
  ASSERT_EQ(back.items.size(), 2u);
  EXPECT_EQ(std::tie(back.items[0].document_class, back.items[0].item_class, back.items[0].bytes, back.items[1].index),
            std::tie(c.items[0].document_class, c.items[0].item_class, c.items[0].bytes, c.items[1].index));
}

TEST(DocumentCodec, RefusesEveryTruncation) {
  const auto bytes = encode_document(sample_contents());
  for (std::size_t n = 0; n < bytes.size(); ++n) EXPECT_NE(refusal({bytes.data(), n}), "accepted") << "first " << n << " bytes";
  EXPECT_EQ(refusal({bytes.data(), 14}), "the document file at byte 12: the section count needs 4 bytes, 2 are left");
  EXPECT_EQ(refusal({bytes.data(), 20}), "the document file at byte 16: the section count 4 cannot fit in the 4 bytes left");
}

TEST(DocumentCodec, RefusesEverySingleDamagedByte) {
  const auto bytes = encode_document(sample_contents());
  for (std::size_t i = 0; i < bytes.size(); ++i)
    for (std::uint8_t flip : {0x01, 0x80, 0xFF}) {
      auto damaged = bytes;
      damaged[i] ^= flip;
      EXPECT_NE(refusal(damaged), "accepted") << "byte " << i << " xor " << int{flip};
    }
}

TEST(DocumentCodec, SaysWhatIsWrong) {
  auto bytes = encode_document(sample_contents());
  EXPECT_EQ(refusal({}), "the document file at byte 0: the file's mark needs 8 bytes, 0 are left");
  auto other = bytes;
  other[8] = 2;  // version
  EXPECT_EQ(refusal(other), "document format version 2 is not readable here (version 1 is)");
  auto damaged = bytes;
  damaged[40] ^= 0x10;  // inside the first section's payload
  EXPECT_EQ(refusal(damaged), "section 'RECS' (at byte 16) is damaged: its checksum does not match");
  auto longer = bytes;
  longer.push_back(0);
  EXPECT_EQ(refusal(longer), "the document file at byte " + std::to_string(bytes.size()) + ": 1 bytes follow the last entry");
  EXPECT_EQ(refusal(std::vector<std::uint8_t>(8, 'x')), "not a document file (its first bytes are not a document mark)");

  DocumentContents twice = sample_contents();
  twice.items[1].index = 0;
  EXPECT_EQ(refusal(encode_document(twice)).substr(0, 15), "section 'ITEM' ");
  EXPECT_NE(refusal(encode_document(twice)).find("appears twice"), std::string::npos);
  DocumentContents stray = sample_contents();
  stray.calculations[0].channel = "Nowhere";
  EXPECT_EQ(refusal(encode_document(stray)), "section 'CALC' names channel 'Nowhere', which section 'CHAN' does not define");
  DocumentContents bad_text = sample_contents();
  bad_text.channels[0].name = "L\xFF";
  EXPECT_NE(refusal(encode_document(bad_text)).find("a channel's name is not UTF-8"), std::string::npos);
}

}  // namespace
}  // namespace korvel::docfile
