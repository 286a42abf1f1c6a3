// SPDX-License-Identifier: MIT
// The file types that export handlers of extensions offer in the host's save-as choices,
// and saving a document as one of them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "korvel/services/document_frame.h"
#include "sdk/host/file_save.h"

namespace korvel::ui {

struct ExportType {
  std::string description;  // "HRV RR Interval Text File"
  std::string extension;    // "txt", without the dot
  GUID class_id{};
  ComPtr<IFileSaveClass> handler;
};

// Every registered export handler's file type, in registration order. A handler that
// cannot describe its type is left out.
std::vector<ExportType> export_types(const app::Application& application);

// Has the handler write `frame`'s document to `path`: S_OK with data written, S_FALSE for
// an empty file, or the handler's failure (it has removed the file and shown why).
HRESULT export_document(services::DocumentFrame& frame, const ExportType& type, const std::filesystem::path& path);

}  // namespace korvel::ui
