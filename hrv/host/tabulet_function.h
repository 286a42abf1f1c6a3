// SPDX-License-Identifier: MIT
// One Tabulet function: a column of the host's table whose cells are one HRV value over
// the cell's stretch of data. Each function takes the analysis of the stretch with the
// document's current settings (the stretch as the analysis region), which the functions of
// one row share through the document, and reports one value of it. What differs between
// the functions (which value, its unit, how it is shown) is a TabuletFunctionInfo; the list
// of them is tabulet_functions.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <variant>

#include "hrv/core/stretch_results.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/application.h"
#include "sdk/host/host_document.h"
#include "sdk/host/tabulet.h"

namespace HRV {

class Document;

// A cell value: the beat counts are 32-bit integers, every other value a double.
using TabuletValue = std::variant<std::int32_t, double>;

// What a value is computed from: the stretch's results and the document whose settings the
// analysis used.
struct TabuletInputs {
  const AnalysisResults& results;
  const Document& document;
};

struct TabuletFunctionInfo {
  std::string_view key;        // the registration name, e.g. "MeanRR"
  std::uint32_t nameId;        // string id of the menu name; description +1, titles +2 and +3
  std::string_view unit;       // base unit: "s", "s²", "BPM", "%" or "" for none
  std::int32_t prefixExponent;  // power of ten of the unit's SI prefix: -3 for ms and ms²
  std::string_view format;     // "General", "0.0###" or "HH:mm:ss.00"
  // The value in the unit above. Throws HResultError when it cannot be had.
  TabuletValue (*value)(const TabuletInputs&);
};

// The function of one column, created for one host document.
class TabuletFunction final : public ComObject<ITabuletFunction> {
 public:
  // `host` is the host document object the function was created for; the function finds
  // the document's own data and its HRV analysis through it (either may be missing: every
  // calculation then fails).
  TabuletFunction(const TabuletFunctionInfo& info, std::int32_t position, IUnknown& host);
  ~TabuletFunction() override;

  HRESULT SetDataSource(IUnknown* source) override;
  HRESULT SetChannel(ChannelId channel) override;
  HRESULT SetRange(TickPosition start, TickPosition end) override;
  HRESULT Calculate(std::int32_t reason, ChannelId channel, VARIANT* value) override;
  HRESULT GetValue(VARIANT* value) override;
  HRESULT GetName(BSTR* name) override;
  HRESULT GetUnit(BSTR* unit, std::int32_t* prefixExponent) override;
  HRESULT GetNumberFormat(BSTR* format) override;
  HRESULT GetTypeId(std::uint32_t* typeId) override;
  HRESULT ReleaseData() override;

 private:
  // What changed since the last calculation.
  enum Dirty : std::uint32_t {
    SelectionChanged = 1,
    RangeChanged = 2,
    SourceChanged = 8,
    EverythingChanged = SelectionChanged | RangeChanged | SourceChanged,
  };

  // Re-analyses the stretch when the source or the range changed, then takes the value;
  // sets value_ and status_.
  void calculate();
  void analyse();
  bool reads_own_document() const;

  const TabuletFunctionInfo& info_;
  std::int32_t position_;
  ComPtr<IUnknown> ownData_;   // identity of the host document's data
  ComPtr<IUnknown> analysis_;  // the HRV::Document of the host document, or null
  ComPtr<IUnknown> source_;    // identity of the data the host set
  ChannelId channel_;
  TickPosition start_ = TickPosition::unset();
  TickPosition end_ = TickPosition::unset();
  std::uint32_t dirty_ = EverythingChanged;
  std::shared_ptr<const StretchAnalysis> stretch_;  // null when the stretch has no analysis
  VARIANT value_;
  HRESULT status_ = E_FAIL;
};

// The class object of one Tabulet function; its position is its place in the host's list.
class TabuletFunctionClass final : public ComObject<ITabuletFunctionClass, IClassObjectInfo> {
 public:
  TabuletFunctionClass(const TabuletFunctionInfo& info, std::int32_t position) : info_(info), position_(position) {}

  HRESULT CreateInstance(IUnknown*, const GUID&, void** object) override;
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }

  HRESULT CreateFunction(IUnknown* document, std::int32_t reserved, ITabuletFunction** function) override;
  HRESULT GetListPosition(std::int32_t* position) override;
  HRESULT GetDescription(BSTR* description) override;
  HRESULT GetTitles(BSTR* title, BSTR* shortTitle) override;

  HRESULT GetDisplayName(BSTR* name) override;   // the menu name
  HRESULT GetInternalName(BSTR* name) override;  // the key
  HRESULT GetClassId(GUID* classId) override;
  HRESULT GetCategory(GUID* category) override;
  HRESULT GetTypeId(std::uint32_t* typeId) override;  // as the functions it creates
  HRESULT GetFlags(std::uint32_t* flags) override;

 private:
  const TabuletFunctionInfo& info_;
  std::int32_t position_;
};

// The type id of the function at `position`: the module id the host assigns to the
// extension's Tabulet functions, and the position.
std::uint32_t tabulet_type_id(std::int32_t position);

}  // namespace HRV
