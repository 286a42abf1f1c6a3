// SPDX-License-Identifier: MIT
// Sampling a recording in blocks into a document while the probe document listens: the
// order of the sink calls, a refusal, and what the sampler refuses before any sink hears of
// it. That the analysis of sampled data is the analysis of the finished file is checked end
// to end in tests/apps.
#include "korvel/services/sampler.h"

#include <stdexcept>
#include <tuple>

#include "tests/korvel/services/probe_session.h"

namespace korvel::services::test {
namespace {

class SamplerTest : public ProbeSession {
 protected:
  void SetUp() override {
    ProbeSession::SetUp();
    sampled = &session->open(sampling_document(source));
    listener = probe_of(*sampled);
    journal_of(*listener);
  }

  io::Recording source = korvel::test::synthetic_recording(korvel::test::synthetic_ecg(20.0, kRate, 11), kRate);
  DocumentFrame* sampled = nullptr;
  ComPtr<probe::IProbeDocument> listener;
};

TEST_F(SamplerTest, CallsTheSinksInTheDocumentedOrderWhileTheRecordGrows) {
  std::vector<std::int64_t> told;  // what the caller hears after each block
  const SamplingOutcome out = sample_record(*sampled, source.records[0], {2500, [&](std::int64_t ticks) { told.push_back(ticks); }});
  EXPECT_EQ(told, (std::vector<std::int64_t>{2500, 5000, 7500, 10000}));
  EXPECT_TRUE(out.started);
  EXPECT_EQ(std::tuple(out.record, out.blocks, out.ticks, out.sink_failures), std::tuple(0, std::size_t{4}, std::int64_t{10000}, std::size_t{0}));

  EXPECT_EQ(journal_of(*listener), (Lines{"can-start 0 yes", "starting 0 sampling=0", "state 1 sampling=1", "data 2500 length=2500",
                                          "data 5000 length=5000", "data 7500 length=7500", "data 10000 length=10000",
                                          "ending sampling=0", "stopped 0 end=0:10000"}));
  EXPECT_FALSE(sampled->data().document().sampling());
}

TEST_F(SamplerTest, ASinkThatRefusesKeepsTheDocumentAsItWas) {
  ASSERT_EQ(listener->AllowSampling(VARIANT_FALSE), S_OK);
  const auto outcomes = sample_recording(*sampled, source);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_FALSE(outcomes[0].started);
  EXPECT_EQ(outcomes[0].refused_by, 0u);
  EXPECT_EQ(sampled->data().document().record_count(), 0);
  EXPECT_EQ(journal_of(*listener), (Lines{"can-start 0 no"}));
}

TEST_F(SamplerTest, EachRecordOfARecordingIsOneRunIntoItsOwnRecord) {
  io::Recording two = source;
  two.records.push_back(source.records[0]);
  two.records[1].start_time_s = 30.0;
  const auto outcomes = sample_recording(*sampled, two, {5000, {}});
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(outcomes[1].record, 1);
  EXPECT_EQ(sampled->data().document().record_count(), 2);
  EXPECT_EQ(sampled->data().document().record_start(1), 30.0);
  EXPECT_EQ(journal_of(*listener).back(), "stopped 1 end=1:10000");
}

TEST_F(SamplerTest, RefusesSourcesThatDoNotFitBeforeAnySinkHearsOfIt) {
  io::Record narrow = source.records[0], ragged = source.records[0];
  narrow.channels.pop_back();
  ragged.channels[1].samples.resize(10);
  EXPECT_THROW(sample_record(*sampled, narrow), std::invalid_argument);
  EXPECT_THROW(sample_record(*sampled, ragged), std::invalid_argument);
  EXPECT_THROW(sample_record(*sampled, source.records[0], {0, {}}), std::invalid_argument);
  EXPECT_TRUE(journal_of(*listener).empty());

  DocumentFrame& mute = session->open(sampling_document(source), FrameOptions{false, true});
  EXPECT_THROW(sample_record(mute, source.records[0]), std::logic_error);
  EXPECT_THROW(sampling_document(io::Recording{}), std::invalid_argument);
}

}  // namespace
}  // namespace korvel::services::test
