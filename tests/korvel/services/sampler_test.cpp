// SPDX-License-Identifier: MIT
// Sampling a recording in blocks into a document while the probe document listens: the
// order of the sink calls, a refusal, the events of a computed channel growing with the
// data, and what the sampler refuses before any sink hears of it.
#include "korvel/services/sampler.h"

#include <stdexcept>

#include "tests/korvel/services/probe_session.h"

namespace korvel::services::test {
namespace {

using Lines = std::vector<std::string>;
constexpr const char* kCrossings = "probethreshold(lowpass(Ch1,40),0.5)";

io::Recording twenty_seconds() {
  return korvel::test::synthetic_recording(korvel::test::synthetic_ecg(20.0, kRate, 11), kRate);
}

class SamplerTest : public ProbeSession {
 protected:
  void SetUp() override {
    ProbeSession::SetUp();
    sampled = &session->open(sampling_document(source));
    listener = probe_of(*sampled);
    auto& channels = sampled->data().channels();
    channels.set_expression(channels.create("Crossings"), kCrossings);
    BSTR ignored = nullptr;
    listener->TakeJournal(&ignored);
    SysFreeString(ignored);
  }
  Lines listener_journal() {
    BSTR text = nullptr;
    EXPECT_EQ(listener->TakeJournal(&text), S_OK);
    return lines(text);
  }

  io::Recording source = twenty_seconds();
  DocumentFrame* sampled = nullptr;
  ComPtr<probe::IProbeDocument> listener;
};

TEST_F(SamplerTest, CallsTheSinksInTheDocumentedOrderWhileTheRecordGrows) {
  ASSERT_EQ(listener->ConfigureSampling(VARIANT_TRUE, u"Crossings"), S_OK);
  const SamplingOutcome out = sample_record(*sampled, source.records[0], {2500});
  EXPECT_TRUE(out.started);
  EXPECT_EQ(out.record, 0);
  EXPECT_EQ(out.blocks, 4u);
  EXPECT_EQ(out.ticks, 10000);
  EXPECT_EQ(out.sink_failures, 0u);

  const Lines journal = listener_journal();
  ASSERT_EQ(journal.size(), 9u);
  EXPECT_EQ(journal[0], "can-start 0 yes");
  EXPECT_EQ(journal[1], "starting 0 sampling=0");
  EXPECT_EQ(journal[2], "state 1 sampling=1");
  for (int block = 0; block < 4; ++block) {
    const std::string length = std::to_string(2500 * (block + 1));
    EXPECT_TRUE(journal[3 + block].starts_with("data " + length + " length=" + length + " events=")) << journal[3 + block];
  }
  EXPECT_TRUE(journal[7].starts_with("ending sampling=0 events=")) << journal[7];
  EXPECT_EQ(journal[8], "stopped 0 end=0:10000");
  EXPECT_FALSE(sampled->data().document().sampling());
}

TEST_F(SamplerTest, TheEventsReadWhileSamplingAreThoseOfTheFinishedRecord) {
  ASSERT_EQ(listener->ConfigureSampling(VARIANT_TRUE, u"Crossings"), S_OK);
  sample_record(*sampled, source.records[0], {700});
  std::uint32_t seen = 0;
  ASSERT_EQ(listener->GetEventsSeen(&seen), S_OK);

  auto whole = make_com<app::HostDocument>(doc::Document(source), application.get());
  auto& channels = whole->channels();
  const std::int32_t index = channels.create("Crossings");
  channels.set_expression(index, kCrossings);
  const std::size_t expected = channels.events(index, 0)->count();
  ASSERT_GT(expected, 15u);  // about one beat per 0.85 s
  EXPECT_EQ(seen, expected);

  // The events grew with the data: the first blocks saw only some of them.
  const Lines journal = listener_journal();
  const std::string first_block = journal.at(3);
  const auto events_at_first = std::stoul(first_block.substr(first_block.find("events=") + 7));
  EXPECT_LT(events_at_first, expected);
}

TEST_F(SamplerTest, ASinkThatRefusesKeepsTheDocumentAsItWas) {
  ASSERT_EQ(listener->ConfigureSampling(VARIANT_FALSE, u""), S_OK);
  const auto outcomes = sample_recording(*sampled, source);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_FALSE(outcomes[0].started);
  EXPECT_EQ(outcomes[0].refused_by, 0u);
  EXPECT_EQ(sampled->data().document().record_count(), 0);
  EXPECT_EQ(listener_journal(), (Lines{"can-start 0 no"}));
}

TEST_F(SamplerTest, EachRecordOfARecordingIsOneRunIntoItsOwnRecord) {
  io::Recording two = source;
  two.records.push_back(source.records[0]);
  two.records[1].start_time_s = 30.0;
  const auto outcomes = sample_recording(*sampled, two, {5000});
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(outcomes[1].record, 1);
  EXPECT_EQ(sampled->data().document().record_count(), 2);
  EXPECT_EQ(sampled->data().document().record_start(1), 30.0);
  const Lines journal = listener_journal();
  EXPECT_EQ(journal.back(), "stopped 1 end=1:10000");
}

TEST_F(SamplerTest, RefusesSourcesThatDoNotFitBeforeAnySinkHearsOfIt) {
  io::Record narrow = source.records[0];
  narrow.channels.pop_back();
  EXPECT_THROW(sample_record(*sampled, narrow), std::invalid_argument);
  io::Record ragged = source.records[0];
  ragged.channels[1].samples.resize(10);
  EXPECT_THROW(sample_record(*sampled, ragged), std::invalid_argument);
  EXPECT_THROW(sample_record(*sampled, source.records[0], {0}), std::invalid_argument);
  EXPECT_TRUE(listener_journal().empty());

  DocumentFrame& mute = session->open(sampling_document(source), FrameOptions{false, true});
  EXPECT_THROW(sample_record(mute, source.records[0]), std::logic_error);
  EXPECT_THROW(sampling_document(io::Recording{}), std::invalid_argument);
}

}  // namespace
}  // namespace korvel::services::test
