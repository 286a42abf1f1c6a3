// SPDX-License-Identifier: MIT
#include "korvel/signal/centred_history.h"

#include <algorithm>

namespace korvel::signal {

std::size_t CentredHistory::take(std::span<const float> input, std::size_t limit) {
  const std::size_t count = std::min(input.size(), limit);
  if (count == 0) return 0;
  if (!started_) {
    data_.assign(reach_, input.front());
    started_ = true;
  }
  data_.insert(data_.end(), input.begin(), input.begin() + static_cast<std::ptrdiff_t>(count));
  return count;
}

void CentredHistory::close() {
  if (started_) data_.insert(data_.end(), reach_, data_.back());
}

std::size_t CentredHistory::ready() const {
  const std::size_t held = data_.size() - begin_;
  return held > 2 * reach_ ? held - 2 * reach_ : 0;
}

void CentredHistory::advance(std::size_t count) {
  begin_ += count;
  next_output_ += static_cast<std::int64_t>(count);
  // Compact once the dead prefix outweighs the live part, so moves cost O(1) per sample.
  if (begin_ > data_.size() - begin_) {
    data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(begin_));
    begin_ = 0;
  }
}

}  // namespace korvel::signal
