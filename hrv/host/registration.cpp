// SPDX-License-Identifier: MIT
#include "hrv/host/registration.h"

#include <string>
#include <vector>

#include "hrv/detect/beat_list_enumerator.h"
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
#include "sdk/cpp/utf.h"
#include "sdk/host/application.h"

namespace HRV {

namespace {

// A registered object's name for a message: its display name, a message class's name, or
// a placeholder when it has neither.
std::u16string class_display_name(IUnknown* object) {
  Bstr name;
  const ComPtr<IUnknown> held = ComPtr<IUnknown>::retain(object);
  if (auto info = held.query<IClassObjectInfo>(); info && info->GetDisplayName(name.put()) == S_OK)
    return std::u16string(name.view());
  if (auto message = held.query<IMessageClass>(); message && message->GetName(name.put()) == S_OK)
    return std::u16string(name.view());
  return u"(unnamed class)";
}

}  // namespace

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

    // A class the host refuses is skipped and the rest still registered, so that one
    // failure costs one feature, not the extension; the user is told which ones failed.
    std::u16string failed;
    auto note = [&](HRESULT hr, IUnknown* object) {
      if (SUCCEEDED(hr)) return;
      failed += u'\n';
      failed += class_display_name(object);
    };
    for (const ComPtr<IUnknown>& object : static_class_objects()) note(classes->RegisterClassObject(object.get()), object.get());
    for (const ComPtr<IMessageClass>& message : macro_message_classes())
      note(messages->RegisterMessageClass(message.get()), message.get());

    std::vector<ComPtr<IUnknown>> objects;
    objects.push_back(ComPtr<IUnknown>::retain(make_com<DocumentClass>()->identity()));
    objects.push_back(make_fiducial_enumerator_class());
    objects.push_back(make_selector_enumerator_class());
    objects.push_back(make_beat_list_enumerator_class());
    objects.push_back(ComPtr<IUnknown>::retain(make_com<FiducialDrawClass>()->identity()));
    for (const ComPtr<IUnknown>& view : make_view_classes()) objects.push_back(view);
    objects.push_back(ComPtr<IUnknown>::retain(make_com<RRIntervalSaveClassObject>()->identity()));
    for (const ComPtr<IUnknown>& object : objects) note(classes->RegisterClassObject(object.get()), object.get());

    if (!failed.empty()) {
      const std::u16string text = u"The HRV extension could not register these classes with the host:" + failed;
      std::int32_t answer = 0;
      application->MessageBox(text.c_str(), u"HRV", 0, 0, &answer);
    }
    return S_OK;
  });
}

}  // namespace HRV
