// SPDX-License-Identifier: MIT
// The application object that extensions receive: module ids, the registries of class
// objects and message classes, the message box. It loads extensions and keeps what they
// registered for the documents it opens.
#pragma once

#include <filesystem>
#include <memory>

#include "korvel/app/extension_registry.h"
#include "korvel/app/message_boxes.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/application.h"

namespace korvel::app {

class Application final : public ComObject<IApplication> {
 public:
  Application();
  ~Application() override;

  // Throws ExtensionLoadError.
  void load_extension(const std::filesystem::path& library);

  // Shared with the documents, whose expressions call registered enumerators.
  const std::shared_ptr<ExtensionRegistry>& extensions() const noexcept { return registry_; }
  MessageBoxes& message_boxes() noexcept { return boxes_; }

  HRESULT GetModuleId(const GUID& family, std::uint16_t* moduleId) override;
  HRESULT GetClassObjectRegistry(IClassObjectRegistry** registry) override;
  HRESULT GetMessageClassRegistry(IMessageClassRegistry** registry) override;
  HRESULT MessageBox(const char16_t* text, const char16_t* caption, std::uint32_t type, std::uint32_t hostArgument,
                     std::int32_t* result) override;

 private:
  class Registries;

  std::shared_ptr<ExtensionRegistry> registry_;
  ComPtr<Registries> registries_;  // the registry's interfaces
  MessageBoxes boxes_;
};

}  // namespace korvel::app
