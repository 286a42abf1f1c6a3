// SPDX-License-Identifier: MIT
// A host document through the interfaces extensions use.
#include "korvel/app/host_document.h"

#include <gtest/gtest.h>

#include "sdk/cpp/utf.h"
#include "tests/korvel/calc/synthetic_recording.h"

namespace korvel::app {
namespace {

constexpr double kRate = 500.0;
constexpr ChannelId kCh1{0, ChannelId::kDefaultKind};

std::string text(BSTR s) { return Bstr::adopt(s).utf8(); }

// Two records: the second starts at 60 s, at 250 Hz, without the "Slow" channel.
ComPtr<HostDocument> two_record_document() {
  io::Recording r = test::synthetic_recording(test::synthetic_ecg(4, kRate, 21), kRate);
  io::Record second;
  second.start_time_s = 60.0;
  second.tick_interval_s = 0.004;
  second.channels = {{"ECG", "mV", std::vector<float>(250, 0.5f)}};
  r.records.push_back(second);
  return make_com<HostDocument>(doc::Document(r), nullptr);
}

TEST(HostDocument, DescribesItsRecordedData) {
  auto d = two_record_document();
  std::int32_t n = 0;
  ASSERT_EQ(d->GetRecordCount(&n), S_OK);
  EXPECT_EQ(n, 2);
  ASSERT_EQ(d->GetChannelCount(&n), S_OK);
  EXPECT_EQ(n, 2);
  ASSERT_EQ(d->GetRecordLength(1, &n), S_OK);
  EXPECT_EQ(n, 250);
  double seconds = 0;
  ASSERT_EQ(d->GetSampleInterval(1, kCh1, &seconds), S_OK);
  EXPECT_EQ(seconds, 0.004);
  ASSERT_EQ(d->GetSampleInterval(TickPosition::kOpenEndRecord, kCh1, &seconds), S_OK);
  EXPECT_EQ(seconds, 0.004);  // a new record is sampled like the last one
  ASSERT_EQ(d->GetRecordStartTime(1, &seconds), S_OK);
  EXPECT_EQ(seconds, 60.0);
  TickPosition end;
  ASSERT_EQ(d->GetEndOfData(&end), S_OK);
  EXPECT_EQ(end, (TickPosition{250, 1}));

  VARIANT_BOOL has = VARIANT_FALSE;
  ASSERT_EQ(d->ChannelHasData(1, ChannelId{1, ChannelId::kDefaultKind}, &has), S_OK);
  EXPECT_EQ(has, VARIANT_FALSE);
  ASSERT_EQ(d->ChannelHasData(1, kCh1, &has), S_OK);
  EXPECT_EQ(has, VARIANT_TRUE);

  BSTR s = nullptr;
  ASSERT_EQ(d->GetChannelName(kCh1, &s), S_OK);
  EXPECT_EQ(text(s), "ECG");
  ASSERT_EQ(d->GetChannelUnit(kCh1, &s), S_OK);
  EXPECT_EQ(text(s), "mV");
  ASSERT_EQ(d->GetDocumentName(&s), S_OK);
  EXPECT_EQ(text(s), "synthetic");
  d->document().set_colour(0, 0xFF0000);
  std::uint32_t colour = 0;
  ASSERT_EQ(d->GetChannelColour(kCh1, &colour), S_OK);
  EXPECT_EQ(colour, 0xFF0000u);

  EXPECT_EQ(d->GetRecordLength(2, &n), E_INVALIDARG);
  EXPECT_EQ(d->GetChannelName(ChannelId{2, ChannelId::kDefaultKind}, &s), E_INVALIDARG);
  EXPECT_EQ(d->GetChannelName(ChannelId{0, 4}, &s), E_INVALIDARG);  // no computed channel 0
  EXPECT_EQ(d->GetRecordCount(nullptr), E_POINTER);
}

TEST(HostDocument, JudgesRegionsAndChannelsAgainstItsData) {
  auto d = two_record_document();
  auto valid = [&](TickPosition a, TickPosition b) {
    VARIANT_BOOL v = VARIANT_FALSE;
    EXPECT_EQ(d->IsRegionValid(a, b, &v), S_OK);
    return v == VARIANT_TRUE;
  };
  EXPECT_TRUE(valid({0, 0}, {250, 1}));
  EXPECT_TRUE(valid({100, 0}, TickPosition::open_end()));
  EXPECT_TRUE(valid({100, 0}, {TickPosition::kUnset, TickPosition::kUnset}));
  EXPECT_FALSE(valid({251, 1}, {251, 1}));
  EXPECT_FALSE(valid({0, 1}, {0, 0}));
  EXPECT_FALSE(valid({0, 2}, TickPosition::open_end()));

  VARIANT_BOOL v = VARIANT_FALSE;
  ASSERT_EQ(d->IsChannelValid(kCh1, 0, 0x7FFFFFFF, &v), S_OK);
  EXPECT_EQ(v, VARIANT_TRUE);
  ASSERT_EQ(d->IsChannelValid(ChannelId{5, ChannelId::kDefaultKind}, 0, 1, &v), S_OK);
  EXPECT_EQ(v, VARIANT_FALSE);
  ASSERT_EQ(d->IsChannelValid(kCh1, 1, 2, &v), S_OK);
  EXPECT_EQ(v, VARIANT_FALSE);
}

TEST(HostDocument, ReportsSamplingAndItsStart) {
  auto d = two_record_document();
  VARIANT_BOOL sampling = VARIANT_TRUE;
  std::int32_t record = -1;
  TickPosition start;
  ASSERT_EQ(d->IsSampling(&sampling), S_OK);
  EXPECT_EQ(sampling, VARIANT_FALSE);
  ASSERT_EQ(d->GetSamplingStart(&record, &start), S_OK);
  EXPECT_EQ(record, 2);
  EXPECT_FALSE(start.is_set());
  d->document().begin_sampling(0.004, 120.0);
  d->IsSampling(&sampling);
  d->GetSamplingStart(&record, &start);
  EXPECT_EQ(sampling, VARIANT_TRUE);
  EXPECT_EQ(start, (TickPosition{0, 2}));
}

// Creates channel `name` with `expression`; returns its identity.
ChannelId define(HostDocument& d, const char16_t* name, const char16_t* expression) {
  ChannelId id;
  EXPECT_EQ(d.CreateChannel(name, &id), S_OK);
  ComPtr<IArithmeticCalculation> calculation;
  EXPECT_EQ(d.CreateArithmeticCalculation(calculation.put()), S_OK);
  EXPECT_EQ(calculation->Initialise(expression, nullptr, nullptr), S_OK);
  EXPECT_EQ(d.SetCalculation(id, calculation.get()), S_OK);
  return id;
}

TEST(HostDocument, ManagesComputedChannelsByName) {
  auto d = two_record_document();
  const ChannelId lpf = define(*d, u"HRV_vLPF", u"lowpass(Ch1,30)");
  EXPECT_EQ(lpf.kind, 4);
  EXPECT_GE(lpf.index, 2);  // after the recorded channels
  ChannelId found;
  ASSERT_EQ(d->FindChannel(u"HRV_vLPF", &found), S_OK);
  EXPECT_EQ(found, lpf);
  ASSERT_EQ(d->FindChannel(u"HRV_vDIF", &found), S_FALSE);
  EXPECT_EQ(found, ChannelId::not_found());
  ChannelId taken;
  EXPECT_EQ(d->CreateChannel(u"HRV_vLPF", &taken), E_INVALIDARG);
  EXPECT_EQ(d->CreateChannel(u"Ch1", &taken), E_INVALIDARG);

  VARIANT_BOOL flag = VARIANT_TRUE;
  ASSERT_EQ(d->GetChannelFlag(lpf, &flag), S_OK);
  EXPECT_EQ(flag, VARIANT_FALSE);
  ASSERT_EQ(d->SetChannelFlag(lpf, VARIANT_TRUE), S_OK);
  d->GetChannelFlag(lpf, &flag);
  EXPECT_EQ(flag, VARIANT_TRUE);
  EXPECT_EQ(d->SetChannelFlag(kCh1, VARIANT_TRUE), E_INVALIDARG);

  BSTR name = nullptr;
  ASSERT_EQ(d->GetSourceName(ChannelId{2, 1}, &name), E_INVALIDARG);
  ASSERT_EQ(d->GetSourceName(ChannelId{1, 1}, &name), S_OK);
  EXPECT_EQ(text(name), "RCh2");
  ASSERT_EQ(d->GetSourceName(ChannelId{0, static_cast<std::int32_t>(0xC0000000)}, &name), S_OK);
  EXPECT_EQ(text(name), "Ch1");
  ASSERT_EQ(d->GetSourceName(lpf, &name), S_OK);
  EXPECT_EQ(text(name), "HRV_vLPF");

  double dt = 0;
  ASSERT_EQ(d->GetSampleInterval(0, lpf, &dt), S_OK);
  EXPECT_EQ(dt, 1.0 / kRate);
  VARIANT_BOOL has = VARIANT_FALSE;
  ASSERT_EQ(d->ChannelHasData(1, lpf, &has), S_OK);
  EXPECT_EQ(has, VARIANT_TRUE);

  ASSERT_EQ(d->DeleteChannel(lpf), S_OK);
  EXPECT_EQ(d->FindChannel(u"HRV_vLPF", &found), S_FALSE);
  EXPECT_EQ(d->DeleteChannel(lpf), E_INVALIDARG);
  EXPECT_EQ(d->DeleteChannel(kCh1), E_INVALIDARG);
}

TEST(HostDocument, ExplainsARefusedExpressionAndKeepsThePreviousOne) {
  auto d = two_record_document();
  ComPtr<IArithmeticCalculation> calculation;
  ASSERT_EQ(d->CreateArithmeticCalculation(calculation.put()), S_OK);
  BSTR error = nullptr;
  EXPECT_EQ(calculation->Initialise(u"lowpass(Ch1,30", u"HRV", &error), E_INVALIDARG);
  EXPECT_EQ(text(error), "HRV: expected ')' to close the arguments of 'lowpass' at column 1 but found the end of the expression at column 15");
  EXPECT_EQ(calculation->Initialise(u"lowpass(Ch1,30)", u"", &error), S_OK);
  EXPECT_EQ(error, nullptr);
  EXPECT_EQ(calculation->Initialise(u"Ch1 + Nope", nullptr, &error), E_INVALIDARG);
  EXPECT_EQ(text(error), "unknown channel 'Nope' at column 7");
  BSTR kept = nullptr;
  ASSERT_EQ(calculation->GetExpression(&kept), S_OK);
  EXPECT_EQ(text(kept), "lowpass(Ch1,30)");
}

TEST(HostDocument, AttachedCalculationsDefineTheirChannelsAndRefuseCycles) {
  auto d = two_record_document();
  const ChannelId a = define(*d, u"A", u"Ch1 * 2");
  const ChannelId b = define(*d, u"B", u"A + 1");
  ComPtr<IUnknown> attached;
  ASSERT_EQ(d->GetCalculation(a, attached.put()), S_OK);
  auto calculation = attached.query<IArithmeticCalculation>();
  ASSERT_TRUE(calculation);

  // Re-initialising an attached calculation redefines its channel and its dependents.
  ASSERT_EQ(calculation->Initialise(u"Ch1 * 3", nullptr, nullptr), S_OK);
  const auto x = d->document().samples(0, 0);
  const auto y = d->channels().samples(b.index, 0);
  ASSERT_EQ(y.size(), x.size());
  EXPECT_EQ(y[100], static_cast<float>(double{static_cast<float>(double{x[100]} * 3)} + 1.0));

  BSTR error = nullptr;
  EXPECT_EQ(calculation->Initialise(u"B * 2", nullptr, &error), E_INVALIDARG);
  EXPECT_EQ(text(error), "channel 'A' would depend on itself through 'B' at column 1");
  EXPECT_EQ(d->channels().expression(a.index), "Ch1 * 3");

  ComPtr<ICalculationReset> reset = calculation.query<ICalculationReset>();
  ASSERT_TRUE(reset);
  EXPECT_EQ(reset->ResetCalculation(), S_OK);

  ASSERT_EQ(d->SetCalculation(a, nullptr), S_OK);
  EXPECT_EQ(d->GetCalculation(a, attached.put()), S_FALSE);
  EXPECT_EQ(attached.get(), nullptr);
  VARIANT_BOOL has = VARIANT_TRUE;
  d->ChannelHasData(0, b, &has);
  EXPECT_EQ(has, VARIANT_FALSE);  // B names A, which has no calculation now
  EXPECT_EQ(d->SetCalculation(a, d->identity()), E_INVALIDARG);  // not a calculation
}

TEST(HostDocument, ShowsEventChannelsOnRecordedChannels) {
  auto d = two_record_document();
  const ChannelId peaks = define(*d, u"P", u"cmpeakdet(Ch1,0.5,0.3,30)");
  VARIANT_BOOL shown = VARIANT_TRUE;
  ASSERT_EQ(d->IsShowingEventsOn(peaks, 0, &shown), S_OK);
  EXPECT_EQ(shown, VARIANT_FALSE);
  EXPECT_EQ(d->ShowEventsOn(peaks, 0), S_OK);
  EXPECT_EQ(d->ShowEventsOn(peaks, 0), S_FALSE);
  d->IsShowingEventsOn(peaks, 0, &shown);
  EXPECT_EQ(shown, VARIANT_TRUE);
  EXPECT_EQ(d->ShowEventsOn(peaks, 7), E_INVALIDARG);
  EXPECT_EQ(d->HideEventsOn(peaks, 0), S_OK);
  EXPECT_EQ(d->HideEventsOn(peaks, 0), S_FALSE);
}

TEST(HostDocument, OpensEventReadersOnEventChannelsOnly) {
  auto d = two_record_document();
  const ChannelId peaks = define(*d, u"P", u"cmpeakdet(Ch1,0.5,0.3,30)");
  const ChannelId lpf = define(*d, u"L", u"lowpass(Ch1,30)");
  ComPtr<IEventReader> reader;
  EXPECT_EQ(d->OpenEventReader(lpf, {0, 0}, TickPosition::open_end(), reader.put()), E_INVALIDARG);
  EXPECT_EQ(d->OpenEventReader(kCh1, {0, 0}, TickPosition::open_end(), reader.put()), E_INVALIDARG);
  ASSERT_EQ(d->OpenEventReader(peaks, {0, 0}, TickPosition::open_end(), reader.put()), S_OK);
  ULONG size = 0;
  ASSERT_EQ(reader->GetEventSize(&size), S_OK);
  EXPECT_EQ(size, sizeof(CalcEventHeader));
  std::vector<CalcEventHeader> events(100);
  std::vector<std::int32_t> records(100);
  ULONG count = 0;
  ASSERT_EQ(reader->Read(events.data(), 100, records.data(), &count), S_OK);
  const auto store = d->channels().events(peaks.index, 0);
  ASSERT_EQ(count, store->count());  // record 1 is flat at 0.5: no peak above 0.5
  for (ULONG i = 0; i < count; ++i) {
    EXPECT_EQ(events[i].tick, store->tick(i));
    EXPECT_EQ(records[i], 0);
  }
  EXPECT_EQ(reader->Read(events.data(), 100, records.data(), &count), S_FALSE);
  EXPECT_EQ(count, 0u);
}

class Child final : public ComObject<IChartDataChildData> {
 public:
  explicit Child(std::uint32_t type) : type_(type) {}
  HRESULT GetTypeId(std::uint32_t* type) override {
    *type = type_;
    return S_OK;
  }
  HRESULT Clone(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, IChartDataChildData**) override { return E_NOTIMPL; }
  HRESULT OnDataInserted(std::int32_t record, std::int32_t tick, std::int32_t count) override {
    inserted.push_back({record, tick, count});
    return S_OK;
  }
  HRESULT OnDataRemoved(std::int32_t, std::int32_t, std::int32_t) override { return S_OK; }
  HRESULT OnRecordsChanged(std::int32_t, std::int32_t) override { return S_OK; }

  std::vector<doc::Growth> inserted;

 private:
  std::uint32_t type_;
};

TEST(HostDocument, KeepsOneChartChildPerTypeAndTellsItAboutNewData) {
  auto d = two_record_document();
  auto chart = ComPtr<IDocumentData>::retain(d.get()).query<IChartData>();
  ASSERT_TRUE(chart);
  auto first = make_com<Child>(0x10000002);
  auto second = make_com<Child>(0x10000002);
  ASSERT_EQ(chart->AddChild(first.get()), S_OK);
  ASSERT_EQ(chart->AddChild(second.get()), S_OK);  // replaces the first
  ComPtr<IChartDataChildData> got;
  ASSERT_EQ(chart->GetChild(0x10000002, got.put()), S_OK);
  EXPECT_EQ(got.get(), second.get());
  EXPECT_EQ(chart->GetChild(0x10000003, got.put()), S_FALSE);
  EXPECT_EQ(got.get(), nullptr);

  d->document().begin_sampling(0.002, 100.0);
  d->document().append(std::vector<std::vector<float>>{{1, 2, 3}, {4, 5, 6}});
  ASSERT_EQ(second->inserted.size(), 1u);
  EXPECT_EQ(second->inserted[0].record, 2);
  EXPECT_EQ(second->inserted[0].count, 3);
  EXPECT_TRUE(first->inserted.empty());

  EXPECT_EQ(chart->RemoveChild(0x10000002), S_OK);
  EXPECT_EQ(chart->RemoveChild(0x10000002), S_FALSE);
}

}  // namespace
}  // namespace korvel::app
