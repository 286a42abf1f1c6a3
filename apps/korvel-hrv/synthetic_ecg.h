// SPDX-License-Identifier: MIT
// The built-in demo recording: a synthetic ECG with realistic beat-to-beat variation, made
// from a fixed seed so that every run shows the same beats. The beat intervals carry a
// low-frequency (baroreflex, ~0.1 Hz) and a high-frequency (respiratory) rhythm plus
// irregular variation, and a few premature ventricular beats with compensatory pauses, so
// that the demo shows normal and ectopic beats and a meaningful spectrum.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "korvel/io/recording.h"

namespace korvel_hrv {

struct Species {
  std::string name;         // as the command line spells it, e.g. "human", "mouse"
  int preset;               // the matching species preset index
  double sampleRateHz;
  double meanRRSec;
  double lfHz, hfHz;        // modulation frequencies of the two rhythms
  double lfAmplitude, hfAmplitude;  // fraction of the mean interval
  double qrsWidthSec;       // R wave width (standard deviation of its Gaussian), s
};

// The species the demo knows, human first.
const std::vector<Species>& demo_species();
// Throws std::invalid_argument naming the known species.
const Species& find_species(const std::string& name);

struct SyntheticEcg {
  korvel::io::Recording recording;
  std::vector<double> beatTimes;       // every beat, seconds
  std::vector<std::size_t> ectopic;    // indexes into beatTimes of the premature beats
};

SyntheticEcg make_synthetic_ecg(const Species& species, double durationSec, std::uint32_t seed);

}  // namespace korvel_hrv
