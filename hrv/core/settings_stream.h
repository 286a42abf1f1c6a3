// SPDX-License-Identifier: MIT
// The persisted forms of the settings record: the current stream (versions 0 to 6, of
// which version 6 is written) and the earlier tagged-block format (versions 101 to 105),
// which is only read.
#pragma once

#include <cstdint>

#include "hrv/core/settings_fields.h"
#include "sdk/cpp/binary_stream.h"
#include "sdk/hrv/result_codes.h"

namespace HRV::settings_stream {

inline constexpr std::int32_t kCurrentVersion = 6;
inline constexpr std::uint32_t kCurrentSize = 220;  // bytes of a version-6 stream, version included
inline constexpr std::int32_t kFirstEarlierVersion = 101;
inline constexpr std::int32_t kLastEarlierVersion = 105;

// Writes the version number and the version-6 record.
void write_current(BinaryWriter& out, const SettingsFields& fields);

// Reads the record that follows a version number 0..6. Fields that the version did not
// have yet, and fields past the end of the stream, keep their values in `fields`.
void read_current(BinaryReader& in, std::int32_t version, SettingsFields& fields);

// Reads the earlier-format record that follows a version number 101..105 and returns it
// converted into a current record (defaults for everything the earlier format lacked).
// Throws HResultError when the record cannot be read completely: HRV_E_WRONG_TAG or
// HRV_E_WRONG_BLOCK_VERSION for a block that does not fit (versions 102 and 103 are never
// read), E_FAIL when the stream ends inside a block.
SettingsFields read_earlier(BinaryReader& in, std::int32_t version);

}  // namespace HRV::settings_stream
