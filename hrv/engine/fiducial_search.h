// SPDX-License-Identifier: MIT
// The fiducial search: one beat per reference event (a detected peak of the envelope), placed
// at the first extremum of the low-passed signal in a window of W + 1 samples centred on the
// reference, merged with the user's added and removed beats, numbered and classified.
//
// The search is a state machine over FiducialState, a plain value: copying the state and
// re-seeking the reference input to `referenceSeek` restarts the search exactly there,
// which is what the per-block cache and Find rely on. A beat is produced only once every
// sample it depends on is final (its whole window and complexity segment), so reading a
// growing record in pieces yields the same beats as one pass over the finished record.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "classifier.h"
#include "fiducial_event.h"
#include "enumerator_state.h"
#include "search_inputs.h"
#include "fiducial_params.h"

namespace HRV {

struct FiducialState : EEH3::StateBase {
  static constexpr std::int32_t kNone = SamplePosition::kUnset;  // no tick

  bool endOfData = false;
  std::int32_t dataEnd = 0;      // available data of the record: ticks [0, dataEnd)
  std::int32_t pendingTick = 0;  // earliest tick where the next beat can appear
  std::int32_t previousNumber = 0;  // 0: the run has numbered no beat yet
  std::int32_t previousTick = kNone;
  BeatClassifier classifier;     // carries the previous beat's tick, fraction, rr and flags
  FiducialEvent candidate;       // pending detected beat; tick kEmptyTick when none
  std::int32_t searchFloor = 0;  // a window's extremum before this tick is refused
  bool consumedReference = false;
  std::int32_t referenceSeek = 0;  // the reference input's cursor: first event at or after it

  explicit FiducialState(const BeatClassifier& c) : classifier(c) {}
};

class FiducialSearch {
 public:
  enum class Step { Beat, NotYet, End };

  FiducialSearch(const FiducialParams& params, SignalView& signal, ReferenceView& reference, const BeatEditsView* edits,
                 BeatNumberView* numbers);

  // The state at the start of `record`.
  FiducialState Start(std::int32_t record) const;
  // Puts the reference input where `state` expects it (after restoring a copied state).
  void Restore(const FiducialState& state);
  // Produces the next beat into `beat`; NotYet when more data are needed, End when the
  // record holds no further beat.
  Step Next(FiducialState& state, FiducialEvent& beat);

 private:
  struct Found {
    bool found = false;
    std::int32_t waitTick = FiducialState::kNone;  // when not found: where to look again
  };
  Found FindCandidate(FiducialState& state);
  std::optional<SamplePosition> NextAdded(const FiducialState& state) const;
  void Advance(FiducialState& state);
  bool SegmentFinal(const FiducialState& state, std::int32_t tick) const;
  void Fill(FiducialState& state, FiducialEvent& beat, std::int32_t tick, bool userAdded);

  const FiducialParams& params_;
  SignalView& signal_;
  ReferenceView& reference_;
  const BeatEditsView* edits_;
  BeatNumberView* numbers_;
  bool complete_ = false;
  std::vector<float> window_;
};

}  // namespace HRV
