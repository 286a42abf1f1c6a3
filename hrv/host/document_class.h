// SPDX-License-Identifier: MIT
// The class object of the analysis document: the host creates one HRV::Document through it
// for each of its documents.
#pragma once

#include "sdk/cpp/com_object.h"
#include "sdk/host/application.h"
#include "sdk/host/host_document.h"

namespace HRV {

class DocumentClass final : public ComObject<IDocumentClass, IClassObjectInfo> {
 public:
  // IClassFactory: a document cannot exist without its host document.
  HRESULT CreateInstance(IUnknown*, const GUID&, void** object) override;
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }

  // IDocumentClass
  HRESULT CreateDocument(IHostDocument* host, const GUID& iid, void** object) override;

  // IClassObjectInfo
  HRESULT GetDisplayName(BSTR* name) override;
  HRESULT GetInternalName(BSTR* name) override;
  HRESULT GetClassId(GUID* classId) override;
  HRESULT GetCategory(GUID* category) override;
  HRESULT GetTypeId(std::uint32_t* typeId) override;  // 0: documents have no type id
  HRESULT GetFlags(std::uint32_t* flags) override;    // 1, passed through to the host
};

}  // namespace HRV
