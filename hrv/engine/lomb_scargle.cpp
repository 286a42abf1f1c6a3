// SPDX-License-Identifier: MIT
#include "lomb_scargle.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <complex>
#include <limits>
#include <numbers>

#include "fourier_sums.h"

namespace HRV {

namespace {

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Sums over the beats of one bin. Σs² is not kept: it is n - Σc², as c² + s² = 1.
struct BinSums {
  double zc = 0.0;  // Σ z·cos
  double zs = 0.0;  // Σ z·sin
  double cc = 0.0;  // Σ cos²
  double cs = 0.0;  // Σ cos·sin
};

// The sums of every bin k (frequency (k + 1)·df) over all beats, from two families of
// trigonometric sums over the beats' phases in turns of df: B_m = Σ z·e^{2πi·m·u} gives
// Σ z·cos and Σ z·sin, and A_m = Σ e^{2πi·m·u} gives Σ cos² = (n + Re A_2m)/2 and
// Σ cos·sin = Im A_2m / 2. Both come from one set of sums with the complex weights 1 + i·z/s:
// as the weights' parts are real, S_m = A_m + i·B_m/s and conj(S_-m) = A_m - i·B_m/s. The
// scale s, z's root mean square, gives both parts the same size, so that the sums' error,
// a fraction of Σ|weight|, is as small against B as against A.
// The periodogram does not change when all times are shifted by one constant (the phase τ
// absorbs it), so the phases are taken about the middle of the series: they stay half as
// large, and so does their rounding.
std::vector<BinSums> bin_sums(std::span<const double> z, std::span<const double> times, std::size_t bins,
                              double df) {
  std::vector<BinSums> sums(bins);
  const std::size_t n = z.size();
  if (n == 0) return sums;
  const double reference = 0.5 * (times.front() + times.back());
  double squares = 0.0;
  for (const double v : z) squares += v * v;
  const double s = squares > 0.0 ? std::sqrt(squares / static_cast<double>(n)) : 1.0;
  std::vector<double> turns(n);
  std::vector<std::complex<double>> weights(n);
  for (std::size_t i = 0; i < n; ++i) {
    turns[i] = df * (times[i] - reference);
    weights[i] = {1.0, z[i] / s};
  }
  const std::size_t K = 2 * bins;
  const std::vector<std::complex<double>> S = fourier_sums(turns, weights, K);
  const auto at = [&](std::size_t m, int sign) { return S[K + sign * static_cast<std::ptrdiff_t>(m)]; };
  for (std::size_t bin = 0; bin < bins; ++bin) {
    const std::size_t m = bin + 1;
    const std::complex<double> b = (at(m, 1) - std::conj(at(m, -1))) * std::complex<double>(0.0, -0.5 * s);
    const std::complex<double> a2 = 0.5 * (at(2 * m, 1) + std::conj(at(2 * m, -1)));
    sums[bin] = {b.real(), b.imag(), 0.5 * (static_cast<double>(n) + a2.real()), 0.5 * a2.imag()};
  }
  return sums;
}

// num² / den, or nothing when the projection has no extent.
double projection_power(double num, double den) noexcept { return den > 0.0 ? num * num / den : 0.0; }

double taper_weight(std::uint32_t window, double x) noexcept {
  switch (static_cast<Taper>(window)) {
    case Taper::Triangular: return 1.0 - 2.0 * std::abs(x - 0.5);
    case Taper::Hamming: return 0.54 - 0.46 * std::cos(kTwoPi * x);
    case Taper::Blackman: return 0.42 - 0.5 * std::cos(kTwoPi * x) + 0.08 * std::cos(2.0 * kTwoPi * x);
    case Taper::Welch: {
      const double u = 2.0 * std::abs(x - 0.5);
      return 1.0 - u * u;
    }
    case Taper::Hann: return 0.5 - 0.5 * std::cos(kTwoPi * x);
    case Taper::None: break;
  }
  return 1.0;
}

// Bin index for a band edge: the rounding rule of BandPower, computed in double and clamped
// to [0, bins] before the conversion so that any edge (even far outside) is safe.
std::size_t edge_bin(double value, std::size_t bins) noexcept {
  if (!(value > 0.0)) return 0;  // also NaN
  if (value >= static_cast<double>(bins)) return bins;
  return static_cast<std::size_t>(value);
}

}  // namespace

void set_up_grid(PowerSpectrum& spectrum, std::uint32_t count, double fmax) {
  if (count == 0) return;
  spectrum.power.resize(count);
  spectrum.df = fmax / count;
  spectrum.firstBin = 1;
}

LinearTrend fit_trend(std::span<const double> values, std::span<const double> times) {
  LinearTrend trend;
  const std::size_t n = values.size();
  if (n < 2) return trend;
  double sumT = 0.0, sumY = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    sumT += times[i];
    sumY += values[i];
  }
  const double meanT = sumT / n, meanY = sumY / n;
  // Sums of squared deviations, taken about the means: the same Stt, Syy and Sty as
  // Σt² - n·t̄² and friends, without their cancellation on a long time axis.
  double stt = 0.0, syy = 0.0, sty = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double dt = times[i] - meanT, dy = values[i] - meanY;
    stt += dt * dt;
    syy += dy * dy;
    sty += dt * dy;
  }
  if (std::abs(stt) <= kEpsilon || std::abs(syy) <= kEpsilon) return trend;
  trend.meanTime = meanT;
  trend.meanValue = meanY;
  trend.slope = sty / stt;
  trend.fitted = true;
  return trend;
}

std::vector<double> taper_weights(std::uint32_t window, std::span<const double> times) {
  const std::size_t n = times.size();
  std::vector<double> w(n, 1.0);
  if (n == 0) return w;
  const double span = times.back() - times.front();
  double sumSquares = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double x = span > 0.0 ? (times[i] - times.front()) / span : 0.0;
    w[i] = taper_weight(window, x);
    sumSquares += w[i] * w[i];
  }
  if (sumSquares > 0.0) {
    const double scale = 1.0 / std::sqrt(sumSquares / n);
    for (double& x : w) x *= scale;
  }
  return w;
}

bool LombScargle(std::uint32_t window, std::span<const double> values, std::span<const double> times,
                 PowerSpectrum& spectrum, std::uint32_t count, double fmax) {
  if (count == 0) return false;
  set_up_grid(spectrum, count, fmax);
  const std::size_t n = std::min(values.size(), times.size());
  values = values.first(n);
  times = times.first(n);

  const LinearTrend trend = fit_trend(values, times);
  std::vector<double> z = taper_weights(window, times);
  for (std::size_t i = 0; i < n; ++i) z[i] *= (values[i] - trend.at(times[i]));

  if (spectrum.df == 0.0 || !std::isfinite(spectrum.df)) {  // no frequency to project on
    std::fill(spectrum.power.begin(), spectrum.power.end(), 0.0);
    return true;
  }
  const std::vector<BinSums> sums = bin_sums(z, times, count, spectrum.df);
  for (std::size_t k = 0; k < count; ++k) {
    const BinSums& b = sums[k];
    const double ss = static_cast<double>(n) - b.cc;
    // Phase ωτ = ½·atan(2Σcs / (Σc² - Σs²)); the one-argument arc tangent, as a τ a quarter
    // turn away gives the same power. 0/0 (no preferred phase) takes τ = 0.
    const double num = 2.0 * b.cs, den = b.cc - ss;
    const double wt = (num == 0.0 && den == 0.0) ? 0.0 : 0.5 * std::atan(num / den);
    const double C = std::cos(wt), S = std::sin(wt);
    const double yc = C * b.zc + S * b.zs;
    const double ys = C * b.zs - S * b.zc;
    const double cc = C * C * b.cc + 2.0 * C * S * b.cs + S * S * ss;
    const double sn = C * C * ss - 2.0 * C * S * b.cs + S * S * b.cc;
    spectrum.power[k] = n > 0 ? (projection_power(yc, cc) + projection_power(ys, sn)) / n : 0.0;
  }
  return true;
}

double BandPower(const PowerSpectrum& spectrum, double low, double high, double duration) {
  const std::size_t bins = spectrum.power.size();
  if (!(spectrum.df > 0.0) || bins == 0) return 0.0;
  const std::size_t lo = edge_bin(std::floor(low / spectrum.df - spectrum.firstBin + 0.5), bins);
  const std::size_t hi = edge_bin(std::ceil(high / spectrum.df - spectrum.firstBin + 0.5), bins);
  double sum = 0.0;
  for (std::size_t i = lo; i < hi; ++i) sum += spectrum.power[i];
  return spectrum.df * duration * sum;
}

}  // namespace HRV
