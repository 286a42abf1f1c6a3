// SPDX-License-Identifier: MIT
// WFDB annotation files in the MIT format: 16-bit little-endian words, code = word >> 10,
// time increment = word & 0x3FF. Pseudo-codes modify the annotation before them or the
// clock: SKIP (59) adds a signed 32-bit increment stored high half first, NUM (60) and CHN
// (62) set the number and channel of this and the following annotations, SUB (61) sets
// the subtype, AUX (63) attaches (word & 0x3FF) bytes of text, padded to even. A zero
// word ends the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "korvel/io/recording.h"

namespace korvel::io {

struct Annotation {
  std::int64_t time = 0;  // ticks of the annotation time base from the start of the record
  int code = 0;           // 1 = normal beat, 5 = PVC, 28 = rhythm change, ...
  int subtype = 0;
  int channel = 0;
  int number = 0;
  std::string aux;  // attached text, up to its first NUL
};

struct AnnotationSet {
  // Ticks per second of Annotation::time: from the file's "## time resolution: F" note,
  // else the record's sampling frequency; 0 when decoded without either.
  double time_base_hz = 0.0;
  std::vector<Annotation> annotations;
};

// Decodes annotation bytes. Only a "## time resolution" note sets the time base here.
// Malformed input throws ImportError naming `source`.
AnnotationSet decode_wfdb_annotations(std::span<const std::uint8_t> bytes, const std::filesystem::path& source);

// Reads an annotation file of record NAME (NAME.atr, NAME.qrs, ...). Without a time
// resolution note the time base is the sampling frequency in NAME.hea beside it.
AnnotationSet read_wfdb_annotations(const std::filesystem::path& file);

// Whether a code marks a heartbeat: 1-13, 25, 30, 31, 34, 35, 38 and 41.
bool is_beat_code(int code);

// The annotations that mark heartbeats, in file order.
std::vector<Annotation> beat_annotations(const std::vector<Annotation>& annotations);

}  // namespace korvel::io
