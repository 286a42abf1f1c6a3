// SPDX-License-Identifier: MIT
#include "fake_host_document.h"

#include <algorithm>
#include <cstring>

#include "fake_host_application.h"
#include "sdk/cpp/utf.h"

namespace fake_host {

namespace {

constexpr std::uint32_t kBeatRecordSize = 80;

// The 80-byte beat record, at the byte offsets the contract fixes.
void encode_beat(const Beat& b, std::uint8_t* out) {
  std::memset(out, 0, kBeatRecordSize);
  const double rate = 1.0 / b.rr;
  std::memcpy(out + 0, &b.at.tick, 4);
  std::memcpy(out + 20, &b.number, 4);
  std::memcpy(out + 40, &b.ff, 8);
  std::memcpy(out + 48, &b.rr, 8);
  std::memcpy(out + 56, &b.deltaRR, 8);
  std::memcpy(out + 64, &rate, 8);
  std::memcpy(out + 72, &b.flags, 4);
}

// Answers an out parameter.
template <class T, class U>
HRESULT put(const U& value, T* out) {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}
// A service the test may have taken away: S_FALSE with null then.
template <class I>
HRESULT hand_out_service(I* object, I** out) {
  const HRESULT hr = hand_out<I>(object, out);
  return hr == S_OK && !object ? S_FALSE : hr;
}
HRESULT put_text(const std::string& text, BSTR* out) { return out ? put(Bstr(text).detach(), out) : E_POINTER; }
HRESULT put_bool(bool value, VARIANT_BOOL* out) { return put(to_variant_bool(value), out); }

// Reads the listed beats of [from, to) in batches, as the host's reader does.
class BeatReader final : public ComObject<IEventReader> {
 public:
  BeatReader(ComPtr<HostDocument> document, TickPosition from, TickPosition to)
      : document_(std::move(document)), next_(from), to_(to) {}
  HRESULT GetEventSize(ULONG* size) override { return put(kBeatRecordSize, size); }
  HRESULT Read(void* buffer, ULONG maxEvents, std::int32_t* records, ULONG* count) override {
    if (!buffer || !count) return E_POINTER;
    *count = 0;
    const ULONG limit = std::min<ULONG>(maxEvents, HostDocument::kBatch);
    auto* out = static_cast<std::uint8_t*>(buffer);
    const bool bounded = to_.record != TickPosition::kUnset && to_.record != TickPosition::kOpenEndRecord;
    for (const Beat& b : document_->beats) {
      if (b.at < next_ || (bounded && !(b.at < to_))) continue;
      if (*count == limit) return S_OK;
      encode_beat(b, out + std::size_t{*count} * kBeatRecordSize);
      if (records) records[*count] = b.at.record;
      ++*count;
      next_ = {b.at.tick + 1, b.at.record};
    }
    // Looked at everything there is: the resume point moves to the end of the data.
    const TickPosition end = document_->end_of_data();
    next_ = std::max(next_, bounded ? std::min(to_, end) : end);
    return *count > 0 ? S_OK : S_FALSE;
  }
  HRESULT GetPosition(TickPosition* position) override { return put(next_, position); }

 private:
  ComPtr<HostDocument> document_;
  TickPosition next_;
  TickPosition to_;
};

}  // namespace

HRESULT ChartData::GetChild(std::uint32_t typeId, IChartDataChildData** child) {
  if (!child) return E_POINTER;
  *child = nullptr;
  auto it = children.find(typeId);
  return it == children.end() ? S_FALSE : it->second.copy_to(child);
}
HRESULT ChartData::AddChild(IChartDataChildData* child) {
  if (!child) return E_POINTER;
  std::uint32_t type = 0;
  child->GetTypeId(&type);
  children[type] = ComPtr<IChartDataChildData>::retain(child);
  return S_OK;
}

HRESULT ChartView::GetSelection(std::uint32_t* k, TickPosition* s, TickPosition* e, ChannelId* c, double* low,
                                double* high) {
  if (!k || !s || !e || !c || !low || !high) return E_POINTER;
  queries.push_back({*k, *low, *high});
  *k = kind, *s = start, *e = end, *c = ChannelId{0, ChannelId::kDefaultKind};
  return S_OK;
}

HRESULT Storage::SetPersistedItem(std::int32_t index, IPersistStreamInit* object, VARIANT_BOOL loaded) {
  if (!object) return E_POINTER;
  items[index] = {ComPtr<IPersistStreamInit>::retain(object), loaded != VARIANT_FALSE};
  return S_OK;
}
HRESULT Storage::GetPersistedItem(std::int32_t index, IPersistStreamInit** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  auto it = items.find(index);
  return it == items.end() ? S_FALSE : it->second.first.copy_to(object);
}

HRESULT AnalysisManager::RegisterClient(const char16_t* name, const char16_t* text, IUnknown* client,
                                        std::int32_t* cookie) {
  if (!name || !text || !client || !cookie) return E_POINTER;
  *cookie = nextCookie++;
  clients[*cookie] = ComPtr<IUnknown>::retain(client);
  names.push_back(utf16_to_utf8(name) + "/" + utf16_to_utf8(text));
  return S_OK;
}
HRESULT AnalysisManager::SetPersistedItem(std::int32_t cookie, std::int32_t index, IPersistStreamInit* object,
                                          VARIANT_BOOL) {
  if (!object) return E_POINTER;
  if (!clients.count(cookie)) return E_INVALIDARG;
  items[index] = ComPtr<IPersistStreamInit>::retain(object);
  return S_OK;
}
HRESULT AnalysisManager::IsAffected(std::int32_t cookie, std::int32_t, VARIANT_BOOL* result) {
  return put_bool(affected && clients.count(cookie), result);
}

HRESULT SamplingManager::AddSink(IOnlineDataSink* sink) {
  if (!sink) return E_POINTER;
  sinks.push_back(ComPtr<IOnlineDataSink>::retain(sink));
  return S_OK;
}
HRESULT SamplingManager::RemoveSink(IOnlineDataSink* sink) {
  auto it = std::find_if(sinks.begin(), sinks.end(), [&](const auto& s) { return s.get() == sink; });
  if (it == sinks.end()) return S_FALSE;
  sinks.erase(it);
  return S_OK;
}

HRESULT Calculation::Initialise(const char16_t* text, const char16_t*, BSTR*) {
  if (!text) return E_POINTER;
  expression = utf16_to_utf8(text);
  return refused.empty() || expression.find(refused) == std::string::npos ? S_OK : E_INVALIDARG;
}
HRESULT Calculation::GetExpression(BSTR* out) { return put_text(expression, out); }

// ---- IHostDocument ----

HRESULT HostDocument::GetDocumentData(IDocumentData** data) { return hand_out<IDocumentData>(this, data); }
HRESULT HostDocument::GetChartData(IChartData** out) { return hand_out<IChartData>(chart.get(), out); }
HRESULT HostDocument::GetChartView(IChartView** out) { return hand_out_service<IChartView>(view.get(), out); }
HRESULT HostDocument::GetStorage(IDocumentStorage** out) { return hand_out<IDocumentStorage>(storage.get(), out); }
HRESULT HostDocument::GetAnalysisManager(IAnalysisManager** out) { return hand_out_service<IAnalysisManager>(manager.get(), out); }
HRESULT HostDocument::GetSamplingManager(ISamplingManager** out) {
  return hand_out_service<ISamplingManager>(samplingManager.get(), out);
}
HRESULT HostDocument::GetIdentity(std::int32_t* out) { return put(identity, out); }
HRESULT HostDocument::SendMessage(const HostMessage* message) {
  if (!message) return E_POINTER;
  messages.push_back(*message);
  return S_OK;
}

// ---- IDocumentData ----

HRESULT HostDocument::GetRecordCount(std::int32_t* count) { return put(static_cast<std::int32_t>(records.size()), count); }
HRESULT HostDocument::GetRecordLength(std::int32_t record, std::int32_t* ticks) {
  if (!has_record(record)) return ticks ? E_INVALIDARG : E_POINTER;
  return put(records[static_cast<std::size_t>(record)].length, ticks);
}
HRESULT HostDocument::GetChannelCount(std::int32_t* count) { return put(static_cast<std::int32_t>(channelNames.size()), count); }
HRESULT HostDocument::ChannelHasData(std::int32_t record, ChannelId, VARIANT_BOOL* hasData) {
  return put_bool(has_record(record) && records[static_cast<std::size_t>(record)].length > 0, hasData);
}
HRESULT HostDocument::GetSampleInterval(std::int32_t record, ChannelId, double* seconds) {
  return put(has_record(record) ? records[static_cast<std::size_t>(record)].sampleInterval : newRecordInterval, seconds);
}
HRESULT HostDocument::GetRecordStartTime(std::int32_t record, double* seconds) {
  if (!has_record(record)) return seconds ? E_INVALIDARG : E_POINTER;
  return put(records[static_cast<std::size_t>(record)].startTime, seconds);
}
HRESULT HostDocument::GetEndOfData(TickPosition* end) { return put(end_of_data(), end); }
HRESULT HostDocument::GetChannelName(ChannelId channel, BSTR* name) {
  if (channel.index < 0 || channel.index >= static_cast<std::int32_t>(channelNames.size())) return E_INVALIDARG;
  return put_text(channelNames[static_cast<std::size_t>(channel.index)], name);
}
HRESULT HostDocument::GetChannelUnit(ChannelId, BSTR* unit) { return put_text("mV", unit); }
HRESULT HostDocument::GetChannelColour(ChannelId, std::uint32_t* rgb) { return put(0u, rgb); }
HRESULT HostDocument::GetDocumentName(BSTR* name) { return put_text("fake", name); }
HRESULT HostDocument::IsSampling(VARIANT_BOOL* out) { return put_bool(sampling, out); }
HRESULT HostDocument::GetSamplingStart(std::int32_t* record, TickPosition* position) {
  if (!record || !position) return E_POINTER;
  *record = samplingStartRecord, *position = TickPosition::unset();
  return S_OK;
}
HRESULT HostDocument::IsRegionValid(TickPosition, TickPosition, VARIANT_BOOL* valid) { return put_bool(regionValid, valid); }
HRESULT HostDocument::IsChannelValid(ChannelId, std::int32_t, std::int32_t, VARIANT_BOOL* valid) {
  return put_bool(channelValid, valid);
}
HRESULT HostDocument::OpenEventReader(ChannelId channel, TickPosition from, TickPosition to, IEventReader** reader) {
  if (!reader) return E_POINTER;
  *reader = nullptr;
  if (FAILED(readerFailure) && (failingRecord < 0 || from.record == failingRecord)) return readerFailure;
  const Computed* c = computed_channel(channel);
  if (!c || !c->calculation || c->calculation->expression.rfind("fiducial(", 0) != 0) return E_INVALIDARG;
  ++readersOpened;
  *reader = make_com<BeatReader>(ComPtr<HostDocument>::retain(this), from, to).detach();
  return S_OK;
}

// ---- IComputedChannels, IChannelCalculations ----

HRESULT HostDocument::FindChannel(const char16_t* name, ChannelId* id) {
  if (!name || !id) return E_POINTER;
  const std::string n = utf16_to_utf8(name);
  for (std::size_t i = 0; i < computed.size(); ++i)
    if (!computed[i].deleted && computed[i].name == n) {
      *id = {kFirstComputedIndex + static_cast<std::int32_t>(i), 4};
      return S_OK;
    }
  *id = ChannelId::not_found();
  return S_FALSE;
}
HRESULT HostDocument::CreateChannel(const char16_t* name, ChannelId* id) {
  if (!name || !id) return E_POINTER;
  if (refuseNewChannels) return E_FAIL;
  if (FindChannel(name, id) == S_OK) return E_INVALIDARG;
  computed.push_back({utf16_to_utf8(name), nullptr, nullptr});
  *id = {kFirstComputedIndex + static_cast<std::int32_t>(computed.size() - 1), 4};
  return S_OK;
}
HRESULT HostDocument::DeleteChannel(ChannelId id) {
  Computed* c = computed_channel(id);
  if (!c) return E_INVALIDARG;
  c->deleted = true;
  c->calculation.reset();
  c->attached.reset();
  std::erase_if(markers, [&](const auto& m) { return m.first == id.index; });
  return S_OK;
}
HRESULT HostDocument::GetChannelFlag(ChannelId id, VARIANT_BOOL* set) {
  Computed* c = computed_channel(id);
  return c ? put_bool(c->flag, set) : E_INVALIDARG;
}
HRESULT HostDocument::SetChannelFlag(ChannelId id, VARIANT_BOOL set) {
  Computed* c = computed_channel(id);
  if (!c) return E_INVALIDARG;
  c->flag = set != VARIANT_FALSE;
  return S_OK;
}
HRESULT HostDocument::GetSourceName(ChannelId source, BSTR* name) {
  const Computed* c = computed_channel(source);
  return put_text(c ? c->name : "Ch" + std::to_string(source.index + 1), name);
}
HRESULT HostDocument::CreateArithmeticCalculation(IArithmeticCalculation** calculation) {
  if (!calculation) return E_POINTER;
  auto created = make_com<Calculation>();
  created->refused = refusedExpressionText;
  *calculation = created.detach();
  return S_OK;
}
HRESULT HostDocument::SetCalculation(ChannelId id, IUnknown* calculation) {
  Computed* c = computed_channel(id);
  if (!c) return E_INVALIDARG;
  c->attached.reset();
  c->calculation.reset();
  if (!calculation) return S_OK;
  auto arithmetic = ComPtr<IUnknown>::retain(calculation).query<IArithmeticCalculation>();
  if (!arithmetic) return E_INVALIDARG;
  // An extension's calculation wraps one this host created; the channel keeps the wrapper
  // as its calculation object and the host's own one as its expression.
  if (auto* own = dynamic_cast<Calculation*>(arithmetic.get())) {
    c->calculation = ComPtr<Calculation>::retain(own);
    return S_OK;
  }
  Bstr text;
  arithmetic->GetExpression(text.put());
  c->calculation = make_com<Calculation>();
  c->calculation->expression = text.utf8();
  c->attached = arithmetic.query<IUnknown>();
  return S_OK;
}
HRESULT HostDocument::IsShowingEventsOn(ChannelId eventChannel, std::int32_t target, VARIANT_BOOL* shown) {
  return put_bool(markers.count({eventChannel.index, target}) > 0, shown);
}
HRESULT HostDocument::GetCalculation(ChannelId id, IUnknown** calculation) {
  if (!calculation) return E_POINTER;
  *calculation = nullptr;
  Computed* c = computed_channel(id);
  if (!c || !c->calculation) return S_FALSE;
  if (c->attached) return c->attached.copy_to(calculation);
  return hand_out<IUnknown>(static_cast<IArithmeticCalculation*>(c->calculation.get()), calculation);
}

// ---- IExtensionDocuments, IChartMessageTarget ----

HRESULT HostDocument::FindDocument(const GUID& classId, IUnknown** document) {
  if (!document) return E_POINTER;
  *document = nullptr;
  if (!extensionDocument || classId != extensionDocumentClass) return S_FALSE;
  return extensionDocument.copy_to(document);
}
HRESULT HostDocument::SendChartMessage(const ChartMessage* message) {
  if (!message) return E_POINTER;
  chartMessages.push_back({message->type, {message->fields, message->fields + message->fieldCount},
                           message->text ? utf16_to_utf8(message->text) : std::string()});
  return S_OK;
}

// ---- For the test ----

TickPosition HostDocument::end_of_data() const {
  if (records.empty()) return {0, 0};
  return {records.back().length, static_cast<std::int32_t>(records.size() - 1)};
}
HostDocument::Computed* HostDocument::channel(const std::string& name) {
  for (Computed& c : computed)
    if (!c.deleted && c.name == name) return &c;
  return nullptr;
}
std::string HostDocument::expression(const std::string& name) {
  const Computed* c = channel(name);
  return c && c->calculation ? c->calculation->expression : std::string();
}
std::vector<std::string> HostDocument::live_channels() const {
  std::vector<std::string> names;
  for (const Computed& c : computed)
    if (!c.deleted) names.push_back(c.name);
  return names;
}
void HostDocument::add_beats(std::int32_t record, const std::vector<std::int32_t>& ticks, double rr, double ff) {
  for (std::int32_t tick : ticks) add_beat({{tick, record}, rr, 0.0, ff, 0x300, 0});
}
void HostDocument::add_beat(const Beat& beat) {
  Beat b = beat;
  b.number = ++lastNumber;
  beats.insert(std::upper_bound(beats.begin(), beats.end(), b, [](const Beat& x, const Beat& y) { return x.at < y.at; }), b);
}
HostDocument::Computed* HostDocument::computed_channel(ChannelId id) {
  const std::int64_t i = std::int64_t{id.index} - kFirstComputedIndex;
  if ((id.kind & 0xFF) != 4 || i < 0 || i >= static_cast<std::int64_t>(computed.size())) return nullptr;
  Computed& c = computed[static_cast<std::size_t>(i)];
  return c.deleted ? nullptr : &c;
}

}  // namespace fake_host
