// SPDX-License-Identifier: MIT
#include "group_averager.h"

namespace HRV {

// A non-positive (or NaN) group length makes no groups: every operation below then leaves
// the groups as they are instead of stepping the boundary forever.

void GroupAverager::clear(double length) noexcept {
  const SampleGrid kept = grid;
  *this = GroupAverager{};
  groupLength = length;
  grid = kept;
}

void GroupAverager::start(double origin, double first) noexcept {
  if (!(groupLength > 0.0)) return;
  boundary = origin;
  advance_past(first);
}

void GroupAverager::advance_past(double t) noexcept {
  if (!(groupLength > 0.0)) return;
  while (reached(t, boundary)) boundary += groupLength;
}

void GroupAverager::add(double t, double rr) noexcept {
  if (!(groupLength > 0.0)) return;
  if (reached(t, boundary)) {
    if (openCount > 0) close_open_group();
    advance_past(t);
  }
  openSum += rr;
  ++openCount;
}

void GroupAverager::close_if_complete(double end) noexcept {
  if (!(groupLength > 0.0) || openCount == 0 || !reached(end, boundary)) return;
  close_open_group();
  boundary += groupLength;
}

void GroupAverager::close_open_group() noexcept {
  ++groupCount;
  means.add(openSum / openCount, groupCount);
  openSum = 0.0;
  openCount = 0;
}

GroupAverager GroupAverager::over(std::span<const double> times, std::span<const double> rr, double origin,
                                  double end, double length, SampleGrid grid) noexcept {
  GroupAverager g;
  g.clear(length);
  g.grid = grid;
  g.start(origin, times.empty() ? origin : times.front());
  for (std::size_t i = 0; i < times.size() && i < rr.size(); ++i) g.add(times[i], rr[i]);
  g.close_if_complete(end);
  return g;
}

}  // namespace HRV
