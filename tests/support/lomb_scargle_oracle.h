// SPDX-License-Identifier: MIT
// A direct Lomb-Scargle periodogram, written to be obviously right rather than fast: one
// sine and cosine per beat and frequency, everything in long double, the beat times used
// as they are. The fast periodogram is checked against it; the benchmark measures both.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>
#include <vector>

namespace test_support {

inline long double oracle_taper(std::uint32_t window, long double x) {
  const long double pi = std::numbers::pi_v<long double>;
  switch (window) {
    case 1: return 1 - 2 * std::fabs(x - 0.5L);
    case 2: return 0.54L - 0.46L * std::cos(2 * pi * x);
    case 3: return 0.42L - 0.5L * std::cos(2 * pi * x) + 0.08L * std::cos(4 * pi * x);
    case 4: return 1 - (2 * std::fabs(x - 0.5L)) * (2 * std::fabs(x - 0.5L));
    case 5: return 0.5L - 0.5L * std::cos(2 * pi * x);
    default: return 1;
  }
}

// P_k in the unit of y², for the bins (k + 1) × fmax / count, k = 0 ... count - 1.
inline std::vector<double> direct_lomb_scargle(std::uint32_t window, std::span<const double> y,
                                               std::span<const double> t, std::uint32_t count, double fmax) {
  const std::size_t n = y.size();
  std::vector<double> power(count, 0.0);

  // Least-squares line, with the sums of squared deviations about the means.
  long double meanT = 0, meanY = 0;
  for (std::size_t i = 0; i < n; ++i) {
    meanT += t[i];
    meanY += y[i];
  }
  if (n > 0) {
    meanT /= n;
    meanY /= n;
  }
  long double stt = 0, syy = 0, sty = 0;
  for (std::size_t i = 0; i < n; ++i) {
    stt += (t[i] - meanT) * (t[i] - meanT);
    syy += (y[i] - meanY) * (y[i] - meanY);
    sty += (t[i] - meanT) * (y[i] - meanY);
  }
  const long double eps = 2.220446049250313e-16L;
  const bool fitted = n >= 2 && std::fabs(stt) > eps && std::fabs(syy) > eps;
  const long double slope = fitted ? sty / stt : 0;

  // Taper weights with mean square 1 (all zero stays all zero).
  std::vector<long double> w(n);
  long double sumSquares = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const long double span = static_cast<long double>(t[n - 1]) - t[0];
    const long double x = span > 0 ? (t[i] - static_cast<long double>(t[0])) / span : 0;
    w[i] = oracle_taper(window, x);
    sumSquares += w[i] * w[i];
  }
  std::vector<long double> z(n);
  for (std::size_t i = 0; i < n; ++i) {
    const long double trend = fitted ? meanY + slope * (t[i] - meanT) : 0;
    const long double weight = sumSquares > 0 ? w[i] / std::sqrt(sumSquares / n) : w[i];
    z[i] = (y[i] - trend) * weight;
  }

  const double df = fmax / count;
  for (std::uint32_t k = 0; k < count; ++k) {
    const long double omega = 2 * std::numbers::pi_v<long double> * (k + 1) * static_cast<long double>(df);
    if (omega == 0 || n == 0) continue;
    long double zc = 0, zs = 0, cs = 0, cc = 0, ss = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const long double c = std::cos(omega * t[i]), s = std::sin(omega * t[i]);
      zc += z[i] * c;
      zs += z[i] * s;
      cs += c * s;
      cc += c * c;
      ss += s * s;
    }
    const long double wt = (cs == 0 && cc == ss) ? 0 : 0.5L * std::atan(2 * cs / (cc - ss));
    const long double C = std::cos(wt), S = std::sin(wt);
    const long double yc = C * zc + S * zs, ys = C * zs - S * zc;
    const long double ccT = C * C * cc + 2 * C * S * cs + S * S * ss;
    const long double ssT = C * C * ss - 2 * C * S * cs + S * S * cc;
    const long double p = (ccT > 0 ? yc * yc / ccT : 0) + (ssT > 0 ? ys * ys / ssT : 0);
    power[k] = static_cast<double>(p / n);
  }
  return power;
}

}  // namespace test_support
