// SPDX-License-Identifier: MIT
// Synthetic recordings for host tests: an ECG-like channel with one narrow QRS spike per
// beat, a T wave and noise, from a fixed seed, and a slow second channel.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "korvel/io/recording.h"

namespace korvel::test {

struct SyntheticEcg {
  std::vector<float> ecg;          // mV
  std::vector<float> slow;         // a 0.25 Hz sine, arbitrary unit
  std::vector<std::int64_t> beats; // tick of every R peak
};

// `seconds` of signal at `rate` Hz; RR intervals vary between 0.7 and 1.0 s.
inline SyntheticEcg synthetic_ecg(double seconds, double rate, std::uint32_t seed) {
  SyntheticEcg s;
  const auto n = static_cast<std::size_t>(seconds * rate);
  s.ecg.assign(n, 0.0f);
  s.slow.resize(n);
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> rr(0.7, 1.0);
  std::normal_distribution<double> noise(0.0, 0.02);
  auto bump = [&](double centre, double width, double height) {
    const auto from = static_cast<std::int64_t>(centre - 5 * width);
    const auto to = static_cast<std::int64_t>(centre + 5 * width);
    for (std::int64_t i = std::max<std::int64_t>(from, 0); i <= to && i < static_cast<std::int64_t>(n); ++i)
      s.ecg[static_cast<std::size_t>(i)] += static_cast<float>(height * std::exp(-0.5 * std::pow((static_cast<double>(i) - centre) / width, 2)));
  };
  for (double t = 0.5; t < seconds - 0.5; t += rr(random)) {
    const double r = t * rate;
    s.beats.push_back(static_cast<std::int64_t>(std::lround(r)));
    bump(r, 0.008 * rate, 1.0);           // QRS
    bump(r + 0.25 * rate, 0.04 * rate, 0.25);  // T wave
  }
  for (std::size_t i = 0; i < n; ++i) {
    s.ecg[i] += static_cast<float>(noise(random));
    s.slow[i] = static_cast<float>(std::sin(2 * M_PI * 0.25 * static_cast<double>(i) / rate));
  }
  return s;
}

// A recording of one record holding the synthetic channels "ECG" (mV) and "Slow".
inline io::Recording synthetic_recording(const SyntheticEcg& s, double rate) {
  io::Recording r;
  r.name = "synthetic";
  io::Record record;
  record.tick_interval_s = 1.0 / rate;
  record.channels = {{"ECG", "mV", s.ecg}, {"Slow", "", s.slow}};
  r.records.push_back(std::move(record));
  return r;
}

}  // namespace korvel::test
