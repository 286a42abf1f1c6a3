// SPDX-License-Identifier: MIT
#include "hrv/detect/fiducial_enumerator.h"

#include <algorithm>
#include <cfloat>

#include "hrv/detect/enumerator_class.h"
#include "sdk/cpp/hresult_error.h"

namespace HRV {

namespace {

constexpr std::uint32_t kSignalInput = 0;
constexpr std::uint32_t kReferenceInput = 1;

const char16_t* const kParameterNames[] = {
    u"Signal", u"Reference", u"Width[s]", u"Type", u"MinRR[s]", u"MaxRR[s]", u"MinFF", u"MaxFF",
    u"LimitStartRecord", u"LimitStartOffset", u"LimitEndRecord", u"LimitEndOffset", u"ExcludeEctopic"};
const CalcParameterKind kParameterKinds[] = {kCalcSampledInput, kCalcEventInput, kCalcNumber, kCalcNumber, kCalcNumber,
                                             kCalcNumber,       kCalcNumber,     kCalcNumber, kCalcNumber, kCalcNumber,
                                             kCalcNumber,       kCalcNumber,     kCalcNumber};
const CalcParameterRange kRanges[] = {{0, 0},        {0, 0},        {0.01, 10},    {0, 1},  {0, 60},
                                      {0, 60},       {0, 10},       {0, 10},       {-1, DBL_MAX}, {-1, DBL_MAX},
                                      {-1, DBL_MAX}, {-1, DBL_MAX}, {0, 1},        kCalcRangeEnd};
static_assert(std::size(kParameterNames) == std::size(kParameterKinds));
static_assert(std::size(kRanges) == std::size(kParameterNames) + 1);

const CalcEnumeratorDescription kDescription{
    u"HRVFiducialEnum",
    u"Detect fiducial points around a given reference event.",
    u"Fiducial",
    kParameterNames,
    kParameterKinds,
    static_cast<std::uint32_t>(std::size(kParameterNames)),
    kRanges,
    u"Fiducial",
    0x201,
    sizeof(FiducialEvent)};

template <class T>
ComPtr<T> input(ICalcInputs* inputs, std::uint32_t index, HRESULT (ICalcInputs::*get)(std::uint32_t, T**)) {
  ComPtr<T> out;
  check_hresult((inputs->*get)(index, out.put()), "enumerator input of the wrong kind");
  if (!out) throw_hresult(E_INVALIDARG, "enumerator input missing");
  return out;
}

}  // namespace

FiducialLane::FiducialLane(const FiducialParams& params, ICalcInputs* inputs, const DocumentChildren& children,
                           EEH3::RecordCache<FiducialState>& cache)
    : signal(std::make_unique<SampledInputView>(input(inputs, kSignalInput, &ICalcInputs::GetSampledInput))),
      reference(std::make_unique<EventInputView>(input(inputs, kReferenceInput, &ICalcInputs::GetEventInput))),
      edits(children.edits ? std::optional<UserEditsView>(std::in_place, children.edits) : std::nullopt),
      numbers(children.numbers ? std::optional<BeatNumberCacheView>(std::in_place, children.numbers) : std::nullopt),
      search(params, *signal, *reference, edits ? &*edits : nullptr, numbers ? &*numbers : nullptr),
      cursor(search, cache) {}

HRESULT FiducialEnumerator::BindInputs(ICalcInputs* inputs) {
  return guard([&] {
    if (!inputs) return E_POINTER;
    ComPtr<ISampledInput> signal = input(inputs, kSignalInput, &ICalcInputs::GetSampledInput);
    input(inputs, kReferenceInput, &ICalcInputs::GetEventInput);
    double dt = 0;
    check_hresult(signal->GetSampleInterval(&dt));
    params_.Bind(dt);
    children_ = find_document_children(inputs);
    Bound(inputs);
    return S_OK;
  });
}

std::unique_ptr<FiducialLane> FiducialEnumerator::MakeLane() {
  return std::make_unique<FiducialLane>(params_, inputs(), children_, cache());
}

std::int32_t FiducialEnumerator::NextTick(const FiducialState& state) const {
  return std::min(state.pendingTick, state.dataEnd);
}

ComPtr<FiducialEnumerator::CursorEnumerator> FiducialEnumerator::MakeTwin() const {
  return make_com<FiducialEnumerator>(params_);
}

ComPtr<IUnknown> make_fiducial_enumerator_class() {
  auto cls = make_com<EEH3::EnumeratorClass<FiducialEnumerator>>(kDescription);
  return ComPtr<IUnknown>::retain(cls->identity());
}

}  // namespace HRV
