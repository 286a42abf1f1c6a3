// SPDX-License-Identifier: MIT
#include "korvel/ui/exports.h"

#include "korvel/services/session.h"
#include "sdk/cpp/utf.h"

namespace korvel::ui {

std::vector<ExportType> export_types(const app::Application& application) {
  std::vector<ExportType> out;
  for (const app::RegisteredClass* c : application.extensions()->classes_in(kFileSaveCategory)) {
    auto handler = c->object.query<IFileSaveClass>();
    Bstr description, extension;
    if (!handler || FAILED(handler->GetFileType(description.put(), extension.put()))) continue;
    out.push_back({description.utf8(), extension.utf8(), c->class_id, std::move(handler)});
  }
  return out;
}

HRESULT export_document(services::DocumentFrame& frame, const ExportType& type, const std::filesystem::path& path) {
  return type.handler->Save(frame.host_object()->identity(), nullptr, utf8_to_utf16(path.string()).c_str());
}

}  // namespace korvel::ui
