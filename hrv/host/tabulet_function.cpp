// SPDX-License-Identifier: MIT
#include "hrv/host/tabulet_function.h"

#include "hrv/core/document.h"
#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"
#include "hrv/resources/string_table.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/out_param.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/host_services.h"

namespace HRV {
namespace {

// The class id every Tabulet function class reports; the host tells them apart by key.
inline constexpr GUID kTabuletFunctionClassId = make_guid("{A6458A36-7CFE-4207-83E8-D6C2E9E15AB9}");
// Key of the module id in the functions' type ids.
inline constexpr GUID kTabuletFunctionFamily = make_guid("{FABB4A57-25A2-4327-B005-6C96ECAC69B4}");

ComPtr<IUnknown> identity_of(IUnknown* object) {
  ComPtr<IUnknown> identity;
  if (object) object->QueryInterface(IUnknown::iid, identity.put_void());
  return identity;
}

}  // namespace

std::uint32_t tabulet_type_id(std::int32_t position) {
  return make_type_id(HostContext::instance().module_id(kTabuletFunctionFamily), static_cast<std::uint16_t>(position));
}

TabuletFunction::TabuletFunction(const TabuletFunctionInfo& info, std::int32_t position, IUnknown& host)
    : info_(info), position_(position) {
  VariantInit(&value_);
  ComPtr<IHostDocument> document;
  ComPtr<IDocumentData> data;
  if (SUCCEEDED(host.QueryInterface(IHostDocument::iid, document.put_void())) && document &&
      SUCCEEDED(document->GetDocumentData(data.put())))
    ownData_ = identity_of(data.get());
  ComPtr<IExtensionDocuments> documents;
  if (SUCCEEDED(host.QueryInterface(IExtensionDocuments::iid, documents.put_void())) && documents)
    documents->FindDocument(GUID_HRVDocumentObj, analysis_.put());
  if (!Document::from(analysis_.get())) analysis_.reset();
}

TabuletFunction::~TabuletFunction() { VariantClear(&value_); }

HRESULT TabuletFunction::SetDataSource(IUnknown* source) {
  if (!source) return E_POINTER;
  ComPtr<IUnknown> identity = identity_of(source);
  if (identity != source_) {
    source_ = std::move(identity);
    dirty_ |= SourceChanged;
  }
  return S_OK;
}

HRESULT TabuletFunction::SetChannel(ChannelId channel) {
  if (!(channel == channel_)) {
    channel_ = channel;
    dirty_ |= RangeChanged;
  }
  return S_OK;
}

HRESULT TabuletFunction::SetRange(TickPosition start, TickPosition end) {
  if (start != start_ || end != end_) {
    start_ = start;
    end_ = end;
    dirty_ |= RangeChanged;
  }
  return S_OK;
}

HRESULT TabuletFunction::Calculate(std::int32_t reason, ChannelId channel, VARIANT* value) {
  if (!value) return E_POINTER;
  VariantClear(value);
  switch (reason) {
    case kTabuletEverythingChanged: dirty_ |= EverythingChanged; break;
    case kTabuletRangeChanged: dirty_ |= RangeChanged; break;
    case kTabuletSelectionChanged: dirty_ |= SelectionChanged; break;
    default: break;
  }
  SetChannel(channel);
  if (!source_) return E_FAIL;
  calculate();
  VariantCopy(value, &value_);
  return status_;
}

HRESULT TabuletFunction::GetValue(VARIANT* value) {
  if (!value) return E_POINTER;
  VariantClear(value);
  // Only the data of the analysed document: a stretch of another document would be
  // analysed with settings and a detector chain that are not its own.
  if (!reads_own_document()) {
    VariantClear(&value_);
    status_ = E_FAIL;
    return E_FAIL;
  }
  calculate();
  VariantCopy(value, &value_);
  return status_;
}

bool TabuletFunction::reads_own_document() const { return source_ && source_ == ownData_; }

void TabuletFunction::calculate() {
  VariantClear(&value_);
  status_ = guard([&] {
    if (dirty_ & (RangeChanged | SourceChanged)) analyse();
    dirty_ = 0;
    const Document* document = Document::from(analysis_.get());
    if (!stretch_ || stretch_->includedBeats == 0 || !document) return E_FAIL;
    const TabuletValue v = info_.value({stretch_->results, *document});
    if (const auto* count = std::get_if<std::int32_t>(&v)) {
      value_.vt = VT_I4;
      value_.lVal = *count;
    } else {
      value_.vt = VT_R8;
      value_.dblVal = std::get<double>(v);
    }
    return S_OK;
  });
}

void TabuletFunction::analyse() {
  stretch_.reset();
  Document* document = Document::from(analysis_.get());
  const ComPtr<IDocumentData> data = source_.query<IDocumentData>();
  ChannelId fiducial;
  if (!document || !data || !start_.is_set() || !end_.is_set() || !document->detector().FiducialChannel(&fiducial))
    return;
  // The document's settings with the stretch as the region; a stretch of no length still
  // reads the beat at its one tick.
  SettingsFields settings = document->settings();
  TickPosition end = end_;
  if (end == start_) ++end.tick;
  settings.StartTick = start_.tick;
  settings.StartRecord = start_.record;
  settings.EndTick = end.tick;
  settings.EndRecord = end.record;
  stretch_ = document->stretch_analysis(data.get(), settings, fiducial);
}

HRESULT TabuletFunction::GetName(BSTR* name) { return copy_text(LoadString(info_.nameId), name); }

HRESULT TabuletFunction::GetUnit(BSTR* unit, std::int32_t* prefixExponent) {
  if (!unit || !prefixExponent) return E_POINTER;
  *prefixExponent = info_.prefixExponent;
  return copy_text(info_.unit, unit);
}

HRESULT TabuletFunction::GetNumberFormat(BSTR* format) { return copy_text(info_.format, format); }

HRESULT TabuletFunction::GetTypeId(std::uint32_t* typeId) {
  if (!typeId) return E_POINTER;
  return guard([&] {
    *typeId = tabulet_type_id(position_);
    return S_OK;
  });
}

HRESULT TabuletFunction::ReleaseData() {
  source_.reset();
  stretch_.reset();
  VariantClear(&value_);
  status_ = E_FAIL;
  dirty_ = EverythingChanged;
  return S_OK;
}

// ---- TabuletFunctionClass ----

HRESULT TabuletFunctionClass::CreateInstance(IUnknown*, const GUID&, void** object) {
  if (object) *object = nullptr;
  return E_NOTIMPL;
}

HRESULT TabuletFunctionClass::CreateFunction(IUnknown* document, std::int32_t reserved, ITabuletFunction** function) {
  if (!function) return E_POINTER;
  *function = nullptr;
  if (!document || reserved != 0) return E_FAIL;
  return guard([&] {
    *function = make_com<TabuletFunction>(info_, position_, *document).detach();
    return S_OK;
  });
}

HRESULT TabuletFunctionClass::GetListPosition(std::int32_t* position) { return copy_out<std::int32_t>(position_, position); }

HRESULT TabuletFunctionClass::GetDescription(BSTR* description) {
  return copy_text(LoadString(info_.nameId + 1), description);
}

HRESULT TabuletFunctionClass::GetTitles(BSTR* title, BSTR* shortTitle) {
  if (!title || !shortTitle) return E_POINTER;
  *title = *shortTitle = nullptr;
  if (HRESULT hr = copy_text(LoadString(info_.nameId + 2), title); FAILED(hr)) return hr;
  if (HRESULT hr = copy_text(LoadString(info_.nameId + 3), shortTitle); FAILED(hr)) {
    SysFreeString(*title);
    *title = nullptr;
    return hr;
  }
  return S_OK;
}

HRESULT TabuletFunctionClass::GetDisplayName(BSTR* name) { return copy_text(LoadString(info_.nameId), name); }
HRESULT TabuletFunctionClass::GetInternalName(BSTR* name) { return copy_text(info_.key, name); }

HRESULT TabuletFunctionClass::GetClassId(GUID* classId) { return copy_out<GUID>(kTabuletFunctionClassId, classId); }

HRESULT TabuletFunctionClass::GetCategory(GUID* category) { return copy_out<GUID>(kTabuletFunctionCategory, category); }

HRESULT TabuletFunctionClass::GetTypeId(std::uint32_t* typeId) {
  if (!typeId) return E_POINTER;
  return guard([&] {
    *typeId = tabulet_type_id(position_);
    return S_OK;
  });
}

HRESULT TabuletFunctionClass::GetFlags(std::uint32_t* flags) { return copy_out<std::uint32_t>(0, flags); }

}  // namespace HRV
