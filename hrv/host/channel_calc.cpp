// SPDX-License-Identifier: MIT
#include "hrv/host/channel_calc.h"

#include <algorithm>
#include <bit>
#include <iterator>

#include <boost/format.hpp>

#include "hrv/core/document.h"
#include "hrv/host/guids.h"
#include "hrv/resources/string_table.h"
#include "sdk/cpp/binary_stream.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/out_param.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/host_document.h"
#include "sdk/host/host_services.h"
#include "sdk/hrv/result_codes.h"

namespace HRV {
namespace {

inline constexpr GUID kChannelCalcClassId = make_guid("{685BF807-4352-408F-B858-577EF212F377}");
inline constexpr GUID kChannelCalcSettingsClassId = make_guid("{0B442B38-078A-475D-891A-00B493F8C003}");
constexpr std::uint32_t kTitleStringId = 8;
constexpr std::uint32_t kCalcFlags = 0x10000000u;

constexpr ChannelParameter kParameters[] = {
    {0, 14, "Beat Period", "s", 2.0, -2.0},
    {1, 15, "Change in Beat Period", "s", 0.1, -0.1},
    {2, 16, "Beat Rate", "BPM", 120.0, -120.0},
    {3, 0, "", "", 10.0, -10.0},
    {4, 0, "", "", 10.0, -10.0},
    {5, 17, "Beat Complexity", "", 2.0, -2.0},
};


// Guide lines and the band between them.
constexpr std::uint32_t kLineFlags = 0x21122u;
constexpr std::uint32_t kBandFlags = 0x2121212u;
constexpr std::uint32_t kLineColour = 0x898989u;  // RGB (137, 137, 137)
constexpr std::uint32_t kBandColour = 0xFEC2C2u;  // RGB (254, 194, 194)

void send(IChartMessageTarget& chart, std::uint32_t type, const std::vector<std::uint32_t>& fields,
          const char16_t* text = nullptr) {
  const ChartMessage message{type, static_cast<std::uint32_t>(fields.size()), fields.data(), text};
  chart.SendChartMessage(&message);
}

std::uint32_t index_field(std::int32_t channelIndex) noexcept { return static_cast<std::uint32_t>(channelIndex); }

// The box limits a parameter's guide lines lie at, or false when it has none.
bool guide_values(std::int32_t parameter, const SettingsFields& box, double& line1, double& line2) {
  switch (parameter) {
    case 0: line1 = box.MinRR; line2 = box.MaxRR; return true;
    // Beats per minute of the RR limits; a limit near 0 s is taken as 10 ms.
    case 2: line1 = 60.0 / std::max(box.MinRR, 0.01); line2 = 60.0 / std::max(box.MaxRR, 0.01); return true;
    case 5: line1 = box.MinFF; line2 = box.MaxFF; return true;
    default: return false;
  }
}

class ChannelCalcClass final : public ComObject<IChannelCalculationClass, IClassObjectInfo> {
 public:
  HRESULT CreateInstance(IUnknown*, const GUID&, void** object) override {
    if (object) *object = nullptr;
    return E_NOTIMPL;
  }
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }
  HRESULT CreateCalculation(IUnknown* document, ChannelId, IChannelCalculation** calculation) override {
    if (!calculation) return E_POINTER;
    *calculation = nullptr;
    if (!document) return E_POINTER;
    return guard([&] {
      *calculation = make_com<ChannelCalc>(*document).detach();
      return S_OK;
    });
  }
  HRESULT GetDisplayName(BSTR* name) override { return guard([&] { return copy_text(LoadString(kTitleStringId), name); }); }
  HRESULT GetInternalName(BSTR* name) override { return guard([&] { return copy_text(LoadString(kTitleStringId), name); }); }
  HRESULT GetClassId(GUID* classId) override { return copy_out<GUID>(kChannelCalcClassId, classId); }
  HRESULT GetCategory(GUID* category) override { return copy_out<GUID>(kChannelCalculationCategory, category); }
  HRESULT GetTypeId(std::uint32_t* typeId) override { return copy_out<std::uint32_t>(0, typeId); }
  HRESULT GetFlags(std::uint32_t* flags) override { return copy_out<std::uint32_t>(kCalcFlags, flags); }
};

// Creates settings objects, for a host that restores a channel's settings before it has
// the calculation.
class ChannelCalcSettingsClass final : public ComObject<IClassFactory, IClassObjectInfo> {
 public:
  HRESULT CreateInstance(IUnknown* outer, const GUID& iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return E_INVALIDARG;  // no aggregation
    return guard([&] { return make_com<ChannelCalc::Settings>()->QueryInterface(iid, object); });
  }
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }
  HRESULT GetDisplayName(BSTR* name) override { return guard([&] { return copy_text("Settings", name); }); }
  HRESULT GetInternalName(BSTR* name) override { return guard([&] { return copy_text("Settings", name); }); }
  HRESULT GetClassId(GUID* classId) override { return copy_out<GUID>(kChannelCalcSettingsClassId, classId); }
  HRESULT GetCategory(GUID* category) override { return copy_out<GUID>(kChannelCalculationCategory, category); }
  HRESULT GetTypeId(std::uint32_t* typeId) override { return copy_out<std::uint32_t>(0, typeId); }
  HRESULT GetFlags(std::uint32_t* flags) override { return copy_out<std::uint32_t>(0, flags); }
};

}  // namespace

const ChannelParameter* channel_parameter(std::int32_t type) noexcept {
  const auto it = std::find_if(std::begin(kParameters), std::end(kParameters),
                               [&](const ChannelParameter& p) { return p.type == type; });
  return it == std::end(kParameters) ? nullptr : it;
}

// ---- ChannelCalc::Settings ----

HRESULT ChannelCalc::Settings::GetClassID(GUID* classId) { return copy_out<GUID>(kChannelCalcSettingsClassId, classId); }

HRESULT ChannelCalc::Settings::IsDirty() { return dirty ? S_OK : S_FALSE; }

HRESULT ChannelCalc::Settings::Load(IByteStream* stream) {
  if (!stream) return E_POINTER;
  BinaryReader in(stream);
  std::int32_t version = 0;
  if (!in.read(version)) return S_OK;
  if (version > kVersion) return HRV_E_NEWER_VERSION;
  in.read(Parameter);
  in.read_bool16(GuideLines);
  in.read_bool16(Interpolate);
  dirty = false;
  return S_OK;
}

HRESULT ChannelCalc::Settings::Save(IByteStream* stream, VARIANT_BOOL clearDirty) {
  if (!stream) return E_POINTER;
  BinaryWriter out(stream);
  out.write(kVersion);
  out.write(Parameter);
  out.write_bool16(GuideLines);
  out.write_bool16(Interpolate);
  if (out.failed()) return E_FAIL;
  if (clearDirty) dirty = false;
  return S_OK;
}

HRESULT ChannelCalc::Settings::GetSizeMax(std::uint64_t* size) { return copy_out<std::uint64_t>(4 + 4 + 2 + 2, size); }

HRESULT ChannelCalc::Settings::InitNew() {
  assign(Settings());
  dirty = false;
  return S_OK;
}

ChannelCalc::Settings* ChannelCalc::Settings::from(IUnknown* object) noexcept {
  ComPtr<IPersistStreamInit> persist;
  if (!object || FAILED(object->QueryInterface(IPersistStreamInit::iid, persist.put_void())) || !persist) return nullptr;
  return dynamic_cast<Settings*>(persist.get());
}

void ChannelCalc::Settings::assign(const Settings& other) noexcept {
  if (&other == this) return;
  Parameter = other.Parameter;
  GuideLines = other.GuideLines;
  Interpolate = other.Interpolate;
  dirty = true;
}

// ---- ChannelCalc ----

ChannelCalc::ChannelCalc(IUnknown& host) : host_(ComPtr<IUnknown>::retain(&host)) {
  ComPtr<IHostDocument> document = host_.query<IHostDocument>();
  ComPtr<IDocumentData> data;
  if (document) document->GetDocumentData(data.put());
  if (data) channels_ = data.query<IComputedChannels>();
  if (!channels_) throw_hresult(E_NOINTERFACE, "the host document has no computed channels");
  check_hresult(channels_->CreateArithmeticCalculation(calculation_.put()), "creating the calculation");
  if (!calculation_) throw_hresult(E_UNEXPECTED, "the host created no calculation");
  check_hresult(ApplySettings(static_cast<IPersistStreamInit*>(settings_.get())), "applying the default settings");
}

ChannelCalc* ChannelCalc::from(IUnknown* object) noexcept {
  ComPtr<IChannelCalculation> calculation;
  if (!object || FAILED(object->QueryInterface(IChannelCalculation::iid, calculation.put_void())) || !calculation)
    return nullptr;
  return dynamic_cast<ChannelCalc*>(calculation.get());
}

HRESULT ChannelCalc::ApplySettings(IUnknown* settings) {
  if (!settings) return E_POINTER;
  const Settings* chosen = Settings::from(settings);
  if (!chosen) return E_INVALIDARG;
  const ChannelParameter* parameter = channel_parameter(chosen->Parameter);
  if (!parameter) return E_INVALIDARG;
  return guard([&] {
    settings_->assign(*chosen);
    parameter_ = parameter;
    // The selector reads the beats of the analysis's fiducial channel; until an analysis
    // has set that channel up, the channel shows zero.
    std::u16string expression = u"0";
    ComPtr<IExtensionDocuments> documents = host_.query<IExtensionDocuments>();
    ComPtr<IUnknown> found;
    if (documents) documents->FindDocument(GUID_HRVDocumentObj, found.put());
    if (const Document* document = Document::from(found.get())) {
      const std::u16string name(document->detector().FiducialName());
      ChannelId fiducial;
      if (channels_->FindChannel(name.c_str(), &fiducial) == S_OK) {
        static const boost::format kSelector("HRVSelector(%1%,%2%,%3%)");
        expression = utf8_to_utf16(
            (boost::format(kSelector) % utf16_to_utf8(name) % settings_->Parameter % (settings_->Interpolate ? 1 : 0)).str());
      }
    }
    Bstr error;
    if (HRESULT hr = calculation_->Initialise(expression.c_str(), nullptr, error.put()); FAILED(hr))
      throw_hresult(hr, error.utf8());
    return S_OK;
  });
}

HRESULT ChannelCalc::GetSettings(IPersistStreamInit** settings) {
  if (!settings) return E_POINTER;
  *settings = settings_.get();
  settings_->AddRef();
  return S_OK;
}

HRESULT ChannelCalc::GetTitle(BSTR* title) {
  if (!title) return E_POINTER;
  return guard([&] {
    return copy_text(std::string(LoadString(kTitleStringId)) + " : " + std::string(parameter_->titleSuffix), title);
  });
}

HRESULT ChannelCalc::GetUnit(BSTR* unit) { return copy_text(parameter_->unit, unit); }

HRESULT ChannelCalc::GetDefaultScale(double* top, double* bottom) {
  if (!top || !bottom) return E_POINTER;
  *top = parameter_->top;
  *bottom = parameter_->bottom;
  return S_OK;
}

HRESULT ChannelCalc::GetFlags(std::uint32_t* flags) { return copy_out<std::uint32_t>(kCalcFlags, flags); }

HRESULT ChannelCalc::Initialise(const char16_t* expression, const char16_t* message, BSTR* error) {
  return calculation_->Initialise(expression, message, error);
}

HRESULT ChannelCalc::GetExpression(BSTR* expression) { return calculation_->GetExpression(expression); }

// ---- Guide lines ----

void apply_guide_lines(IChartMessageTarget& chart, std::int32_t channelIndex, const ChannelCalc::Settings& settings,
                       const SettingsFields& box) {
  double lines[2];
  if (!settings.GuideLines || !guide_values(settings.Parameter, box, lines[0], lines[1])) {
    remove_guide_lines(chart, channelIndex);
    return;
  }
  const std::u16string unit = utf8_to_utf16(channel_parameter(settings.Parameter)->unit);
  const std::uint32_t channel = index_field(channelIndex);
  for (std::uint32_t line = 1; line <= 2; ++line) {
    const auto bits = std::bit_cast<std::uint64_t>(lines[line - 1]);
    send(chart, kChartGuideValue,
         {channel, line, static_cast<std::uint32_t>(bits), static_cast<std::uint32_t>(bits >> 32)}, unit.c_str());
    send(chart, kChartGuideLine, {0, kLineFlags, channel, line, 1, 1, kLineColour});
  }
  send(chart, kChartGuideBand, {0, kBandFlags, channel, 1, kBandColour, 0, 0, 1, kBandColour});
}

void remove_guide_lines(IChartMessageTarget& chart, std::int32_t channelIndex) {
  const std::uint32_t channel = index_field(channelIndex);
  for (std::uint32_t line = 1; line <= 2; ++line) send(chart, kChartGuideLine, {0, kLineFlags, channel, line, 0, 0, kLineColour});
  send(chart, kChartGuideBand, {0, kBandFlags, channel, 0, 0, 0, 0, 0, 0});
}

ComPtr<IUnknown> make_channel_calc_class() {
  return ComPtr<IUnknown>::retain(make_com<ChannelCalcClass>()->identity());
}

ComPtr<IUnknown> make_channel_calc_settings_class() {
  return ComPtr<IUnknown>::retain(make_com<ChannelCalcSettingsClass>()->identity());
}

}  // namespace HRV
