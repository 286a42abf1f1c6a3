// SPDX-License-Identifier: MIT
// Computed channels: channels whose samples or events the host computes from an expression
// in its expression language, and the calculation objects attached to them.
// Threads: every operation is called on the host's user-interface thread.
#pragma once

#include <cstdint>

#include "sdk/host/channel_id.h"
#include "sdk/strings.h"
#include "sdk/unknown.h"

// An arithmetic calculation: one expression that defines a channel. Implemented by the host.
struct IArithmeticCalculation : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C050}");

  // Compiles `expression` against the document that created the calculation; `message`
  // (may be null or empty) is put in front of error texts. On failure (E_INVALIDARG) the
  // previous expression stays and `error` (out, may be null) receives a text that says what
  // is wrong and at which column. A calculation attached to a channel recomputes that
  // channel and every channel that depends on it.
  virtual HRESULT Initialise(const char16_t* expression, const char16_t* message, BSTR* error) = 0;
  // The expression (out); empty before the first successful Initialise. The host evaluates
  // any attached calculation through this text.
  virtual HRESULT GetExpression(BSTR* expression) = 0;

 protected:
  ~IArithmeticCalculation() = default;
};

// Resets what a calculation has computed so that it is evaluated afresh. Implemented by
// the host's calculations.
struct ICalculationReset : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{CA800C31-F889-11D3-80EE-00A0C9E26433}");

  // Drops what was computed; the next request evaluates afresh. Channels that depend on
  // the calculation's channel are reset as well.
  virtual HRESULT ResetCalculation() = 0;

 protected:
  ~ICalculationReset() = default;
};

// Implemented by the host. Names are unique per document. A computed channel's identity is
// (index, 4): its index is never that of a recorded channel and is not reused after a
// delete. Expressions name recorded channels "Ch1".."ChN" or "RCh1".."RChN" (index + 1)
// and computed channels by their names.
struct IComputedChannels : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{920CDDCC-3748-4EC1-83F8-59EFEE7ED007}");

  // S_FALSE and ChannelId::not_found() when no channel has that name.
  virtual HRESULT FindChannel(const char16_t* name, ChannelId* channel) = 0;
  // Creates an empty computed channel (out: its identity). E_INVALIDARG when the name is
  // taken, is not an identifier (a letter or '_', then letters, digits and '_') or reads as
  // a recorded channel ("Ch2", "rch1").
  virtual HRESULT CreateChannel(const char16_t* name, ChannelId* channel) = 0;
  // Deletes a computed channel with its calculation and its event displays; channels whose
  // expressions name it hold no data until it exists again. E_INVALIDARG for a recorded
  // channel or an unknown one.
  virtual HRESULT DeleteChannel(ChannelId channel) = 0;
  // The channel's host-side flag (a computed channel that the user may not edit).
  virtual HRESULT GetChannelFlag(ChannelId channel, VARIANT_BOOL* set) = 0;
  virtual HRESULT SetChannelFlag(ChannelId channel, VARIANT_BOOL set) = 0;
  // The name (out) under which expressions refer to `source`: "RCh<index+1>" for kind low
  // byte 1, the computed channel's name for low byte 4, "Ch<index+1>" otherwise.
  virtual HRESULT GetSourceName(ChannelId source, BSTR* name) = 0;
  // A new, unattached arithmetic calculation (out).
  virtual HRESULT CreateArithmeticCalculation(IArithmeticCalculation** calculation) = 0;
  // Attaches `calculation` (in) to a computed channel, replacing the previous one; null
  // detaches. The object must answer IArithmeticCalculation (an extension's calculation
  // may wrap one); the host evaluates its GetExpression text, read at attach time and again
  // whenever a calculation of the host's own is re-initialised or reset. E_INVALIDARG when
  // the expression does not compile or would make the channel depend on itself.
  virtual HRESULT SetCalculation(ChannelId channel, IUnknown* calculation) = 0;
  // Drawing the events of `eventChannel` as markers on recorded channel `targetIndex`.
  // Show and Hide answer S_FALSE when the display was already in that state.
  virtual HRESULT ShowEventsOn(ChannelId eventChannel, std::int32_t targetIndex) = 0;
  virtual HRESULT HideEventsOn(ChannelId eventChannel, std::int32_t targetIndex) = 0;
  virtual HRESULT IsShowingEventsOn(ChannelId eventChannel, std::int32_t targetIndex, VARIANT_BOOL* shown) = 0;

 protected:
  ~IComputedChannels() = default;
};

// The calculation attached to a channel. Implemented by the host.
struct IChannelCalculations : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{C2406F50-F163-11D2-8098-00A0C9E26433}");

  // `calculation` (out) is null with S_FALSE when the channel has none.
  virtual HRESULT GetCalculation(ChannelId channel, IUnknown** calculation) = 0;

 protected:
  ~IChannelCalculations() = default;
};
