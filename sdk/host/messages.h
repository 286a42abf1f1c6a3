// SPDX-License-Identifier: MIT
// Framework messages between a host document and an extension's document: the messages an
// extension sends to the host (open a view, a macro command to record and deliver back),
// and the notifications the host sends to every extension document about its data.
//
// Message types are 32-bit. The host's own framework messages have fixed types. The types
// of notification families and of an extension's macro messages are built like every
// other type id: the module id the host assigns to the family's identifier
// (IApplication::GetModuleId) in the high 16 bits, a number in the low 16 bits.
#pragma once

#include <cstdint>

#include "sdk/guid.h"
#include "sdk/unknown.h"

// One message. The layout of `args` depends on the type; unused arguments are 0.
struct HostMessage {
  std::uint32_t type;
  std::int32_t args[4];
  IUnknown* object;  // an object argument, borrowed for the call; may be null
};

// Sent by an extension (IHostDocument::SendMessage). args {0, 4, view type id}: the host
// creates or activates a view of the class that registered that view type id.
inline constexpr std::uint32_t kMessageOpenView = 0x80010000u;
// Sent by an extension's view to have the host copy or print it. No arguments.
inline constexpr std::uint32_t kMessageCopy = 0x80010008u;
inline constexpr std::uint32_t kMessagePrint = 0x8001000Bu;

// Sent by the host to a document once it is attached to its host document and the
// persisted items are loaded or initialised. args[0] and args[1] both carry the host
// document's identity (IHostDocument::GetIdentity).
inline constexpr std::uint32_t kMessageDocumentAttached = 0x80000000u;

// Notifications about the document's data (module id of this family << 16 | number).
inline constexpr GUID kDataNotificationFamily = make_guid("{3A7D80F0-59D6-11D3-80AE-005004AD3C53}");
enum DataNotification : std::uint16_t {
  // Records were added, removed or reordered. No arguments.
  kDataStructureChanged = 4,
  // A channel's calculation was set, replaced or removed. args {channel index, channel
  // kind, 0, 0}; `object` is the channel's calculation, null when it has none any more.
  kChannelCalculationChanged = 6,
  // Samples were changed (14) or removed (16) from a position on. args {first tick, first
  // record, channel index or -1 for every channel, last record}.
  kDataChanged = 14,
  kDataRemoved = 16,
  // A channel's settings changed (20) or the channel was deleted (22). args {channel index}.
  kChannelChanged = 20,
  kChannelRemoved = 22,
};

// Notifications that the host's own document framework handles (module id of this family
// << 16 | number 5, 6 or 7). An extension document answers S_FALSE to leave them to the
// host.
inline constexpr GUID kFrameworkNotificationFamily = make_guid("{659C39BA-EB97-4486-842E-10E185D5C17A}");

// Receives messages. Implemented by the extension's document; the host finds it with
// QueryInterface on the object the document class created. Called on the host's
// user-interface thread.
struct IMessageSink : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{5E0B7C22-91A4-4C3E-8D17-6A2F4B9E0C31}");

  // `message` (in). S_OK when the document handled the message (also when it decided to do
  // nothing, e.g. a command while the host samples), S_FALSE when it has no handler for the
  // type, E_POINTER for null.
  virtual HRESULT OnMessage(const HostMessage* message) = 0;

 protected:
  ~IMessageSink() = default;
};
