// SPDX-License-Identifier: MIT
// "HRVBeatListEnum": the calculation enumerator behind `beats(Reference, MinRR[s], MaxRR[s],
// MinFF, MaxFF, LimitStartRecord, LimitStartOffset, LimitEndRecord, LimitEndOffset,
// ExcludeEctopic)`, the fiducial stage of a document whose source is a list of beats the
// host imported (annotations, an RR list) rather than a signal. Each event of the
// Reference channel is a beat at its own tick; the user's edits, the beat numbers, RR,
// delta-RR and the classification are those of the fiducial enumerator, which it shares
// (the search with a window of 0 samples), so the analysis reads these beats exactly as it
// reads detected ones. Without a waveform a beat has no FF and is classified by RR alone.
#pragma once

#include <istream>
#include <memory>
#include <optional>

#include "hrv/detect/cursor_enumerator.h"
#include "hrv/detect/host_views.h"
#include "hrv/engine/fiducial_search.h"

namespace HRV {

// The fiducial search's parameters with a window of 0 seconds; the text holds the box, the
// four limits and the exclusion flag, in the order of `fiducial`.
class BeatListParams final : public EEH3::ParamsBase {
 public:
  FiducialParams search;

  bool Read(std::istream& text) override;
  void Write(std::ostream& text) const override;
  void Bind(double sampleInterval) override { search.Bind(sampleInterval); }
};

// The record's clock for a search without a signal: data reach as far as the reference
// events are final, and every sample reads 0 (the window of 0 samples reads one).
class ReferenceClock final : public SignalView {
 public:
  explicit ReferenceClock(const ReferenceView& reference) : reference_(reference) {}
  std::int32_t available_end() const override { return reference_.position(); }
  bool complete() const override { return reference_.at_end(); }
  std::int32_t read(std::int32_t from, std::int32_t count, float* out) const override;

 private:
  const ReferenceView& reference_;
};

struct BeatListLane {
  BeatListLane(const FiducialParams& params, ICalcInputs* inputs, const DocumentChildren& children,
               EEH3::RecordCache<FiducialState>& cache);
  std::unique_ptr<EventInputView> reference;
  ReferenceClock clock;
  std::optional<UserEditsView> edits;
  std::optional<BeatNumberCacheView> numbers;
  FiducialSearch search;
  EEH3::EventCursor<FiducialSearch, FiducialState, FiducialEvent> cursor;
};

class BeatListEnumerator final : public EEH3::CursorEnumerator<BeatListLane, FiducialState, FiducialEvent> {
 public:
  using Params = BeatListParams;
  explicit BeatListEnumerator(const BeatListParams& params) : params_(params) {}

  HRESULT BindInputs(ICalcInputs* inputs) override;
  // The event input has no sample interval of its own: the record's comes with the start.
  HRESULT StartRecord(std::int32_t record, double sampleInterval, std::int32_t mode) override;

 private:
  std::unique_ptr<BeatListLane> MakeLane() override;
  std::int32_t NextTick(const FiducialState& state) const override;
  ComPtr<CursorEnumerator> MakeTwin() const override;

  BeatListParams params_;
  DocumentChildren children_;
};

// The class object registered with the host.
ComPtr<IUnknown> make_beat_list_enumerator_class();

}  // namespace HRV
