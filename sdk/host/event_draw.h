// SPDX-License-Identifier: MIT
// Event draw classes: how the host's chart draws the events of one event type as markers
// on a channel, and the one-line comment it shows when the user points at a marker. The
// host finds the class registered for an event's type id and asks it for each marker it
// draws. Calls come on the host's user-interface thread.
#pragma once

#include <cstdint>

#include "sdk/strings.h"
#include "sdk/unknown.h"

// Host category of event draw classes (IClassObjectInfo::GetCategory).
inline constexpr GUID kEventDrawCategory = make_guid("{6B0F3E2A-5C47-4D8E-9A31-0E7D2C5B8F14}");

// Colour and comment of one event. Implemented by the extension on its event draw class.
// `event` (in) points at one event record of the class's type, as the event's enumerator
// yields it (it begins with a CalcEventHeader, sdk/host/calc_enumerator.h).
struct IEventDrawPolicy : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{2DE99796-4D8F-4666-97C0-4F6F7203229E}");

  // The marker's colour (out) as a COLORREF, 0x00BBGGRR. `hostArgument` is the host's and
  // passed through. E_FAIL for a null `event`, E_POINTER for a null `colour`.
  virtual HRESULT GetColour(std::int32_t hostArgument, const void* event, std::uint32_t* colour) = 0;
  // The marker's comment (out, caller frees). The five host arguments are the host's and
  // passed through. E_FAIL for a null `event`, E_POINTER for a null `text`.
  virtual HRESULT GetText(std::int32_t a1, std::int32_t a2, std::int32_t a3, std::int32_t a4, std::int32_t a5,
                          const void* event, BSTR* text) = 0;

 protected:
  ~IEventDrawPolicy() = default;
};

// The class object of an event draw class. Implemented by the extension and registered with
// the class-object registry, answering IClassObjectInfo with the category kEventDrawCategory
// and the event type id as its type id; the same object answers IEventDrawPolicy. Plain
// CreateInstance answers E_NOTIMPL: the class itself draws.
struct IEventDrawClass : IClassFactory {
  using base_interface = IClassFactory;
  static constexpr GUID iid = make_guid("{2EC7CEA3-1D34-11D2-B333-008048C36FE8}");

  // The 32-bit type id (out) of the events the class draws: module id << 16 | local number.
  virtual HRESULT GetTypeId(std::uint32_t* typeId) = 0;
  // Drawing options (out) the host passes through; 0 for none.
  virtual HRESULT GetOptions(std::int32_t* options) = 0;
  // The class name (out; a string already in `name` is freed first).
  virtual HRESULT GetName(BSTR* name) = 0;
  // Whether the class draws events on channels of `kind` (the host's numbering): 1 yes, 0
  // no. Not an HRESULT.
  virtual std::int32_t CanDraw(std::int32_t kind) = 0;

 protected:
  ~IEventDrawClass() = default;
};
