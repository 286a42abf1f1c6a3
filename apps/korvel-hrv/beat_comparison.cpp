// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/beat_comparison.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>

#include "korvel/io/wfdb_annotations.h"

namespace korvel_hrv {

double BeatComparison::sensitivity() const {
  const std::size_t n = truePositives + falseNegatives;
  return n == 0 ? std::numeric_limits<double>::quiet_NaN() : static_cast<double>(truePositives) / n;
}

double BeatComparison::positivePredictivity() const {
  const std::size_t n = truePositives + falsePositives;
  return n == 0 ? std::numeric_limits<double>::quiet_NaN() : static_cast<double>(truePositives) / n;
}

BeatComparison compare_beats(std::vector<double> detected, std::vector<double> reference, double window) {
  std::sort(detected.begin(), detected.end());
  std::sort(reference.begin(), reference.end());
  // Every pair within the window; the lists are sorted, so each reference needs only the
  // detected beats inside its window.
  std::vector<std::tuple<double, std::size_t, std::size_t>> pairs;  // |offset|, reference, detected
  std::size_t first = 0;
  for (std::size_t r = 0; r < reference.size(); ++r) {
    while (first < detected.size() && detected[first] < reference[r] - window) ++first;
    for (std::size_t d = first; d < detected.size() && detected[d] <= reference[r] + window; ++d)
      pairs.emplace_back(std::abs(detected[d] - reference[r]), r, d);
  }
  std::sort(pairs.begin(), pairs.end());
  std::vector<bool> referenceUsed(reference.size()), detectedUsed(detected.size());
  std::vector<double> offsets;
  for (const auto& [distance, r, d] : pairs) {
    if (referenceUsed[r] || detectedUsed[d]) continue;
    referenceUsed[r] = detectedUsed[d] = true;
    offsets.push_back(detected[d] - reference[r]);
  }
  BeatComparison result;
  result.truePositives = offsets.size();
  result.falseNegatives = reference.size() - offsets.size();
  result.falsePositives = detected.size() - offsets.size();
  result.medianOffsetSec = std::numeric_limits<double>::quiet_NaN();
  if (!offsets.empty()) {
    std::sort(offsets.begin(), offsets.end());
    const std::size_t n = offsets.size();
    result.medianOffsetSec = n % 2 ? offsets[n / 2] : 0.5 * (offsets[n / 2 - 1] + offsets[n / 2]);
  }
  return result;
}

namespace {

std::vector<double> read_csv_times(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) throw std::runtime_error(file.string() + ": cannot open the file");
  std::string line;
  if (!std::getline(in, line)) throw std::runtime_error(file.string() + ": the file is empty");
  std::vector<std::string> header;
  {
    std::stringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, ',')) header.push_back(cell);
  }
  const auto column = std::find(header.begin(), header.end(), "time_s");
  if (column == header.end()) throw std::runtime_error(file.string() + ": no time_s column in the header");
  const std::size_t index = static_cast<std::size_t>(column - header.begin());
  std::vector<double> times;
  std::size_t number = 1;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty()) continue;
    std::stringstream cells(line);
    std::string cell;
    for (std::size_t i = 0; i <= index; ++i)
      if (!std::getline(cells, cell, ','))
        throw std::runtime_error(file.string() + ": line " + std::to_string(number) + " has too few columns");
    try {
      std::size_t used = 0;
      times.push_back(std::stod(cell, &used));
      if (used != cell.size()) throw std::invalid_argument(cell);
    } catch (const std::logic_error&) {
      throw std::runtime_error(file.string() + ": line " + std::to_string(number) + ": time_s is not a number");
    }
  }
  return times;
}

// What a file of beats is, by its content: text whose first line names a time_s column is
// a beats.csv; a WFDB annotation file is binary and ends with its zero end word.
enum class BeatFile { BeatsCsv, Annotations, Other };

BeatFile kind_of(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error(file.string() + ": cannot open the file");
  std::string first;
  std::getline(in, first);
  if (first.find("time_s") != std::string::npos && first.find('\0') == std::string::npos) return BeatFile::BeatsCsv;
  in.clear();
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 2 || size % 2 != 0) return BeatFile::Other;
  char end[2];
  in.seekg(size - 2);
  in.read(end, 2);
  return in && end[0] == 0 && end[1] == 0 ? BeatFile::Annotations : BeatFile::Other;
}

}  // namespace

std::vector<double> read_beat_times(const std::filesystem::path& file) {
  switch (kind_of(file)) {
    case BeatFile::BeatsCsv: return read_csv_times(file);
    case BeatFile::Annotations: break;
    case BeatFile::Other:
      throw std::runtime_error(file.string() +
                               ": neither a WFDB annotation file (such as 100.atr) nor a beats.csv with a time_s column");
  }
  const korvel::io::AnnotationSet set = korvel::io::read_wfdb_annotations(file);
  if (set.time_base_hz <= 0) throw std::runtime_error(file.string() + ": the annotations have no time base");
  std::vector<double> times;
  for (const auto& a : korvel::io::beat_annotations(set.annotations)) times.push_back(a.time / set.time_base_hz);
  return times;
}

}  // namespace korvel_hrv
