// SPDX-License-Identifier: MIT
// The probe's one export.
#include "tests/probe/probe_parts.h"

namespace probe {
namespace {
std::uint16_t g_module_id = 0;
IApplication* g_application = nullptr;
}  // namespace

std::uint16_t module_id() { return g_module_id; }
IApplication* application() { return g_application; }

}  // namespace probe

// Registers the document class and the macro command; E_FAIL without a host or when the
// host refuses either.
extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterClassObjects(IUnknown* host) {
  if (!host) return E_FAIL;
  auto application = ComPtr<IUnknown>::retain(host).query<IApplication>();
  if (!application || FAILED(application->GetModuleId(probe::kProbeFamily, &probe::g_module_id))) return E_FAIL;
  ComPtr<IClassObjectRegistry> registry;
  ComPtr<IMessageClassRegistry> messages;
  if (FAILED(application->GetClassObjectRegistry(registry.put())) || !registry ||
      FAILED(application->GetMessageClassRegistry(messages.put())) || !messages)
    return E_FAIL;
  if (FAILED(registry->RegisterClassObject(probe::make_document_class().get())) ||
      FAILED(messages->RegisterMessageClass(probe::make_count_message_class().get())))
    return E_FAIL;
  probe::g_application = application.get();
  return S_OK;
}
