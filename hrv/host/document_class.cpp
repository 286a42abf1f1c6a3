// SPDX-License-Identifier: MIT
#include "hrv/host/document_class.h"

#include "hrv/core/document.h"
#include "hrv/host/guids.h"
#include "sdk/cpp/hresult_error.h"

namespace HRV {

namespace {

constexpr char16_t kDisplayName[] = u"HRV2 Document";
constexpr std::uint32_t kDocumentClassFlags = 1;

HRESULT copy_text(const char16_t* text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = SysAllocString(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

HRESULT DocumentClass::CreateInstance(IUnknown*, const GUID&, void** object) {
  if (object) *object = nullptr;
  return E_NOTIMPL;
}

HRESULT DocumentClass::CreateDocument(IHostDocument* host, const GUID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!host) return E_POINTER;
  return guard([&] {
    ComPtr<Document> document = make_com<Document>(ComPtr<IHostDocument>::retain(host));
    return document->QueryInterface(iid, object);
  });
}

HRESULT DocumentClass::GetDisplayName(BSTR* name) { return copy_text(kDisplayName, name); }
HRESULT DocumentClass::GetInternalName(BSTR* name) { return copy_text(kDisplayName, name); }

HRESULT DocumentClass::GetClassId(GUID* classId) {
  if (!classId) return E_POINTER;
  *classId = GUID_HRVDocumentObj;
  return S_OK;
}

HRESULT DocumentClass::GetCategory(GUID* category) {
  if (!category) return E_POINTER;
  *category = kDocumentCategory;
  return S_OK;
}

HRESULT DocumentClass::GetTypeId(std::uint32_t* typeId) {
  if (!typeId) return E_POINTER;
  *typeId = 0;
  return S_OK;
}

HRESULT DocumentClass::GetFlags(std::uint32_t* flags) {
  if (!flags) return E_POINTER;
  *flags = kDocumentClassFlags;
  return S_OK;
}

}  // namespace HRV
