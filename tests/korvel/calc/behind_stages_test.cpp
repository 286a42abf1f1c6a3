// SPDX-License-Identifier: MIT
#include "korvel/calc/behind_stages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

#include "korvel/signal/functions.h"

namespace korvel::calc {
namespace {

// A normaliser and a peak detector fed a pulse train in random blocks (some empty), inline
// and on the helper: the same samples and the same events, and the latency always covers
// what is still with the helper (nothing up to input − latency is missing).
TEST(BehindStages, GiveTheInlineOutputWhateverTheBlocks) {
  constexpr double dt = 0.004;
  std::vector<float> x(60000);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(std::pow(std::sin(0.0042 * i), 40) + 0.01 * std::sin(0.3 * i));
  HelperThread helper;
  auto inline_norm = signal::make_normalize(4, 1, 0, dt);
  auto behind_norm = run_behind(signal::make_normalize(4, 1, 0, dt), helper);
  auto inline_peaks = signal::make_peak_detector(3, 0.3, 30, dt);
  auto behind_peaks = run_behind(signal::make_peak_detector(3, 0.3, 30, dt), helper);
  std::vector<float> a, b;
  std::vector<std::int64_t> ea, eb;
  std::size_t fed = 0, a_fed = 0, b_fed = 0;  // input, and each normaliser's output handed to its detector
  std::mt19937 gen(3);
  std::uniform_int_distribution<std::size_t> size(0, 5000);
  while (fed < x.size()) {
    const std::span block(x.data() + fed, std::min(size(gen), x.size() - fed));
    fed += block.size();
    inline_norm->push(block, a);
    inline_peaks->push(std::span<const float>(a).subspan(a_fed), ea);
    a_fed = a.size();
    behind_norm->push(block, b);
    behind_peaks->push(std::span<const float>(b).subspan(b_fed), eb);
    b_fed = b.size();
    ASSERT_GE(b.size() + behind_norm->latency(), fed) << "output missing before input − latency";
  }
  inline_norm->finish(a);
  behind_norm->finish(b);
  EXPECT_EQ(a, b);
  inline_peaks->push(std::span<const float>(a).subspan(a_fed), ea);
  inline_peaks->finish(ea);
  behind_peaks->push(std::span<const float>(b).subspan(b_fed), eb);
  behind_peaks->finish(eb);
  EXPECT_EQ(ea, eb);
  EXPECT_GT(ea.size(), 10u);
}

// Fails on the third block it is given.
class FailingStage final : public signal::SampleStage {
 public:
  void push(std::span<const float> input, std::vector<float>& output) override {
    if (++blocks_ == 3) throw std::runtime_error("third block");
    output.insert(output.end(), input.begin(), input.end());
  }
  void finish(std::vector<float>&) override {}
  std::size_t latency() const override { return 0; }

 private:
  int blocks_ = 0;
};

// The failure reaches the evaluating thread at a later push or at finish, never lost; a
// stage let go with blocks still on the helper waits for them first.
TEST(BehindStages, HandOnTheInnerStagesFailureAndWaitForTheHelperWhenLetGo) {
  HelperThread helper;
  const std::vector<float> block(100, 1.0f);
  std::vector<float> out;
  auto stage = run_behind(std::make_unique<FailingStage>(), helper);
  EXPECT_THROW(
      {
        for (int i = 0; i < 6; ++i) stage->push(block, out);
        stage->finish(out);
      },
      std::runtime_error);
  EXPECT_EQ(out.size(), 200u) << "the two blocks before the failure";
  for (int round = 0; round < 20; ++round) {
    auto pending = run_behind(signal::make_normalize(4, 1, 0, 0.004), helper);
    pending->push(block, out);
    pending->push(block, out);
  }  // each is destroyed with two blocks on the helper
}

}  // namespace
}  // namespace korvel::calc
