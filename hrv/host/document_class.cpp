// SPDX-License-Identifier: MIT
#include "hrv/host/document_class.h"

#include "hrv/core/document.h"
#include "hrv/host/guids.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/out_param.h"

namespace HRV {

namespace {

constexpr char16_t kDisplayName[] = u"HRV2 Document";
constexpr std::uint32_t kDocumentClassFlags = 1;

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

HRESULT DocumentClass::GetClassId(GUID* classId) { return copy_out<GUID>(GUID_HRVDocumentObj, classId); }

HRESULT DocumentClass::GetCategory(GUID* category) { return copy_out<GUID>(kDocumentCategory, category); }

HRESULT DocumentClass::GetTypeId(std::uint32_t* typeId) { return copy_out<std::uint32_t>(0, typeId); }

HRESULT DocumentClass::GetFlags(std::uint32_t* flags) { return copy_out<std::uint32_t>(kDocumentClassFlags, flags); }

}  // namespace HRV
