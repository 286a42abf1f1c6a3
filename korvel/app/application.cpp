// SPDX-License-Identifier: MIT
#include "korvel/app/application.h"

#include "korvel/app/extension_loader.h"
#include "korvel/app/module_ids.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace korvel::app {

// Both registry interfaces over the one registry; it may outlive the application when an
// extension keeps it.
class Application::Registries final : public ComObject<IClassObjectRegistry, IMessageClassRegistry> {
 public:
  explicit Registries(std::shared_ptr<ExtensionRegistry> registry) : registry_(std::move(registry)) {}

  HRESULT RegisterClassObject(IUnknown* classObject) override {
    return guard([&] {
      registry_->add_class_object(classObject);
      return S_OK;
    });
  }
  HRESULT RegisterMessageClass(IMessageClass* messageClass) override {
    return guard([&] {
      registry_->add_message_class(messageClass);
      return S_OK;
    });
  }

 private:
  std::shared_ptr<ExtensionRegistry> registry_;
};

Application::Application()
    : registry_(std::make_shared<ExtensionRegistry>()), registries_(make_com<Registries>(registry_)) {}

// What extensions registered may hold references back to the application; let it go.
Application::~Application() { registry_->clear(); }

void Application::load_extension(const std::filesystem::path& library) { app::load_extension(library, this); }

HRESULT Application::GetModuleId(const GUID& family, std::uint16_t* moduleId) {
  return guard([&] {
    if (!moduleId) return E_POINTER;
    *moduleId = module_id(family);
    return S_OK;
  });
}

HRESULT Application::GetClassObjectRegistry(IClassObjectRegistry** registry) {
  if (!registry) return E_POINTER;
  *registry = ComPtr<IClassObjectRegistry>::retain(registries_.get()).detach();
  return S_OK;
}

HRESULT Application::GetMessageClassRegistry(IMessageClassRegistry** registry) {
  if (!registry) return E_POINTER;
  *registry = ComPtr<IMessageClassRegistry>::retain(registries_.get()).detach();
  return S_OK;
}

HRESULT Application::MessageBox(const char16_t* text, const char16_t* caption, std::uint32_t type, std::uint32_t,
                                std::int32_t* result) {
  return guard([&] {
    if (!result) return E_POINTER;
    *result = boxes_.show({text ? utf16_to_utf8(text) : "", caption ? utf16_to_utf8(caption) : "", type});
    return S_OK;
  });
}

}  // namespace korvel::app
