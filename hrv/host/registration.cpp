// SPDX-License-Identifier: MIT
#include "hrv/host/registration.h"

#include "hrv/detect/fiducial_enumerator.h"
#include "hrv/detect/selector_enumerator.h"
#include "hrv/host/beat_markers.h"
#include "hrv/host/channel_calc.h"
#include "hrv/host/document_class.h"
#include "hrv/host/host_context.h"
#include "hrv/host/macro_messages.h"
#include "hrv/views/view_classes.h"
#include "hrv/host/tabulet_functions.h"
#include "hrv/views/rr_export.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/host/application.h"

namespace HRV {

const std::vector<ComPtr<IUnknown>>& static_class_objects() {
  // The 27 Tabulet function classes, then the HRV channel calculation's class and its
  // settings class.
  static const std::vector<ComPtr<IUnknown>> objects = [] {
    std::vector<ComPtr<IUnknown>> all = tabulet_function_classes();
    all.push_back(make_channel_calc_class());
    all.push_back(make_channel_calc_settings_class());
    return all;
  }();
  return objects;
}

HRESULT register_class_objects(IUnknown* host) noexcept {
  if (!host) return E_FAIL;
  return guard([&] {
    ComPtr<IApplication> application;
    if (FAILED(host->QueryInterface(IApplication::iid, application.put_void())) || !application) return E_FAIL;
    ComPtr<IClassObjectRegistry> classes;
    ComPtr<IMessageClassRegistry> messages;
    if (FAILED(application->GetClassObjectRegistry(classes.put())) || !classes) return E_FAIL;
    if (FAILED(application->GetMessageClassRegistry(messages.put())) || !messages) return E_FAIL;
    HostContext::instance().set_application(application);

    for (const ComPtr<IUnknown>& object : static_class_objects()) classes->RegisterClassObject(object.get());
    for (const ComPtr<IMessageClass>& message : macro_message_classes()) messages->RegisterMessageClass(message.get());

    classes->RegisterClassObject(make_com<DocumentClass>()->identity());
    classes->RegisterClassObject(make_fiducial_enumerator_class().get());
    classes->RegisterClassObject(make_selector_enumerator_class().get());
    classes->RegisterClassObject(make_com<FiducialDrawClass>()->identity());
    for (const ComPtr<IUnknown>& view : make_view_classes()) classes->RegisterClassObject(view.get());
    classes->RegisterClassObject(make_com<RRIntervalSaveClassObject>()->identity());
    return S_OK;
  });
}

}  // namespace HRV
