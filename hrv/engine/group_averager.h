// SPDX-License-Identifier: MIT
// The SDARR groups: the beats are grouped into consecutive spans of a fixed length from the
// analysis start time S, [S + kL, S + (k+1)L), and each group's mean RR becomes one value
// of the series whose standard deviation is SDARR. Spans without beats are skipped, not
// counted as empty groups; a trailing group counts only once the data reach its end.
#pragma once

#include <cstdint>
#include <span>

#include "sample_grid.h"
#include "statistics.h"

namespace HRV {

struct GroupAverager {
  Moments means;                 // Σ, Σ² and corrected sum of the group means, s
  std::uint32_t groupCount = 0;  // g: number of closed groups
  double boundary = 0.0;         // s: where the open group ends; 0 before the first start
  double openSum = 0.0;          // s: ΣRR of the open group
  std::uint32_t openCount = 0;   // beats in the open group
  double groupLength = 300.0;    // L, s (the SDARR averaging setting)
  SampleGrid grid;               // the beats' sampling grid: a beat on a boundary in whole samples is on it

  // Forgets every group and takes the group length; the boundary goes back to 0.
  void clear(double length) noexcept;

  // Places the first boundary: from `origin`, whole steps of L until it lies beyond `first`
  // (the first beat's time, or the origin itself when there are no beats).
  void start(double origin, double first) noexcept;

  // Adds a beat at time t with interval rr (both s), beats in time order: into the open
  // group while t is before the boundary, else the open group is closed (when it holds
  // beats) and a new one opened with this beat, the boundary moving on past t.
  void add(double t, double rr) noexcept;

  // Closes the open group when it holds beats and the data reach its boundary (`end`, s, at
  // or beyond it), then moves the boundary on by L; otherwise the partial group is left
  // open and does not count.
  void close_if_complete(double end) noexcept;

  // Moves the boundary by whole steps of L until it lies beyond t.
  void advance_past(double t) noexcept;

  // The groups of a whole series on `grid`: clear(length), start(origin, first time), add
  // every beat, close_if_complete(end).
  static GroupAverager over(std::span<const double> times, std::span<const double> rr, double origin, double end,
                            double length, SampleGrid grid = SampleGrid()) noexcept;

 private:
  void close_open_group() noexcept;
  // t at or beyond `at`, compared in samples of the grid.
  bool reached(double t, double at) const noexcept { return !grid.below(t - at, 0.0); }
};

}  // namespace HRV
