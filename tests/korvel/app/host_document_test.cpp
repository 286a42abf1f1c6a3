// SPDX-License-Identifier: MIT
// A host document through the interfaces extensions use: what it refuses and how its
// computed channels follow their calculations. The detection chain inside the host
// (tests/integration) reads its records, channels and events on real recordings.
#include "korvel/app/host_document.h"

#include <gtest/gtest.h>

#include <tuple>

#include "sdk/cpp/utf.h"
#include "tests/korvel/calc/synthetic_recording.h"

namespace korvel::app {
namespace {

constexpr ChannelId kCh1{0, ChannelId::kDefaultKind};

std::string text(BSTR s) { return Bstr::adopt(s).utf8(); }

// Two records: 4 s at 500 Hz, then at 60 s one second at 250 Hz without the "Slow" channel.
ComPtr<HostDocument> two_record_document() {
  io::Recording r = test::synthetic_recording(test::synthetic_ecg(4, 500.0, 21), 500.0);
  r.records.push_back({60.0, 0.004, {{"ECG", "mV", std::vector<float>(250, 0.5f)}}});
  return make_com<HostDocument>(doc::Document(r), nullptr);
}

// Creates channel `name` with `expression`; returns its identity.
ChannelId define(HostDocument& d, const char16_t* name, const char16_t* expression) {
  ChannelId id;
  ComPtr<IArithmeticCalculation> calculation;
  EXPECT_EQ(d.CreateChannel(name, &id), S_OK);
  EXPECT_EQ(d.CreateArithmeticCalculation(calculation.put()), S_OK);
  EXPECT_EQ(calculation->Initialise(expression, nullptr, nullptr), S_OK);
  EXPECT_EQ(d.SetCalculation(id, calculation.get()), S_OK);
  return id;
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
  std::vector<float> x(static_cast<std::size_t>(d->document().record_length(0)));
  d->document().read(0, 0, 0, x.size(), x.data());
  const auto y = d->channels().samples(b.index, 0);
  ASSERT_EQ(y.size(), x.size());
  EXPECT_EQ(y[100], static_cast<float>(double{static_cast<float>(double{x[100]} * 3)} + 1.0));

  BSTR error = nullptr;
  EXPECT_EQ(calculation->Initialise(u"B * 2", nullptr, &error), E_INVALIDARG);
  EXPECT_EQ(text(error), "channel 'A' would depend on itself through 'B' at column 1");
  EXPECT_EQ(d->channels().expression(a.index), "Ch1 * 3");

  ASSERT_EQ(d->SetCalculation(a, nullptr), S_OK);
  EXPECT_EQ(d->GetCalculation(a, attached.put()), S_FALSE);
  EXPECT_EQ(attached.get(), nullptr);
  VARIANT_BOOL has = VARIANT_TRUE;
  d->ChannelHasData(0, b, &has);
  EXPECT_EQ(has, VARIANT_FALSE) << "B names A, which has no calculation now";
  EXPECT_EQ(d->SetCalculation(a, d->identity()), E_INVALIDARG) << "not a calculation";
}

TEST(HostDocument, OpensEventReadersOnEventChannelsOnly) {
  auto d = two_record_document();
  const ChannelId peaks = define(*d, u"P", u"cmpeakdet(Ch1,0.5,0.3,30)");
  const ChannelId lpf = define(*d, u"L", u"lowpass(Ch1,30)");
  ComPtr<IEventReader> reader;
  EXPECT_EQ(d->OpenEventReader(lpf, {0, 0}, TickPosition::open_end(), reader.put()), E_INVALIDARG);
  EXPECT_EQ(d->OpenEventReader(kCh1, {0, 0}, TickPosition::open_end(), reader.put()), E_INVALIDARG);
  ASSERT_EQ(d->OpenEventReader(peaks, {0, 0}, TickPosition::open_end(), reader.put()), S_OK);
  ULONG size = 0, count = 0;
  ASSERT_EQ(reader->GetEventSize(&size), S_OK);
  EXPECT_EQ(size, sizeof(CalcEventHeader));
  std::vector<CalcEventHeader> events(100);
  std::vector<std::int32_t> records(100);
  ASSERT_EQ(reader->Read(events.data(), 100, records.data(), &count), S_OK);
  const auto store = d->channels().events(peaks.index, 0);
  ASSERT_EQ(count, store->count()) << "record 1 is flat at 0.5: no peak above 0.5";
  for (ULONG i = 0; i < count; ++i) EXPECT_EQ(std::tuple(events[i].tick, records[i]), std::tuple(store->tick(i), 0)) << i;
  EXPECT_EQ(reader->Read(events.data(), 100, records.data(), &count), S_FALSE);
  EXPECT_EQ(count, 0u);
  // A reader keeps to its range, from its start to before its end.
  ASSERT_GE(store->count(), 3u);
  ASSERT_EQ(d->OpenEventReader(peaks, {store->tick(0), 0}, {store->tick(2), 0}, reader.put()), S_OK);
  ASSERT_EQ(reader->Read(events.data(), 100, records.data(), &count), S_OK);
  EXPECT_EQ(std::tuple(count, events[0].tick, events[1].tick), std::tuple(2u, store->tick(0), store->tick(1)));

}

class Child final : public ComObject<IChartDataChildData> {
 public:
  HRESULT GetTypeId(std::uint32_t* type) override { return *type = 0x10000002, S_OK; }
  HRESULT Clone(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, IChartDataChildData**) override { return E_NOTIMPL; }
  HRESULT OnDataInserted(std::int32_t record, std::int32_t tick, std::int32_t count) override {
    return inserted.push_back({record, tick, count}), S_OK;
  }
  HRESULT OnDataRemoved(std::int32_t, std::int32_t, std::int32_t) override { return S_OK; }
  HRESULT OnRecordsChanged(std::int32_t, std::int32_t) override { return S_OK; }
  std::vector<doc::Growth> inserted;
};

TEST(HostDocument, KeepsOneChartChildPerTypeAndTellsItAboutNewData) {
  auto d = two_record_document();
  auto chart = ComPtr<IDocumentData>::retain(d.get()).query<IChartData>();
  ASSERT_TRUE(chart);
  auto first = make_com<Child>(), second = make_com<Child>();
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
  EXPECT_EQ(std::tuple(second->inserted[0].record, second->inserted[0].count), std::tuple(2, 3));
  EXPECT_TRUE(first->inserted.empty());
  EXPECT_EQ(chart->RemoveChild(0x10000002), S_OK);
  EXPECT_EQ(chart->RemoveChild(0x10000002), S_FALSE);
}

}  // namespace
}  // namespace korvel::app
