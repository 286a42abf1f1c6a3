// SPDX-License-Identifier: MIT
#include "fake_host_application.h"

#include <algorithm>
#include <thread>

#include "sdk/cpp/utf.h"

namespace fake_host {

HRESULT ClassRegistry::RegisterClassObject(IUnknown* classObject) {
  if (!classObject) return E_POINTER;
  objects.push_back(ComPtr<IUnknown>::retain(classObject));
  return S_OK;
}

HRESULT MessageRegistry::RegisterMessageClass(IMessageClass* messageClass) {
  if (!messageClass) return E_POINTER;
  classes.push_back(ComPtr<IMessageClass>::retain(messageClass));
  return S_OK;
}

HRESULT Application::GetModuleId(const GUID& family, std::uint16_t* moduleId) {
  if (!moduleId) return E_POINTER;
  ++lookups;
  if (answerDelay.count() > 0) std::this_thread::sleep_for(answerDelay);
  if (FAILED(refusal)) return refusal;
  auto it = std::find(families.begin(), families.end(), family);
  if (it == families.end()) it = families.insert(it, family);
  *moduleId = static_cast<std::uint16_t>(kFirstModuleId + (it - families.begin()));
  return S_OK;
}

HRESULT Application::GetClassObjectRegistry(IClassObjectRegistry** registry) {
  return withoutRegistries ? E_NOTIMPL : hand_out<IClassObjectRegistry>(classes.get(), registry);
}

HRESULT Application::GetMessageClassRegistry(IMessageClassRegistry** registry) {
  return withoutRegistries ? E_NOTIMPL : hand_out<IMessageClassRegistry>(messages.get(), registry);
}

HRESULT Application::MessageBox(const char16_t* text, const char16_t* caption, std::uint32_t type,
                                std::uint32_t hostArgument, std::int32_t* result) {
  if (!result) return E_POINTER;
  boxes.push_back({utf16_to_utf8(text ? text : u""), utf16_to_utf8(caption ? caption : u""), type, hostArgument});
  *result = boxAnswer;
  return S_OK;
}

std::uint16_t Application::module_id(const GUID& family) {
  std::uint16_t id = 0;
  GetModuleId(family, &id);
  return id;
}

}  // namespace fake_host
