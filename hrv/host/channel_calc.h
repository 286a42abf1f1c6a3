// SPDX-License-Identifier: MIT
// The HRV channel calculation: plots one beat value (period, its change, rate or
// complexity) of the document's analysis as a host channel. It computes nothing itself: it
// hands the host the expression HRVSelector(<fiducial channel>,<type>,<interpolate>), which
// the selector enumerator evaluates beat by beat. Its settings are chosen in the "HRV
// Calculations" dialog and kept by the host with the channel. The analysis document draws
// guide lines at the classifier box's limits on such channels.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hrv/core/settings_fields.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/application.h"
#include "sdk/host/channel_calc.h"
#include "sdk/host/dialogs.h"
#include "sdk/host/computed_channels.h"
#include "sdk/host/document_data.h"
#include "sdk/hrv/result_codes.h"

namespace HRV {

// How each selector type is shown as a channel.
struct ChannelParameter {
  std::int32_t type;            // the selector's Type
  std::uint32_t nameId;         // string id of the dialog text; 0 when the dialog does not offer it
  std::string_view titleSuffix;  // after "HRV Calculation : "
  std::string_view unit;        // "" for none
  double top;                   // default scale, in the unit
  double bottom;
};

// The parameter of `type`; null for a type outside 0..5.
const ChannelParameter* channel_parameter(std::int32_t type) noexcept;

class ChannelCalc final : public ComObject<IChannelCalculation, IArithmeticCalculation> {
 public:
  // The calculation's settings, persisted by the host with the channel.
  class Settings final : public ComObject<IPersistStreamInit, IDialogEditable> {
   public:
    static constexpr std::int32_t kVersion = 1;

    std::int32_t Parameter = 0;  // the selector type
    bool GuideLines = true;      // draw the classifier box's limits
    bool Interpolate = false;    // passed to the selector; no dialog control

    HRESULT GetClassID(GUID* classId) override;
    HRESULT IsDirty() override;  // S_OK when changed since the last Save that cleared it
    // Version, Parameter (int32), GuideLines and Interpolate (16-bit, non-zero true).
    // HRV_E_NEWER_VERSION for a version above 1, nothing changed; a truncated stream keeps
    // the values it did not reach.
    HRESULT Load(IByteStream* stream) override;
    HRESULT Save(IByteStream* stream, VARIANT_BOOL clearDirty) override;
    HRESULT GetSizeMax(std::uint64_t* size) override;  // 12 bytes
    HRESULT InitNew() override;
    // The "HRV Calculations" dialog on this object (calculations_dialog.h).
    HRESULT CreateDialog(IExtensionDialog** dialog) override;

    // The Settings behind an object, or null when it is none.
    static Settings* from(IUnknown* object) noexcept;
    void assign(const Settings& other) noexcept;

    bool dirty = false;
  };

  // A calculation for the host document object `host` (which answers IHostDocument and
  // IExtensionDocuments), with default settings applied. Throws HResultError when the host
  // gives no computed channels.
  explicit ChannelCalc(IUnknown& host);

  // The HRV channel calculation behind an object, or null when it is none.
  static ChannelCalc* from(IUnknown* object) noexcept;

  // IChannelCalculation
  // Copies the settings, sets unit, scale and title, and builds the expression: the
  // selector over the document's fiducial channel when it exists, "0" until then.
  HRESULT ApplySettings(IUnknown* settings) override;
  HRESULT GetSettings(IPersistStreamInit** settings) override;
  HRESULT GetTitle(BSTR* title) override;
  HRESULT GetUnit(BSTR* unit) override;
  HRESULT GetDefaultScale(double* top, double* bottom) override;
  HRESULT GetFlags(std::uint32_t* flags) override;  // 0x10000000

  // IArithmeticCalculation: the internal calculation the host created for it.
  HRESULT Initialise(const char16_t* expression, const char16_t* message, BSTR* error) override;
  HRESULT GetExpression(BSTR* expression) override;

  const Settings& settings() const noexcept { return *settings_; }

 private:
  ComPtr<IUnknown> host_;
  ComPtr<IComputedChannels> channels_;
  ComPtr<IArithmeticCalculation> calculation_;
  ComPtr<Settings> settings_ = make_com<Settings>();
  const ChannelParameter* parameter_ = nullptr;
};

// Sets the two guide lines of `channelIndex` at the classifier box limits for `settings`
// (beat period, rate or complexity with GuideLines on), or removes them (any other case),
// through the chart messages of `chart`.
void apply_guide_lines(IChartMessageTarget& chart, std::int32_t channelIndex, const ChannelCalc::Settings& settings,
                       const SettingsFields& box);
void remove_guide_lines(IChartMessageTarget& chart, std::int32_t channelIndex);

// The class objects: the calculation's ("HRV Calculation") and its settings' ("Settings").
ComPtr<IUnknown> make_channel_calc_class();
ComPtr<IUnknown> make_channel_calc_settings_class();

}  // namespace HRV
