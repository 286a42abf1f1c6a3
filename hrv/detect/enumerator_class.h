// SPDX-License-Identifier: MIT
// The class object of one of the extension's calculation enumerators: it describes the
// function to the host's expression language and creates enumerators from the parameter
// text the host hands over.
#pragma once

#include <sstream>

#include "hrv/host/guids.h"
#include "sdk/cpp/com_object.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/out_param.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/application.h"
#include "sdk/host/calc_enumerator.h"

namespace EEH3 {

// `Enumerator` is a ComObject implementing ICalcEnumerator with a nested `Params` type
// (a ParamsBase) and a constructor taking the parsed Params.
template <class Enumerator>
class EnumeratorClass final : public ComObject<ICalcEnumeratorClass, IClassObjectInfo> {
 public:
  explicit EnumeratorClass(const CalcEnumeratorDescription& description) : description_(description) {}

  HRESULT GetDescription(const CalcEnumeratorDescription** description) override {
    if (!description) return E_POINTER;
    *description = &description_;
    return S_OK;
  }

  HRESULT CreateEnumerator(const char16_t* parameters, ICalcEnumerator** enumerator) override {
    return guard([&] {
      if (!parameters || !enumerator) return E_POINTER;
      *enumerator = nullptr;
      typename Enumerator::Params params;
      std::istringstream text(utf16_to_utf8(parameters));
      if (!params.Read(text)) return E_INVALIDARG;
      *enumerator = make_com<Enumerator>(params).detach();
      return S_OK;
    });
  }

  HRESULT GetDisplayName(BSTR* name) override { return guard([&] { return copy_text(description_.name, name); }); }
  HRESULT GetInternalName(BSTR* name) override { return guard([&] { return copy_text(description_.name, name); }); }
  HRESULT GetClassId(GUID* classId) override { return copy_out<GUID>(HRV::GUID_HRVEnumObj, classId); }
  HRESULT GetCategory(GUID* category) override { return copy_out<GUID>(GUID{}, category); }
  HRESULT GetTypeId(std::uint32_t* typeId) override { return copy_out<std::uint32_t>(0, typeId); }
  HRESULT GetFlags(std::uint32_t* flags) override { return copy_out<std::uint32_t>(description_.flags, flags); }

 private:

  const CalcEnumeratorDescription& description_;
};

}  // namespace EEH3
