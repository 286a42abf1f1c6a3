// SPDX-License-Identifier: MIT
// A stand-in host document for driving an extension's document without the host: recorded
// data described by a few numbers, computed channels that keep their expressions but are
// never evaluated, beats the test lists (served as the events of any channel whose
// expression calls `fiducial`), and the host services a document uses (chart data and
// view, storage, analysis and sampling managers), each recording what it was asked.
// Written against the contract headers only: the validator uses it across the library
// boundary.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "sdk/cpp/com_object.h"
#include "sdk/host/channel_calc.h"
#include "sdk/host/computed_channels.h"
#include "sdk/host/host_document.h"
#include "sdk/host/host_services.h"

namespace fake_host {

// One beat as the fiducial enumerator would yield it, served as its 80-byte record (rate
// 1/rr).
struct Beat {
  TickPosition at;
  double rr;       // s
  double deltaRR;  // s
  double ff;
  std::uint32_t flags;  // 0x300: included normal beat
  std::int32_t number;
};

class ChartData final : public ComObject<IChartData> {
 public:
  HRESULT GetChild(std::uint32_t typeId, IChartDataChildData** child) override;
  HRESULT AddChild(IChartDataChildData* child) override;
  HRESULT RemoveChild(std::uint32_t typeId) override { return children.erase(typeId) ? S_OK : S_FALSE; }
  std::map<std::uint32_t, ComPtr<IChartDataChildData>> children;
};

class ChartView final : public ComObject<IChartView> {
 public:
  struct Query {
    std::uint32_t kindIn;
    double lowIn, highIn;
  };
  struct Set {
    std::uint32_t kind;
    TickPosition start, end;
    ChannelId channel;
    double low, high;
  };
  HRESULT GetSelection(std::uint32_t* kind, TickPosition* start, TickPosition* end, ChannelId* channel, double* low,
                       double* high) override;
  HRESULT SetSelection(std::uint32_t k, TickPosition s, TickPosition e, ChannelId c, double low, double high) override {
    sets.push_back({k, s, e, c, low, high});
    return S_OK;
  }
  HRESULT ShowPosition(TickPosition position) override {
    shown.push_back(position);
    return S_OK;
  }
  // No selection until a test makes one.
  void select(std::uint32_t k, TickPosition s, TickPosition e) { kind = k, start = s, end = e; }

  std::uint32_t kind = kSelectionNone;
  TickPosition start = TickPosition::unset(), end = TickPosition::unset();
  std::vector<Query> queries;
  std::vector<Set> sets;
  std::vector<TickPosition> shown;  // positions scrolled into view
};

class Storage final : public ComObject<IDocumentStorage> {
 public:
  HRESULT SetPersistedItem(std::int32_t index, IPersistStreamInit* object, VARIANT_BOOL loaded) override;
  HRESULT GetPersistedItem(std::int32_t index, IPersistStreamInit** object) override;
  std::map<std::int32_t, std::pair<ComPtr<IPersistStreamInit>, bool>> items;  // index -> (object, loaded)
};

class AnalysisManager final : public ComObject<IAnalysisManager> {
 public:
  struct Region {
    std::int32_t cookie;
    TickPosition start, end;
    std::int32_t argument;
  };
  HRESULT RegisterClient(const char16_t* name, const char16_t* text, IUnknown* client, std::int32_t* cookie) override;
  HRESULT UnregisterClient(std::int32_t cookie) override { return clients.erase(cookie) ? S_OK : S_FALSE; }
  HRESULT SetPersistedItem(std::int32_t cookie, std::int32_t index, IPersistStreamInit* object, VARIANT_BOOL) override;
  HRESULT IsAffected(std::int32_t cookie, std::int32_t, VARIANT_BOOL* result) override;
  HRESULT MarkChanged(std::int32_t cookie) override { return clients.count(cookie) ? S_OK : E_INVALIDARG; }
  HRESULT ReportRegion(std::int32_t cookie, TickPosition start, TickPosition end, std::int32_t argument) override {
    regions.push_back({cookie, start, end, argument});
    return S_OK;
  }

  std::int32_t nextCookie = 7;
  std::map<std::int32_t, ComPtr<IUnknown>> clients;
  std::vector<std::string> names;  // "name/text" per registration
  std::map<std::int32_t, ComPtr<IPersistStreamInit>> items;
  bool affected = true;
  std::vector<Region> regions;
};

class SamplingManager final : public ComObject<ISamplingManager> {
 public:
  HRESULT AddSink(IOnlineDataSink* sink) override;
  HRESULT RemoveSink(IOnlineDataSink* sink) override;
  std::vector<ComPtr<IOnlineDataSink>> sinks;
};

class Calculation final : public ComObject<IArithmeticCalculation, ICalculationReset> {
 public:
  HRESULT Initialise(const char16_t* text, const char16_t*, BSTR*) override;
  HRESULT GetExpression(BSTR* out) override;
  HRESULT ResetCalculation() override {
    ++resets;
    return S_OK;
  }
  std::string expression;
  std::string refused;  // Initialise refuses expressions that contain it, when not empty
  int resets = 0;
};

class HostDocument final : public ComObject<IHostDocument, IDocumentData, IComputedChannels, IChannelCalculations,
                                            IExtensionDocuments, IChartMessageTarget> {
 public:
  struct Record {
    double startTime;       // s
    double sampleInterval;  // s
    std::int32_t length;    // ticks; a record without ticks has no data
  };
  struct Computed {
    std::string name;
    ComPtr<Calculation> calculation;
    ComPtr<IUnknown> attached;  // what SetCalculation was given, when not a Calculation of this host
    bool flag = false;
    bool deleted = false;
  };
  struct ChartMessageCopy {
    std::uint32_t type;
    std::vector<std::uint32_t> fields;
    std::string text;
  };
  static constexpr std::int32_t kFirstComputedIndex = 1000;
  static constexpr std::uint32_t kBatch = 4;  // beats per Read, so readers see several batches

  // IHostDocument
  HRESULT GetDocumentData(IDocumentData** data) override;
  HRESULT GetChartData(IChartData** out) override;
  HRESULT GetChartView(IChartView** out) override;
  HRESULT GetStorage(IDocumentStorage** out) override;
  HRESULT GetAnalysisManager(IAnalysisManager** out) override;
  HRESULT GetSamplingManager(ISamplingManager** out) override;
  HRESULT GetIdentity(std::int32_t* out) override;
  HRESULT SendMessage(const HostMessage* message) override;
  HRESULT NotifyService(const GUID& service, std::uint32_t type) override {
    notices.emplace_back(service, type);
    return S_OK;
  }
  // IDocumentData
  HRESULT GetRecordCount(std::int32_t* count) override;
  HRESULT GetRecordLength(std::int32_t record, std::int32_t* ticks) override;
  HRESULT GetChannelCount(std::int32_t* count) override;
  HRESULT ChannelHasData(std::int32_t record, ChannelId, VARIANT_BOOL* hasData) override;
  HRESULT GetSampleInterval(std::int32_t record, ChannelId, double* seconds) override;
  HRESULT GetRecordStartTime(std::int32_t record, double* seconds) override;
  HRESULT GetEndOfData(TickPosition* end) override;
  HRESULT GetChannelName(ChannelId channel, BSTR* name) override;
  HRESULT GetChannelUnit(ChannelId, BSTR* unit) override;
  HRESULT GetChannelColour(ChannelId, std::uint32_t* rgb) override;  // black
  HRESULT GetDocumentName(BSTR* name) override;
  HRESULT IsSampling(VARIANT_BOOL* out) override;
  HRESULT GetSamplingStart(std::int32_t* record, TickPosition* position) override;  // position unset
  HRESULT IsRegionValid(TickPosition, TickPosition, VARIANT_BOOL* valid) override;
  HRESULT IsChannelValid(ChannelId, std::int32_t, std::int32_t, VARIANT_BOOL* valid) override;
  HRESULT OpenEventReader(ChannelId channel, TickPosition from, TickPosition to, IEventReader** reader) override;
  // IComputedChannels, IChannelCalculations
  HRESULT FindChannel(const char16_t* name, ChannelId* channel) override;
  HRESULT CreateChannel(const char16_t* name, ChannelId* channel) override;
  HRESULT DeleteChannel(ChannelId channel) override;
  HRESULT GetChannelFlag(ChannelId channel, VARIANT_BOOL* set) override;
  HRESULT SetChannelFlag(ChannelId channel, VARIANT_BOOL set) override;
  HRESULT GetSourceName(ChannelId source, BSTR* name) override;  // a computed channel's name, else "Ch<n>"
  HRESULT CreateArithmeticCalculation(IArithmeticCalculation** calculation) override;
  HRESULT SetCalculation(ChannelId channel, IUnknown* calculation) override;
  HRESULT ShowEventsOn(ChannelId eventChannel, std::int32_t target) override {
    return markers.insert({eventChannel.index, target}).second ? S_OK : S_FALSE;
  }
  HRESULT HideEventsOn(ChannelId eventChannel, std::int32_t target) override {
    return markers.erase({eventChannel.index, target}) ? S_OK : S_FALSE;
  }
  HRESULT IsShowingEventsOn(ChannelId eventChannel, std::int32_t target, VARIANT_BOOL* shown) override;
  HRESULT GetCalculation(ChannelId channel, IUnknown** calculation) override;
  // IExtensionDocuments: the one extension document a test installs.
  HRESULT FindDocument(const GUID& classId, IUnknown** document) override;
  // IChartMessageTarget: every message taken, copied.
  HRESULT SendChartMessage(const ChartMessage* message) override;

  // ---- For the test ----
  TickPosition end_of_data() const;
  Computed* channel(const std::string& name);  // the live computed channel `name`, or null
  std::string expression(const std::string& name);  // its expression; empty when it has none
  std::vector<std::string> live_channels() const;    // names of the computed channels that exist now
  // Adds beats at `ticks` of `record` with the given RR (s) and FF; every beat is an included
  // normal beat with delta-RR 0.
  void add_beats(std::int32_t record, const std::vector<std::int32_t>& ticks, double rr, double ff);
  // Adds one beat, numbered after the last, keeping the beats in position order.
  void add_beat(const Beat& beat);

  std::vector<Record> records;
  double newRecordInterval = 0.001;
  std::vector<std::string> channelNames{"ECG"};
  bool sampling = false;
  std::int32_t samplingStartRecord = 0;
  bool regionValid = true, channelValid = true;
  std::int32_t identity = 0x5EED;
  std::vector<Beat> beats;  // in position order
  std::int32_t lastNumber = 0;
  std::vector<Computed> computed;
  std::string refusedExpressionText;  // calculations created from now on refuse expressions holding it
  bool refuseNewChannels = false;
  HRESULT readerFailure = S_OK;     // OpenEventReader fails with it when a failure ...
  std::int32_t failingRecord = -1;  // ... for readers from this record, or any when -1
  int readersOpened = 0;
  std::set<std::pair<std::int32_t, std::int32_t>> markers;  // (event channel index, target channel)
  std::vector<HostMessage> messages;
  std::vector<std::pair<GUID, std::uint32_t>> notices;
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
  Computed* computed_channel(ChannelId id);
};

}  // namespace fake_host
