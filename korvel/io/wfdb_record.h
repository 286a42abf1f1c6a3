// SPDX-License-Identifier: MIT
// Signals of a WFDB record: the header's signal lines tell which file holds each signal,
// in which storage format, and how ADC values map to physical ones:
// physical = (ADC value - baseline) / gain. A format's "no sample" code becomes NaN.
//
// Signals stored in one file are interleaved frame by frame, each contributing its
// samples-per-frame samples. The record's ticks run at the fastest signal's rate (frame
// rate x the largest samples-per-frame); slower signals are linearly interpolated onto
// those ticks (see interpolate_onto_ticks). A signal with a skew of k frames takes its
// value for frame t from stored frame t + k; frames past the stored ones are NaN.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "korvel/io/recording.h"
#include "korvel/io/wfdb_header.h"

namespace korvel::io {

// How the decoder reaches the signal files a header names: their sizes, their first bytes
// and, when given, bytes at any offset. Each throws ImportError for a file that cannot be
// read.
struct WfdbSignalFiles {
  using ReadAt = std::function<void(std::uint64_t offset, std::uint64_t count, std::uint8_t* out)>;
  std::function<std::uint64_t(const std::string& file_name)> size;
  std::function<std::vector<std::uint8_t>(const std::string& file_name, std::uint64_t count)> read_start;
  // Null: every signal is decoded into memory. Given: the signals a file stores at the
  // record's rate, as stored values (not differences), are read from it on demand
  // (Channel::stored) through what this returns for the file, which may be called from
  // several threads at once; their checksums are verified once, here.
  std::function<ReadAt(const std::string& file_name)> open = nullptr;
};

// Decodes the signals of a parsed header into one record. `header_file` names the header
// in messages; signal files are named as its folder / their file name. With
// `verify_checksums`, a signal whose 16-bit sum disagrees with the header's is refused.
Record decode_wfdb_signals(const WfdbHeader& header, const WfdbSignalFiles& files,
                           const std::filesystem::path& header_file, bool verify_checksums);

// Reads a record given its header (NAME.hea) or its signal file (NAME.dat next to NAME.hea).
// A record longer than kWfdbReadOnDemandTicks ticks reads what it can from its files on
// demand (WfdbSignalFiles::open); a shorter one is decoded whole, a few tens of megabytes
// at most a channel, for its readers' quicker random access.
// An annotation-only record (no signals) is refused with a message that says so.
inline constexpr std::uint64_t kWfdbReadOnDemandTicks = std::uint64_t{1} << 23;
Recording read_wfdb_record(const std::filesystem::path& file, bool verify_checksums);

}  // namespace korvel::io
