// SPDX-License-Identifier: MIT
// Tabulet functions: the columns of the host's Tabulet, a table whose rows are stretches of
// a document's data (a selection, a block, a stretch around an event) and whose cells are
// one function evaluated on one stretch. Calls come on the host's user-interface thread.
//
// For one cell the host calls SetDataSource, SetChannel and SetRange (each only when it
// changes what the function holds), then GetValue, or Calculate with the reason for the
// new calculation. GetName, GetUnit and GetNumberFormat may come at any time; ReleaseData
// when the column goes, before the host releases the function.
#pragma once

#include <cstdint>

#include "sdk/host/channel_id.h"
#include "sdk/strings.h"
#include "sdk/tick_position.h"
#include "sdk/unknown.h"
#include "sdk/variant.h"

// Host category of Tabulet function classes (IClassObjectInfo::GetCategory).
inline constexpr GUID kTabuletFunctionCategory = make_guid("{74C63E03-4A65-418C-90A4-4851CBBB8775}");

// Why Calculate is called.
enum TabuletReason : std::int32_t {
  kTabuletEverythingChanged = 0,
  kTabuletRangeChanged = 1,
  kTabuletSelectionChanged = 2,
};

// One column's function. Implemented by the extension.
struct ITabuletFunction : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{70D43ED2-258F-45A6-950F-640283804E50}");

  // The data the next calculations read (in): the IDocumentData object of a host document.
  // The function compares it with the data of the host document it was created for.
  // E_POINTER for null.
  virtual HRESULT SetDataSource(IUnknown* source) = 0;
  virtual HRESULT SetChannel(ChannelId channel) = 0;
  // The stretch from `start` to `end` (in); it is valid when neither record is 0x7FFFFFFF.
  virtual HRESULT SetRange(TickPosition start, TickPosition end) = 0;
  // Calculates on the data source, channel and range set, for `reason` (a TabuletReason),
  // and writes the value (out; a VARIANT the caller initialised, cleared by the function
  // before it writes). The result is the calculation's status: S_OK with a value; E_FAIL
  // without a data source, or when the stretch gives no value (the value is then empty);
  // E_ABORT when the calculation was cancelled.
  virtual HRESULT Calculate(std::int32_t reason, ChannelId channel, VARIANT* value) = 0;
  // The cell's value (out), calculated when needed. Only when the data source is the data
  // of the function's own host document; otherwise the value is emptied and the result is
  // E_FAIL, so that the cell stays empty.
  virtual HRESULT GetValue(VARIANT* value) = 0;
  // The function's name (out, caller frees).
  virtual HRESULT GetName(BSTR* name) = 0;
  // The unit of the value (out): a base unit ("s", "s²", "BPM", "" for none) and the
  // power of ten of the SI prefix the value is expressed in (-3 with "s": milliseconds;
  // 0: no prefix).
  virtual HRESULT GetUnit(BSTR* unit, std::int32_t* prefixExponent) = 0;
  // How the host shows the value (out): "General", "0.0###" (at least one decimal, at most
  // four) or "HH:mm:ss.00" (a time of day in seconds).
  virtual HRESULT GetNumberFormat(BSTR* format) = 0;
  // The function's 32-bit type id (out): module id << 16 | local number.
  virtual HRESULT GetTypeId(std::uint32_t* typeId) = 0;
  // Drops the data references and what was calculated.
  virtual HRESULT ReleaseData() = 0;

 protected:
  ~ITabuletFunction() = default;
};

// The class object of a Tabulet function. Implemented by the extension and registered with
// the class-object registry, answering IClassObjectInfo with the category
// kTabuletFunctionCategory, its menu name as display name and its key as internal name.
// Plain CreateInstance answers E_NOTIMPL.
struct ITabuletFunctionClass : IClassFactory {
  using base_interface = IClassFactory;
  static constexpr GUID iid = make_guid("{9A86E2F4-3AC7-477F-845C-44A5CC15C66A}");

  // A new function (out) for the host document `document` (in: the host document object,
  // which answers IHostDocument and IExtensionDocuments). E_FAIL and null for a null
  // document or a non-zero `reserved`; E_POINTER for a null `function`.
  virtual HRESULT CreateFunction(IUnknown* document, std::int32_t reserved, ITabuletFunction** function) = 0;
  // Position in the host's list of functions (out).
  virtual HRESULT GetListPosition(std::int32_t* position) = 0;
  // The description shown with the menu name, and the column titles, long and short (out,
  // caller frees).
  virtual HRESULT GetDescription(BSTR* description) = 0;
  virtual HRESULT GetTitles(BSTR* title, BSTR* shortTitle) = 0;

 protected:
  ~ITabuletFunctionClass() = default;
};
