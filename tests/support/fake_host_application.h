// SPDX-License-Identifier: MIT
// A stand-in for the host's application object, written against the contract headers only
// (the validator uses it across the library boundary): module ids handed out in order of
// first request, registries that record what was registered, and a message box whose
// answer the test sets.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/cpp/com_object.h"
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
  HRESULT RegisterClassObject(IUnknown* classObject) override;
  std::vector<ComPtr<IUnknown>> objects;  // in registration order
};

class MessageRegistry final : public ComObject<IMessageClassRegistry> {
 public:
  HRESULT RegisterMessageClass(IMessageClass* messageClass) override;
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

  HRESULT GetModuleId(const GUID& family, std::uint16_t* moduleId) override;
  HRESULT GetClassObjectRegistry(IClassObjectRegistry** registry) override;
  HRESULT GetMessageClassRegistry(IMessageClassRegistry** registry) override;
  HRESULT MessageBox(const char16_t* text, const char16_t* caption, std::uint32_t type, std::uint32_t hostArgument,
                     std::int32_t* result) override;

  // The module id this application assigns to `family` (assigning one if needed).
  std::uint16_t module_id(const GUID& family);

  static constexpr std::uint16_t kFirstModuleId = 0x0101;
  std::vector<GUID> families;  // in order of first request
  std::atomic<int> lookups{0};  // GetModuleId calls
  HRESULT refusal = S_OK;       // GetModuleId answers it instead of an id when a failure
  std::chrono::milliseconds answerDelay{0};  // widens the window for concurrent lookups
  ComPtr<ClassRegistry> classes = make_com<ClassRegistry>();
  ComPtr<MessageRegistry> messages = make_com<MessageRegistry>();
  bool withoutRegistries = false;
  std::int32_t boxAnswer = 1;  // OK
  std::vector<Box> boxes;
};

}  // namespace fake_host
