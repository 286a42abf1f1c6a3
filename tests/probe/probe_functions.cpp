// SPDX-License-Identifier: MIT
// The probe's two Tabulet functions. Each counts the events of the computed channel
// "Crossings" in the stretch it is given, reading them through an event reader of the data
// source; each works only for the data of its own host document, which must hold a probe
// document.
#include <cmath>
#include <cstring>
#include <vector>

#include "sdk/cpp/com_object.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/host/application.h"
#include "sdk/host/computed_channels.h"
#include "sdk/host/document_data.h"
#include "sdk/host/host_document.h"
#include "sdk/host/host_services.h"
#include "sdk/host/tabulet.h"
#include "tests/probe/probe_document.h"
#include "tests/probe/probe_module.h"

namespace probe {
namespace {

enum class Kind { Crossings, Interval };

// The ticks of the crossings in [start, end), or nothing when the data have no such
// channel.
std::vector<TickPosition> crossings(IDocumentData& data, TickPosition start, TickPosition end) {
  ComPtr<IComputedChannels> channels;
  data.QueryInterface(IComputedChannels::iid, channels.put_void());
  ChannelId id;
  if (!channels || channels->FindChannel(u"Crossings", &id) != S_OK) throw_hresult(E_FAIL, "no crossings channel");
  ComPtr<IEventReader> reader;
  check_hresult(data.OpenEventReader(id, start, end, reader.put()));
  ULONG size = 0;
  check_hresult(reader->GetEventSize(&size));
  std::vector<std::byte> buffer(std::size_t{size} * 32);
  std::int32_t records[32];
  std::vector<TickPosition> out;
  for (ULONG got = 0; reader->Read(buffer.data(), 32, records, &got) == S_OK;)
    for (ULONG i = 0; i < got; ++i) {
      std::int32_t tick = 0;
      std::memcpy(&tick, buffer.data() + std::size_t{i} * size, sizeof tick);
      out.push_back({tick, records[i]});
    }
  return out;
}

class Function final : public ComObject<ITabuletFunction> {
 public:
  Function(Kind kind, ComPtr<IUnknown> own_data) : kind_(kind), own_data_(std::move(own_data)) {}

  HRESULT SetDataSource(IUnknown* source) override {
    if (!source) return E_POINTER;
    ComPtr<IUnknown> identity;
    source->QueryInterface(IUnknown::iid, identity.put_void());
    if (identity != source_) dirty_ = true;
    source_ = identity;
    return S_OK;
  }
  HRESULT SetChannel(ChannelId channel) override {
    if (channel != channel_) dirty_ = true;
    channel_ = channel;
    return S_OK;
  }
  HRESULT SetRange(TickPosition start, TickPosition end) override {
    if (start != start_ || end != end_) dirty_ = true;
    start_ = start;
    end_ = end;
    return S_OK;
  }
  HRESULT Calculate(std::int32_t reason, ChannelId channel, VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantClear(value);
    if (reason == kTabuletEverythingChanged || reason == kTabuletRangeChanged || channel != channel_) dirty_ = true;
    return guard([&] {
      if (!source_) return E_FAIL;
      if (dirty_) recalculate();
      dirty_ = false;
      if (status_ != S_OK) return status_;
      return VariantCopy(value, &value_);
    });
  }
  HRESULT GetValue(VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantClear(value);
    if (!source_ || source_ != own_data_) {
      VariantClear(&value_);
      status_ = E_FAIL;
      return E_FAIL;
    }
    return Calculate(kTabuletSelectionChanged, channel_, value);
  }
  HRESULT GetName(BSTR* name) override { return put_text(kind_ == Kind::Crossings ? u"Crossings" : u"Mean Interval", name); }
  HRESULT GetUnit(BSTR* unit, std::int32_t* prefixExponent) override {
    if (!prefixExponent) return E_POINTER;
    *prefixExponent = kind_ == Kind::Crossings ? 0 : -3;
    return put_text(kind_ == Kind::Crossings ? u"" : u"s", unit);
  }
  HRESULT GetNumberFormat(BSTR* format) override { return put_text(kind_ == Kind::Crossings ? u"General" : u"0.0###", format); }
  HRESULT GetTypeId(std::uint32_t* typeId) override {
    return put_value((std::uint32_t{module_id()} << 16) | (kind_ == Kind::Crossings ? 0x20u : 0x21u), typeId);
  }
  HRESULT ReleaseData() override {
    source_.reset();
    VariantClear(&value_);
    status_ = E_FAIL;
    dirty_ = true;
    return S_OK;
  }

  ~Function() override { VariantClear(&value_); }

 private:
  void recalculate() {
    VariantClear(&value_);
    status_ = E_FAIL;
    auto data = source_.query<IDocumentData>();
    if (!data || !start_.is_set() || !end_.is_set()) return;
    const auto found = crossings(*data, start_, end_);
    if (kind_ == Kind::Crossings) {
      if (found.empty()) return;
      value_.vt = VT_I4;
      value_.lVal = static_cast<std::int32_t>(found.size());
    } else {
      // Mean spacing within one record, in milliseconds.
      if (found.size() < 2 || found.front().record != found.back().record) return;
      double dt = 0.0;
      check_hresult(data->GetSampleInterval(found.front().record, ChannelId{0, ChannelId::kDefaultKind}, &dt));
      value_.vt = VT_R8;
      value_.dblVal = 1000.0 * dt * (found.back().tick - found.front().tick) / static_cast<double>(found.size() - 1);
    }
    status_ = S_OK;
  }

  Kind kind_;
  ComPtr<IUnknown> own_data_;
  ComPtr<IUnknown> source_;
  ChannelId channel_;
  TickPosition start_, end_;
  bool dirty_ = true;
  VARIANT value_{VT_EMPTY, 0, 0, 0, {0}};
  HRESULT status_ = E_FAIL;
};

class FunctionClass final : public ComObject<ITabuletFunctionClass, IClassObjectInfo> {
 public:
  explicit FunctionClass(Kind kind) : kind_(kind) {}

  HRESULT CreateInstance(IUnknown*, const GUID&, void** object) override {
    if (object) *object = nullptr;
    return E_NOTIMPL;
  }
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }
  HRESULT CreateFunction(IUnknown* document, std::int32_t reserved, ITabuletFunction** function) override {
    if (!function) return E_POINTER;
    *function = nullptr;
    if (!document || reserved != 0) return E_FAIL;
    return guard([&] {
      // Made only for a host document that holds a probe document; it keeps the identity of
      // that host document's data.
      ComPtr<IExtensionDocuments> documents;
      ComPtr<IUnknown> probe_document;
      if (FAILED(document->QueryInterface(IExtensionDocuments::iid, documents.put_void())) ||
          documents->FindDocument(kDocumentClassId, probe_document.put()) != S_OK)
        return E_FAIL;
      ComPtr<IHostDocument> host;
      ComPtr<IDocumentData> data;
      check_hresult(document->QueryInterface(IHostDocument::iid, host.put_void()));
      check_hresult(host->GetDocumentData(data.put()));
      *function = make_com<Function>(kind_, data.query<IUnknown>()).detach();
      return S_OK;
    });
  }
  HRESULT GetListPosition(std::int32_t* position) override { return put_value(kind_ == Kind::Crossings ? 1 : 0, position); }
  HRESULT GetDescription(BSTR* description) override {
    return put_text(kind_ == Kind::Crossings ? u"Counts the crossings in the stretch" : u"Mean time between crossings", description);
  }
  HRESULT GetTitles(BSTR* title, BSTR* shortTitle) override {
    if (!title || !shortTitle) return E_POINTER;
    *title = SysAllocString(kind_ == Kind::Crossings ? u"Crossings" : u"Mean Interval");
    *shortTitle = SysAllocString(kind_ == Kind::Crossings ? u"Crossings" : u"Interval");
    return S_OK;
  }

  HRESULT GetDisplayName(BSTR* name) override { return put_text(kind_ == Kind::Crossings ? u"Crossings" : u"Mean Interval", name); }
  HRESULT GetInternalName(BSTR* name) override { return put_text(kind_ == Kind::Crossings ? u"ProbeCrossings" : u"ProbeInterval", name); }
  HRESULT GetClassId(GUID* classId) override {
    return put_value(kind_ == Kind::Crossings ? kCrossingsFunctionClassId : kIntervalFunctionClassId, classId);
  }
  HRESULT GetCategory(GUID* category) override { return put_value(kTabuletFunctionCategory, category); }
  HRESULT GetTypeId(std::uint32_t* typeId) override {
    return put_value((std::uint32_t{module_id()} << 16) | (kind_ == Kind::Crossings ? 0x20u : 0x21u), typeId);
  }
  HRESULT GetFlags(std::uint32_t* flags) override { return put_value(std::uint32_t{0}, flags); }

 private:
  Kind kind_;
};

}  // namespace

ComPtr<IUnknown> make_crossings_function_class() {
  return ComPtr<IUnknown>::adopt(make_com<FunctionClass>(Kind::Crossings).detach()->identity());
}
ComPtr<IUnknown> make_interval_function_class() {
  return ComPtr<IUnknown>::adopt(make_com<FunctionClass>(Kind::Interval).detach()->identity());
}

}  // namespace probe
