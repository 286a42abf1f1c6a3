// SPDX-License-Identifier: MIT
#include "hrv/detect/presets.h"

namespace HRV {
namespace {

struct DetectorPreset {
  double window_sec, qrs_width_sec, min_period_sec, low_pass_hz;
};
struct ClassifierPreset {
  double min_rr_sec, max_rr_sec, min_ff, max_ff;
};
// Each band's lower edge is the previous band's upper edge, so four values give six edges.
struct SpectrumPreset {
  double max_frequency_hz, vlf_lf_hz, lf_hf_hz, hf_high_hz;
};

// Rows in preset-index order: Human, Large Dog, Small Dog, Guinea Pig, Mouse, Pig, Rabbit, Rat.
constexpr DetectorPreset kDetector[kSpeciesPresetCount] = {
    {5.0, 0.08, 0.3, 30}, {4.0, 0.06, 0.18, 30}, {3.5, 0.04, 0.15, 30}, {3.3, 0.035, 0.15, 60},
    {1.0, 0.01, 0.06, 150}, {3.7, 0.04, 0.2, 30}, {3.4, 0.035, 0.1, 60}, {1.5, 0.015, 0.1, 150},
};
constexpr ClassifierPreset kClassifier[kSpeciesPresetCount] = {
    {0.8, 1.2, 1.0, 1.5}, {0.5, 1.2, 1.0, 1.5},   {0.5, 1.2, 1.0, 1.5},  {0.35, 0.55, 1.1, 1.3},
    {0.09, 0.12, 0.9, 1.1}, {0.5, 1.2, 1.0, 1.5}, {0.25, 0.35, 1.1, 1.3}, {0.1, 0.2, 1.0, 1.8},
};
constexpr SpectrumPreset kSpectrum[kSpeciesPresetCount] = {
    {0.5, 0.04, 0.15, 0.45}, {0.5, 0.04, 0.15, 0.45}, {0.5, 0.04, 0.15, 0.45}, {3.0, 0.2, 0.75, 2.5},
    {5.0, 0.15, 1.5, 5.0},   {2.0, 0.01, 0.09, 2.0},  {2.0, 0.05, 0.15, 2.0},  {3.0, 0.2, 0.75, 2.5},
};

constexpr double kSpeciesNoise = 0.0;
constexpr double kSpeciesMinPeakHeightSD = 3.0;

bool is_species(std::int32_t index) { return index >= 0 && index < kSpeciesPresetCount; }

}  // namespace

bool ApplyPreset(SettingsFields& settings, std::int32_t index) {
  if (is_species(index)) {
    const DetectorPreset& p = kDetector[index];
    settings.WindowSec = p.window_sec;
    settings.QRSWidthSec = p.qrs_width_sec;
    settings.MinPeriodSec = p.min_period_sec;
    settings.LowPassHz = p.low_pass_hz;
  }
  settings.Preset = index;
  // Picking a species discards hand-tuned levelling; Custom keeps it.
  if (index != kCustomPreset) {
    settings.Noise = kSpeciesNoise;
    settings.MinPeakHeightSD = kSpeciesMinPeakHeightSD;
  }
  return true;
}

bool ApplyClassifierPreset(SettingsFields& settings, std::int32_t index) {
  if (index == kCustomPreset) return true;
  if (!is_species(index)) return false;
  const ClassifierPreset& p = kClassifier[index];
  settings.MinRR = p.min_rr_sec;
  settings.MaxRR = p.max_rr_sec;
  settings.MinFF = p.min_ff;
  settings.MaxFF = p.max_ff;
  return true;
}

bool ApplySpectrumPreset(SettingsFields& settings, std::int32_t index) {
  if (index == kCustomPreset) return true;
  if (!is_species(index)) return false;
  const SpectrumPreset& p = kSpectrum[index];
  settings.MaxFrequencyHz = p.max_frequency_hz;
  settings.VLFLowHz = 0.0;
  settings.VLFHighHz = p.vlf_lf_hz;
  settings.LFLowHz = p.vlf_lf_hz;
  settings.LFHighHz = p.lf_hf_hz;
  settings.HFLowHz = p.lf_hf_hz;
  settings.HFHighHz = p.hf_high_hz;
  return true;
}

}  // namespace HRV
