// SPDX-License-Identifier: MIT
#include "hrv/resources/string_table.h"

#include <algorithm>
#include <iterator>

namespace HRV {
namespace {

struct StringEntry {
  std::uint32_t id;
  std::string_view text;
};

// One line per text, in ascending id order (checked below).
constexpr StringEntry kStrings[] = {
    {1, "HRV"},
    {4, "Online data would be discontinuous with the existing analysis region.\r\n"
        "Do you wish to delete the current analysis region and continue sampling?"},
    // Species preset names; the preset list shows ids 18 to 26 in order, so that the list
    // position is the preset index.
    {18, "Human"},
    {19, "Large Dog"},
    {20, "Small Dog"},
    {21, "Guinea Pig"},
    {22, "Mouse"},
    {23, "Pig"},
    {24, "Rabbit"},
    {25, "Rat"},
    {26, "Custom"},
    // Menu items: each text is followed by two shorter forms of it, which the host shows as
    // the item's tool tip and status-line text.
    {27, "HRV"},
    {28, "HRV"},
    {29, "HRV"},
    {30, "&Settings..."},
    {31, "Settings"},
    {32, "Settings"},
    {33, "&Beat Classifier View"},
    {34, "Beat Classifier View"},
    {35, "Beat Classifier View"},
    {36, "&Report View"},
    {37, "Report View"},
    {38, "Report View"},
    {39, "Analysis Plots"},
    {40, "Analysis Plots"},
    {41, "Analysis Plots"},
    {42, "Analyze"},
    {43, "Analyze"},
    {44, "Analyze"},
    {45, "Tachogram Plot"},
    {46, "Tachogram Plot"},
    {47, "Tachogram Plot"},
    {48, "RR Histogram Plot"},
    {49, "RR Histogram Plot"},
    {50, "RR Histogram Plot"},
    {51, "Delta RR Histogram Plot"},
    {52, "Delta RR Histogram Plot"},
    {53, "Delta RR Histogram Plot"},
    {54, "Poincar\u00e9 Plot"},
    {55, "Poincar\u00e9 Plot"},
    {56, "Poincar\u00e9 Plot"},
    {57, "Power Spectrum Plot"},
    {58, "Power Spectrum Plot"},
    {59, "Power Spectrum Plot"},
    {60, "&Add Beat Marker"},
    {61, "Add Beat Marker"},
    {62, "Add Beat Marker"},
    {63, "&Delete Beat Marker"},
    {64, "Delete Beat Marker"},
    {65, "Delete Beat Marker"},
    {66, "&Show Beat Markers"},
    {67, "Show Beat Markers"},
    {68, "Show Beat Markers"},
    {69, "Classify all Beats as Normal"},
    {70, "Classify all Beats as Normal"},
    {71, "Classify all Beats as Normal"},
    {74, "Analyze &while Sampling"},
    {75, "Analyze while Sampling"},
    {76, "Analyze while Sampling"},
    {77, "Reselect Analyzed Data"},
    {78, "Reselect Analyzed Data"},
    {79, "Reselect Analyzed Data"},
    {80, "Clear Analysis"},
    {81, "Clear Analysis"},
    {82, "Clear Analysis"},
    // The Analyze item's text while the menu is shown, by data source.
    {83, "Analyze Channel"},
    {84, "Analyze Selection"},
};

consteval bool ids_ascending_and_texts_present() {
  for (std::size_t i = 0; i < std::size(kStrings); ++i) {
    if (kStrings[i].text.empty()) return false;
    if (i > 0 && kStrings[i - 1].id >= kStrings[i].id) return false;
  }
  return true;
}
static_assert(ids_ascending_and_texts_present(), "string table ids must ascend without repeats; texts must not be empty");

}  // namespace

std::string_view LoadString(std::uint32_t id) noexcept {
  const auto* it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                                    [](const StringEntry& e, std::uint32_t wanted) { return e.id < wanted; });
  return it != std::end(kStrings) && it->id == id ? it->text : std::string_view();
}

}  // namespace HRV
