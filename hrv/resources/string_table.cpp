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
