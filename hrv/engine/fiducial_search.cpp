// SPDX-License-Identifier: MIT
#include "fiducial_search.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace HRV {

namespace {
constexpr std::int32_t kNone = FiducialState::kNone;

// Index of the first extremum: a later sample replaces the best only when strictly larger
// (smaller for minima), so a flat window gives its first sample. NaN samples never win.
std::size_t first_extremum(const std::vector<float>& w, bool minimum) {
  std::size_t best = 0;
  for (std::size_t i = 1; i < w.size(); ++i) {
    const float v = w[i];
    if (std::isnan(v)) continue;
    if (std::isnan(w[best]) || (minimum ? v < w[best] : v > w[best])) best = i;
  }
  return best;
}
}  // namespace

FiducialSearch::FiducialSearch(const FiducialParams& params, SignalView& signal, ReferenceView& reference,
                               const BeatEditsView* edits, BeatNumberView* numbers)
    : params_(params), signal_(signal), reference_(reference), edits_(edits), numbers_(numbers) {}

FiducialState FiducialSearch::Start(std::int32_t record) const {
  FiducialState state(BeatClassifier(ClassifierBox{params_.minRR, params_.maxRR, params_.minFF, params_.maxFF},
                                     params_.excludeEctopic, params_.width, params_.dt));
  state.record = record;
  return state;
}

void FiducialSearch::Restore(const FiducialState& state) { reference_.seek(state.referenceSeek); }

void FiducialSearch::Advance(FiducialState& state) {
  if (auto p = reference_.current()) state.referenceSeek = *p + 1;
  reference_.advance();
  state.consumedReference = true;
}

FiducialSearch::Found FiducialSearch::FindCandidate(FiducialState& state) {
  if (state.candidate.tick != FiducialEvent::kEmptyTick) return {true};
  const std::int32_t half = params_.width / 2;
  for (;;) {
    const auto reference = reference_.current();
    if (!reference) {
      if (reference_.at_end()) return {false, kNone};
      return {false, std::max(reference_.position() - half, 0)};
    }
    const std::int32_t p = *reference;
    std::int32_t s = p - half;
    if (s <= 0) s = 0;
    const std::int64_t last = std::int64_t{s} + params_.width;  // inclusive: W + 1 samples
    // While the record grows, a window that reaches past the data is not final yet.
    if (!complete_ && last >= state.dataEnd) return {false, state.dataEnd};
    const std::int32_t count = static_cast<std::int32_t>(std::min<std::int64_t>(last + 1, state.dataEnd) - s);
    if (count <= 0) {  // no signal in the window: no candidate for this reference
      Advance(state);
      continue;
    }
    window_.resize(static_cast<std::size_t>(count));
    const std::int32_t got = signal_.read(s, count, window_.data());
    window_.resize(static_cast<std::size_t>(std::max(got, 0)));
    if (window_.empty()) {
      Advance(state);
      continue;
    }
    const std::size_t best = first_extremum(window_, params_.type == 1);
    const std::int32_t c = s + static_cast<std::int32_t>(best);
    // Two references on one QRS: the second window's extremum lies in what the first read.
    if (c < state.searchFloor) {
      Advance(state);
      continue;
    }
    state.searchFloor = s + static_cast<std::int32_t>(window_.size());
    const double value = window_[best];
    Advance(state);
    if (edits_) {
      const SamplePosition here{c, state.record};
      if (auto removed = edits_->removed_at_or_after(here); removed && *removed == here) continue;
    }
    state.candidate = FiducialEvent{};
    state.candidate.tick = c;
    state.candidate.peakValue = value;
    state.candidate.peakIndex = c - p;
    return {true};
  }
}

std::optional<SamplePosition> FiducialSearch::NextAdded(const FiducialState& state) const {
  if (!edits_) return std::nullopt;
  const std::int32_t from = state.previousTick == kNone ? 0 : state.previousTick + 1;
  auto added = edits_->added_at_or_after({from, state.record});
  if (!added || added->record != state.record) return std::nullopt;
  return added;
}

bool FiducialSearch::SegmentFinal(const FiducialState& state, std::int32_t tick) const {
  if (complete_) return tick < state.dataEnd;
  const SampleRange segment = complexity_segment(tick, params_.width, std::numeric_limits<std::int32_t>::max());
  return tick < state.dataEnd && std::int64_t{segment.first} + segment.count <= state.dataEnd;
}

void FiducialSearch::Fill(FiducialState& state, FiducialEvent& beat, std::int32_t tick, bool userAdded) {
  beat = FiducialEvent{};
  beat.tick = tick;
  beat.fraction = 0.0f;
  if (!userAdded) {
    beat.peakValue = state.candidate.peakValue;
    beat.peakIndex = state.candidate.peakIndex;
  }
  const SamplePosition here{tick, state.record};
  std::int32_t number = 0;
  if (here >= params_.start && here < params_.end) {
    if (state.previousNumber > 0) {
      number = state.previousNumber + 1;
    } else {
      std::uint32_t before = 0;
      if (numbers_) before = numbers_->last(state.record - 1).value_or(0);
      number = static_cast<std::int32_t>(before) + 1;
    }
  }
  beat.beatNumber = number;

  const SampleRange segment = complexity_segment(tick, params_.width, state.dataEnd);
  window_.resize(static_cast<std::size_t>(std::max(segment.count, 0)));
  const std::int32_t got = segment.count > 0 ? signal_.read(segment.first, segment.count, window_.data()) : 0;
  window_.resize(static_cast<std::size_t>(std::max(got, 0)));
  state.classifier.classify(beat, window_, userAdded);

  state.previousNumber = number;
  state.previousTick = tick;
  if (numbers_ && number > 0) {
    const auto stored = numbers_->last(state.record);
    if (!stored || static_cast<std::uint32_t>(number) > *stored) numbers_->set(state.record, static_cast<std::uint32_t>(number));
  }
}

FiducialSearch::Step FiducialSearch::Next(FiducialState& state, FiducialEvent& beat) {
  if (state.endOfData) return Step::End;
  state.dataEnd = signal_.available_end();
  complete_ = signal_.complete();

  const bool beforeStart = state.record < params_.start.record ||
                           (state.record == params_.start.record && state.dataEnd < params_.start.tick);
  if (beforeStart) {
    state.pendingTick = state.dataEnd;
    if (!complete_) return Step::NotYet;
    state.endOfData = true;
    return Step::End;
  }
  // While the record grows nothing can happen before the pending tick. Once it is complete
  // the search runs: windows that waited for more data are taken with what there is.
  if (state.pendingTick >= state.dataEnd && !complete_) return Step::NotYet;

  const Found found = FindCandidate(state);
  const auto added = NextAdded(state);
  const bool haveCandidate = state.candidate.tick != FiducialEvent::kEmptyTick;
  // A detected beat can no longer appear before `limit`.
  const std::int32_t limit = haveCandidate ? state.candidate.tick : found.waitTick;
  const bool useAdded = added && added->tick < limit;
  if (!useAdded && !haveCandidate) {
    if (found.waitTick == kNone && complete_) {
      state.endOfData = true;
      return Step::End;
    }
    state.pendingTick = std::min(found.waitTick, state.dataEnd);
    return Step::NotYet;
  }
  const std::int32_t chosen = useAdded ? added->tick : state.candidate.tick;
  if (!SegmentFinal(state, chosen)) {
    state.pendingTick = std::min(chosen, state.dataEnd);
    return Step::NotYet;
  }

  Fill(state, beat, chosen, useAdded);

  std::int32_t next = kNone;
  if (useAdded) {
    next = haveCandidate ? state.candidate.tick : found.waitTick;
  } else {
    state.candidate = FiducialEvent{};
    const Found following = FindCandidate(state);
    next = state.candidate.tick != FiducialEvent::kEmptyTick ? state.candidate.tick : following.waitTick;
  }
  if (const auto nextAdded = NextAdded(state)) next = std::min(next, nextAdded->tick);
  state.pendingTick = std::min(next, state.dataEnd);
  state.position = chosen + 1;
  return Step::Beat;
}

}  // namespace HRV
