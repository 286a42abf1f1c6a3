// SPDX-License-Identifier: MIT
// "HRVFiducialEnum": the calculation enumerator behind the expression function `fiducial`,
// the last stage of the detection chain. The host builds it from the parameter text,
// binds the low-passed signal and the detected peaks of each record, and reads beats as
// 80-byte FiducialEvent records.
#pragma once

#include <memory>
#include <optional>

#include "hrv/detect/fiducial_search.h"
#include "hrv/detect/host_views.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/calc_enumerator.h"

namespace HRV {

class FiducialEnumerator final : public ComObject<ICalcEnumerator> {
 public:
  using Params = FiducialParams;
  explicit FiducialEnumerator(const FiducialParams& params);

  HRESULT BindInputs(ICalcInputs* inputs) override;
  HRESULT StartRecord(std::int32_t record, double sampleInterval, std::int32_t mode) override;
  HRESULT ReadEvents(void* buffer, std::uint32_t maxEvents, std::uint32_t* count, std::int32_t* nextTick) override;
  HRESULT Find(VARIANT_BOOL backwards, std::int32_t from, std::int32_t low, std::int32_t high) override;
  HRESULT GetCurrentEvent(void* event) override;
  HRESULT GetPosition(std::int32_t* tick) override;
  HRESULT GetEventSize(std::uint32_t* size) override;
  HRESULT Clone(ICalcEnumerator** copy) override;

 private:
  using Cursor = EEH3::EventCursor<FiducialSearch, FiducialState, FiducialEvent>;

  // A search with its own reference cursor over the bound inputs. Reading and Find each
  // have one, so a search never moves the reading position.
  struct Lane {
    Lane(const FiducialParams& params, ICalcInputs* inputs, const DocumentChildren& children,
         EEH3::RecordCache<FiducialState>& cache);
    std::unique_ptr<SampledInputView> signal;
    std::unique_ptr<EventInputView> reference;
    std::optional<UserEditsView> edits;
    std::optional<BeatNumberCacheView> numbers;
    FiducialSearch search;
    Cursor cursor;
  };

  FiducialParams params_;
  ComPtr<ICalcInputs> inputs_;
  DocumentChildren children_;
  EEH3::RecordCache<FiducialState> cache_;
  std::unique_ptr<Lane> reader_;
  std::unique_ptr<Lane> finder_;
  std::int32_t record_ = 0;
};

// The class object registered with the host.
ComPtr<IUnknown> make_fiducial_enumerator_class();

}  // namespace HRV
