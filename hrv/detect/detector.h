// SPDX-License-Identifier: MIT
// The beat detector: a chain of seven hidden computed channels in the host document,
//   source → low-pass → derivative → Hilbert transform of the derivative → squared
//   envelope → running normalisation → peak detection → fiducial search,
// whose last stage calls the extension's `fiducial` enumerator. The document's detector and
// the settings dialog's preview use separate channel names so that tuning the preview never
// disturbs a running analysis.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "hrv/core/settings_fields.h"
#include "hrv/detect/arithmetic_channel_manager.h"

namespace HRV {

// Stage groups selected by bits of the build and refresh flags.
enum DetectorGroups : std::uint32_t {
  FilterGroup = 0x01000000,     // low-pass, derivative, Hilbert, envelope
  DetectionGroup = 0x02000000,  // normalisation, peak detection
  FiducialGroup = 0x04000000,   // fiducial search
  AllGroups = 0xFF000000,
};

class DetectorBase : public ExtLib::ArithmeticChannelManager {
 public:
  using ArithmeticChannelManager::ArithmeticChannelManager;

  virtual std::u16string_view LowPassName() const = 0;
  virtual std::u16string_view DerivativeName() const = 0;
  virtual std::u16string_view HilbertName() const = 0;
  virtual std::u16string_view EnvelopeName() const = 0;
  virtual std::u16string_view NormalisedName() const = 0;
  virtual std::u16string_view DetectedName() const = 0;
  virtual std::u16string_view FiducialName() const = 0;

  // (Re)defines the expressions of the selected groups from `settings`. Every stage of an
  // attempted group is attempted; the fiducial group only after a successful detection
  // group. True when every attempted stage was accepted.
  bool Build(std::uint32_t flags, const SettingsFields* settings);
  // Finds or creates all seven channels; `fiducial` receives the last one's identity.
  bool CreateChannels(ChannelId* fiducial);
  // Resets the calculations of the selected groups' channels (taking the beat markers off
  // the source first). False only without a host document.
  bool Refresh(std::uint32_t flags, const SettingsFields* settings);
  bool DeleteChannels();
  // Redraws the beat markers from fresh events when markers are on.
  bool ShowBeatMarkers(const SettingsFields* settings);
  // Shows or hides the fiducial events on the source channel.
  void SetBeatMarkers(ChannelId fiducial, std::int32_t sourceIndex, bool show);
  bool FiducialChannel(ChannelId* id) const;

  // Number of Hilbert taps: twice the QRS width in samples of the source, at least 21.
  std::int32_t HilbertLength(const SettingsFields& settings) const;
  // How expressions refer to the source channel ("Ch1", "RCh3" or a computed channel name).
  std::u16string SourceReference(const SettingsFields& settings) const;
  // True when the source is a channel of events (beats the host imported from annotations
  // or an RR list) rather than a signal: then the beats are those events, and the chain is
  // its fiducial stage alone, `beats(...)` over the source.
  bool SourceIsBeatList(const SettingsFields& settings) const;

 private:
  std::array<std::u16string_view, 7> StageNames() const;
  bool BuildFilterGroup(const SettingsFields& settings);
  bool BuildDetectionGroup(const SettingsFields& settings);
  bool BuildFiducialGroup(const SettingsFields& settings);
};

// The analysis document's detector.
class HRVDetector final : public DetectorBase {
 public:
  using DetectorBase::DetectorBase;
  std::u16string_view LowPassName() const override { return u"HRV_vLPF"; }
  std::u16string_view DerivativeName() const override { return u"HRV_vDIF"; }
  std::u16string_view HilbertName() const override { return u"HRV_vHLB"; }
  std::u16string_view EnvelopeName() const override { return u"HRV_vENV"; }
  std::u16string_view NormalisedName() const override { return u"HRV_vNRM"; }
  std::u16string_view DetectedName() const override { return u"HRV_vDET"; }
  std::u16string_view FiducialName() const override { return u"HRV_vFID"; }
};

// The detector settings dialog's live preview.
class PreviewDetector final : public DetectorBase {
 public:
  using DetectorBase::DetectorBase;
  std::u16string_view LowPassName() const override { return u"HRV_pLPF"; }
  std::u16string_view DerivativeName() const override { return u"HRV_pDIF"; }
  std::u16string_view HilbertName() const override { return u"HRV_pHLB"; }
  std::u16string_view EnvelopeName() const override { return u"HRV_pENV"; }
  std::u16string_view NormalisedName() const override { return u"HRV_pNRM"; }
  std::u16string_view DetectedName() const override { return u"HRV_pDET"; }
  std::u16string_view FiducialName() const override { return u"HRV_pFID"; }
};

}  // namespace HRV
