// SPDX-License-Identifier: MIT
// The enumerator views over the host's inputs and over the document's edit objects.
#pragma once

#include "sdk/hrv/beat_data.h"
#include "hrv/engine/search_inputs.h"
#include "sdk/cpp/com_ptr.h"
#include "sdk/host/calc_enumerator.h"

namespace HRV {

class SampledInputView final : public SignalView {
 public:
  explicit SampledInputView(ComPtr<ISampledInput> input) : input_(std::move(input)) {}
  std::int32_t available_end() const override;
  bool complete() const override;
  std::int32_t read(std::int32_t from, std::int32_t count, float* out) const override;

 private:
  ComPtr<ISampledInput> input_;
};

class EventInputView final : public ReferenceView {
 public:
  explicit EventInputView(ComPtr<IEventInput> input) : input_(std::move(input)) {}
  void seek(std::int32_t tick) override { input_->Seek(tick); }
  std::optional<std::int32_t> current() override;
  void advance() override { input_->Advance(); }
  std::int32_t position() const override;
  bool at_end() const override;
  // The whole record of the current event (`size` bytes); false when there is none.
  bool current_record(void* out) const { return input_->GetCurrentEvent(out) == S_OK; }

 private:
  ComPtr<IEventInput> input_;
};

class UserEditsView final : public BeatEditsView {
 public:
  explicit UserEditsView(ComPtr<IUserEventData> edits) : edits_(std::move(edits)) {}
  std::optional<SamplePosition> added_at_or_after(SamplePosition p) const override { return find(p, AddedBeats); }
  std::optional<SamplePosition> removed_at_or_after(SamplePosition p) const override { return find(p, RemovedBeats); }

 private:
  std::optional<SamplePosition> find(SamplePosition p, UserEventSet set) const;
  ComPtr<IUserEventData> edits_;
};

class BeatNumberCacheView final : public BeatNumberView {
 public:
  explicit BeatNumberCacheView(ComPtr<IEventIdCache> cache) : cache_(std::move(cache)) {}
  std::optional<std::uint32_t> last(std::int32_t record) const override;
  void set(std::int32_t record, std::uint32_t number) override { cache_->SetLastBeatNumber(record, number); }

 private:
  ComPtr<IEventIdCache> cache_;
};

// The document's edit objects as the host's chart data holds them; null members when the
// document attached none (the search then treats the edits as empty and numbers from 1).
struct DocumentChildren {
  ComPtr<IUserEventData> edits;
  ComPtr<IEventIdCache> numbers;
};
DocumentChildren find_document_children(ICalcInputs* inputs);

}  // namespace HRV
