// SPDX-License-Identifier: MIT
// The probe's export: the note of the host document's probe document as a text file.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "sdk/cpp/com_object.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/application.h"
#include "sdk/host/file_save.h"
#include "sdk/host/host_document.h"
#include "sdk/host/host_services.h"
#include "tests/probe/probe_document.h"
#include "tests/probe/probe_module.h"

namespace probe {
namespace {

class NoteExport final : public ComObject<IFileSaveClass, IClassObjectInfo> {
 public:
  HRESULT CreateInstance(IUnknown*, const GUID&, void** object) override {
    if (object) *object = nullptr;
    return E_NOTIMPL;
  }
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }
  HRESULT GetFileType(BSTR* description, BSTR* extension) override {
    if (!description || !extension) return E_POINTER;
    *description = SysAllocString(u"Probe Note Text File");
    *extension = SysAllocString(u"txt");
    return S_OK;
  }
  HRESULT Save(IUnknown* document, IUnknown*, const char16_t* path) override {
    if (!path) return E_POINTER;
    ComPtr<IHostDocument> host;
    if (!document || FAILED(document->QueryInterface(IHostDocument::iid, host.put_void()))) return E_FAIL;
    const std::filesystem::path file(utf16_to_utf8(path));
    return guard([&] {
      std::ofstream out(file, std::ios::binary | std::ios::trunc);
      ComPtr<IExtensionDocuments> documents;
      ComPtr<IUnknown> found;
      ComPtr<IProbeDocument> probe;
      if (SUCCEEDED(document->QueryInterface(IExtensionDocuments::iid, documents.put_void())) &&
          documents->FindDocument(kDocumentClassId, found.put()) == S_OK)
        probe = found.query<IProbeDocument>();
      if (!probe) {
        out.close();
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
        std::int32_t answer = 0;
        if (IApplication* app = application())
          app->MessageBox(u"Probe export needs a probe document. No data will be saved.", u"Probe Note Text File", 0x10, 0, &answer);
        return E_UNEXPECTED;
      }
      BSTR note = nullptr;
      check_hresult(probe->GetNote(&note));
      const std::string text = Bstr::adopt(note).utf8();
      if (text.empty()) return S_FALSE;
      out << text << "\r\n";
      return out.flush() ? S_OK : E_FAIL;
    });
  }

  HRESULT GetDisplayName(BSTR* name) override { return put_text(u"Probe Note Text File", name); }
  HRESULT GetInternalName(BSTR* name) override { return put_text(u"ProbeNoteExport", name); }
  HRESULT GetClassId(GUID* classId) override { return put_value(kNoteExportClassId, classId); }
  HRESULT GetCategory(GUID* category) override { return put_value(kFileSaveCategory, category); }
  HRESULT GetTypeId(std::uint32_t* typeId) override { return put_value(std::uint32_t{0}, typeId); }
  HRESULT GetFlags(std::uint32_t* flags) override { return put_value(std::uint32_t{0}, flags); }
};

}  // namespace

ComPtr<IUnknown> make_note_export_class() { return ComPtr<IUnknown>::adopt(make_com<NoteExport>().detach()->identity()); }

}  // namespace probe
