// SPDX-License-Identifier: MIT
// The probe's one export.
#include "sdk/cpp/com_ptr.h"
#include "sdk/host/application.h"
#include "tests/probe/probe_module.h"

namespace probe {
namespace {
std::uint16_t g_module_id = 0;
}  // namespace

std::uint16_t module_id() { return g_module_id; }

}  // namespace probe

// Registers the client class and the threshold enumerator class; E_FAIL without a host or
// when the host refuses either.
extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterClassObjects(IUnknown* host) {
  if (!host) return E_FAIL;
  auto application = ComPtr<IUnknown>::retain(host).query<IApplication>();
  if (!application || FAILED(application->GetModuleId(probe::kProbeFamily, &probe::g_module_id))) return E_FAIL;
  ComPtr<IClassObjectRegistry> registry;
  if (FAILED(application->GetClassObjectRegistry(registry.put())) || !registry) return E_FAIL;
  if (FAILED(registry->RegisterClassObject(probe::make_client_class().get()))) return E_FAIL;
  if (FAILED(registry->RegisterClassObject(probe::make_threshold_class().get()))) return E_FAIL;
  return S_OK;
}
