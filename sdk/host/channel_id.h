// SPDX-License-Identifier: MIT
// A host channel's identity: its index and a kind word.
#pragma once

#include <cstdint>

struct ChannelId {
  static constexpr std::int32_t kNotFoundIndex = static_cast<std::int32_t>(0x80000000u);
  static constexpr std::int32_t kDefaultKind = static_cast<std::int32_t>(0xC0000000u);

  std::int32_t index = kNotFoundIndex;
  // Low byte: how the channel is referenced (1 raw channel "RCh", 4 computed channel by
  // name, anything else "Ch"); the top bit is a flag masked off for data queries.
  std::int32_t kind = kDefaultKind;

  constexpr bool found() const noexcept { return index != kNotFoundIndex; }
  static constexpr ChannelId not_found() noexcept { return {}; }
  friend constexpr bool operator==(const ChannelId&, const ChannelId&) noexcept = default;
};
static_assert(sizeof(ChannelId) == 8);
