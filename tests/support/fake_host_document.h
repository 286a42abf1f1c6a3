// SPDX-License-Identifier: MIT
// A stand-in host document for driving an extension's document without the host: recorded
// data described by a few numbers, computed channels that keep their expressions but are
// never evaluated, beats the test lists (served as the events of any channel whose
// expression calls `fiducial`), and the host services a document uses (chart data and
// view, storage, analysis and sampling managers), each recording what it was asked.
// Written against the contract headers only: the validator uses it across the library
// boundary.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fake_host_application.h"
#include "sdk/cpp/com_object.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/channel_calc.h"
#include "sdk/host/computed_channels.h"
#include "sdk/host/host_document.h"
#include "sdk/host/host_services.h"

namespace fake_host {

// One beat as the fiducial enumerator would yield it.
struct Beat {
  TickPosition at;
  double rr;
  double deltaRR;
  double ff;
  std::uint32_t flags;  // 0x300: included normal beat
  std::int32_t number;
};

inline constexpr std::uint32_t kBeatRecordSize = 80;

// The 80-byte beat record, at the byte offsets the contract fixes.
inline void encode_beat(const Beat& b, std::uint8_t* out) {
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

class ChartData final : public ComObject<IChartData> {
 public:
  HRESULT GetChild(std::uint32_t typeId, IChartDataChildData** child) override {
    if (!child) return E_POINTER;
    *child = nullptr;
    auto it = children.find(typeId);
    if (it == children.end()) return S_FALSE;
    return it->second.copy_to(child);
  }
  HRESULT AddChild(IChartDataChildData* child) override {
    if (!child) return E_POINTER;
    std::uint32_t type = 0;
    child->GetTypeId(&type);
    children[type] = ComPtr<IChartDataChildData>::retain(child);
    ++adds;
    return S_OK;
  }
  HRESULT RemoveChild(std::uint32_t typeId) override { return children.erase(typeId) ? S_OK : S_FALSE; }

  std::map<std::uint32_t, ComPtr<IChartDataChildData>> children;
  int adds = 0;
};

class ChartView final : public ComObject<IChartView> {
 public:
  struct Query {
    std::uint32_t kindIn;
    double lowIn;
    double highIn;
  };
  struct Set {
    std::uint32_t kind;
    TickPosition start;
    TickPosition end;
    ChannelId channel;
    double low;
    double high;
  };

  HRESULT GetSelection(std::uint32_t* k, TickPosition* s, TickPosition* e, ChannelId* c, double* low,
                       double* high) override {
    if (!k || !s || !e || !c || !low || !high) return E_POINTER;
    queries.push_back({*k, *low, *high});
    *k = kind;
    *s = start;
    *e = end;
    *c = channel;
    return S_OK;
  }
  HRESULT SetSelection(std::uint32_t k, TickPosition s, TickPosition e, ChannelId c, double low, double high) override {
    sets.push_back({k, s, e, c, low, high});
    return S_OK;
  }
  HRESULT ShowPosition(TickPosition p) override {
    shown.push_back(p);
    return S_OK;
  }

  // No selection until a test makes one.
  void select(std::uint32_t k, TickPosition s, TickPosition e) {
    kind = k;
    start = s;
    end = e;
  }

  std::uint32_t kind = kSelectionNone;
  TickPosition start = TickPosition::unset();
  TickPosition end = TickPosition::unset();
  ChannelId channel{0, ChannelId::kDefaultKind};
  std::vector<Query> queries;
  std::vector<Set> sets;
  std::vector<TickPosition> shown;  // positions scrolled into view
};

class Storage final : public ComObject<IDocumentStorage> {
 public:
  HRESULT SetPersistedItem(std::int32_t index, IPersistStreamInit* object, VARIANT_BOOL loaded) override {
    if (!object) return E_POINTER;
    items[index] = {ComPtr<IPersistStreamInit>::retain(object), loaded != VARIANT_FALSE};
    ++handOvers;
    return S_OK;
  }
  HRESULT GetPersistedItem(std::int32_t index, IPersistStreamInit** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    auto it = items.find(index);
    return it == items.end() ? S_FALSE : it->second.first.copy_to(object);
  }

  std::map<std::int32_t, std::pair<ComPtr<IPersistStreamInit>, bool>> items;  // index -> (object, loaded)
  int handOvers = 0;
};

class AnalysisManager final : public ComObject<IAnalysisManager> {
 public:
  HRESULT RegisterClient(const char16_t* name, const char16_t* text, IUnknown* client, std::int32_t* cookie) override {
    if (!name || !text || !client || !cookie) return E_POINTER;
    *cookie = nextCookie++;
    clients[*cookie] = ComPtr<IUnknown>::retain(client);
    names.push_back(utf16_to_utf8(name) + "/" + utf16_to_utf8(text));
    return S_OK;
  }
  HRESULT UnregisterClient(std::int32_t cookie) override { return clients.erase(cookie) ? S_OK : S_FALSE; }
  HRESULT SetPersistedItem(std::int32_t cookie, std::int32_t index, IPersistStreamInit* object, VARIANT_BOOL) override {
    if (!object) return E_POINTER;
    if (!clients.count(cookie)) return E_INVALIDARG;
    items[index] = ComPtr<IPersistStreamInit>::retain(object);
    return S_OK;
  }
  HRESULT IsAffected(std::int32_t cookie, std::int32_t, VARIANT_BOOL* result) override {
    if (!result) return E_POINTER;
    *result = to_variant_bool(affected && clients.count(cookie));
    return S_OK;
  }
  HRESULT MarkChanged(std::int32_t cookie) override {
    if (!clients.count(cookie)) return E_INVALIDARG;
    ++changes;
    return S_OK;
  }
  HRESULT ReportRegion(std::int32_t cookie, TickPosition start, TickPosition end, std::int32_t argument) override {
    regions.push_back({cookie, start, end, argument});
    return S_OK;
  }

  struct Region {
    std::int32_t cookie;
    TickPosition start;
    TickPosition end;
    std::int32_t argument;
  };
  std::int32_t nextCookie = 7;
  std::map<std::int32_t, ComPtr<IUnknown>> clients;
  std::vector<std::string> names;  // "name/text" per registration
  std::map<std::int32_t, ComPtr<IPersistStreamInit>> items;
  bool affected = true;
  int changes = 0;
  std::vector<Region> regions;
};

class SamplingManager final : public ComObject<ISamplingManager> {
 public:
  HRESULT AddSink(IOnlineDataSink* sink) override {
    if (!sink) return E_POINTER;
    sinks.push_back(ComPtr<IOnlineDataSink>::retain(sink));
    return S_OK;
  }
  HRESULT RemoveSink(IOnlineDataSink* sink) override {
    auto it = std::find_if(sinks.begin(), sinks.end(), [&](const auto& s) { return s.get() == sink; });
    if (it == sinks.end()) return S_FALSE;
    sinks.erase(it);
    return S_OK;
  }
  std::vector<ComPtr<IOnlineDataSink>> sinks;
};

class Calculation final : public ComObject<IArithmeticCalculation, ICalculationReset> {
 public:
  HRESULT Initialise(const char16_t* text, const char16_t*, BSTR*) override {
    if (!text) return E_POINTER;
    expression = utf16_to_utf8(text);
    return S_OK;
  }
  HRESULT GetExpression(BSTR* out) override {
    if (!out) return E_POINTER;
    *out = Bstr(expression).detach();
    return S_OK;
  }
  HRESULT ResetCalculation() override {
    ++resets;
    return S_OK;
  }
  std::string expression;
  int resets = 0;
};

class HostDocument;

// Reads the listed beats of [from, to) in batches, as the host's reader does.
class BeatReader final : public ComObject<IEventReader> {
 public:
  BeatReader(ComPtr<HostDocument> document, TickPosition from, TickPosition to)
      : document_(std::move(document)), next_(from), to_(to) {}
  HRESULT GetEventSize(ULONG* size) override {
    if (!size) return E_POINTER;
    *size = kBeatRecordSize;
    return S_OK;
  }
  HRESULT Read(void* buffer, ULONG maxEvents, std::int32_t* records, ULONG* count) override;
  HRESULT GetPosition(TickPosition* position) override {
    if (!position) return E_POINTER;
    *position = next_;
    return S_OK;
  }

 private:
  ComPtr<HostDocument> document_;
  TickPosition next_;
  TickPosition to_;
};

class HostDocument final : public ComObject<IHostDocument, IDocumentData, IComputedChannels, IChannelCalculations,
                                            IExtensionDocuments, IChartMessageTarget> {
 public:
  struct Record {
    double startTime;       // s
    double sampleInterval;  // s
    std::int32_t length;    // ticks
  };
  struct Computed {
    std::string name;
    ComPtr<Calculation> calculation;
    ComPtr<IUnknown> attached;  // what SetCalculation was given, when not a Calculation of this host
    bool flag = false;
    bool deleted = false;
  };
  static constexpr std::int32_t kFirstComputedIndex = 1000;
  static constexpr std::uint32_t kBatch = 4;  // beats per Read, so readers see several batches

  // IHostDocument
  HRESULT GetDocumentData(IDocumentData** data) override {
    return hand_out<IDocumentData>(this, data);
  }
  HRESULT GetChartData(IChartData** out) override { return hand_out<IChartData>(chart.get(), out); }
  HRESULT GetChartView(IChartView** out) override {
    if (!out) return E_POINTER;
    hand_out<IChartView>(view.get(), out);
    return view ? S_OK : S_FALSE;
  }
  HRESULT GetStorage(IDocumentStorage** out) override { return hand_out<IDocumentStorage>(storage.get(), out); }
  HRESULT GetAnalysisManager(IAnalysisManager** out) override {
    if (!out) return E_POINTER;
    hand_out<IAnalysisManager>(manager.get(), out);
    return manager ? S_OK : S_FALSE;
  }
  HRESULT GetSamplingManager(ISamplingManager** out) override {
    if (!out) return E_POINTER;
    hand_out<ISamplingManager>(samplingManager.get(), out);
    return samplingManager ? S_OK : S_FALSE;
  }
  HRESULT GetIdentity(std::int32_t* out) override {
    if (!out) return E_POINTER;
    *out = identity;
    return S_OK;
  }
  HRESULT SendMessage(const HostMessage* message) override {
    if (!message) return E_POINTER;
    messages.push_back(*message);
    return S_OK;
  }
  HRESULT NotifyService(const GUID& service, std::uint32_t type) override {
    notices.emplace_back(service, type);
    return S_OK;
  }

  // IDocumentData
  HRESULT GetRecordCount(std::int32_t* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<std::int32_t>(records.size());
    return S_OK;
  }
  HRESULT GetRecordLength(std::int32_t record, std::int32_t* ticks) override {
    if (!ticks) return E_POINTER;
    if (!has_record(record)) return E_INVALIDARG;
    *ticks = records[static_cast<std::size_t>(record)].length;
    return S_OK;
  }
  HRESULT GetChannelCount(std::int32_t* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<std::int32_t>(channelNames.size());
    return S_OK;
  }
  HRESULT ChannelHasData(std::int32_t record, ChannelId, VARIANT_BOOL* hasData) override {
    if (!hasData) return E_POINTER;
    *hasData = to_variant_bool(has_record(record));
    return S_OK;
  }
  HRESULT GetSampleInterval(std::int32_t record, ChannelId, double* seconds) override {
    if (!seconds) return E_POINTER;
    *seconds = has_record(record) ? records[static_cast<std::size_t>(record)].sampleInterval : newRecordInterval;
    return S_OK;
  }
  HRESULT GetRecordStartTime(std::int32_t record, double* seconds) override {
    if (!seconds) return E_POINTER;
    if (!has_record(record)) return E_INVALIDARG;
    *seconds = records[static_cast<std::size_t>(record)].startTime;
    return S_OK;
  }
  HRESULT GetEndOfData(TickPosition* end) override {
    if (!end) return E_POINTER;
    *end = end_of_data();
    return S_OK;
  }
  HRESULT GetChannelName(ChannelId channel, BSTR* name) override {
    if (!name) return E_POINTER;
    if (channel.index < 0 || channel.index >= static_cast<std::int32_t>(channelNames.size())) return E_INVALIDARG;
    *name = Bstr(channelNames[static_cast<std::size_t>(channel.index)]).detach();
    return S_OK;
  }
  HRESULT GetChannelUnit(ChannelId, BSTR* unit) override {
    if (!unit) return E_POINTER;
    *unit = Bstr(std::string("mV")).detach();
    return S_OK;
  }
  HRESULT GetChannelColour(ChannelId, std::uint32_t* rgb) override {
    if (!rgb) return E_POINTER;
    *rgb = 0;
    return S_OK;
  }
  HRESULT GetDocumentName(BSTR* name) override {
    if (!name) return E_POINTER;
    *name = Bstr(std::string("fake")).detach();
    return S_OK;
  }
  HRESULT IsSampling(VARIANT_BOOL* out) override {
    if (!out) return E_POINTER;
    *out = to_variant_bool(sampling);
    return S_OK;
  }
  HRESULT GetSamplingStart(std::int32_t* record, TickPosition* position) override {
    if (!record || !position) return E_POINTER;
    *record = samplingStartRecord;
    *position = samplingStartPosition;
    return S_OK;
  }
  HRESULT IsRegionValid(TickPosition, TickPosition, VARIANT_BOOL* valid) override {
    if (!valid) return E_POINTER;
    *valid = to_variant_bool(regionValid);
    return S_OK;
  }
  HRESULT IsChannelValid(ChannelId, std::int32_t, std::int32_t, VARIANT_BOOL* valid) override {
    if (!valid) return E_POINTER;
    *valid = to_variant_bool(channelValid);
    return S_OK;
  }
  HRESULT OpenEventReader(ChannelId channel, TickPosition from, TickPosition to, IEventReader** reader) override {
    if (!reader) return E_POINTER;
    *reader = nullptr;
    const Computed* c = computed_channel(channel);
    if (!c || !c->calculation || c->calculation->expression.rfind("fiducial(", 0) != 0) return E_INVALIDARG;
    ++readersOpened;
    *reader = make_com<BeatReader>(ComPtr<HostDocument>::retain(this), from, to).detach();
    return S_OK;
  }

  // IComputedChannels
  HRESULT FindChannel(const char16_t* name, ChannelId* channel) override {
    if (!name || !channel) return E_POINTER;
    const std::string n = utf16_to_utf8(name);
    for (std::size_t i = 0; i < computed.size(); ++i)
      if (!computed[i].deleted && computed[i].name == n) {
        *channel = computed_id(i);
        return S_OK;
      }
    *channel = ChannelId::not_found();
    return S_FALSE;
  }
  HRESULT CreateChannel(const char16_t* name, ChannelId* channel) override {
    if (!name || !channel) return E_POINTER;
    ChannelId existing;
    if (FindChannel(name, &existing) == S_OK) return E_INVALIDARG;
    computed.push_back({utf16_to_utf8(name), nullptr, nullptr});
    *channel = computed_id(computed.size() - 1);
    return S_OK;
  }
  HRESULT DeleteChannel(ChannelId channel) override {
    Computed* c = computed_channel(channel);
    if (!c) return E_INVALIDARG;
    c->deleted = true;
    c->calculation.reset();
    c->attached.reset();
    for (auto it = markers.begin(); it != markers.end();) it = it->first == channel.index ? markers.erase(it) : std::next(it);
    return S_OK;
  }
  HRESULT GetChannelFlag(ChannelId channel, VARIANT_BOOL* set) override {
    Computed* c = computed_channel(channel);
    if (!c || !set) return E_INVALIDARG;
    *set = to_variant_bool(c->flag);
    return S_OK;
  }
  HRESULT SetChannelFlag(ChannelId channel, VARIANT_BOOL set) override {
    Computed* c = computed_channel(channel);
    if (!c) return E_INVALIDARG;
    c->flag = set != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT GetSourceName(ChannelId source, BSTR* name) override {
    if (!name) return E_POINTER;
    *name = Bstr("Ch" + std::to_string(source.index + 1)).detach();
    return S_OK;
  }
  HRESULT CreateArithmeticCalculation(IArithmeticCalculation** calculation) override {
    if (!calculation) return E_POINTER;
    *calculation = make_com<Calculation>().detach();
    return S_OK;
  }
  HRESULT SetCalculation(ChannelId channel, IUnknown* calculation) override {
    Computed* c = computed_channel(channel);
    if (!c) return E_INVALIDARG;
    c->attached.reset();
    if (!calculation) {
      c->calculation.reset();
      return S_OK;
    }
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
  HRESULT ShowEventsOn(ChannelId eventChannel, std::int32_t target) override {
    return markers.insert({eventChannel.index, target}).second ? S_OK : S_FALSE;
  }
  HRESULT HideEventsOn(ChannelId eventChannel, std::int32_t target) override {
    return markers.erase({eventChannel.index, target}) ? S_OK : S_FALSE;
  }
  HRESULT IsShowingEventsOn(ChannelId eventChannel, std::int32_t target, VARIANT_BOOL* shown) override {
    if (!shown) return E_POINTER;
    *shown = to_variant_bool(markers.count({eventChannel.index, target}) > 0);
    return S_OK;
  }

  // IChannelCalculations
  HRESULT GetCalculation(ChannelId channel, IUnknown** calculation) override {
    if (!calculation) return E_POINTER;
    *calculation = nullptr;
    Computed* c = computed_channel(channel);
    if (!c || !c->calculation) return S_FALSE;
    if (c->attached) return c->attached.copy_to(calculation);
    *calculation = static_cast<IArithmeticCalculation*>(c->calculation.get());
    (*calculation)->AddRef();
    return S_OK;
  }

  // IExtensionDocuments: the one extension document a test installs.
  HRESULT FindDocument(const GUID& classId, IUnknown** document) override {
    if (!document) return E_POINTER;
    *document = nullptr;
    if (!extensionDocument || classId != extensionDocumentClass) return S_FALSE;
    return extensionDocument.copy_to(document);
  }

  // IChartMessageTarget: every message taken, copied.
  struct ChartMessageCopy {
    std::uint32_t type;
    std::vector<std::uint32_t> fields;
    std::string text;
  };
  HRESULT SendChartMessage(const ChartMessage* message) override {
    if (!message) return E_POINTER;
    chartMessages.push_back({message->type, {message->fields, message->fields + message->fieldCount},
                             message->text ? utf16_to_utf8(message->text) : std::string()});
    return S_OK;
  }

  // ---- For the test ----

  TickPosition end_of_data() const {
    if (records.empty()) return {0, 0};
    return {records.back().length, static_cast<std::int32_t>(records.size() - 1)};
  }
  // The expression of the live computed channel `name`; empty when it has none.
  std::string expression(const std::string& name) const {
    for (const Computed& c : computed)
      if (!c.deleted && c.name == name) return c.calculation ? c.calculation->expression : std::string();
    return {};
  }
  // Names of the computed channels that exist now.
  std::vector<std::string> live_channels() const {
    std::vector<std::string> names;
    for (const Computed& c : computed)
      if (!c.deleted) names.push_back(c.name);
    return names;
  }
  // Adds beats at `ticks` of `record` with the given RR (s) and FF; every beat is an included
  // normal beat with delta-RR 0.
  void add_beats(std::int32_t record, const std::vector<std::int32_t>& ticks, double rr, double ff) {
    for (std::int32_t tick : ticks) beats.push_back({{tick, record}, rr, 0.0, ff, 0x300, ++lastNumber});
    std::sort(beats.begin(), beats.end(), [](const Beat& a, const Beat& b) { return a.at < b.at; });
  }

  std::vector<Record> records;
  double newRecordInterval = 0.001;
  std::vector<std::string> channelNames{"ECG"};
  bool sampling = false;
  std::int32_t samplingStartRecord = 0;
  TickPosition samplingStartPosition = TickPosition::unset();
  bool regionValid = true;
  bool channelValid = true;
  std::int32_t identity = 0x5EED;
  std::vector<Beat> beats;  // in position order
  std::int32_t lastNumber = 0;
  std::vector<Computed> computed;
  std::set<std::pair<std::int32_t, std::int32_t>> markers;  // (event channel index, target channel)
  std::vector<HostMessage> messages;
  std::vector<std::pair<GUID, std::uint32_t>> notices;
  int readersOpened = 0;
  GUID extensionDocumentClass{};
  ComPtr<IUnknown> extensionDocument;  // a test that sets it resets it before the end
  std::vector<ChartMessageCopy> chartMessages;

  ComPtr<ChartData> chart = make_com<ChartData>();
  ComPtr<ChartView> view = make_com<ChartView>();
  ComPtr<Storage> storage = make_com<Storage>();
  ComPtr<AnalysisManager> manager = make_com<AnalysisManager>();
  ComPtr<SamplingManager> samplingManager = make_com<SamplingManager>();

 private:
  bool has_record(std::int32_t r) const { return r >= 0 && r < static_cast<std::int32_t>(records.size()); }
  static ChannelId computed_id(std::size_t i) { return {kFirstComputedIndex + static_cast<std::int32_t>(i), 4}; }
  Computed* computed_channel(ChannelId id) {
    const std::int64_t i = std::int64_t{id.index} - kFirstComputedIndex;
    if ((id.kind & 0xFF) != 4 || i < 0 || i >= static_cast<std::int64_t>(computed.size())) return nullptr;
    Computed& c = computed[static_cast<std::size_t>(i)];
    return c.deleted ? nullptr : &c;
  }
};

inline HRESULT BeatReader::Read(void* buffer, ULONG maxEvents, std::int32_t* records, ULONG* count) {
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
  const TickPosition end = document_->end_of_data();
  next_ = std::max(next_, bounded ? std::min(to_, end) : end);
  return *count > 0 ? S_OK : S_FALSE;
}

}  // namespace fake_host
