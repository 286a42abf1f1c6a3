// SPDX-License-Identifier: MIT
#include "hrv/detect/beat_list_enumerator.h"

#include <algorithm>
#include <cfloat>
#include <iterator>
#include <sstream>

#include "hrv/detect/enumerator_class.h"
#include "sdk/cpp/hresult_error.h"

namespace HRV {

namespace {

constexpr std::uint32_t kListReferenceInput = 0;

const char16_t* const kListParameterNames[] = {u"Reference",        u"MinRR[s]",         u"MaxRR[s]",
                                           u"MinFF",            u"MaxFF",            u"LimitStartRecord",
                                           u"LimitStartOffset", u"LimitEndRecord",   u"LimitEndOffset",
                                           u"ExcludeEctopic"};
const CalcParameterKind kListParameterKinds[] = {kCalcEventInput, kCalcNumber, kCalcNumber, kCalcNumber, kCalcNumber,
                                             kCalcNumber,     kCalcNumber, kCalcNumber, kCalcNumber, kCalcNumber};
const CalcParameterRange kListRanges[] = {{0, 0},        {0, 60},       {0, 60},       {0, 10}, {0, 10}, {-1, DBL_MAX},
                                      {-1, DBL_MAX}, {-1, DBL_MAX}, {-1, DBL_MAX}, {0, 1},  kCalcRangeEnd};
static_assert(std::size(kListParameterNames) == std::size(kListParameterKinds));
static_assert(std::size(kListRanges) == std::size(kListParameterNames) + 1);

const CalcEnumeratorDescription kListDescription{
    u"HRVBeatListEnum",
    u"Beats at the events of a list (imported annotations or RR intervals), numbered and classified.",
    u"Beats",
    kListParameterNames,
    kListParameterKinds,
    static_cast<std::uint32_t>(std::size(kListParameterNames)),
    kListRanges,
    u"Fiducial",
    0x201,
    sizeof(FiducialEvent)};

}  // namespace

bool BeatListParams::Read(std::istream& text) {
  // The search's own text: a window of 0 s and the maximum type, then these values.
  std::ostringstream full;
  full << "0 0 " << text.rdbuf();
  std::istringstream in(full.str());
  return search.Read(in);
}

void BeatListParams::Write(std::ostream& text) const {
  std::ostringstream full;
  search.Write(full);
  const std::string values = full.str();
  // Drop the window and the type, the first two values.
  std::size_t at = values.find(' ');
  at = at == std::string::npos ? at : values.find(' ', at + 1);
  text << (at == std::string::npos ? std::string() : values.substr(at + 1));
}

std::int32_t ReferenceClock::read(std::int32_t from, std::int32_t count, float* out) const {
  const std::int32_t n = std::clamp(available_end() - from, 0, std::max(count, 0));
  std::fill_n(out, n, 0.0f);
  return n;
}

BeatListLane::BeatListLane(const FiducialParams& params, ICalcInputs* inputs, const DocumentChildren& children,
                           EEH3::RecordCache<FiducialState>& cache)
    : reference([&] {
        ComPtr<IEventInput> input;
        check_hresult(inputs->GetEventInput(kListReferenceInput, input.put()), "enumerator input of the wrong kind");
        if (!input) throw_hresult(E_INVALIDARG, "enumerator input missing");
        return std::make_unique<EventInputView>(input);
      }()),
      clock(*reference),
      edits(children.edits ? std::optional<UserEditsView>(std::in_place, children.edits) : std::nullopt),
      numbers(children.numbers ? std::optional<BeatNumberCacheView>(std::in_place, children.numbers) : std::nullopt),
      search(params, clock, *reference, edits ? &*edits : nullptr, numbers ? &*numbers : nullptr),
      cursor(search, cache) {}

HRESULT BeatListEnumerator::BindInputs(ICalcInputs* inputs) {
  return guard([&] {
    if (!inputs) return E_POINTER;
    ComPtr<IEventInput> reference;
    check_hresult(inputs->GetEventInput(kListReferenceInput, reference.put()), "enumerator input of the wrong kind");
    if (!reference) return E_INVALIDARG;
    children_ = find_document_children(inputs);
    Bound(inputs);
    return S_OK;
  });
}

HRESULT BeatListEnumerator::StartRecord(std::int32_t record, double sampleInterval, std::int32_t mode) {
  // A clone starts with no interval and keeps the one its parameters were bound to.
  if (sampleInterval > 0) params_.Bind(sampleInterval);
  return CursorEnumerator::StartRecord(record, sampleInterval, mode);
}

std::unique_ptr<BeatListLane> BeatListEnumerator::MakeLane() {
  return std::make_unique<BeatListLane>(params_.search, inputs(), children_, cache());
}

std::int32_t BeatListEnumerator::NextTick(const FiducialState& state) const {
  return std::min(state.pendingTick, state.dataEnd);
}

ComPtr<BeatListEnumerator::CursorEnumerator> BeatListEnumerator::MakeTwin() const {
  return make_com<BeatListEnumerator>(params_);
}

ComPtr<IUnknown> make_beat_list_enumerator_class() {
  auto cls = make_com<EEH3::EnumeratorClass<BeatListEnumerator>>(kListDescription);
  return ComPtr<IUnknown>::retain(cls->identity());
}

}  // namespace HRV
