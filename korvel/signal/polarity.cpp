// SPDX-License-Identifier: MIT
#include "korvel/signal/polarity.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

namespace korvel::signal {
namespace {

constexpr double kSmoothingSec = 0.1;
constexpr double kSegmentSec = 10;
constexpr double kExtremeShare = 0.005;
// Segments that vote at most: two hours' worth. A lead keeps its polarity for hours, so the
// majority of 720 segments spread over a day is the majority of all of them, at a small
// part of the cost of reading the day.
constexpr std::size_t kVotingSegments = 720;

// The pieces read as one sequence, non-finite samples as 0.
class Sequence {
 public:
  explicit Sequence(const std::vector<SamplePiece>& pieces) : pieces_(pieces) {
    for (const auto& p : pieces_) size_ += p.length;
  }
  std::size_t size() const noexcept { return size_; }
  // Samples [from, to) into `out`; `from` and `to` may lie outside the sequence, where its
  // first and last samples are repeated.
  void read(std::int64_t from, std::int64_t to, std::vector<double>& out) const {
    out.clear();
    const auto n = static_cast<std::int64_t>(size_);
    for (std::int64_t i = from; i < std::min<std::int64_t>(to, 0); ++i) out.push_back(at(0));
    std::vector<float> part;
    std::int64_t start = 0;  // of the current piece
    for (const auto& p : pieces_) {
      const auto end = start + static_cast<std::int64_t>(p.length);
      const std::int64_t a = std::max(from, start), b = std::min(to, end);
      if (a < b) {
        part.resize(static_cast<std::size_t>(b - a));
        p.read(static_cast<std::size_t>(a - start), part.size(), part.data());
        for (const float v : part) out.push_back(finite(v));
      }
      start = end;
    }
    for (std::int64_t i = std::max(from, n); i < to; ++i) out.push_back(at(n - 1));
  }

 private:
  static double finite(float v) { return std::isfinite(v) ? static_cast<double>(v) : 0.0; }
  double at(std::int64_t i) const {
    for (const auto& p : pieces_) {
      if (i < static_cast<std::int64_t>(p.length)) {
        float v = 0;
        p.read(static_cast<std::size_t>(i), 1, &v);
        return finite(v);
      }
      i -= static_cast<std::int64_t>(p.length);
    }
    return 0.0;
  }

  const std::vector<SamplePiece>& pieces_;
  std::size_t size_ = 0;
};

// The k-th value of `values` in the order `before` (the k-th smallest for std::less), for
// 1 <= k <= values.size(). One pass keeps the k values that come first in a heap whose top
// is the last of them; a share of 0.5 % is seldom let in, so this costs little more than
// reading the values.
template <class Before>
double kth_extreme(const std::vector<double>& values, std::size_t k, std::vector<double>& heap, Before before) {
  heap.assign(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k));
  std::make_heap(heap.begin(), heap.end(), before);
  for (std::size_t i = k; i < values.size(); ++i) {
    if (!before(values[i], heap.front())) continue;
    std::pop_heap(heap.begin(), heap.end(), before);
    heap.back() = values[i];
    std::push_heap(heap.begin(), heap.end(), before);
  }
  return heap.front();
}

// Positive minus negative votes of the segments that begin at `starts`, each `segment`
// samples long.
int segment_votes(const Sequence& samples, const std::vector<std::size_t>& starts, std::size_t segment, std::int64_t half) {
  const std::size_t n = samples.size();
  int votes = 0;
  std::vector<double> window, prefix, detail, smallest, largest;
  for (const std::size_t begin : starts) {
    const std::size_t end = std::min(n, begin + segment);
    // The segment with half a smoothing width on either side, for the centred moving mean.
    const auto from = static_cast<std::int64_t>(begin) - half;
    samples.read(from, static_cast<std::int64_t>(end) + half + 1, window);
    prefix.assign(1, 0.0);
    for (const double v : window) prefix.push_back(prefix.back() + v);
    detail.clear();
    for (std::size_t i = begin; i < end; ++i) {
      const auto at = static_cast<std::size_t>(static_cast<std::int64_t>(i) - from);  // i's place in the window
      const double mean = (prefix[at + static_cast<std::size_t>(half) + 1] - prefix[at - static_cast<std::size_t>(half)]) /
                          static_cast<double>(2 * half + 1);
      detail.push_back(window[at] - mean);
    }
    // The k-th largest and the k-th smallest: negating the input swaps them exactly.
    const auto k = static_cast<std::size_t>(std::ceil(kExtremeShare * static_cast<double>(detail.size())));
    const double below = -kth_extreme(detail, k, smallest, std::less<>());
    const double above = kth_extreme(detail, k, largest, std::greater<>());
    votes += (above > below) - (below > above);
  }
  return votes;
}

}  // namespace

Polarity dominant_deflection(const std::vector<SamplePiece>& pieces, double dt) {
  const Sequence samples(pieces);
  const std::size_t n = samples.size();
  if (n == 0 || !(dt > 0)) return Polarity::Positive;
  const auto half = static_cast<std::int64_t>(std::llround(kSmoothingSec / dt / 2));
  const auto segment = std::max<std::size_t>(1, static_cast<std::size_t>(std::llround(kSegmentSec / dt)));
  const std::size_t segments = (n + segment - 1) / segment;
  // Every segment of a shorter recording; of a longer one, kVotingSegments spread evenly.
  const std::size_t voting = std::min(segments, kVotingSegments);
  std::vector<std::size_t> starts(voting);
  for (std::size_t i = 0; i < voting; ++i) starts[i] = i * segments / voting * segment;
  return segment_votes(samples, starts, segment, half) < 0 ? Polarity::Negative : Polarity::Positive;
}

Polarity dominant_deflection(std::span<const float> samples, double dt) {
  return dominant_deflection(std::vector<SamplePiece>{SamplePiece::of(samples)}, dt);
}

}  // namespace korvel::signal
