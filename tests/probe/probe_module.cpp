// SPDX-License-Identifier: MIT
// The probe's one export.
#include "sdk/cpp/com_ptr.h"
#include "sdk/host/application.h"
#include "tests/probe/probe_items.h"
#include "tests/probe/probe_module.h"

namespace probe {
namespace {
std::uint16_t g_module_id = 0;
IApplication* g_application = nullptr;
}  // namespace

std::uint16_t module_id() { return g_module_id; }
IApplication* application() { return g_application; }

}  // namespace probe

// Registers the client class, the threshold enumerator class, the document and view
// classes, the Tabulet functions, the channel calculation, the export and the macro command; E_FAIL without a host or when the host refuses any of them.
extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterClassObjects(IUnknown* host) {
  if (!host) return E_FAIL;
  auto application = ComPtr<IUnknown>::retain(host).query<IApplication>();
  if (!application || FAILED(application->GetModuleId(probe::kProbeFamily, &probe::g_module_id))) return E_FAIL;
  ComPtr<IClassObjectRegistry> registry;
  if (FAILED(application->GetClassObjectRegistry(registry.put())) || !registry) return E_FAIL;
  if (FAILED(registry->RegisterClassObject(probe::make_client_class().get()))) return E_FAIL;
  if (FAILED(registry->RegisterClassObject(probe::make_threshold_class().get()))) return E_FAIL;
  if (FAILED(registry->RegisterClassObject(probe::make_document_class().get()))) return E_FAIL;
  if (FAILED(registry->RegisterClassObject(probe::make_view_class().get()))) return E_FAIL;
  if (FAILED(registry->RegisterClassObject(probe::make_crossings_function_class().get()))) return E_FAIL;
  if (FAILED(registry->RegisterClassObject(probe::make_interval_function_class().get()))) return E_FAIL;
  if (FAILED(registry->RegisterClassObject(probe::make_scaled_class().get()))) return E_FAIL;
  if (FAILED(registry->RegisterClassObject(probe::make_note_export_class().get()))) return E_FAIL;
  ComPtr<IMessageClassRegistry> messages;
  if (FAILED(application->GetMessageClassRegistry(messages.put())) || !messages) return E_FAIL;
  if (FAILED(messages->RegisterMessageClass(probe::make_count_message_class().get()))) return E_FAIL;
  probe::g_application = application.get();
  return S_OK;
}
