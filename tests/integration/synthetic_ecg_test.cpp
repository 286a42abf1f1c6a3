// SPDX-License-Identifier: MIT
// The demo recordings must be recognisable ECGs: the detector finds every generated beat of
// every species, and classifies all but the premature beats and their pauses as normal.
#include "apps/korvel-hrv/synthetic_ecg.h"

#include <gtest/gtest.h>

#include "apps/korvel-hrv/beat_comparison.h"
#include "detection_harness.h"

namespace {

TEST(SyntheticEcg, EverySpeciesDemoIsDetectedBeatForBeat) {
  for (const auto& species : korvel_hrv::demo_species()) {
    SCOPED_TRACE(species.name);
    const double duration = 120;
    auto ecg = korvel_hrv::make_synthetic_ecg(species, duration, 42);
    ASSERT_GT(ecg.beatTimes.size(), duration / species.meanRRSec * 0.9);
    ASSERT_FALSE(ecg.ectopic.empty());
    const auto beats = integration::detect_beats(ecg.recording, 0, species.preset);
    // 20 % of the shortest interval: tight enough that a beat found on the wrong wave fails.
    const auto r = korvel_hrv::compare_beats(beats.times, ecg.beatTimes, 0.2 * species.meanRRSec * 0.6);
    EXPECT_EQ(r.falseNegatives, 0u);
    EXPECT_EQ(r.falsePositives, 0u);
    // The species' classifier box takes the sinus beats as normal: only the premature beats
    // and the pauses after them (with the beats they exclude) fall outside.
    std::size_t normal = 0;
    for (const auto& e : beats.events) normal += e.class_code() == 0;
    EXPECT_GE(normal, beats.events.size() - 3 * ecg.ectopic.size() - 2);
  }
}

}  // namespace
