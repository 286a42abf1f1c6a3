// SPDX-License-Identifier: MIT
// A stand-in for the host's application object, written against the contract headers only
// (the validator uses it across the library boundary): module ids handed out in order of
// first request, registries that record what was registered, and a message box whose
// answer the test sets.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sdk/cpp/com_object.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/application.h"

namespace fake_host {

// Hands out `object` through a COM out parameter, AddRef'ed.
template <class I>
HRESULT hand_out(I* object, I** out) {
  if (!out) return E_POINTER;
  *out = object;
  if (object) object->AddRef();
  return S_OK;
}

// The reference count of `object`, read without changing it.
inline ULONG ref_count(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

class ClassRegistry final : public ComObject<IClassObjectRegistry> {
 public:
  HRESULT RegisterClassObject(IUnknown* classObject) override {
    if (!classObject) return E_POINTER;
    objects.push_back(ComPtr<IUnknown>::retain(classObject));
    return S_OK;
  }
  std::vector<ComPtr<IUnknown>> objects;  // in registration order
};

class MessageRegistry final : public ComObject<IMessageClassRegistry> {
 public:
  HRESULT RegisterMessageClass(IMessageClass* messageClass) override {
    if (!messageClass) return E_POINTER;
    classes.push_back(ComPtr<IMessageClass>::retain(messageClass));
    return S_OK;
  }
  std::vector<ComPtr<IMessageClass>> classes;  // in registration order
};

class Application final : public ComObject<IApplication> {
 public:
  struct Box {
    std::string text;
    std::string caption;
    std::uint32_t type;
    std::uint32_t hostArgument;
  };

  HRESULT GetModuleId(const GUID& family, std::uint16_t* moduleId) override {
    if (!moduleId) return E_POINTER;
    for (std::size_t i = 0; i < families.size(); ++i)
      if (families[i] == family) {
        *moduleId = static_cast<std::uint16_t>(kFirstModuleId + i);
        return S_OK;
      }
    families.push_back(family);
    *moduleId = static_cast<std::uint16_t>(kFirstModuleId + families.size() - 1);
    return S_OK;
  }
  HRESULT GetClassObjectRegistry(IClassObjectRegistry** registry) override {
    return withoutRegistries ? E_NOTIMPL : hand_out<IClassObjectRegistry>(classes.get(), registry);
  }
  HRESULT GetMessageClassRegistry(IMessageClassRegistry** registry) override {
    return withoutRegistries ? E_NOTIMPL : hand_out<IMessageClassRegistry>(messages.get(), registry);
  }
  HRESULT MessageBox(const char16_t* text, const char16_t* caption, std::uint32_t type, std::uint32_t hostArgument,
                     std::int32_t* result) override {
    if (!result) return E_POINTER;
    boxes.push_back({utf16_to_utf8(text ? text : u""), utf16_to_utf8(caption ? caption : u""), type, hostArgument});
    *result = boxAnswer;
    return S_OK;
  }

  // The module id this application assigns to `family` (assigning one if needed).
  std::uint16_t module_id(const GUID& family) {
    std::uint16_t id = 0;
    GetModuleId(family, &id);
    return id;
  }

  static constexpr std::uint16_t kFirstModuleId = 0x0101;
  std::vector<GUID> families;
  ComPtr<ClassRegistry> classes = make_com<ClassRegistry>();
  ComPtr<MessageRegistry> messages = make_com<MessageRegistry>();
  bool withoutRegistries = false;
  std::int32_t boxAnswer = 1;  // OK
  std::vector<Box> boxes;
};

}  // namespace fake_host
