// SPDX-License-Identifier: MIT
// HRV::Settings as named properties (IPersistPropertyBag): a host loads a settings file
// through it and writes the settings next to the results.
#include <cmath>
#include <string>

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

std::u16string describe(double value, const SettingsProperty& p) {
  auto text = [](double x) {
    std::string s = std::to_string(x);
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
  };
  return utf8_to_utf16(text(value) + " is outside the range " + text(p.min) + " to " + text(p.max));
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
      if (!numeric) {
        refuse(p, u"is not a number");
        continue;
      }
      if (!(x >= p.min && x <= p.max)) {
        refuse(p, describe(x, p));
        continue;
      }
      std::visit(
          [&](auto member) {
            using T = std::remove_reference_t<decltype(next.*member)>;
            if constexpr (std::is_same_v<T, double>) {
              next.*member = x;
            } else if (x != std::trunc(x)) {
              refuse(p, u"must be a whole number");
            } else if constexpr (std::is_same_v<T, bool>) {
              next.*member = x != 0;
            } else {
              next.*member = static_cast<std::int32_t>(x);
            }
          },
          p.field);
    }
    // Ranges that only make sense in order.
    auto ordered = [&](double low, double high, const char16_t* name, const char16_t* why) {
      if (low > high) {
        refused = true;
        if (log) log->AddError(name, why);
      }
    };
    ordered(next.MinRR, next.MaxRR, u"MinRR", u"must not exceed MaxRR");
    ordered(next.MinFF, next.MaxFF, u"MinFF", u"must not exceed MaxFF");
    ordered(next.VLFLowHz, next.VLFHighHz, u"VLFLowHz", u"must not exceed VLFHighHz");
    ordered(next.LFLowHz, next.LFHighHz, u"LFLowHz", u"must not exceed LFHighHz");
    ordered(next.HFLowHz, next.HFHighHz, u"HFLowHz", u"must not exceed HFHighHz");
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
