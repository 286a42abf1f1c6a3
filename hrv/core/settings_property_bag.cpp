// SPDX-License-Identifier: MIT
// HRV::Settings as named properties (IPersistPropertyBag): a host loads a settings file
// through it and writes the settings next to the results.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "hrv/core/settings.h"
#include "hrv/core/settings_properties.h"
#include "hrv/detect/presets.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace HRV {

namespace {

// A number from a VARIANT: integers and doubles are accepted, nothing else.
bool number_of(const VARIANT& v, double& out) {
  if (v.vt == VT_I4) out = v.lVal;
  else if (v.vt == VT_R8) out = v.dblVal;
  else return false;
  return true;
}

}  // namespace

HRESULT Settings::Load(IPropertyBag* bag, IErrorLog* log) {
  return guard([&] {
    if (!bag) return E_POINTER;
    SettingsFields next = *this;
    bool refused = false;
    auto refuse = [&](const SettingsProperty& p, const std::u16string& why) {
      refused = true;
      if (log) log->AddError(std::u16string(p.name).c_str(), why.c_str());
    };
    // A species preset brings its detector, classifier and spectrum values first, as
    // choosing it in the settings dialog does; values named beside it then override them.
    {
      VARIANT preset;
      VariantInit(&preset);
      double index = 0;
      if (bag->Read(u"Preset", &preset) == S_OK && number_of(preset, index) && index == std::trunc(index) && index >= 0 &&
          index < kCustomPreset) {
        const auto i = static_cast<std::int32_t>(index);
        ApplyPreset(next, i);
        ApplyClassifierPreset(next, i);
        ApplySpectrumPreset(next, i);
      }
      VariantClear(&preset);
    }
    // The values given, then each checked against the record they make: a band edge lies
    // within the maximum frequency in force afterwards, given or not.
    std::vector<std::pair<const SettingsProperty*, double>> given;
    for (const SettingsProperty& p : settings_properties()) {
      VARIANT value;
      VariantInit(&value);
      const std::u16string name(p.name);
      const HRESULT hr = bag->Read(name.c_str(), &value);
      double x = 0;
      const bool present = hr == S_OK && value.vt != VT_EMPTY;
      const bool numeric = present && number_of(value, x);
      VariantClear(&value);
      if (!present) continue;
      if (numeric) given.emplace_back(&p, x);
      else refuse(p, u"is not a number");
    }
    auto take = [&](const SettingsProperty& p, double x) {
      if (const std::string why = refusal(p, x, next); !why.empty()) {
        refused = true;
        if (log) log->AddError(std::u16string(p.name).c_str(), utf8_to_utf16(why).c_str());
        return;
      }
      std::visit(
          [&](auto member) {
            using T = std::remove_reference_t<decltype(next.*member)>;
            if constexpr (std::is_same_v<T, bool>) next.*member = x != 0;
            else next.*member = static_cast<T>(x);
          },
          p.field);
    };
    for (const auto& [p, x] : given)
      if (!is_band_edge(*p)) take(*p, x);
    for (const SettingsProperty& p : settings_properties()) {
      if (!is_band_edge(p)) continue;
      const auto it = std::find_if(given.begin(), given.end(), [&](const auto& g) { return g.first == &p; });
      take(p, it != given.end() ? it->second : next.*std::get<double SettingsFields::*>(p.field));
    }
    sort_pairs(next);  // a pair given high-low is stored low-high
    if (refused) return E_INVALIDARG;
    static_cast<SettingsFields&>(*this) = next;
    Dirty = true;
    return S_OK;
  });
}

HRESULT Settings::Save(IPropertyBag* bag, VARIANT_BOOL clearDirty) {
  return guard([&] {
    if (!bag) return E_POINTER;
    for (const SettingsProperty& p : settings_properties()) {
      VARIANT value;
      VariantInit(&value);
      std::visit(
          [&](auto member) {
            using T = std::remove_reference_t<decltype(this->*member)>;
            if constexpr (std::is_same_v<T, double>) {
              value.vt = VT_R8;
              value.dblVal = this->*member;
            } else {
              value.vt = VT_I4;
              value.lVal = static_cast<std::int32_t>(this->*member);
            }
          },
          p.field);
      const std::u16string name(p.name);
      check_hresult(bag->Write(name.c_str(), &value), "property bag refused a value");
    }
    if (clearDirty) Dirty = false;
    return S_OK;
  });
}

}  // namespace HRV
