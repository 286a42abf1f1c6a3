// SPDX-License-Identifier: MIT
#include "hrv/detect/fiducial_enumerator.h"

#include <cfloat>
#include <cstring>
#include <vector>

#include "hrv/detect/enumerator_class.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/out_param.h"

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

FiducialEnumerator::Lane::Lane(const FiducialParams& params, ICalcInputs* inputs, const DocumentChildren& children,
                               EEH3::RecordCache<FiducialState>& cache)
    : signal(std::make_unique<SampledInputView>(input(inputs, kSignalInput, &ICalcInputs::GetSampledInput))),
      reference(std::make_unique<EventInputView>(input(inputs, kReferenceInput, &ICalcInputs::GetEventInput))),
      edits(children.edits ? std::optional<UserEditsView>(std::in_place, children.edits) : std::nullopt),
      numbers(children.numbers ? std::optional<BeatNumberCacheView>(std::in_place, children.numbers) : std::nullopt),
      search(params, *signal, *reference, edits ? &*edits : nullptr, numbers ? &*numbers : nullptr),
      cursor(search, cache) {}

FiducialEnumerator::FiducialEnumerator(const FiducialParams& params) : params_(params) {}

HRESULT FiducialEnumerator::BindInputs(ICalcInputs* inputs) {
  return guard([&] {
    if (!inputs) return E_POINTER;
    ComPtr<ISampledInput> signal = input(inputs, kSignalInput, &ICalcInputs::GetSampledInput);
    input(inputs, kReferenceInput, &ICalcInputs::GetEventInput);
    double dt = 0;
    check_hresult(signal->GetSampleInterval(&dt));
    params_.Bind(dt);
    inputs_ = ComPtr<ICalcInputs>::retain(inputs);
    children_ = find_document_children(inputs);
    reader_.reset();
    finder_.reset();
    return S_OK;
  });
}

HRESULT FiducialEnumerator::StartRecord(std::int32_t record, double, std::int32_t) {
  return guard([&] {
    if (!inputs_) return E_UNEXPECTED;
    record_ = record;
    reader_ = std::make_unique<Lane>(params_, inputs_.get(), children_, cache_);
    finder_ = std::make_unique<Lane>(params_, inputs_.get(), children_, cache_);
    reader_->cursor.StartRecord(record);
    finder_->cursor.StartRecord(record);
    return S_OK;
  });
}

HRESULT FiducialEnumerator::ReadEvents(void* buffer, std::uint32_t maxEvents, std::uint32_t* count, std::int32_t* nextTick) {
  return guard([&] {
    if (!count || (!buffer && maxEvents > 0)) return E_POINTER;
    *count = 0;
    if (!reader_) return E_UNEXPECTED;
    std::vector<FiducialEvent> events(maxEvents);
    EEH3::Step status;
    *count = reader_->cursor.Read(events.data(), maxEvents, status);
    if (*count > 0) std::memcpy(buffer, events.data(), *count * sizeof(FiducialEvent));
    if (nextTick) {
      const FiducialState& state = reader_->cursor.CurrentState();
      *nextTick = std::min(state.pendingTick, state.dataEnd);
    }
    return *count > 0 ? S_OK : S_FALSE;
  });
}

HRESULT FiducialEnumerator::Find(VARIANT_BOOL backwards, std::int32_t from, std::int32_t low, std::int32_t high) {
  return guard([&] {
    if (!finder_) return E_UNEXPECTED;
    return finder_->cursor.Find(backwards != VARIANT_FALSE, from, low, high) ? S_OK : S_FALSE;
  });
}

HRESULT FiducialEnumerator::GetCurrentEvent(void* event) {
  if (!event) return E_POINTER;
  FiducialEvent current;
  if (!finder_ || !finder_->cursor.Current(current)) return S_FALSE;
  std::memcpy(event, &current, sizeof current);
  return S_OK;
}

HRESULT FiducialEnumerator::GetPosition(std::int32_t* tick) { return copy_out<std::int32_t>(finder_ ? finder_->cursor.Position() : 0, tick); }

HRESULT FiducialEnumerator::GetEventSize(std::uint32_t* size) { return copy_out<std::uint32_t>(sizeof(FiducialEvent), size); }

HRESULT FiducialEnumerator::Clone(ICalcEnumerator** copy) {
  return guard([&] {
    if (!copy) return E_POINTER;
    *copy = nullptr;
    auto twin = make_com<FiducialEnumerator>(params_);
    twin->cache_ = cache_;
    if (inputs_) {
      check_hresult(twin->BindInputs(inputs_.get()));
      if (reader_) {
        check_hresult(twin->StartRecord(record_, params_.dt, 0));
        twin->reader_->cursor.Resume(reader_->cursor.CurrentState());
      }
    }
    *copy = twin.detach();
    return S_OK;
  });
}

ComPtr<IUnknown> make_fiducial_enumerator_class() {
  auto cls = make_com<EEH3::EnumeratorClass<FiducialEnumerator>>(kDescription);
  return ComPtr<IUnknown>::retain(cls->identity());
}

}  // namespace HRV
