// SPDX-License-Identifier: MIT
// The power spectrum of the RR series: a Lomb-Scargle periodogram evaluated directly on the
// unevenly spaced beat times (nothing is resampled), with the linear trend removed and an
// optional taper, and the band powers summed from its bins. Everything is in SI units: RR
// in seconds, frequencies in hertz, powers in s².
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace HRV {

// Taper selector (the WindowFunction setting). x runs from 0 at the first beat to 1 at the
// last, by time: x = (t_i - t_0) / (t_last - t_0). Any other value means no taper.
enum class Taper : std::uint32_t {
  None = 0,        // 1
  Triangular = 1,  // 1 - 2|x - 0.5|
  Hamming = 2,     // 0.54 - 0.46 cos 2πx
  Blackman = 3,    // 0.42 - 0.5 cos 2πx + 0.08 cos 4πx
  Welch = 4,       // 1 - (2|x - 0.5|)²
  Hann = 5,        // 0.5 - 0.5 cos 2πx
};

struct PowerSpectrum {
  double df = 0.0;               // frequency step, Hz
  std::int32_t firstBin = 1;     // bin k holds the frequency (k + firstBin) × df; never 0 Hz
  std::vector<double> power;     // periodogram value P_k of each bin, s² (not a density)
  double totalPower = 0.0;       // s², all bins
  double vlfPower = 0.0;         // s²
  double lfPower = 0.0;          // s²
  double hfPower = 0.0;          // s²

  double frequency(std::size_t bin) const noexcept { return (static_cast<double>(bin) + firstBin) * df; }
};

// Prepares the grid df, 2·df, ..., count·df with df = fmax / count: the power array gets
// `count` bins. A count of 0 leaves the spectrum untouched.
void set_up_grid(PowerSpectrum& spectrum, std::uint32_t count, double fmax);

// Least-squares line y = meanValue + slope·(t - meanTime), held about the means so that
// residuals on a 24-hour time axis keep their digits.
struct LinearTrend {
  double meanTime = 0.0;   // s
  double meanValue = 0.0;  // unit of y
  double slope = 0.0;      // unit of y per second
  bool fitted = false;     // false: nothing is subtracted, not even the mean

  double at(double t) const noexcept { return fitted ? meanValue + slope * (t - meanTime) : 0.0; }
  double intercept() const noexcept { return fitted ? meanValue - slope * meanTime : 0.0; }
};

// Fits the trend of values over times. The fit fails with fewer than 2 points, or when the
// spread of times (Stt) or of values (Syy), as unscaled sums of squared deviations, is at
// most the double's machine epsilon: a constant series keeps its mean.
LinearTrend fit_trend(std::span<const double> values, std::span<const double> times);

// The taper weights for the beats at `times`, rescaled so that their mean square is 1.
// When every weight is 0 (two beats under a taper that vanishes at both ends) they stay 0.
std::vector<double> taper_weights(std::uint32_t window, std::span<const double> times);

// Fills spectrum.power with the Lomb-Scargle periodogram of the n values (RR, s) at the
// beat times (s) on the grid of set_up_grid(count, fmax). The values are detrended
// (fit_trend) and tapered (taper_weights); each bin is
//   P_k = (YC² / CC + YS² / SS) / n
// with the projections taken at the phase τ that decouples the cosine and sine terms. No
// division by the variance and no factor ½: P_k keeps the unit of y² (s²). A projection
// with a zero denominator adds nothing. Returns false, changing nothing, when count is 0.
bool LombScargle(std::uint32_t window, std::span<const double> values, std::span<const double> times,
                 PowerSpectrum& spectrum, std::uint32_t count, double fmax);

// Power in the band [low, high] Hz, s²: df × duration × the sum of the bins from
// i_lo = floor(low / df - firstBin + 0.5) up to, excluding, i_hi = ceil(high / df -
// firstBin + 0.5), both clamped to [0, N]. A bin that lies on a band edge counts in the
// bands on both sides of it. `duration` is the span of the beat times, s.
double BandPower(const PowerSpectrum& spectrum, double low, double high, double duration);

}  // namespace HRV
