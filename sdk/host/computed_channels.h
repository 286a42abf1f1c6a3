// SPDX-License-Identifier: MIT
// Computed channels: channels whose samples or events the host computes from an expression
// in its expression language, and the calculation objects attached to them.
#pragma once

#include <cstdint>

#include "sdk/host/channel_id.h"
#include "sdk/strings.h"
#include "sdk/unknown.h"

// An arithmetic calculation: one expression that defines a channel. Implemented by the host.
struct IArithmeticCalculation : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C050}");

  // Compiles `expression`; `message` is shown with errors. On failure `error` (out, may be
  // null) receives a text that says what is wrong and where.
  virtual HRESULT Initialise(const char16_t* expression, const char16_t* message, BSTR* error) = 0;
  virtual HRESULT GetExpression(BSTR* expression) = 0;

 protected:
  ~IArithmeticCalculation() = default;
};

// Resets what a calculation has computed so that it is evaluated afresh. Implemented by
// the host's calculations.
struct ICalculationReset : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{CA800C31-F889-11D3-80EE-00A0C9E26433}");

  virtual HRESULT ResetCalculation() = 0;

 protected:
  ~ICalculationReset() = default;
};

// Implemented by the host. Names are unique per document.
struct IComputedChannels : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{920CDDCC-3748-4EC1-83F8-59EFEE7ED007}");

  // S_FALSE and ChannelId::not_found() when no channel has that name.
  virtual HRESULT FindChannel(const char16_t* name, ChannelId* channel) = 0;
  // Creates an empty computed channel; fails when the name is taken.
  virtual HRESULT CreateChannel(const char16_t* name, ChannelId* channel) = 0;
  virtual HRESULT DeleteChannel(ChannelId channel) = 0;
  // The channel's host-side flag (a computed channel that the user may not edit).
  virtual HRESULT GetChannelFlag(ChannelId channel, VARIANT_BOOL* set) = 0;
  virtual HRESULT SetChannelFlag(ChannelId channel, VARIANT_BOOL set) = 0;
  // The name under which expressions refer to the source (index, kind).
  virtual HRESULT GetSourceName(ChannelId source, BSTR* name) = 0;
  // A new, unattached arithmetic calculation (out).
  virtual HRESULT CreateArithmeticCalculation(IArithmeticCalculation** calculation) = 0;
  // Attaches `calculation` (in; an IArithmeticCalculation or an extension's calculation)
  // to the channel, replacing the previous one; null detaches.
  virtual HRESULT SetCalculation(ChannelId channel, IUnknown* calculation) = 0;
  // Drawing the events of `eventChannel` as markers on channel `targetIndex`.
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
