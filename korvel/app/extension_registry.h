// SPDX-License-Identifier: MIT
// What extensions registered with the application: their class objects, by category, with
// the calculation-enumerator classes also by function name for the expression language,
// and their macro message classes. The host side's one proxy of the extensions.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "korvel/calc/function_table.h"
#include "sdk/cpp/com_ptr.h"
#include "sdk/host/application.h"

namespace korvel::app {

struct RegisteredClass {
  ComPtr<IUnknown> object;
  std::string display_name;
  std::string internal_name;
  GUID class_id{};
  GUID category{};
  std::uint32_t type_id = 0;
  std::uint32_t flags = 0;
};

struct RegisteredMessageClass {
  ComPtr<IMessageClass> object;
  std::string prefix;
  std::string name;
  std::uint32_t type = 0;
};

class ExtensionRegistry final : public calc::EnumeratorClasses {
 public:
  // Throws HResultError: E_POINTER for null; E_NOINTERFACE without IClassObjectInfo, or
  // with neither IClassFactory nor ICalcEnumeratorClass; E_INVALIDARG for an enumerator
  // class whose description the host cannot use or whose function name is taken; the
  // class object's own failure when it cannot describe itself.
  void add_class_object(IUnknown* object);
  // Throws HResultError: E_POINTER for null, E_INVALIDARG for a prefix and name pair that
  // is registered already.
  void add_message_class(IMessageClass* object);

  const std::vector<RegisteredClass>& classes() const noexcept { return classes_; }
  std::vector<const RegisteredClass*> classes_in(const GUID& category) const;
  const std::vector<RegisteredMessageClass>& message_classes() const noexcept { return messages_; }

  ComPtr<ICalcEnumeratorClass> find_enumerator_class(std::string_view function) const override;

  // Releases everything registered.
  void clear();

 private:
  std::vector<RegisteredClass> classes_;
  std::map<std::string, ComPtr<ICalcEnumeratorClass>> enumerators_;  // by lower-case function name
  std::vector<RegisteredMessageClass> messages_;
};

}  // namespace korvel::app
