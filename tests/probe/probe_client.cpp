// SPDX-License-Identifier: MIT
// The probe's client: walks the host's document services through their interfaces only,
// and its mask child, which the threshold enumerator finds in the chart data.
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "sdk/cpp/com_object.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/application.h"
#include "sdk/host/computed_channels.h"
#include "sdk/host/document_data.h"
#include "tests/probe/probe_module.h"

namespace probe {
namespace {

class Mask final : public ComObject<IChartDataChildData, IProbeMask> {
 public:
  HRESULT GetTypeId(std::uint32_t* typeId) override {
    if (!typeId) return E_POINTER;
    *typeId = mask_type_id();
    return S_OK;
  }
  HRESULT Clone(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, IChartDataChildData** copy) override {
    return guard([&] {
      if (!copy) return E_POINTER;
      auto c = make_com<Mask>();
      c->ticks_ = ticks_;
      *copy = c.detach();
      return S_OK;
    });
  }
  HRESULT OnDataInserted(std::int32_t, std::int32_t, std::int32_t) override { return S_OK; }
  HRESULT OnDataRemoved(std::int32_t, std::int32_t, std::int32_t) override { return S_OK; }
  HRESULT OnRecordsChanged(std::int32_t, std::int32_t) override { return S_OK; }

  void Add(std::int32_t tick) override { ticks_.insert(tick); }
  bool Contains(std::int32_t tick) override { return ticks_.count(tick) != 0; }

 private:
  std::set<std::int32_t> ticks_;
};

template <class I>
ComPtr<I> need(IUnknown* object) {
  auto p = ComPtr<IUnknown>::retain(object).query<I>();
  if (!p) throw_hresult(E_NOINTERFACE, "the document lacks an interface");
  return p;
}

ChannelId find(IComputedChannels& channels, const char16_t* name) {
  ChannelId id;
  if (channels.FindChannel(name, &id) != S_OK || !id.found()) throw_hresult(E_INVALIDARG, "no such channel");
  return id;
}

class Client final : public ComObject<IProbeClient> {
 public:
  HRESULT Define(IUnknown* document, const char16_t* name, const char16_t* expression, BSTR* error) override {
    return guard([&] {
      if (error) *error = nullptr;
      auto channels = need<IComputedChannels>(document);
      ChannelId id;
      if (check_hresult(channels->FindChannel(name, &id)) == S_FALSE) check_hresult(channels->CreateChannel(name, &id));
      ComPtr<IArithmeticCalculation> calculation;
      check_hresult(channels->CreateArithmeticCalculation(calculation.put()));
      if (HRESULT hr = calculation->Initialise(expression, u"Probe", error); FAILED(hr)) return hr;
      if (HRESULT hr = channels->SetCalculation(id, calculation.get()); FAILED(hr)) return hr;
      check_hresult(channels->SetChannelFlag(id, VARIANT_TRUE));
      // What was attached must come back, as the same object, with the flag set.
      VARIANT_BOOL flag = VARIANT_FALSE;
      ComPtr<IUnknown> attached;
      check_hresult(channels->GetChannelFlag(id, &flag));
      check_hresult(need<IChannelCalculations>(document)->GetCalculation(id, attached.put()));
      if (flag != VARIANT_TRUE || attached.get() != calculation.query<IUnknown>().get()) return E_UNEXPECTED;
      return S_OK;
    });
  }

  HRESULT Collect(IUnknown* document, const char16_t* name, TickPosition from, TickPosition to, std::uint32_t batch,
                  std::int32_t* ticks, std::int32_t* records, std::uint32_t capacity, std::uint32_t* count) override {
    return guard([&] {
      if (!ticks || !records || !count || batch == 0) return E_POINTER;
      *count = 0;
      auto data = need<IDocumentData>(document);
      ComPtr<IEventReader> reader;
      check_hresult(data->OpenEventReader(find(*need<IComputedChannels>(document), name), from, to, reader.put()));
      ULONG size = 0;
      check_hresult(reader->GetEventSize(&size));
      if (size < sizeof(CalcEventHeader)) return E_UNEXPECTED;
      std::vector<std::byte> buffer(std::size_t{batch} * size);
      std::vector<std::int32_t> batch_records(batch);
      for (;;) {
        ULONG got = 0;
        const HRESULT hr = check_hresult(reader->Read(buffer.data(), batch, batch_records.data(), &got));
        if ((hr == S_OK) != (got > 0) || got > batch) return E_UNEXPECTED;
        if (hr == S_FALSE) break;
        for (ULONG i = 0; i < got; ++i) {
          CalcEventHeader header;
          std::memcpy(&header, buffer.data() + std::size_t{i} * size, sizeof header);
          const TickPosition at{header.tick, batch_records[i]};
          if (*count > 0 && at < TickPosition{ticks[*count - 1], records[*count - 1]}) return E_UNEXPECTED;
          if (at < from || (to.record < TickPosition::kOpenEndRecord && !(at < to))) return E_UNEXPECTED;
          if (*count == capacity) return E_INVALIDARG;
          ticks[*count] = at.tick;
          records[*count] = at.record;
          ++*count;
        }
      }
      TickPosition position;
      check_hresult(reader->GetPosition(&position));
      if (*count > 0 && position < TickPosition{ticks[*count - 1], records[*count - 1]}) return E_UNEXPECTED;
      return S_OK;
    });
  }

  HRESULT Mask(IUnknown* document, std::int32_t tick) override {
    return guard([&] {
      auto chart = need<IChartData>(document);
      ComPtr<IChartDataChildData> child;
      if (check_hresult(chart->GetChild(mask_type_id(), child.put())) == S_FALSE) {
        child = make_mask();
        check_hresult(chart->AddChild(child.get()));
      }
      auto mask = child.query<IProbeMask>();
      if (!mask) return E_UNEXPECTED;
      mask->Add(tick);
      return S_OK;
    });
  }

  HRESULT Describe(IUnknown* document, BSTR* text) override {
    return guard([&] {
      if (!text) return E_POINTER;
      auto data = need<IDocumentData>(document);
      std::string out;
      auto line = [&](const std::string& s) { out += s + "\n"; };
      auto number = [](double v) {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.17g", v);
        return std::string(buffer);
      };
      Bstr name;
      check_hresult(data->GetDocumentName(name.put()));
      line("name " + name.utf8());
      std::int32_t records = 0, channels = 0;
      check_hresult(data->GetRecordCount(&records));
      check_hresult(data->GetChannelCount(&channels));
      line("records " + std::to_string(records));
      for (std::int32_t r = 0; r < records; ++r) {
        std::int32_t length = 0;
        double dt = 0.0, start = 0.0;
        check_hresult(data->GetRecordLength(r, &length));
        check_hresult(data->GetSampleInterval(r, ChannelId{0, ChannelId::kDefaultKind}, &dt));
        check_hresult(data->GetRecordStartTime(r, &start));
        line("record " + std::to_string(r) + " " + std::to_string(length) + " " + number(dt) + " " + number(start));
      }
      for (std::int32_t c = 0; c < channels; ++c) {
        Bstr channel_name, unit;
        std::uint32_t colour = 0;
        const ChannelId id{c, ChannelId::kDefaultKind};
        check_hresult(data->GetChannelName(id, channel_name.put()));
        check_hresult(data->GetChannelUnit(id, unit.put()));
        check_hresult(data->GetChannelColour(id, &colour));
        char hex[8];
        std::snprintf(hex, sizeof hex, "%06x", static_cast<unsigned>(colour));
        line("channel " + std::to_string(c) + " " + channel_name.utf8() + " " + unit.utf8() + " " + hex);
      }
      TickPosition end;
      check_hresult(data->GetEndOfData(&end));
      line("end " + std::to_string(end.tick) + " " + std::to_string(end.record));
      *text = Bstr(out).detach();
      return S_OK;
    });
  }

  HRESULT Remove(IUnknown* document, const char16_t* name) override {
    return guard([&] {
      auto channels = need<IComputedChannels>(document);
      const ChannelId id = find(*channels, name);
      check_hresult(channels->SetChannelFlag(id, VARIANT_FALSE));
      return channels->DeleteChannel(id);
    });
  }
};

class ClientClass final : public ComObject<IClassFactory, IClassObjectInfo> {
 public:
  HRESULT CreateInstance(IUnknown* outer, const GUID& iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return E_INVALIDARG;
    return guard([&] { return make_com<Client>()->QueryInterface(iid, object); });
  }
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }

  HRESULT GetDisplayName(BSTR* name) override { return text(u"Probe Client", name); }
  HRESULT GetInternalName(BSTR* name) override { return text(u"ProbeClient", name); }
  HRESULT GetClassId(GUID* classId) override { return value(kClientClassId, classId); }
  HRESULT GetCategory(GUID* category) override { return value(kProbeCategory, category); }
  HRESULT GetTypeId(std::uint32_t* typeId) override { return value(std::uint32_t{module_id()} << 16, typeId); }
  HRESULT GetFlags(std::uint32_t* flags) override { return value(std::uint32_t{0}, flags); }

 private:
  static HRESULT text(const char16_t* s, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocString(s);
    return S_OK;
  }
  template <class T>
  static HRESULT value(T v, T* out) {
    if (!out) return E_POINTER;
    *out = v;
    return S_OK;
  }
};

}  // namespace

ComPtr<IChartDataChildData> make_mask() { return ComPtr<IChartDataChildData>::adopt(make_com<Mask>().detach()); }
ComPtr<IUnknown> make_client_class() { return ComPtr<IUnknown>::adopt(make_com<ClientClass>().detach()->identity()); }

}  // namespace probe
