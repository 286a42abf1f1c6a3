// SPDX-License-Identifier: MIT
#include "hrv/detect/selector_enumerator.h"

#include <cmath>
#include <locale>

#include "hrv/detect/enumerator_class.h"
#include "sdk/cpp/hresult_error.h"

namespace HRV {

namespace {

constexpr std::uint32_t kSourceInput = 0;

const char16_t* const kParameterNames[] = {u"Source", u"Type", u"Interpolate"};
const CalcParameterKind kParameterKinds[] = {kCalcEventInput, kCalcNumber, kCalcNumber};
const CalcParameterRange kRanges[] = {{0, 0}, {0, 5}, {0, 1}, kCalcRangeEnd};

const CalcEnumeratorDescription kDescription{u"HRVSelectorEnum",
                                             u"Selects a single HRV parameter",
                                             u"HRVSelector",
                                             kParameterNames,
                                             kParameterKinds,
                                             3,
                                             kRanges,
                                             u"HRVSelector",
                                             0x201,
                                             sizeof(SelectorEvent)};

// Whole beat records of the host's event input; beats must come in FiducialEvent records.
class BeatInputView final : public BeatSource {
 public:
  explicit BeatInputView(ComPtr<IEventInput> input) : input_(std::move(input)) {
    std::uint32_t size = 0;
    if (input_->GetEventSize(&size) != S_OK || size != sizeof(FiducialEvent))
      throw_hresult(E_INVALIDARG, "the selector's source must be a channel of beat events");
  }
  void seek(std::int32_t tick) override { input_->Seek(tick); }
  std::optional<FiducialEvent> current() override {
    FiducialEvent beat;
    if (input_->GetCurrentEvent(&beat) != S_OK) return std::nullopt;
    return beat;
  }
  void advance() override { input_->Advance(); }
  bool at_end() const override {
    VARIANT_BOOL end = VARIANT_FALSE;
    return input_->IsAtEnd(&end) == S_OK && end != VARIANT_FALSE;
  }

 private:
  ComPtr<IEventInput> input_;
};

ComPtr<IEventInput> source_input(ICalcInputs* inputs) {
  ComPtr<IEventInput> source;
  check_hresult(inputs->GetEventInput(kSourceInput, source.put()), "the selector's source must be an event channel");
  if (!source) throw_hresult(E_INVALIDARG, "selector source missing");
  return source;
}

}  // namespace

double selected_value(const FiducialEvent& beat, std::int32_t type) noexcept {
  switch (static_cast<SelectorType>(type)) {
    case SelectorType::BeatPeriod: return beat.rr;
    case SelectorType::PeriodChange: return beat.deltaRR;
    case SelectorType::BeatRate: return beat.rate * 60.0;
    case SelectorType::Activity: return beat.complexityA;
    case SelectorType::Mobility: return beat.complexityB;
    case SelectorType::Complexity: return beat.ff;
  }
  return std::nan("");
}

bool SelectorParams::Read(std::istream& text) {
  text.imbue(std::locale::classic());
  double t = 0, i = 0;
  if (!(text >> t >> i) || !(text >> std::ws).eof()) return false;
  type = static_cast<std::int32_t>(t);
  interpolate = i > 0;
  return true;
}

void SelectorParams::Write(std::ostream& text) const {
  text.imbue(std::locale::classic());
  text << type << ' ' << (interpolate ? 1 : 0);
}

SelectorState SelectorSearch::Start(std::int32_t record) const {
  SelectorState state;
  state.record = record;
  return state;
}

SelectorSearch::Step SelectorSearch::Next(SelectorState& state, SelectorEvent& out) {
  const auto beat = source_.current();
  if (!beat) return source_.at_end() ? Step::End : Step::NotYet;
  // The point sits at the beat's exact position: the nearest tick (halves up) and the rest
  // as a fraction, e.g. tick 1000 + 0.6 gives tick 1001 and fraction -0.4.
  const double position = beat->tick + static_cast<double>(beat->fraction);
  out.tick = static_cast<std::int32_t>(std::trunc(position + 0.5));
  out.fraction = static_cast<float>(position - out.tick);
  out.value = selected_value(*beat, params_.type);
  state.sourceSeek = beat->tick + 1;
  state.position = out.tick + 1;
  source_.advance();
  return Step::Beat;
}

SelectorLane::SelectorLane(const SelectorParams& params, ICalcInputs* inputs, EEH3::RecordCache<SelectorState>& cache)
    : source(std::make_unique<BeatInputView>(source_input(inputs))), search(params, *source), cursor(search, cache) {}

HRESULT SelectorEnumerator::BindInputs(ICalcInputs* inputs) {
  return guard([&] {
    if (!inputs) return E_POINTER;
    BeatInputView probe(source_input(inputs));  // refuses a source that is not a beat channel
    Bound(inputs);
    return S_OK;
  });
}

std::unique_ptr<SelectorLane> SelectorEnumerator::MakeLane() {
  return std::make_unique<SelectorLane>(params_, inputs(), cache());
}

ComPtr<SelectorEnumerator::CursorEnumerator> SelectorEnumerator::MakeTwin() const {
  return make_com<SelectorEnumerator>(params_);
}

ComPtr<IUnknown> make_selector_enumerator_class() {
  auto cls = make_com<EEH3::EnumeratorClass<SelectorEnumerator>>(kDescription);
  return ComPtr<IUnknown>::retain(cls->identity());
}

}  // namespace HRV
