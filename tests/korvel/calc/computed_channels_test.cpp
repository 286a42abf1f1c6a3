// SPDX-License-Identifier: MIT
#include "korvel/calc/computed_channels.h"

#include <gtest/gtest.h>

#include <random>

#include "korvel/calc/evaluation_error.h"
#include "korvel/expr/expression_error.h"
#include "tests/korvel/calc/synthetic_recording.h"

namespace korvel::calc {
namespace {

constexpr double kRate = 500.0;

// A document and its computed channels, with the host's functions only.
struct Host {
  explicit Host(doc::Document d) : document(std::make_shared<doc::Document>(std::move(d))) {}

  std::int32_t define(const std::string& name, const std::string& expression) {
    const std::int32_t index = channels.create(name);
    channels.set_expression(index, expression);
    return index;
  }
  std::vector<std::int32_t> ticks(std::int32_t channel, std::int32_t record) {
    auto store = channels.events(channel, record);
    std::vector<std::int32_t> out;
    for (std::size_t i = 0; i < store->count(); ++i) out.push_back(store->tick(i));
    return out;
  }

  std::shared_ptr<doc::Document> document;
  FunctionTable functions{nullptr};
  ComputedChannels channels{document, functions, nullptr};
};

// The detection chain up to the peak detector, at 500 Hz (Hilbert length 80).
const std::pair<const char*, const char*> kChain[] = {
    {"LPF", "lowpass(Ch1,30)"},
    {"DIF", "differentiate(LPF,3)"},
    {"HLB", "resample(DIF,1,1,1,80,0,2)"},
    {"ENV", "DIF * DIF + HLB * HLB"},
    {"NRM", "normalizeSec(ENV,5,2.5,0)"},
    {"DET", "cmpeakdet(NRM,3,0.3,30)"},
};

void define_chain(Host& h) {
  for (const auto& [name, expression] : kChain) h.define(name, expression);
}

TEST(ComputedChannels, LinesUpAStageWithItsOwnInputInArithmetic) {
  const auto ecg = test::synthetic_ecg(10, kRate, 1);
  Host h{doc::Document(test::synthetic_recording(ecg, kRate))};
  const auto lpf = h.define("LPF", "lowpass(Ch1,30)");
  const auto sum = h.define("Sum", "lowpass(Ch1,30) + Ch1 * 2 + -1");
  const std::vector<float> filtered = h.channels.samples(lpf, 0);
  const std::vector<float> got = h.channels.samples(sum, 0);
  std::vector<float> x(static_cast<std::size_t>(h.document->record_length(0)));
  h.document->read(0, 0, 0, x.size(), x.data());
  ASSERT_EQ(filtered.size(), x.size());
  ASSERT_EQ(got.size(), x.size());
  for (std::size_t i = 0; i < x.size(); ++i) {
    // Every node rounds its result to float, as the oracle does step by step.
    const float twice = static_cast<float>(double{x[i]} * 2);
    const float first = static_cast<float>(double{filtered[i]} + double{twice});
    ASSERT_EQ(got[i], static_cast<float>(double{first} + -1.0)) << "tick " << i;
  }
}

// The detection chain finds every synthetic beat. Fed to a sampling document in random
// pieces, after every piece what the channels hold must be a prefix of the one-pass result,
// and at the end all of it.
TEST(ComputedChannels, DetectionChainFindsEveryBeatAndInPiecesWhileTheRecordGrowsEqualsOnePass) {
  const auto ecg = test::synthetic_ecg(30, kRate, 5);
  Host whole{doc::Document(test::synthetic_recording(ecg, kRate))};
  define_chain(whole);
  for (const auto& [name, expression] : kChain)  // what a consumer reads only in order is not kept
    EXPECT_FALSE(whole.channels.keeps_samples(*whole.channels.find(name))) << name;
  const auto want_peaks = whole.ticks(*whole.channels.find("DET"), 0);
  ASSERT_EQ(want_peaks.size(), ecg.beats.size()) << "the chain finds every synthetic beat";
  for (std::size_t i = 0; i < want_peaks.size(); ++i)
    EXPECT_NEAR(want_peaks[i], ecg.beats[i], 0.03 * kRate) << "beat " << i;  // the envelope peaks within the QRS
  const auto want_lpf = whole.channels.samples(*whole.channels.find("LPF"), 0);
  const auto want_env = whole.channels.samples(*whole.channels.find("ENV"), 0);

  Host live{doc::Document("live", {{"ECG", "mV", 0}, {"Slow", "", 0}})};
  define_chain(live);
  const auto det = *live.channels.find("DET");
  const auto lpf = *live.channels.find("LPF");
  const auto env = *live.channels.find("ENV");
  live.document->begin_sampling(1.0 / kRate, 0.0);
  std::mt19937 random(6);
  std::uniform_int_distribution<std::size_t> piece(1, 4000);
  std::size_t fed = 0, pieces = 0;
  auto prefix_of = [](const auto& part, const auto& all) { return part.size() <= all.size() && std::equal(part.begin(), part.end(), all.begin()); };
  while (fed < ecg.ecg.size()) {
    const std::size_t n = pieces % 7 == 3 ? 1 : std::min(piece(random), ecg.ecg.size() - fed);
    live.document->append(std::vector<std::vector<float>>{{ecg.ecg.begin() + fed, ecg.ecg.begin() + fed + n},
                                                          {ecg.slow.begin() + fed, ecg.slow.begin() + fed + n}});
    fed += n;
    ++pieces;
    const auto peaks = live.ticks(det, 0);
    ASSERT_TRUE(prefix_of(peaks, want_peaks)) << "after " << fed << " samples";
    ASSERT_TRUE(prefix_of(live.channels.samples(lpf, 0), want_lpf)) << "after " << fed << " samples";
    ASSERT_TRUE(prefix_of(live.channels.samples(env, 0), want_env)) << "after " << fed << " samples";
  }
  // Only the look-ahead of the chain is missing before the record is complete.
  EXPECT_LT(live.channels.samples(lpf, 0).size(), want_lpf.size());
  EXPECT_FALSE(live.channels.events(det, 0)->complete);
  live.document->end_sampling();
  EXPECT_EQ(live.ticks(det, 0), want_peaks);
  EXPECT_TRUE(live.channels.events(det, 0)->complete);
  EXPECT_EQ(live.channels.samples(lpf, 0), want_lpf);
  EXPECT_EQ(live.channels.samples(env, 0), want_env);
}

TEST(ComputedChannels, RecomputesAChannelAndItsDependentsWhenAnExpressionChanges) {
  Host h{doc::Document(test::synthetic_recording(test::synthetic_ecg(30, kRate, 7), kRate))};
  const auto x = h.define("X", "lowpass(Ch1,30)");
  const auto y = h.define("Y", "cmpeakdet(X,0.5,0.3,30)");
  const auto beats = h.ticks(y, 0);
  EXPECT_GT(beats.size(), 25u);

  h.channels.set_expression(x, "Ch2");  // the slow sine: peaks every 4 s, at 1 s + 4 k s
  const auto sine = h.ticks(y, 0);
  ASSERT_EQ(sine.size(), 8u);
  EXPECT_EQ(sine[0], 500);
  EXPECT_EQ(sine[1], 2500);

  h.channels.reset(x);
  EXPECT_EQ(h.ticks(y, 0), sine);

  h.channels.remove(x);
  EXPECT_FALSE(h.channels.kind(y));
  EXPECT_EQ(h.channels.error(y), "channel 'Y': unknown channel 'X' at column 11");
  EXPECT_FALSE(h.channels.has_data(y, 0));
  EXPECT_THROW(h.channels.events(y, 0), EvaluationError);

  const auto again = h.define("X", "lowpass(Ch1,30)");
  EXPECT_NE(again, x);  // indexes are not reused
  EXPECT_EQ(h.ticks(y, 0), beats);
}

TEST(ComputedChannels, RefusesExpressionsThatWouldDependOnThemselves) {
  Host h{doc::Document(test::synthetic_recording(test::synthetic_ecg(2, kRate, 8), kRate))};
  const auto a = h.define("A", "Ch1");
  h.define("B", "A + 1");
  h.define("C", "B * B");
  try {
    h.channels.set_expression(a, "Ch2 + C");
    FAIL() << "a cycle was accepted";
  } catch (const expr::ExpressionError& e) {
    EXPECT_STREQ(e.what(), "channel 'A' would depend on itself through 'C' at column 7");
  }
  EXPECT_EQ(h.channels.expression(a), "Ch1");
  EXPECT_THROW(h.channels.set_expression(a, "A"), expr::ExpressionError);
  EXPECT_EQ(h.channels.samples(*h.channels.find("C"), 0).size(), 1000u);
}

TEST(ComputedChannels, RefusesNamesThatAreTakenOrReadAsSomethingElse) {
  Host h{doc::Document(test::synthetic_recording(test::synthetic_ecg(1, kRate, 9), kRate))};
  h.channels.create("HRV_vLPF");
  for (const char* name : {"HRV_vLPF", "Ch3", "rch1", "1x", "a-b", ""}) EXPECT_THROW(h.channels.create(name), std::invalid_argument) << name;
}

}  // namespace
}  // namespace korvel::calc
