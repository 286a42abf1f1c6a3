// SPDX-License-Identifier: MIT
#include "hrv/views/rr_export.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <utility>

#include "hrv/core/document.h"
#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"
#include "hrv/resources/string_table.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/out_param.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/host_services.h"
#include "sdk/hrv/result_codes.h"

namespace HRV {
namespace {

inline constexpr GUID kRRIntervalSaveClassId = make_guid("{1C255D90-3960-487C-B5F7-5D032007EF99}");
constexpr std::uint32_t kExtensionStringId = 5;
constexpr std::uint32_t kDescriptionStringId = 6;
constexpr std::uint32_t kNoAnalysisStringId = 7;

// The HRV analysis of the host document `document`; throws with the message the user sees
// when it has none.
const Document& analysis_of(IUnknown& document) {
  ComPtr<IExtensionDocuments> documents;
  ComPtr<IUnknown> found;
  if (SUCCEEDED(document.QueryInterface(IExtensionDocuments::iid, documents.put_void())) && documents)
    documents->FindDocument(GUID_HRVDocumentObj, found.put());
  if (const Document* analysis = Document::from(found.get())) return *analysis;
  throw_hresult(HRV_E_NO_ANALYSIS, std::string(LoadString(kNoAnalysisStringId)));
}

void tell_user(const std::string& text) {
  const ComPtr<IApplication> application = HostContext::instance().application();
  if (!application) return;
  std::int32_t pressed = 0;
  application->MessageBox(utf8_to_utf16(text).c_str(), utf8_to_utf16(LoadString(kDescriptionStringId)).c_str(),
                          kMessageBoxStopIcon, 0, &pressed);
}

}  // namespace

std::string rr_interval_text(std::span<const double> rr) {
  std::string text;
  text.reserve(rr.size() * 10);
  char number[32];
  for (double value : rr) {
    // to_chars in general form with a precision is printf's %g, independent of the locale.
    const auto end = std::to_chars(number, number + sizeof number, value, std::chars_format::general, 6).ptr;
    text.append(number, end);
    text += "\r\n";
  }
  return text;
}

HRESULT RRIntervalSaveClassObject::CreateInstance(IUnknown*, const GUID&, void** object) {
  if (object) *object = nullptr;
  return E_NOTIMPL;
}

HRESULT RRIntervalSaveClassObject::GetFileType(BSTR* description, BSTR* extension) {
  if (!description || !extension) return E_POINTER;
  *description = *extension = nullptr;
  if (HRESULT hr = copy_text(LoadString(kDescriptionStringId), description); FAILED(hr)) return hr;
  if (HRESULT hr = copy_text(LoadString(kExtensionStringId), extension); FAILED(hr)) {
    SysFreeString(std::exchange(*description, nullptr));
    return hr;
  }
  return S_OK;
}

HRESULT RRIntervalSaveClassObject::Save(IUnknown* document, IUnknown*, const char16_t* path) {
  if (!path) return E_POINTER;
  ComPtr<IHostDocument> host;
  if (!document || FAILED(document->QueryInterface(IHostDocument::iid, host.put_void())) || !host) return E_FAIL;
  return guard([&] {
    const std::filesystem::path file{std::u16string_view(path)};
    try {
      const std::vector<double>& rr = analysis_of(*document).results().rrSeries;
      // Binary, so that the line ends are CR LF on every platform.
      std::ofstream out(file, std::ios::binary | std::ios::trunc);
      out << rr_interval_text(rr);
      out.close();
      // A full device or a vanished folder is a failed export, never a short file.
      if (!out) throw std::runtime_error(file.filename().string() + ": the RR intervals could not be written");
      return rr.empty() ? S_FALSE : S_OK;
    } catch (const std::exception& failure) {
      // No partial file is left behind for the user to mistake for an export.
      std::error_code ignored;
      std::filesystem::remove(file, ignored);
      tell_user(failure.what());
      return HRV_E_EXPORT_FAILED;
    }
  });
}

HRESULT RRIntervalSaveClassObject::GetDisplayName(BSTR* name) { return copy_text(LoadString(kDescriptionStringId), name); }
HRESULT RRIntervalSaveClassObject::GetInternalName(BSTR* name) { return copy_text(LoadString(kDescriptionStringId), name); }

HRESULT RRIntervalSaveClassObject::GetClassId(GUID* classId) { return copy_out<GUID>(kRRIntervalSaveClassId, classId); }

HRESULT RRIntervalSaveClassObject::GetCategory(GUID* category) { return copy_out<GUID>(kFileSaveCategory, category); }

HRESULT RRIntervalSaveClassObject::GetTypeId(std::uint32_t* typeId) { return copy_out<std::uint32_t>(0, typeId); }

HRESULT RRIntervalSaveClassObject::GetFlags(std::uint32_t* flags) { return copy_out<std::uint32_t>(0, flags); }

}  // namespace HRV
