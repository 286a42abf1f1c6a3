// SPDX-License-Identifier: MIT
// Detection on arterial pressure whose level stays high between pulses of changing size,
// with a notch on the down-stroke, and on leads whose QRS points down, which the host hands
// to the detector inverted. The signals come from generators with fixed seeds.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <numeric>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "apps/korvel-hrv/beat_comparison.h"
#include "apps/korvel-hrv/synthetic_ecg.h"
#include "detection_harness.h"
#include "korvel/io/load_recording.h"
#include "korvel/signal/polarity.h"
#include "shared_data.h"

namespace {

struct Synthetic {
  korvel::io::Recording recording;
  std::vector<double> beats;  // reference times, s
};

korvel::io::Recording one_channel(const std::string& name, double fs, std::vector<float> samples, const char* unit) {
  korvel::io::Recording recording;
  recording.name = name;
  korvel::io::Record record;
  record.tick_interval_s = 1 / fs;
  record.channels.push_back({name, unit, std::move(samples)});
  recording.records.push_back(std::move(record));
  return recording;
}

// Shape of a synthetic arterial pressure pulse train.
struct PulseShape {
  double rr;        // mean pulse interval, s (±6 % at random)
  double decline;   // time constant of the diastolic decline, s
  double dicrotic;  // height of the dicrotic wave over the pulse height
  double notch;     // depth of the notch 0.23 s after the upstroke over the pulse height
};

// 125 Hz arterial pressure, mmHg. Each pulse: an upstroke (centred at the reference time),
// a systolic peak, a steep down-stroke broken by a notch 0.23 s after the upstroke, a
// dicrotic wave, then a decline slow enough that the level stays high until the next
// pulse. Pulse heights vary at random by ±20 % from beat to beat.
Synthetic pressure_trace(const PulseShape& shape, double seconds, std::uint32_t seed) {
  const double fs = 125;
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> height(0.8, 1.2), jitter(-0.06, 0.06);
  std::normal_distribution<double> noise(0.0, 0.3);
  std::vector<float> x(static_cast<std::size_t>(seconds * fs), 70.0f);
  Synthetic s;
  for (double t = 0.5; t < seconds - 0.5; t += shape.rr * (1 + jitter(rng))) {
    s.beats.push_back(t);
    const double a = 45 * height(rng);
    for (std::size_t i = static_cast<std::size_t>((t - 0.2) * fs); i < x.size() && i < (t + 6) * fs; ++i) {
      const double u = static_cast<double>(i) / fs - t;
      const double rise = 1 / (1 + std::exp(-u / 0.015));
      const double wave = rise * (0.45 + 0.55 * std::exp(-std::max(u, 0.0) / 0.1)) * std::exp(-std::max(u, 0.0) / shape.decline) -
                          shape.notch * std::exp(-std::pow((u - 0.23) / 0.018, 2)) +
                          shape.dicrotic * std::exp(-std::pow((u - 0.31) / 0.04, 2));
      x[i] += static_cast<float>(a * wave);
    }
  }
  for (float& v : x) v += static_cast<float>(noise(rng));
  s.recording = one_channel("ABP", fs, std::move(x), "mmHg");
  return s;
}

// The demo's human ECG at 128 Hz, its premature beats included; made hard on request with
// a broad, tall T wave after every premature beat and bursts of muscle noise (white at
// 128 Hz, 0.5 to 2 s long, every 4 to 12 s).
Synthetic human_ecg(double seconds, std::uint32_t seed, bool hard) {
  korvel_hrv::Species human = korvel_hrv::find_species("human");
  human.sampleRateHz = 128;
  korvel_hrv::SyntheticEcg ecg = korvel_hrv::make_synthetic_ecg(human, seconds, seed);
  std::vector<float>& x = ecg.recording.records[0].channels[0].samples;
  const double fs = human.sampleRateHz;
  for (const std::size_t e : hard ? ecg.ectopic : std::vector<std::size_t>{})
    for (auto i = static_cast<std::size_t>((ecg.beatTimes[e] + 0.08) * fs); i < x.size() && i < (ecg.beatTimes[e] + 0.72) * fs; ++i)
      x[i] += static_cast<float>(0.8 * std::exp(-0.5 * std::pow((static_cast<double>(i) / fs - ecg.beatTimes[e] - 0.4) / 0.08, 2)));
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> gap(4, 12), length(0.5, 2), level(0.05, 0.12);
  std::normal_distribution<double> noise(0.0, 1.0);
  for (double t = gap(rng); hard && t < seconds; t += gap(rng)) {
    const double d = length(rng), sd = level(rng);
    for (auto i = static_cast<std::size_t>(t * fs); i < x.size() && i < (t + d) * fs; ++i)
      x[i] += static_cast<float>(sd * std::sin(std::numbers::pi * (static_cast<double>(i) / fs - t) / d) * noise(rng));
  }
  return {std::move(ecg.recording), std::move(ecg.beatTimes)};
}

void negate(korvel::io::Recording& recording, int signal) {
  for (auto& record : recording.records)
    for (float& v : record.channels[static_cast<std::size_t>(signal)].samples) v = -v;
}

// What the tool does before it analyses a channel on automatic polarity: a channel whose
// beats point down is handed to the detector inverted.
korvel::io::Recording oriented(korvel::io::Recording recording, int signal) {
  const auto& samples = recording.records.at(0).channels.at(static_cast<std::size_t>(signal)).samples;
  if (korvel::signal::dominant_deflection(samples, recording.records[0].tick_interval_s) ==
      korvel::signal::Polarity::Negative)
    negate(recording, signal);
  return recording;
}

integration::DetectedBeats detect_with_polarity(korvel::io::Recording recording, int signal, int preset) {
  return integration::detect_beats(oriented(std::move(recording), signal), signal, preset);
}

TEST(RobustDetection, SyntheticPressureAndDownwardEcgAreDetectedBeatForBeatLiveAsOffline) {
  struct Case {
    const char* what;
    Synthetic signal;
    double window;  // s: on the lead whose QRS points down, tight enough to catch beats on the window's edge
  };
  Synthetic negative = human_ecg(600, 7, false);
  negate(negative.recording, 0);
  Case cases[] = {{"pressure", pressure_trace({0.8, 1.5, 0.14, 0.12}, 600, 3), 0.15},
                  {"pressure, slow decline and strong dicrotic wave", pressure_trace({0.9, 3, 0.3, 0.1}, 600, 5), 0.15},
                  {"pressure, fast and high between pulses", pressure_trace({0.55, 1.5, 0.3, 0.15}, 600, 6), 0.15},
                  {"noisy ECG", human_ecg(1200, 9, true), 0.15},
                  {"ECG whose QRS points down", std::move(negative), 0.025}};
  for (auto& [what, signal, window] : cases) {
    SCOPED_TRACE(what);
    const korvel::io::Recording analysed = oriented(signal.recording, 0);
    const auto offline = integration::detect_beats(analysed, 0, 0);
    const auto r = korvel_hrv::compare_beats(offline.times, signal.beats, window);
    std::printf("%s: TP %zu FN %zu FP %zu sensitivity %.2f %% positive predictivity %.2f %%\n", what, r.truePositives,
                r.falseNegatives, r.falsePositives, 100 * r.sensitivity(), 100 * r.positivePredictivity());
    EXPECT_GE(r.sensitivity(), 0.995);
    EXPECT_GE(r.positivePredictivity(), 0.995);
    for (const unsigned seed : {11u, 12u}) {
      const auto live = integration::detect_beats_while_sampling(analysed, 0, 0, 1e6, seed, 64 << seed % 4);
      ASSERT_EQ(live.events.size(), offline.events.size()) << "blocks of seed " << seed;
      for (std::size_t i = 0; i < live.events.size(); ++i)
        ASSERT_EQ(live.events[i].tick, offline.events[i].tick) << "beat " << i << ", blocks of seed " << seed;
    }
  }
}

// An inverted ECG must give the beats of the original: the host picks the deflection, so
// the sign of the lead cannot move a beat.
TEST(RobustDetection, InvertedEcgGivesTheSameBeats) {
  struct Case {
    const char* record;
    int preset;
  };
  for (const auto& [record, preset] : {Case{"mitdb/100", 0}, Case{"mitdb/103", 0}, Case{"mitdb/105", 0},
                                        Case{"mitdb/106", 0}, Case{"animal/Dog_example", 1},
                                        Case{"animal/Mouse_24", 4}, Case{"animal/Rabbit_example", 6},
                                        Case{"bp/mimicdb230_pcst", 0}, Case{"long/3975656_0006", 0}}) {
    SCOPED_TRACE(record);
    HRV_REQUIRE_SHARED(header, std::string(record) + ".hea");
    korvel::io::Recording recording = korvel::io::load_recording(header);
    korvel::io::Recording inverted = recording;
    negate(inverted, 0);
    const auto a = detect_with_polarity(std::move(recording), 0, preset);
    const auto b = detect_with_polarity(std::move(inverted), 0, preset);
    std::printf("%s: %zu beats, inverted %zu\n", record, a.events.size(), b.events.size());
    ASSERT_EQ(a.events.size(), b.events.size());
    for (std::size_t i = 0; i < a.events.size(); ++i)
      ASSERT_LE(std::abs(a.events[i].tick - b.events[i].tick), 2) << "beat " << i;
    const auto sd = [](const integration::DetectedBeats& beats) {
      std::vector<double> rr;
      for (std::size_t i = 1; i < beats.times.size(); ++i) rr.push_back(beats.times[i] - beats.times[i - 1]);
      const double mean = std::accumulate(rr.begin(), rr.end(), 0.0) / static_cast<double>(rr.size());
      double squares = 0;
      for (double v : rr) squares += (v - mean) * (v - mean);
      return std::sqrt(squares / static_cast<double>(rr.size() - 1));  // divisor n - 1
    };
    EXPECT_NEAR(sd(b), sd(a), 0.02 * sd(a));
  }
}

}  // namespace
