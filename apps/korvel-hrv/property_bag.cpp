// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/property_bag.h"

#include <stdexcept>

#include "sdk/cpp/utf.h"

namespace korvel_hrv {

PropertyBag::~PropertyBag() {
  for (auto& [name, value] : values_) VariantClear(&value);
}

void PropertyBag::set_number(const std::string& name, double value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_R8;
  v.dblVal = value;
  Write(utf8_to_utf16(name).c_str(), &v);
}

void PropertyBag::set_json(const nlohmann::json& object) {
  if (!object.is_object()) throw std::invalid_argument("settings must be a JSON object of named values");
  for (const auto& [name, value] : object.items()) {
    if (value.is_boolean()) set_number(name, value.get<bool>() ? 1 : 0);
    else if (value.is_number()) set_number(name, value.get<double>());
    else throw std::invalid_argument("setting \"" + name + "\" must be a number (or true/false), not " +
                                     (value.is_null() ? "null" : std::string("a") + (value.is_array() || value.is_object() ? "n " : " ") + value.type_name()));
  }
}

nlohmann::ordered_json PropertyBag::to_json() const {
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  for (const auto& name : order_) {
    const VARIANT& v = values_.at(name);
    if (v.vt == VT_I4) out[utf16_to_utf8(name)] = v.lVal;
    else if (v.vt == VT_R8) out[utf16_to_utf8(name)] = v.dblVal;
  }
  return out;
}

HRESULT PropertyBag::Read(const char16_t* name, VARIANT* value) {
  if (!name || !value) return E_POINTER;
  auto it = values_.find(name);
  if (it == values_.end()) return S_FALSE;
  return VariantCopy(value, &it->second);
}

HRESULT PropertyBag::Write(const char16_t* name, const VARIANT* value) {
  if (!name || !value) return E_POINTER;
  auto [it, inserted] = values_.try_emplace(name);
  if (inserted) {
    VariantInit(&it->second);
    order_.push_back(name);
  }
  return VariantCopy(&it->second, value);
}

HRESULT PropertyBag::AddError(const char16_t* property, const char16_t* description) {
  errors_.push_back(utf16_to_utf8(property ? property : u"") + " " + utf16_to_utf8(description ? description : u""));
  return S_OK;
}

}  // namespace korvel_hrv
