// SPDX-License-Identifier: MIT
// What a document file keeps of a document, and its byte form.
//
// Byte form, little-endian throughout:
//   magic     8 bytes  "KVDOC\r\n\x1A" (a CR LF or end-of-file mangled by a text transfer
//                      shows at once)
//   version   uint32   1
//   sections  uint32   number of sections that follow
//   then per section: tag (4 ASCII bytes), payload length (uint32), CRC-32 of the payload
//   (uint32), payload. The sections "RECS", "CHAN", "CALC" and "ITEM" appear exactly once
//   each, in any order; nothing follows the last one.
// Inside payloads a string is a uint32 byte count and that many bytes of UTF-8; a GUID is
// its four fields (uint32, uint16, uint16, 8 bytes); a boolean is one byte 0 or 1.
//   RECS: count, then per recording: path (string), sampling rate in Hz (float64), MAT
//         variable (string), verify checksums (boolean)
//   CHAN: count, then per computed channel: name, expression (strings), flag (boolean); a
//         channel whose calculation is an extension's has an empty expression here
//   CALC: count, then per channel with an extension's calculation: channel name (string),
//         calculation class (GUID), settings stream (uint32 byte count, bytes)
//   ITEM: count, then per persisted item: document class (GUID), index (int32), item class
//         (GUID), stream (uint32 byte count, bytes)
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "korvel/services/document_frame.h"

namespace korvel::docfile {

struct ChannelDefinition {
  std::string name;
  std::string expression;
  bool flag = false;
  friend bool operator==(const ChannelDefinition&, const ChannelDefinition&) = default;
};

struct CalculationDefinition {
  std::string channel;
  GUID class_id{};
  std::vector<std::uint8_t> settings;
};

// What a recording file was when the document was saved, so that one replaced since is not
// analysed with the old beats and edits: its size, modification time and a checksum of its
// first 64 KiB (a WFDB record's header whole). All zero where the file could not be read.
struct RecordingFingerprint {
  std::uint64_t size = 0;
  std::int64_t modified_ns = 0;
  std::uint32_t header_crc = 0;
  friend bool operator==(const RecordingFingerprint&, const RecordingFingerprint&) = default;
};

struct DocumentContents {
  std::vector<services::RecordingSource> recordings;
  // One per recording; none in a file written before they were kept.
  std::vector<RecordingFingerprint> fingerprints;
  std::vector<ChannelDefinition> channels;  // in the order they are created
  std::vector<CalculationDefinition> calculations;
  std::vector<services::SavedItem> items;
};

// A document file that cannot be read, written or opened; the message says why and, for a
// damaged file, where.
class DocumentFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr std::uint32_t kDocumentFileVersion = 1;

std::vector<std::uint8_t> encode_document(const DocumentContents& contents);
// Checks everything (magic, version, every length and checksum, UTF-8 of every string,
// every section exactly once, no trailing bytes) and throws DocumentFileError at the first
// fault. A calculation must name a channel of the CHAN section. The section of recording
// fingerprints (FPRT) is optional; where present it also holds each recording's path as
// bytes, so that a path that is not UTF-8 (which RECS keeps with replacement characters)
// comes back as it was.
DocumentContents decode_document(std::span<const std::uint8_t> bytes);

}  // namespace korvel::docfile
