// SPDX-License-Identifier: MIT
// Channel calculations of extensions: a computed channel whose expression an extension
// builds from settings the user chose, the settings kept with the document; and the
// messages by which a document tells the host's chart how to draw a channel (guide lines
// at two values and the band between them). Calls come on the host's user-interface
// thread.
#pragma once

#include <cstdint>

#include "sdk/host/channel_id.h"
#include "sdk/stream.h"
#include "sdk/strings.h"
#include "sdk/unknown.h"

// Host category of channel calculation classes (IClassObjectInfo::GetCategory; the type id
// identifies the class).
inline constexpr GUID kChannelCalculationCategory = make_guid("{B0DA6844-9005-454C-A957-86B2BF555B41}");

// Implemented by the extension. The object also answers IArithmeticCalculation
// (sdk/host/computed_channels.h): the host evaluates the channel through its expression,
// the one built by the last ApplySettings, and reads it whenever it attaches the
// calculation to the channel.
struct IChannelCalculation : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{75144C41-BECF-4CEF-BB21-9BE002134102}");

  // Takes over the values of `settings` (in: an object of the calculation's own settings
  // class; GetSettings hands one out) and builds the channel's unit, default scale, title and
  // expression from them. The host attaches the calculation to its channel afterwards.
  // E_INVALIDARG for settings of another class, E_POINTER for null.
  virtual HRESULT ApplySettings(IUnknown* settings) = 0;
  // The calculation's settings object (out, AddRef'ed). The host saves its stream with the
  // document, and when it opens the document loads the stream into it and applies it.
  virtual HRESULT GetSettings(IPersistStreamInit** settings) = 0;
  // The channel's title, unit ("" for none) and default scale (out).
  virtual HRESULT GetTitle(BSTR* title) = 0;
  virtual HRESULT GetUnit(BSTR* unit) = 0;
  virtual HRESULT GetDefaultScale(double* top, double* bottom) = 0;
  // Class flags (out), passed through by the host.
  virtual HRESULT GetFlags(std::uint32_t* flags) = 0;

 protected:
  ~IChannelCalculation() = default;
};

// The class object of a channel calculation. Implemented by the extension and registered
// with the class-object registry, answering IClassObjectInfo with the category
// kChannelCalculationCategory. Plain CreateInstance answers E_NOTIMPL.
struct IChannelCalculationClass : IClassFactory {
  using base_interface = IClassFactory;
  static constexpr GUID iid = make_guid("{619E38D4-54CF-436C-BC1B-8517127970F1}");

  // A new calculation (out) for computed channel `channel` of the host document `document`
  // (in: the host document object), with default settings applied. E_POINTER for nulls.
  virtual HRESULT CreateCalculation(IUnknown* document, ChannelId channel, IChannelCalculation** calculation) = 0;

 protected:
  ~IChannelCalculationClass() = default;
};

// A framework message to the host's chart: a type and 32-bit fields. A double takes two
// fields, its low word first; a colour is 0x00RRGGBB; a text travels beside the fields.
struct ChartMessage {
  std::uint32_t type;
  std::uint32_t fieldCount;
  const std::uint32_t* fields;
  const char16_t* text;  // may be null
};

// Guide line `line` (1 or 2) of a channel. Fields: 0, 0x21122, channel index, line, shown
// (1 or 0), 1 or 0 (as shown), colour. 7 fields.
inline constexpr std::uint32_t kChartGuideLine = 0x800C0084u;
// The band between a channel's guide lines. Fields: 0, 0x2121212, channel index, shown (1
// or 0), then, when shown, colour, 0, 0, 1, colour, else five zeros. 9 fields.
inline constexpr std::uint32_t kChartGuideBand = 0x800C0085u;
// Where guide line `line` lies. Fields: channel index, line, value (a double); the text is
// the value's unit. 4 fields.
inline constexpr std::uint32_t kChartGuideValue = 0x800C0086u;

// Implemented by the host: the host document object answers it.
struct IChartMessageTarget : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{F48B35B5-0956-4E1E-B083-B64C3BAF556C}");

  // Takes `message` (in). E_INVALIDARG for a type the chart does not know, the wrong number
  // of fields for it, or a channel the document does not have; E_POINTER for null.
  virtual HRESULT SendChartMessage(const ChartMessage* message) = 0;

 protected:
  ~IChartMessageTarget() = default;
};
