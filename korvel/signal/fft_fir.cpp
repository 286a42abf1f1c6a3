// SPDX-License-Identifier: MIT
#include "korvel/signal/fft_fir.h"

#include <algorithm>
#include <stdexcept>

namespace korvel::signal {

FftFirStage::FftFirStage(std::span<const float> kernel, std::size_t fft_size)
    : fft_size_(fft_size),
      block_(fft_size - (kernel.size() - 1)),
      history_((kernel.size() - 1) / 2),
      kernel_spectrum_(fft_size / 2 + 1),
      spectrum_(fft_size / 2 + 1),
      result_(fft_size) {
  if (kernel.size() % 2 == 0 || fft_size % 2 != 0 || fft_size <= kernel.size() - 1) {
    throw std::invalid_argument("FFT filter needs an odd kernel and an even, larger FFT size");
  }
  const int n = static_cast<int>(fft_size);
  forward_.reset(kiss_fftr_alloc(n, 0, nullptr, nullptr));
  inverse_.reset(kiss_fftr_alloc(n, 1, nullptr, nullptr));
  if (!forward_ || !inverse_) throw std::bad_alloc();

  // Kernel at the start of the segment: circular output i is then the filtered input
  // sample (segment start + i - reach), valid for i >= L - 1.
  std::vector<float> padded_kernel(fft_size, 0.0f);
  const float scale = 1.0f / static_cast<float>(fft_size);  // kiss_fftri does not scale
  for (std::size_t i = 0; i < kernel.size(); ++i) padded_kernel[i] = kernel[i] * scale;
  kiss_fftr(forward_.get(), padded_kernel.data(), kernel_spectrum_.data());
}

void FftFirStage::filter_segment(const float* segment, std::size_t count,
                                 std::vector<float>& output) {
  kiss_fftr(forward_.get(), segment, spectrum_.data());
  for (std::size_t i = 0; i < spectrum_.size(); ++i) {
    const kiss_fft_cpx a = spectrum_[i];
    const kiss_fft_cpx b = kernel_spectrum_[i];
    spectrum_[i] = {a.r * b.r - a.i * b.i, a.r * b.i + a.i * b.r};
  }
  kiss_fftri(inverse_.get(), spectrum_.data(), result_.data());
  const auto valid = result_.begin() + static_cast<std::ptrdiff_t>(2 * history_.reach());
  output.insert(output.end(), valid, valid + static_cast<std::ptrdiff_t>(count));
}

void FftFirStage::emit_blocks(std::vector<float>& output) {
  while (history_.ready() >= block_) {
    filter_segment(history_.window(), block_, output);
    history_.advance(block_);
  }
}

void FftFirStage::push(std::span<const float> input, std::vector<float>& output) {
  while (!input.empty()) {
    input = input.subspan(history_.take(input, block_));
    emit_blocks(output);
  }
}

void FftFirStage::finish(std::vector<float>& output) {
  history_.close();
  emit_blocks(output);
  // A last, partial block: inputs past the repeated edge only reach outputs beyond the
  // record, so zeros stand in for them.
  const std::size_t rest = history_.ready();
  if (rest == 0) return;
  padded_.assign(fft_size_, 0.0f);
  std::copy_n(history_.window(), rest + 2 * history_.reach(), padded_.begin());
  filter_segment(padded_.data(), rest, output);
  history_.advance(rest);
}

}  // namespace korvel::signal
