// SPDX-License-Identifier: MIT
// The beat record: one per heartbeat, produced by the fiducial enumerator and read by every
// consumer. It crosses the host boundary in buffers of 80-byte records, so its layout is
// frozen below.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sample_position.h"

namespace HRV {

// Beat flag word.
enum BeatFlags : std::uint32_t {
  ClassOutsideRR = 0x00000001,  // rr outside the classifier box's RR range
  ClassOutsideFF = 0x00000002,  // ff outside the box's FF range
  ClassUnknown = 0x000000FF,    // whole low byte: rr or ff is NaN, the beat has no class
  ClassMask = 0x000000FF,       // the low byte is the class code: 0 normal, 1-3 ectopic
  UseRR = 0x00000100,           // rr takes part in the statistics
  UseDeltaRR = 0x00000200,      // deltaRR takes part in the statistics
  UserAdded = 0x00010000,       // placed by the user, not by the detector
};

// The quiet NaN that marks an undefined rr, deltaRR or rate.
inline const double kUndefined = std::bit_cast<double>(std::uint64_t{0x7FF8600000000000});

struct FiducialEvent {
  static constexpr std::int32_t kEmptyTick = SamplePosition::kUnset;  // an empty slot

  std::int32_t tick = kEmptyTick;  // fiducial sample within the record being enumerated
  float fraction = 0.0f;           // sub-sample offset added to tick when intervals are formed
  double peakValue = 0.0;          // low-pass stage value at the fiducial point
  std::int32_t peakIndex = 0;      // fiducial tick minus the tick of the detected peak
  std::int32_t beatNumber = 0;     // running number from 1 over the document
  double complexityA = 0.0;        // activity (variance) of the beat's segment
  double complexityB = 0.0;        // mobility of the beat's segment
  double ff = 0.0;                 // complexity "FF", no unit
  double rr = kUndefined;          // seconds since the previous beat
  double deltaRR = kUndefined;     // rr minus the previous rr, seconds
  double rate = kUndefined;        // 1 / rr, beats per second
  std::uint32_t flags = ClassUnknown;
  std::uint32_t padding = 0;

  std::uint32_t class_code() const noexcept { return flags & ClassMask; }
  // Counted in the statistics: both use bits set.
  bool included() const noexcept { return (flags & (UseRR | UseDeltaRR)) == (UseRR | UseDeltaRR); }
};

static_assert(sizeof(FiducialEvent) == 80);
static_assert(alignof(FiducialEvent) == 8);
static_assert(offsetof(FiducialEvent, tick) == 0);
static_assert(offsetof(FiducialEvent, fraction) == 4);
static_assert(offsetof(FiducialEvent, peakValue) == 8);
static_assert(offsetof(FiducialEvent, peakIndex) == 16);
static_assert(offsetof(FiducialEvent, beatNumber) == 20);
static_assert(offsetof(FiducialEvent, complexityA) == 24);
static_assert(offsetof(FiducialEvent, complexityB) == 32);
static_assert(offsetof(FiducialEvent, ff) == 40);
static_assert(offsetof(FiducialEvent, rr) == 48);
static_assert(offsetof(FiducialEvent, deltaRR) == 56);
static_assert(offsetof(FiducialEvent, rate) == 64);
static_assert(offsetof(FiducialEvent, flags) == 72);
static_assert(std::endian::native == std::endian::little, "beat records are exchanged little-endian");

// The class shown for a beat in comments, markers and exports.
enum class BeatDisplayClass { Normal, Ectopic, Unknown, Unused };

inline BeatDisplayClass display_class(const FiducialEvent& e) noexcept {
  if (e.class_code() == ClassUnknown || e.tick == FiducialEvent::kEmptyTick || std::isnan(e.rr) || std::isnan(e.deltaRR))
    return BeatDisplayClass::Unknown;
  if (e.flags & (ClassOutsideRR | ClassOutsideFF)) return BeatDisplayClass::Ectopic;
  if (e.class_code() == 0 && e.included()) return BeatDisplayClass::Normal;
  return BeatDisplayClass::Unused;
}

inline std::string_view to_string(BeatDisplayClass c) noexcept {
  switch (c) {
    case BeatDisplayClass::Normal: return "Normal";
    case BeatDisplayClass::Ectopic: return "Ectopic";
    case BeatDisplayClass::Unknown: return "Unknown";
    case BeatDisplayClass::Unused: return "Unused";
  }
  return "Unknown";
}

}  // namespace HRV
