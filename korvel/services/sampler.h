// SPDX-License-Identifier: MIT
// Sampling without hardware: a recorded record is fed into a document's data in blocks, as
// if it arrived from an amplifier, and the sinks of the document's sampling manager hear
// about it in the documented order: CanStartSampling (any sink may refuse; then nothing is
// recorded), SamplingStarting, SamplingStateChanged, one OnlineData per block,
// SamplingEnding, SamplingStopped. Computed channels, enumerators and event readers see the
// record grow block by block; by the time SamplingEnding arrives the record is complete,
// so a sink reads its final data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "korvel/doc/document.h"
#include "korvel/io/recording.h"
#include "sdk/cpp/com_ptr.h"
#include "sdk/host/sampling.h"

namespace korvel::services {

class DocumentFrame;

struct SamplingOptions {
  std::int32_t block_ticks = 1000;  // ticks per block, one OnlineData each
  // Called after each block with the ticks of the record sampled so far; may be empty.
  std::function<void(std::int64_t)> on_block;
};

struct SamplingOutcome {
  bool started = false;
  // The sink that refused (its position among the sinks), when one did.
  std::size_t refused_by = 0;
  std::int32_t record = -1;  // the record sampled into
  std::int64_t ticks = 0;
  std::size_t blocks = 0;
  std::size_t sink_failures = 0;  // failed results of the calls after CanStartSampling
};

// A document named after `recording` with the channels of its first record and no record
// yet: what a recording is sampled into. Throws std::invalid_argument for a recording
// without records.
doc::Document sampling_document(const io::Recording& recording);

// Samples `source` into a new record of the frame's document. Throws std::logic_error when
// the document cannot sample or samples already, std::invalid_argument when the block size
// is not positive or the source's channels do not match the document's (count, and every
// channel holding the record's length); both before any sink hears of it.
//
// Sink arguments: CanStartSampling, SamplingStarting and SamplingStopped get the record
// index; SamplingStateChanged gets it as its first host argument; OnlineData gets the
// record's length after the block; SamplingEnding gets the record and its final length.
SamplingOutcome sample_record(DocumentFrame& frame, const io::Record& source, const SamplingOptions& options = {});

// What sample_record does, one step at a time, for sampling paced by a clock: the
// constructor asks the sinks and begins the record (with the same checks and throws), each
// feed() appends one block, finish() ends the record where it is, after the last block or
// early when the user stops. `frame` and `source` must outlive the run.
class SamplingRun {
 public:
  SamplingRun(DocumentFrame& frame, const io::Record& source, const SamplingOptions& options = {});
  ~SamplingRun();
  SamplingRun(const SamplingRun&) = delete;
  SamplingRun& operator=(const SamplingRun&) = delete;

  bool started() const noexcept { return outcome_.started; }
  // Every block was fed, or the run was finished.
  bool done() const noexcept { return finished_ || fed_ >= source_.length(); }
  // Seconds of the source fed so far.
  double fed_seconds() const noexcept { return static_cast<double>(fed_) * source_.tick_interval_s; }
  // Appends the next block; false when none is left or the run is finished.
  bool feed();
  // Ends the record: SamplingEnding and SamplingStopped. Idempotent.
  SamplingOutcome finish();

 private:
  void count(HRESULT hr);

  DocumentFrame& frame_;
  const io::Record& source_;
  SamplingOptions options_;
  std::vector<ComPtr<IOnlineDataSink>> sinks_;
  SamplingOutcome outcome_;
  std::size_t fed_ = 0;
  bool finished_ = false;
};
// Each record of `recording` in turn; stops after the first that was refused.
std::vector<SamplingOutcome> sample_recording(DocumentFrame& frame, const io::Recording& recording,
                                              const SamplingOptions& options = {});

}  // namespace korvel::services
