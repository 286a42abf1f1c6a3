// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/synthetic_ecg.h"

#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>

namespace korvel_hrv {

const std::vector<Species>& demo_species() {
  // Rates and rhythms typical of each species at rest; R-wave widths chosen so that the
  // beats' complexity falls inside each species' classifier box.
  static const std::vector<Species> species = {
      {"human", 0, 500, 0.95, 0.10, 0.25, 0.035, 0.025, 0.010},
      {"dog", 1, 500, 0.55, 0.08, 0.30, 0.030, 0.060, 0.008},
      {"rabbit", 6, 1000, 0.29, 0.10, 0.70, 0.020, 0.015, 0.005},
      {"rat", 7, 1000, 0.17, 0.40, 1.20, 0.020, 0.015, 0.0015},
      // The mouse's narrow QRS needs 2 kHz for its shape to survive sampling.
      {"mouse", 4, 2000, 0.105, 0.40, 2.50, 0.020, 0.012, 0.001},
  };
  return species;
}

const Species& find_species(const std::string& name) {
  std::string known;
  for (const auto& s : demo_species()) {
    if (s.name == name) return s;
    known += (known.empty() ? "" : ", ") + s.name;
  }
  throw std::invalid_argument("unknown species \"" + name + "\" (known: " + known + ")");
}

namespace {

// One wave of the beat template: a Gaussian at `offset` beat intervals' fraction (scaled by
// QRS width for the QRS waves), with amplitude in mV.
void add_gaussian(std::vector<float>& x, double fs, double centre, double sigma, double amplitude) {
  const auto first = static_cast<std::int64_t>(std::floor((centre - 5 * sigma) * fs));
  const auto last = static_cast<std::int64_t>(std::ceil((centre + 5 * sigma) * fs));
  for (std::int64_t i = std::max<std::int64_t>(first, 0); i <= last && i < static_cast<std::int64_t>(x.size()); ++i) {
    const double t = i / fs - centre;
    x[static_cast<std::size_t>(i)] += static_cast<float>(amplitude * std::exp(-0.5 * t * t / (sigma * sigma)));
  }
}

}  // namespace

SyntheticEcg make_synthetic_ecg(const Species& species, double durationSec, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::uniform_real_distribution<double> phase(0.0, 2 * std::numbers::pi);
  const double fs = species.sampleRateHz;
  const std::size_t n = static_cast<std::size_t>(durationSec * fs);
  std::vector<float> x(n, 0.0f);

  SyntheticEcg result;
  const double phiLF = phase(rng), phiHF = phase(rng);
  // Irregular variation: a slowly wandering AR(1) component of the interval.
  double wander = 0.0;
  // Premature ventricular beats about every 80 beats, at irregular places.
  std::uniform_int_distribution<int> gap(50, 110);
  int untilEctopic = gap(rng);

  double t = 0.5 * species.meanRRSec;
  while (t < durationSec - species.meanRRSec) {
    const double w = 2 * std::numbers::pi;
    double rr = species.meanRRSec * (1.0 + species.lfAmplitude * std::sin(w * species.lfHz * t + phiLF) +
                                     species.hfAmplitude * std::sin(w * species.hfHz * t + phiHF) + wander);
    wander = 0.95 * wander + 0.004 * gauss(rng);
    const double q = species.qrsWidthSec;
    if (--untilEctopic == 0 && !result.beatTimes.empty()) {
      // A premature beat: early, wide, tall, with a discordant T wave and no P wave. The
      // sinus beat it pre-empts is not conducted, so the next one comes on time: a full
      // compensatory pause.
      untilEctopic = gap(rng);
      const double last = result.beatTimes.back();
      const double te = last + 0.62 * (t - last);
      result.ectopic.push_back(result.beatTimes.size());
      result.beatTimes.push_back(te);
      add_gaussian(x, fs, te, 2.6 * q, 1.6);
      add_gaussian(x, fs, te + 4 * q, 2.2 * q, -0.5);
      add_gaussian(x, fs, te + 0.38 * species.meanRRSec, 0.07 * species.meanRRSec, -0.45);
      t += rr;
      continue;
    }
    result.beatTimes.push_back(t);
    const double scale = species.meanRRSec;
    add_gaussian(x, fs, t - 0.18 * scale, 0.030 * scale, 0.12);   // P
    add_gaussian(x, fs, t - 1.6 * q, 0.8 * q, -0.10);             // Q
    add_gaussian(x, fs, t, q, 1.10);                              // R
    add_gaussian(x, fs, t + 1.7 * q, 0.9 * q, -0.22);             // S
    add_gaussian(x, fs, t + 0.30 * scale, 0.065 * scale, 0.28);   // T
    t += rr;
  }
  // Baseline wander with breathing and measurement noise.
  for (std::size_t i = 0; i < n; ++i) {
    const double ti = i / fs;
    x[i] += static_cast<float>(0.08 * std::sin(2 * std::numbers::pi * species.hfHz * ti + phiHF) + 0.012 * gauss(rng));
  }

  korvel::io::Record record;
  record.start_time_s = 0.0;
  record.tick_interval_s = 1.0 / fs;
  record.channels.push_back({"ECG", "mV", std::move(x)});
  result.recording.name = "demo-" + species.name;
  result.recording.source = "built-in synthetic " + species.name + " ECG, seed " + std::to_string(seed);
  result.recording.records.push_back(std::move(record));
  return result;
}

}  // namespace korvel_hrv
