// SPDX-License-Identifier: MIT
// The host's services driven from inside a loaded extension: the probe library registers a
// calculation enumerator and a client that reaches documents only through their interfaces.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "korvel/app/application.h"
#include "korvel/app/host_document.h"
#include "korvel/app/module_ids.h"
#include "sdk/cpp/utf.h"
#include "tests/korvel/calc/synthetic_recording.h"
#include "tests/probe/probe_interfaces.h"

namespace korvel::app {
namespace {

constexpr double kRate = 500.0;
constexpr const char16_t* kCrossings = u"probethreshold(lowpass(Ch1,40),0.5)";

std::string text(BSTR s) { return Bstr::adopt(s).utf8(); }

class ProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app->load_extension(PROBE_PATH);
    const RegisteredClass* c = registered(probe::kClientClassId);
    ASSERT_TRUE(c);
    auto factory = c->object.query<IClassFactory>();
    ASSERT_TRUE(factory);
    ASSERT_EQ(factory->CreateInstance(nullptr, probe::IProbeClient::iid, client.put_void()), S_OK);
  }

  const RegisteredClass* registered(const GUID& class_id) const {
    for (const RegisteredClass& c : app->extensions()->classes())
      if (c.class_id == class_id) return &c;
    return nullptr;
  }

  ComPtr<HostDocument> open(doc::Document d) { return make_com<HostDocument>(std::move(d), app.get()); }

  // The crossings of channel `name` as the probe reads them through an event reader.
  std::vector<TickPosition> collect(HostDocument& d, const char16_t* name, std::uint32_t batch,
                                    TickPosition from = {0, 0}, TickPosition to = TickPosition::open_end()) {
    std::vector<std::int32_t> ticks(10000), records(10000);
    std::uint32_t count = 0;
    EXPECT_EQ(client->Collect(d.identity(), name, from, to, batch, ticks.data(), records.data(), 10000, &count), S_OK);
    std::vector<TickPosition> out;
    for (std::uint32_t i = 0; i < count; ++i) out.push_back({ticks[i], records[i]});
    return out;
  }

  ComPtr<Application> app = make_com<Application>();
  ComPtr<probe::IProbeClient> client;
};

// Upward crossings of 0.5 by the low-passed ECG, computed directly from the host's own
// low-pass channel: the oracle for the probe's events.
std::vector<std::int32_t> crossings(HostDocument& d, std::int32_t record) {
  auto found = d.channels().find("Oracle");
  const std::int32_t lpf = found ? *found : d.channels().create("Oracle");
  d.channels().set_expression(lpf, "lowpass(Ch1,40)");
  const std::vector<float> x = d.channels().samples(lpf, record);
  std::vector<std::int32_t> out;
  for (std::size_t t = 1; t < x.size(); ++t)
    if (x[t - 1] < 0.5f && x[t] >= 0.5f) out.push_back(static_cast<std::int32_t>(t));
  return out;
}

// Two records of synthetic ECG, the second at another rate and start.
doc::Document two_records() {
  io::Recording r = test::synthetic_recording(test::synthetic_ecg(20, kRate, 31), kRate);
  io::Recording more = test::synthetic_recording(test::synthetic_ecg(10, 250.0, 32), 250.0);
  more.records[0].start_time_s = 100.0;
  r.records.push_back(more.records[0]);
  return doc::Document(r);
}

TEST_F(ProbeTest, RegistersItsClassesWithTheHostsRegistry) {
  const RegisteredClass* client_class = registered(probe::kClientClassId);
  const RegisteredClass* threshold = registered(probe::kThresholdClassId);
  ASSERT_TRUE(client_class && threshold);
  EXPECT_EQ(client_class->display_name, "Probe Client");
  EXPECT_EQ(client_class->category, probe::kProbeCategory);
  EXPECT_EQ(client_class->type_id >> 16, module_id(probe::kProbeFamily));
  EXPECT_EQ(threshold->internal_name, "ProbeThreshold");
  EXPECT_EQ(threshold->flags, 0x201u);
  EXPECT_EQ(app->extensions()->find_enumerator_class("PROBETHRESHOLD").get(), threshold->object.query<ICalcEnumeratorClass>().get());
}

TEST_F(ProbeTest, SeesTheDocumentAsTheHostHoldsIt) {
  auto d = open(two_records());
  d->document().set_colour(1, 0xC0FFEE);
  BSTR description = nullptr;
  ASSERT_EQ(client->Describe(d->identity(), &description), S_OK);
  EXPECT_EQ(text(description),
            "name synthetic\n"
            "records 2\n"
            "record 0 10000 0.002 0\n"
            "record 1 2500 0.0040000000000000001 100\n"
            "channel 0 ECG mV 0000c0\n"
            "channel 1 Slow  c0ffee\n"
            "end 2500 1\n");
}

TEST_F(ProbeTest, EnumeratesCrossingsOfEveryRecordThroughTheHostsServices) {
  auto d = open(two_records());
  ASSERT_EQ(client->Define(d->identity(), u"Cross", kCrossings, nullptr), S_OK);
  const auto got = collect(*d, u"Cross", 7);
  std::vector<TickPosition> want;
  for (std::int32_t r = 0; r < 2; ++r)
    for (std::int32_t t : crossings(*d, r)) want.push_back({t, r});
  ASSERT_GT(want.size(), 30u);
  EXPECT_EQ(got, want);

  // The records the probe wrote reach the reader whole.
  const std::int32_t cross = *d->channels().find("Cross");
  const auto store = d->channels().events(cross, 1);
  ASSERT_EQ(store->event_size(), sizeof(probe::ThresholdEvent));
  const auto lpf = d->channels().samples(*d->channels().find("Oracle"), 1);
  for (std::size_t i = 0; i < store->count(); ++i) {
    probe::ThresholdEvent e;
    std::memcpy(&e, store->record(i), sizeof e);
    EXPECT_EQ(e.record, 1);
    EXPECT_EQ(e.number, i + 1);
    EXPECT_EQ(e.value, double{lpf[static_cast<std::size_t>(e.tick)]});
  }
  EXPECT_EQ(collect(*d, u"Cross", 3, {got[3].tick, 0}, {got[5].tick, 0}), (std::vector<TickPosition>{got[3], got[4]}));
}

TEST_F(ProbeTest, YieldsTheSameCrossingsWhileTheRecordGrowsInRandomPieces) {
  const auto ecg = test::synthetic_ecg(40, kRate, 33);
  auto whole = open(doc::Document(test::synthetic_recording(ecg, kRate)));
  ASSERT_EQ(client->Define(whole->identity(), u"Cross", kCrossings, nullptr), S_OK);
  const auto want = collect(*whole, u"Cross", 16);

  auto live = open(doc::Document("live", {{"ECG", "mV", 0}, {"Slow", "", 0}}));
  ASSERT_EQ(client->Define(live->identity(), u"Cross", kCrossings, nullptr), S_OK);
  live->document().begin_sampling(1.0 / kRate, 0.0);
  ChannelId cross;
  ASSERT_EQ(live->FindChannel(u"Cross", &cross), S_OK);
  ComPtr<IEventReader> reader;  // one reader, kept open over the whole recording
  ASSERT_EQ(live->OpenEventReader(cross, {0, 0}, TickPosition::open_end(), reader.put()), S_OK);
  std::vector<TickPosition> streamed;
  auto drain = [&] {
    probe::ThresholdEvent events[5];
    std::int32_t records[5];
    ULONG n = 0;
    while (reader->Read(events, 5, records, &n) == S_OK)
      for (ULONG i = 0; i < n; ++i) streamed.push_back({events[i].tick, records[i]});
  };
  std::mt19937 random(34);
  std::uniform_int_distribution<std::size_t> piece(1, 3000);
  for (std::size_t fed = 0; fed < ecg.ecg.size();) {
    const std::size_t n = std::min(piece(random), ecg.ecg.size() - fed);
    live->document().append(std::vector<std::vector<float>>{{ecg.ecg.begin() + fed, ecg.ecg.begin() + fed + n},
                                                            {ecg.slow.begin() + fed, ecg.slow.begin() + fed + n}});
    fed += n;
    drain();
    ASSERT_LE(streamed.size(), want.size());
    ASSERT_TRUE(std::equal(streamed.begin(), streamed.end(), want.begin())) << "after " << fed << " samples";
    ASSERT_EQ(collect(*live, u"Cross", 4), streamed) << "a new reader sees what the open one saw";
  }
  live->document().end_sampling();
  drain();
  EXPECT_EQ(streamed, want);
}

TEST_F(ProbeTest, EnumeratorFindsTheChildItsClientAttachedToTheChartData) {
  auto d = open(two_records());
  ASSERT_EQ(client->Define(d->identity(), u"Cross", kCrossings, nullptr), S_OK);
  const auto all = collect(*d, u"Cross", 50);
  ASSERT_GT(all.size(), 3u);

  auto masked = open(two_records());
  ASSERT_EQ(client->Mask(masked->identity(), all[1].tick), S_OK);
  ASSERT_EQ(client->Mask(masked->identity(), all[2].tick), S_OK);
  ASSERT_EQ(client->Define(masked->identity(), u"Cross", kCrossings, nullptr), S_OK);
  std::vector<TickPosition> want;
  for (std::size_t i = 0; i < all.size(); ++i)
    if (i != 1 && i != 2) want.push_back(all[i]);
  EXPECT_EQ(collect(*masked, u"Cross", 50), want);
}

TEST_F(ProbeTest, HostRefusesWrongArgumentsBeforeTheEnumeratorSeesThem) {
  auto d = open(two_records());
  struct Case {
    const char16_t* expression;
    const char* error;
  };
  const Case cases[] = {
      {u"probethreshold(Ch1, 2e6)", "Probe: parameter 'Level' of 'ProbeThreshold' is 2e+06, outside its range -1e+06 to 1e+06 at column 21"},
      {u"probethreshold(Ch1)", "Probe: 'ProbeThreshold' takes 2 arguments but 1 was given at column 1"},
      {u"probethreshold(Ch1, Ch2)", "Probe: parameter 'Level' of 'ProbeThreshold' must be a number but is a sampled channel at column 21"},
      {u"probethreshold(2, 1)", "Probe: parameter 'Signal' of 'ProbeThreshold' must be a sampled channel but is a number at column 16"},
      {u"probethreshold(Ch1, 0.5) * 2", "Probe: arithmetic needs numbers or sampled channels, but 'ProbeThreshold' yields events at column 1"},
  };
  for (const Case& c : cases) {
    BSTR error = nullptr;
    EXPECT_EQ(client->Define(d->identity(), u"Bad", c.expression, &error), E_INVALIDARG) << c.error;
    EXPECT_EQ(text(error), c.error);
  }
}

TEST_F(ProbeTest, FindsThroughACloneOfTheChannelsEnumerator) {
  auto d = open(two_records());
  ASSERT_EQ(client->Define(d->identity(), u"Cross", kCrossings, nullptr), S_OK);
  const std::int32_t cross = *d->channels().find("Cross");
  const auto store = d->channels().events(cross, 0);
  ASSERT_GT(store->count(), 5u);
  const ComPtr<ICalcEnumerator> cursor = d->channels().enumerator_cursor(cross, 0);
  probe::ThresholdEvent e{};
  std::int32_t at = 0;

  const std::int32_t between = store->tick(2) + 1;
  ASSERT_EQ(cursor->Find(VARIANT_FALSE, between, 0, 1 << 30), S_OK);
  ASSERT_EQ(cursor->GetCurrentEvent(&e), S_OK);
  EXPECT_EQ(e.tick, store->tick(3));
  EXPECT_EQ(e.number, 4u);
  cursor->GetPosition(&at);
  EXPECT_EQ(at, store->tick(3));

  ASSERT_EQ(cursor->Find(VARIANT_TRUE, between, 0, 1 << 30), S_OK);
  cursor->GetCurrentEvent(&e);
  EXPECT_EQ(e.tick, store->tick(2));
  ASSERT_EQ(cursor->Find(VARIANT_FALSE, e.tick, 0, 1 << 30), S_OK);  // forward from the tick found: the same beat
  cursor->GetCurrentEvent(&e);
  EXPECT_EQ(e.tick, store->tick(2));

  EXPECT_EQ(cursor->Find(VARIANT_FALSE, 0, store->tick(4) + 1, store->tick(5)), S_FALSE);
  EXPECT_EQ(cursor->Find(VARIANT_TRUE, 0, 0, 100), S_FALSE);
  EXPECT_EQ(cursor->Find(VARIANT_FALSE, 5, 7, 7), S_FALSE);
  EXPECT_EQ(cursor->GetCurrentEvent(&e), S_FALSE);
  // The channel's own enumerator moved nowhere: the stored events are unchanged.
  EXPECT_EQ(d->channels().events(cross, 0)->count(), store->count());
}

TEST_F(ProbeTest, RemovesTheChannelItDefined) {
  auto d = open(two_records());
  ASSERT_EQ(client->Define(d->identity(), u"Cross", kCrossings, nullptr), S_OK);
  ASSERT_EQ(client->Remove(d->identity(), u"Cross"), S_OK);
  ChannelId gone;
  EXPECT_EQ(d->FindChannel(u"Cross", &gone), S_FALSE);
  EXPECT_EQ(client->Remove(d->identity(), u"Cross"), E_INVALIDARG);
}

}  // namespace
}  // namespace korvel::app
