// SPDX-License-Identifier: MIT
#include "korvel/signal/lowpass.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>
#include <numeric>

#include "korvel/signal/centred_fir.h"
#include "korvel/signal/fft_fir.h"

namespace korvel::signal {
namespace {

// Up to this many taps the direct form is at least as fast as overlap-save, and its
// latency is only the kernel's half length. On an x86-64 baseline build
// (bench/signal_chain_bench.cpp) the direct form costs about 0.1 ns per sample for each
// distinct tap (the kernel is symmetric), overlap-save about 10 ns per sample whatever the
// length; they break even near 190 taps, i.e. 30 Hz at 1 kHz.
constexpr std::size_t kDirectMaxTaps = 191;

class PassThroughStage final : public SampleStage {
 public:
  void push(std::span<const float> input, std::vector<float>& output) override {
    output.insert(output.end(), input.begin(), input.end());
  }
  void finish(std::vector<float>&) override {}
  std::size_t latency() const override { return 0; }
};

}  // namespace

std::size_t lowpass_length(double cutoff_hz, double sample_rate_hz) {
  if (cutoff_hz >= sample_rate_hz / 2) return 0;
  const auto taps = static_cast<std::size_t>(std::ceil(5.5 * sample_rate_hz / cutoff_hz));
  return taps | 1;
}

std::vector<float> lowpass_kernel(double cutoff_hz, double sample_rate_hz) {
  const std::size_t length = lowpass_length(cutoff_hz, sample_rate_hz);
  if (length == 0) return {};
  const double half = static_cast<double>(length - 1) / 2;
  const double band = 2 * cutoff_hz / sample_rate_hz;  // cut-off as a fraction of Nyquist
  constexpr double pi = std::numbers::pi;
  std::vector<double> taps(length);
  for (std::size_t i = 0; i < length; ++i) {
    const double k = static_cast<double>(i) - half;
    const double sinc = k == 0 ? 1.0 : std::sin(pi * band * k) / (pi * band * k);
    const double window = 0.42 + 0.5 * std::cos(pi * k / half) + 0.08 * std::cos(2 * pi * k / half);
    taps[i] = band * sinc * window;
  }
  const double sum = std::accumulate(taps.begin(), taps.end(), 0.0);
  std::vector<float> kernel(length);
  for (std::size_t i = 0; i < length; ++i) kernel[i] = static_cast<float>(taps[i] / sum);
  return kernel;
}

std::unique_ptr<SampleStage> lowpass_stage(std::vector<float> kernel) {
  if (kernel.empty()) return std::make_unique<PassThroughStage>();
  if (kernel.size() <= kDirectMaxTaps) {
    const std::size_t centre = kernel.size() / 2;
    return std::make_unique<CentredFirStage>(
        std::vector<float>(kernel.begin() + static_cast<std::ptrdiff_t>(centre), kernel.end()),
        KernelSymmetry::Even);
  }
  // At least four kernel lengths per transform, so three quarters or more of each yield
  // output, and at least 2048 points, the fastest size per output sample measured here.
  const std::size_t fft_size = std::max<std::size_t>(2048, std::bit_ceil(4 * kernel.size()));
  return std::make_unique<FftFirStage>(kernel, fft_size);
}

}  // namespace korvel::signal
