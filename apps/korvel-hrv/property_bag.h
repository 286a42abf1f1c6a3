// SPDX-License-Identifier: MIT
// Named values the tool hands an extension's settings object (from command-line options and
// settings files), and the refusals the object reports back.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sdk/cpp/com_object.h"
#include "sdk/property_bag.h"

namespace korvel_hrv {

class PropertyBag final : public ComObject<IPropertyBag, IErrorLog> {
 public:
  ~PropertyBag() override;

  void set_number(const std::string& name, double value);
  // Every number and boolean of a JSON object; throws std::invalid_argument naming a value
  // of another type and the type expected.
  void set_json(const nlohmann::json& object);
  // The values as a JSON object, numbers as they came.
  nlohmann::ordered_json to_json() const;
  const std::vector<std::string>& errors() const noexcept { return errors_; }

  HRESULT Read(const char16_t* name, VARIANT* value) override;
  HRESULT Write(const char16_t* name, const VARIANT* value) override;
  HRESULT AddError(const char16_t* property, const char16_t* description) override;

 private:
  std::map<std::u16string, VARIANT> values_;
  std::vector<std::u16string> order_;
  std::vector<std::string> errors_;
};

}  // namespace korvel_hrv
