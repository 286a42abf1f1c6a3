// SPDX-License-Identifier: MIT
// The host side of an enumerator whose events come from an EventCursor. One lane reads and a
// second one searches, so that Find never moves the reading position; both share the
// per-record cache. A lane is a search over its own cursor on the bound inputs and exposes
// it as `cursor`. The enumerators derive from this and say how to bind their inputs, make a
// lane, tell where reading resumes, and make a twin with the same parameters for Clone.
#pragma once

#include <cstring>
#include <memory>
#include <vector>

#include "hrv/engine/enumerator_state.h"
#include "sdk/cpp/com_object.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/out_param.h"
#include "sdk/host/calc_enumerator.h"

namespace EEH3 {

template <class Lane, class State, class Event>
class CursorEnumerator : public ComObject<ICalcEnumerator> {
 public:
  HRESULT StartRecord(std::int32_t record, double, std::int32_t) override {
    return guard([&] {
      if (!inputs_) return E_UNEXPECTED;
      record_ = record;
      reader_ = MakeLane();
      finder_ = MakeLane();
      reader_->cursor.StartRecord(record);
      finder_->cursor.StartRecord(record);
      return S_OK;
    });
  }

  HRESULT ReadEvents(void* buffer, std::uint32_t maxEvents, std::uint32_t* count, std::int32_t* nextTick) override {
    return guard([&] {
      if (!count || (!buffer && maxEvents > 0)) return E_POINTER;
      *count = 0;
      if (!reader_) return E_UNEXPECTED;
      std::vector<Event> events(maxEvents);
      Step status;
      *count = reader_->cursor.Read(events.data(), maxEvents, status);
      if (*count > 0) std::memcpy(buffer, events.data(), *count * sizeof(Event));
      if (nextTick) *nextTick = NextTick(reader_->cursor.CurrentState());
      return *count > 0 ? S_OK : S_FALSE;
    });
  }

  HRESULT Find(VARIANT_BOOL backwards, std::int32_t from, std::int32_t low, std::int32_t high) override {
    return guard([&] {
      if (!finder_) return E_UNEXPECTED;
      return finder_->cursor.Find(backwards != VARIANT_FALSE, from, low, high) ? S_OK : S_FALSE;
    });
  }

  HRESULT GetCurrentEvent(void* event) override {
    if (!event) return E_POINTER;
    Event current;
    if (!finder_ || !finder_->cursor.Current(current)) return S_FALSE;
    std::memcpy(event, &current, sizeof current);
    return S_OK;
  }

  HRESULT GetPosition(std::int32_t* tick) override {
    return copy_out<std::int32_t>(finder_ ? finder_->cursor.Position() : 0, tick);
  }

  HRESULT GetEventSize(std::uint32_t* size) override { return copy_out<std::uint32_t>(sizeof(Event), size); }

  HRESULT Clone(ICalcEnumerator** copy) override {
    return guard([&] {
      if (!copy) return E_POINTER;
      *copy = nullptr;
      ComPtr<CursorEnumerator> twin = MakeTwin();
      twin->cache_ = cache_;
      if (inputs_) {
        check_hresult(twin->BindInputs(inputs_.get()));
        if (reader_) {
          check_hresult(twin->StartRecord(record_, 0, 0));
          twin->reader_->cursor.Resume(reader_->cursor.CurrentState());
        }
      }
      *copy = twin.detach();
      return S_OK;
    });
  }

 protected:
  // A lane over the bound inputs, its cursor on the shared cache.
  virtual std::unique_ptr<Lane> MakeLane() = 0;
  // Where reading resumes: no event before this tick is still to come.
  virtual std::int32_t NextTick(const State& state) const = 0;
  // A new enumerator with the same parameters, nothing bound.
  virtual ComPtr<CursorEnumerator> MakeTwin() const = 0;

  // Derived BindInputs call this once the inputs are accepted; the lanes of the previous
  // record go.
  void Bound(ICalcInputs* inputs) {
    inputs_ = ComPtr<ICalcInputs>::retain(inputs);
    reader_.reset();
    finder_.reset();
  }
  ICalcInputs* inputs() const noexcept { return inputs_.get(); }
  RecordCache<State>& cache() noexcept { return cache_; }

 private:
  ComPtr<ICalcInputs> inputs_;
  RecordCache<State> cache_;
  std::unique_ptr<Lane> reader_;
  std::unique_ptr<Lane> finder_;
  std::int32_t record_ = 0;
};

}  // namespace EEH3
