// SPDX-License-Identifier: MIT
// The RR interval export: the host offers "HRV RR Interval Text File" among its save-as
// types and hands the chosen path to this class object, which writes the RR intervals of
// the document's current analysis, one per line.
#pragma once

#include <span>
#include <string>

#include "sdk/cpp/com_object.h"
#include "sdk/host/application.h"
#include "sdk/host/file_save.h"
#include "sdk/hrv/result_codes.h"

namespace HRV {

// The file's text: every interval in seconds, in beat order, in the classic locale with 6
// significant digits as printf's %g writes them ("0.8125", "1", "0.812346"), each followed
// by CR LF. Nothing else: no header, no trailing text.
std::string rr_interval_text(std::span<const double> rr);

class RRIntervalSaveClassObject final : public ComObject<IFileSaveClass, IClassObjectInfo> {
 public:
  // IClassFactory: the handler writes the file itself.
  HRESULT CreateInstance(IUnknown*, const GUID&, void** object) override;
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }

  // IFileSaveClass
  HRESULT GetFileType(BSTR* description, BSTR* extension) override;
  // Writes the RR series of the included beats of the document's HRV analysis. S_OK with at
  // least one line, S_FALSE for an empty series (never analysed: an empty file). Without an
  // HRV analysis, or when writing fails, the file is removed, the user is told why, and the
  // result is HRV_E_EXPORT_FAILED. A file that cannot be opened is not reported.
  HRESULT Save(IUnknown* document, IUnknown* window, const char16_t* path) override;

  // IClassObjectInfo
  HRESULT GetDisplayName(BSTR* name) override;  // the file type's description
  HRESULT GetInternalName(BSTR* name) override;
  HRESULT GetClassId(GUID* classId) override;
  HRESULT GetCategory(GUID* category) override;
  HRESULT GetTypeId(std::uint32_t* typeId) override;  // 0: nothing is created
  HRESULT GetFlags(std::uint32_t* flags) override;
};

}  // namespace HRV
