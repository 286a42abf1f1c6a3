// SPDX-License-Identifier: MIT
// "HRVSelectorEnum": the calculation enumerator behind `HRVSelector(Source, Type,
// Interpolate)`, which turns every beat of a fiducial channel into one value (beat period,
// its change, rate, complexity) so that the host can plot it as a channel.
#pragma once

#include <cstddef>
#include <istream>
#include <memory>
#include <optional>

#include "hrv/engine/fiducial_event.h"
#include "hrv/detect/cursor_enumerator.h"
#include "hrv/engine/enumerator_state.h"

namespace HRV {

// Which beat value a selector outputs.
enum class SelectorType : std::int32_t {
  BeatPeriod = 0,       // rr, s
  PeriodChange = 1,     // deltaRR, s
  BeatRate = 2,         // rate × 60, beats per minute
  Activity = 3,         // complexityA
  Mobility = 4,         // complexityB
  Complexity = 5,       // ff
};

// The value of `type` for one beat; NaN for an unknown type.
double selected_value(const FiducialEvent& beat, std::int32_t type) noexcept;

// One output point: a value at a position given as a tick and a sub-tick fraction.
struct SelectorEvent {
  std::int32_t tick = 0;
  float fraction = 0.0f;
  double value = 0.0;
};
static_assert(sizeof(SelectorEvent) == 16);
static_assert(offsetof(SelectorEvent, value) == 8);

class SelectorParams final : public EEH3::ParamsBase {
 public:
  std::int32_t type = 0;
  bool interpolate = false;  // kept and written back; the per-beat values do not depend on it

  bool Read(std::istream& text) override;
  void Write(std::ostream& text) const override;
  void Bind(double) override {}
};

struct SelectorState : EEH3::StateBase {
  std::int32_t sourceSeek = 0;  // the source cursor: first beat at or after this tick
};

// A cursor over whole beat records of an event input.
class BeatSource {
 public:
  virtual ~BeatSource() = default;
  virtual void seek(std::int32_t tick) = 0;
  virtual std::optional<FiducialEvent> current() = 0;
  virtual void advance() = 0;
  virtual bool at_end() const = 0;
};

class SelectorSearch {
 public:
  enum class Step { Beat, NotYet, End };
  SelectorSearch(const SelectorParams& params, BeatSource& source) : params_(params), source_(source) {}
  SelectorState Start(std::int32_t record) const;
  void Restore(const SelectorState& state) { source_.seek(state.sourceSeek); }
  Step Next(SelectorState& state, SelectorEvent& out);

 private:
  const SelectorParams& params_;
  BeatSource& source_;
};

// A search with its own cursor over the bound source.
struct SelectorLane {
  SelectorLane(const SelectorParams& params, ICalcInputs* inputs, EEH3::RecordCache<SelectorState>& cache);
  std::unique_ptr<BeatSource> source;
  SelectorSearch search;
  EEH3::EventCursor<SelectorSearch, SelectorState, SelectorEvent> cursor;
};

class SelectorEnumerator final : public EEH3::CursorEnumerator<SelectorLane, SelectorState, SelectorEvent> {
 public:
  using Params = SelectorParams;
  explicit SelectorEnumerator(const SelectorParams& params) : params_(params) {}

  HRESULT BindInputs(ICalcInputs* inputs) override;

 private:
  std::unique_ptr<SelectorLane> MakeLane() override;
  std::int32_t NextTick(const SelectorState& state) const override { return state.position; }
  ComPtr<CursorEnumerator> MakeTwin() const override;

  SelectorParams params_;
};

ComPtr<IUnknown> make_selector_enumerator_class();

}  // namespace HRV
