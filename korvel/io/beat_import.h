// SPDX-License-Identifier: MIT
// Recordings that are beats already: the beat annotations of a WFDB record (an annotation-
// only record's header, or an annotation file) and RR interval lists (one interval per
// line, in seconds or milliseconds, as the HRV RR export and chest-strap apps write them).
// Each becomes a recording of one record whose only channel is the event channel "Beats":
// a tick per beat, on the annotations' time base, or for an RR list on the finest clock of
// 1 MHz, 100 kHz, 10 kHz and 1 kHz on which the list fits into 2^31 ticks (1 MHz up to 35
// minutes, 10 kHz up to 59 hours), starting with a beat at 0 s.
#pragma once

#include <filesystem>

#include "korvel/io/recording.h"

namespace korvel::io {

// The name of the event channel of imported beats.
inline constexpr const char* kBeatChannelName = "Beats";

// What a file holds.
enum class InputKind { Signal, Annotations, RRList };

// Decides from the content: a WFDB header without signals, or a file that decodes as WFDB
// annotations holding beats (and is not a signal file by its extension), holds
// annotations; text whose lines (after at most one header line) are each one positive
// number, all between 0.05 and 10 (seconds) or all between 50 and 10,000 (milliseconds),
// is an RR list, unless `samplingRateHz` says it is a signal without a time column;
// everything else is a signal.
InputKind recognise_input(const std::filesystem::path& file, double samplingRateHz);

// The beat annotations of `file`: an annotation-only record's header (its annotation file
// is NAME.atr, NAME.qrs or NAME.ecg beside it, the first that exists) or an annotation file.
Recording read_annotated_beats(const std::filesystem::path& file);

// An RR list: intervals in seconds, or milliseconds where every value is at least 50.
Recording read_rr_list(const std::filesystem::path& file);

}  // namespace korvel::io
