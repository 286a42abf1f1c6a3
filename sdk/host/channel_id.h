// SPDX-License-Identifier: MIT
// A host channel's identity: its index and a kind word.
// Threads: a plain value; any thread.
#pragma once

#include <cstdint>

struct ChannelId {
  static constexpr std::int32_t kNotFoundIndex = static_cast<std::int32_t>(0x80000000u);
  static constexpr std::int32_t kDefaultKind = static_cast<std::int32_t>(0xC0000000u);

  // The kind word. Its low byte says how the channel is referenced in an expression; its top
  // bit is a flag of the host's that means nothing to a data query and is masked off there.
  static constexpr std::int32_t kReferenceMask = 0xFF;
  static constexpr std::int32_t kRawReference = 1;       // a recorded channel, written "RCh<n>"
  static constexpr std::int32_t kComputedReference = 4;  // a computed channel, written by its name
  // Any other low byte: a channel written "Ch<n>".
  static constexpr std::int32_t kKindFlag = static_cast<std::int32_t>(0x80000000u);

  std::int32_t index = kNotFoundIndex;
  std::int32_t kind = kDefaultKind;

  constexpr bool found() const noexcept { return index != kNotFoundIndex; }
  constexpr std::int32_t reference() const noexcept { return kind & kReferenceMask; }
  // The identity to hand to data queries (sample interval, colour, has-data): the kind
  // without its flag bit.
  constexpr ChannelId for_data() const noexcept { return {index, kind & ~kKindFlag}; }
  static constexpr ChannelId not_found() noexcept { return {}; }
  friend constexpr bool operator==(const ChannelId&, const ChannelId&) noexcept = default;
};
static_assert(sizeof(ChannelId) == 8);
