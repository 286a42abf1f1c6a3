// SPDX-License-Identifier: MIT
// The library's one exported symbol.
#include "hrv/host/registration.h"
#include "sdk/host/application.h"

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterClassObjects(IUnknown* application) {
  return HRV::register_class_objects(application);
}
