// SPDX-License-Identifier: MIT
// "HRVFiducialEnum": the calculation enumerator behind the expression function `fiducial`,
// the last stage of the detection chain. The host builds it from the parameter text,
// binds the low-passed signal and the detected peaks of each record, and reads beats as
// 80-byte FiducialEvent records.
#pragma once

#include <memory>
#include <optional>

#include "hrv/detect/cursor_enumerator.h"
#include "hrv/engine/fiducial_search.h"
#include "hrv/detect/host_views.h"

namespace HRV {

// A search with its own reference cursor over the bound inputs.
struct FiducialLane {
  FiducialLane(const FiducialParams& params, ICalcInputs* inputs, const DocumentChildren& children,
               EEH3::RecordCache<FiducialState>& cache);
  std::unique_ptr<SampledInputView> signal;
  std::unique_ptr<EventInputView> reference;
  std::optional<UserEditsView> edits;
  std::optional<BeatNumberCacheView> numbers;
  FiducialSearch search;
  EEH3::EventCursor<FiducialSearch, FiducialState, FiducialEvent> cursor;
};

class FiducialEnumerator final : public EEH3::CursorEnumerator<FiducialLane, FiducialState, FiducialEvent> {
 public:
  using Params = FiducialParams;
  explicit FiducialEnumerator(const FiducialParams& params) : params_(params) {}

  HRESULT BindInputs(ICalcInputs* inputs) override;

 private:
  std::unique_ptr<FiducialLane> MakeLane() override;
  std::int32_t NextTick(const FiducialState& state) const override;
  ComPtr<CursorEnumerator> MakeTwin() const override;

  FiducialParams params_;
  DocumentChildren children_;
};

// The class object registered with the host.
ComPtr<IUnknown> make_fiducial_enumerator_class();

}  // namespace HRV
