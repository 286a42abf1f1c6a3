// SPDX-License-Identifier: MIT
// The probe's channel calculation, "Probe Scaled": the first recorded channel times a
// factor. It wraps a host arithmetic calculation, through which the host evaluates the
// channel; its settings persist as a ScaledSettings stream.
#include <string>

#include "sdk/cpp/com_object.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/application.h"
#include "sdk/host/channel_calc.h"
#include "sdk/host/computed_channels.h"
#include "sdk/host/host_document.h"
#include "tests/probe/probe_document.h"
#include "tests/probe/probe_items.h"
#include "tests/probe/probe_module.h"

namespace probe {
namespace {

class Scaled final : public ComObject<IChannelCalculation, IArithmeticCalculation> {
 public:
  explicit Scaled(ComPtr<IArithmeticCalculation> inner) : inner_(std::move(inner)) {}

  HRESULT ApplySettings(IUnknown* settings) override {
    if (!settings) return E_POINTER;
    ComPtr<IPersistStreamInit> persist;
    GUID cls{};
    if (FAILED(settings->QueryInterface(IPersistStreamInit::iid, persist.put_void())) || FAILED(persist->GetClassID(&cls)) ||
        !(cls == kScaledSettingsClassId))
      return E_INVALIDARG;
    return guard([&] {
      // Of this module's own class, so the values can be read directly.
      const auto* values = dynamic_cast<const ScaledSettings*>(persist.get());
      if (!values) return E_INVALIDARG;
      if (values != settings_.get()) settings_->set(values->factor(), values->guide_lines());
      factor_ = values->factor();
      const std::u16string expression = utf8_to_utf16("Ch1*" + std::to_string(factor_));
      return inner_->Initialise(expression.c_str(), u"Probe Scaled", nullptr);
    });
  }
  HRESULT GetSettings(IPersistStreamInit** settings) override {
    return ComPtr<IPersistStreamInit>::retain(settings_.get()).copy_to(settings);
  }
  HRESULT GetTitle(BSTR* title) override {
    if (!title) return E_POINTER;
    *title = Bstr("Probe Scaled : x" + std::to_string(factor_)).detach();
    return S_OK;
  }
  HRESULT GetUnit(BSTR* unit) override { return put_text(u"mV", unit); }
  HRESULT GetDefaultScale(double* top, double* bottom) override {
    if (!top || !bottom) return E_POINTER;
    *top = factor_;
    *bottom = -factor_;
    return S_OK;
  }
  HRESULT GetFlags(std::uint32_t* flags) override { return put_value(0x10000000u, flags); }

  // The expression follows the settings; nobody else sets it.
  HRESULT Initialise(const char16_t*, const char16_t*, BSTR* error) override {
    if (error) *error = SysAllocString(u"the expression of Probe Scaled follows its settings");
    return E_INVALIDARG;
  }
  HRESULT GetExpression(BSTR* expression) override { return inner_->GetExpression(expression); }

 private:
  ComPtr<IArithmeticCalculation> inner_;
  ComPtr<ScaledSettings> settings_ = make_com<ScaledSettings>();
  std::int32_t factor_ = 0;
};

class ScaledClass final : public ComObject<IChannelCalculationClass, IClassObjectInfo> {
 public:
  HRESULT CreateInstance(IUnknown*, const GUID&, void** object) override {
    if (object) *object = nullptr;
    return E_NOTIMPL;
  }
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }
  HRESULT CreateCalculation(IUnknown* document, ChannelId, IChannelCalculation** calculation) override {
    if (!document || !calculation) return E_POINTER;
    *calculation = nullptr;
    return guard([&] {
      ComPtr<IHostDocument> host;
      ComPtr<IDocumentData> data;
      check_hresult(document->QueryInterface(IHostDocument::iid, host.put_void()));
      check_hresult(host->GetDocumentData(data.put()));
      auto channels = data.query<IComputedChannels>();
      if (!channels) return E_NOINTERFACE;
      ComPtr<IArithmeticCalculation> inner;
      check_hresult(channels->CreateArithmeticCalculation(inner.put()));
      auto scaled = make_com<Scaled>(std::move(inner));
      ComPtr<IPersistStreamInit> defaults;
      check_hresult(scaled->GetSettings(defaults.put()));
      check_hresult(defaults->InitNew());
      check_hresult(scaled->ApplySettings(defaults.get()));
      *calculation = scaled.detach();
      return S_OK;
    });
  }

  HRESULT GetDisplayName(BSTR* name) override { return put_text(u"Probe Scaled", name); }
  HRESULT GetInternalName(BSTR* name) override { return put_text(u"ProbeScaled", name); }
  HRESULT GetClassId(GUID* classId) override { return put_value(kScaledClassId, classId); }
  HRESULT GetCategory(GUID* category) override { return put_value(kChannelCalculationCategory, category); }
  HRESULT GetTypeId(std::uint32_t* typeId) override { return put_value((std::uint32_t{module_id()} << 16) | 0x30u, typeId); }
  HRESULT GetFlags(std::uint32_t* flags) override { return put_value(0x10000000u, flags); }
};

}  // namespace

ComPtr<IUnknown> make_scaled_class() { return ComPtr<IUnknown>::adopt(make_com<ScaledClass>().detach()->identity()); }

}  // namespace probe
