// SPDX-License-Identifier: MIT
#include "hrv/core/tagged_blocks.h"

#include <algorithm>
#include <string>

#include "sdk/cpp/hresult_error.h"
#include "sdk/hrv/result_codes.h"

namespace HRV::tagged_blocks {

void expect_tag(BinaryReader& in, std::int32_t expected) {
  std::int32_t tag = 0;
  if (!in.read(tag) || tag != expected)
    throw_hresult(HRV_E_WRONG_TAG, "earlier-format block tag " + std::to_string(tag) + ", expected " + std::to_string(expected));
}

std::int32_t read_block_version(BinaryReader& in, std::initializer_list<std::int32_t> accepted) {
  std::int32_t version = 0;
  if (!in.read(version) || std::find(accepted.begin(), accepted.end(), version) == accepted.end())
    throw_hresult(HRV_E_WRONG_BLOCK_VERSION, "earlier-format block version " + std::to_string(version) + " not readable");
  return version;
}

std::int32_t read_block_header(BinaryReader& in, std::int32_t tag, std::initializer_list<std::int32_t> accepted) {
  expect_tag(in, tag);
  return read_block_version(in, accepted);
}

void skip_string(BinaryReader& in) {
  std::int32_t encoding = 0;
  std::int32_t length = 0;
  if (!in.read(encoding) || !in.read(length)) return;
  if (encoding != kStringEncodingUtf16)
    throw_hresult(HRV_E_WRONG_BLOCK_VERSION, "earlier-format string encoding " + std::to_string(encoding) + " unknown");
  if (length < 0 || length > kMaxStringUnits)
    throw_hresult(HRV_E_WRONG_BLOCK_VERSION, "earlier-format string length " + std::to_string(length) + " out of range");
  in.skip(static_cast<std::uint32_t>(length) * 2u);
}

void write_string(BinaryWriter& out, std::u16string_view text) {
  out.write<std::int32_t>(kStringEncodingUtf16);
  out.write<std::int32_t>(static_cast<std::int32_t>(text.size()));
  for (char16_t unit : text) out.write<std::uint16_t>(unit);
}

void require_complete(const BinaryReader& in) {
  if (in.failed()) throw_hresult(E_FAIL, "earlier-format block ends before its last field");
}

}  // namespace HRV::tagged_blocks
