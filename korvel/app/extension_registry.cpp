// SPDX-License-Identifier: MIT
#include "korvel/app/extension_registry.h"

#include <stdexcept>

#include "korvel/expr/names.h"
#include "korvel/signal/functions.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace korvel::app {
namespace {

// Calls a getter of a BSTR out parameter; the class object's failure is thrown.
template <class Getter>
std::string text_of(Getter&& get, const char* what) {
  Bstr out;
  check_hresult(get(out.put()), what);
  return out.utf8();
}

}  // namespace

void ExtensionRegistry::add_class_object(IUnknown* object) {
  if (!object) throw_hresult(E_POINTER, "no class object");
  auto self = ComPtr<IUnknown>::retain(object);
  auto info = self.query<IClassObjectInfo>();
  if (!info) throw_hresult(E_NOINTERFACE, "a class object must describe itself through IClassObjectInfo");
  auto enumerator = self.query<ICalcEnumeratorClass>();
  if (!enumerator && !self.query<IClassFactory>())
    throw_hresult(E_NOINTERFACE, "a class object must be a class factory or a calculation-enumerator class");

  RegisteredClass entry;
  entry.object = self;
  entry.display_name = text_of([&](BSTR* s) { return info->GetDisplayName(s); }, "GetDisplayName failed");
  entry.internal_name = text_of([&](BSTR* s) { return info->GetInternalName(s); }, "GetInternalName failed");
  check_hresult(info->GetClassId(&entry.class_id), "GetClassId failed");
  check_hresult(info->GetCategory(&entry.category), "GetCategory failed");
  check_hresult(info->GetTypeId(&entry.type_id), "GetTypeId failed");
  check_hresult(info->GetFlags(&entry.flags), "GetFlags failed");

  if (enumerator) {
    std::string function;
    try {
      function = calc::describe_enumerator(enumerator)->name;
    } catch (const std::invalid_argument& e) {
      throw_hresult(E_INVALIDARG, e.what());
    }
    const std::string key = expr::ascii_lower(function);
    if (signal::find_signal_function(key) || enumerators_.count(key))
      throw_hresult(E_INVALIDARG, "the function name '" + function + "' is taken");
    enumerators_.emplace(key, enumerator);
  }
  classes_.push_back(std::move(entry));
}

void ExtensionRegistry::add_message_class(IMessageClass* object) {
  if (!object) throw_hresult(E_POINTER, "no message class");
  RegisteredMessageClass entry;
  entry.object = ComPtr<IMessageClass>::retain(object);
  entry.prefix = text_of([&](BSTR* s) { return object->GetPrefix(s); }, "GetPrefix failed");
  entry.name = text_of([&](BSTR* s) { return object->GetName(s); }, "GetName failed");
  check_hresult(object->GetMessageType(&entry.type), "GetMessageType failed");
  for (const auto& m : messages_)
    if (m.prefix == entry.prefix && m.name == entry.name) throw_hresult(E_INVALIDARG, "message class " + entry.prefix + "." + entry.name + " exists");
  messages_.push_back(std::move(entry));
}

std::vector<const RegisteredClass*> ExtensionRegistry::classes_in(const GUID& category) const {
  std::vector<const RegisteredClass*> out;
  for (const auto& c : classes_)
    if (c.category == category) out.push_back(&c);
  return out;
}

ComPtr<ICalcEnumeratorClass> ExtensionRegistry::find_enumerator_class(std::string_view function) const {
  auto it = enumerators_.find(expr::ascii_lower(function));
  return it == enumerators_.end() ? nullptr : it->second;
}

void ExtensionRegistry::clear() {
  enumerators_.clear();
  classes_.clear();
  messages_.clear();
}

}  // namespace korvel::app
