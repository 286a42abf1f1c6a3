// SPDX-License-Identifier: MIT
#include "hrv/resources/string_table.h"

#include <gtest/gtest.h>

#include "hrv/detect/presets.h"

namespace {

TEST(StringTable, PresetNamesFollowPresetIndexOrder) {
  const char* names[] = {"Human", "Large Dog", "Small Dog", "Guinea Pig", "Mouse", "Pig", "Rabbit", "Rat", "Custom"};
  for (std::uint32_t index = 0; index < std::size(names); ++index)
    EXPECT_EQ(HRV::LoadString(HRV::kPresetNameStringId + index), names[index]) << "preset " << index;
  EXPECT_EQ(HRV::kPresetNameStringId + HRV::kCustomPreset, 26u);
}

TEST(StringTable, KnowsItsNameAndNothingBetweenEntries) {
  EXPECT_EQ(HRV::LoadString(1), "HRV");
  EXPECT_TRUE(HRV::LoadString(0).empty());
  EXPECT_TRUE(HRV::LoadString(0xFFFFFFFFu).empty());
}

}  // namespace
