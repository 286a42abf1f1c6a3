// SPDX-License-Identifier: MIT
#include "hrv/core/settings.h"

#include "hrv/core/settings_stream.h"
#include "hrv/host/guids.h"
#include "sdk/cpp/binary_stream.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/out_param.h"
#include "sdk/hrv/result_codes.h"

namespace HRV {
namespace {

// Change-mask values. The low 24 bits select results to recompute, bits 24 to 26 the
// detector stage groups to rebuild (filter, detection, fiducial); any bit above the low 24
// also means that the beats are collected again.
constexpr std::uint32_t kStartOver = 0xFFFFFFFFu;             // everything; the region is cleared too
constexpr std::uint32_t kRedetect = 0x06FFFFFFu;              // detection and fiducial groups, all results
constexpr std::uint32_t kReclassify = 0x04FFFFFFu;            // fiducial group (classification, edits), all results
constexpr std::uint32_t kRecalcSpectrumAndBands = 0x00000003u;
constexpr std::uint32_t kRecalcBands = 0x00000002u;
constexpr std::uint32_t kRecalcGroups = 0x00000100u;          // SDARR group sums
constexpr std::uint32_t kRecalcHistograms = 0x00020000u;
constexpr std::uint32_t kRecalcThreshold = 0x00040000u;       // pRRx count and median

// IEEE equality: a NaN differs from everything, itself included, so a record holding one
// always asks for the recompute.
bool differs(double a, double b) { return !(a == b); }

}  // namespace

HRESULT Settings::GetClassID(GUID* classId) { return copy_out<GUID>(GUID_HRVDocumentObj, classId); }

HRESULT Settings::IsDirty() { return Dirty ? S_OK : S_FALSE; }

HRESULT Settings::Load(IByteStream* stream) {
  return guard([&] {
    if (!stream) return E_POINTER;
    BinaryReader in(stream);
    std::int32_t version = 0;  // an empty stream reads as version 0 with nothing after it
    in.read(version);
    const bool earlier = version >= settings_stream::kFirstEarlierVersion && version <= settings_stream::kLastEarlierVersion;
    if (version > settings_stream::kCurrentVersion && !earlier) return HRV_E_NEWER_VERSION;
    LoadedVersion = version;
    if (earlier) {
      // All or nothing: a record that cannot be read to its end leaves this one as it was.
      try {
        static_cast<SettingsFields&>(*this) = settings_stream::read_earlier(in, version);
      } catch (const HResultError&) {
        // Why it failed (tag, block version, early end) does not change the outcome.
      }
    } else {
      settings_stream::read_current(in, version, *this);
    }
    Registered = true;
    Loaded = true;
    Dirty = false;
    return S_OK;
  });
}

HRESULT Settings::Save(IByteStream* stream, VARIANT_BOOL clearDirty) {
  if (!stream) return E_POINTER;
  BinaryWriter out(stream);
  settings_stream::write_current(out, *this);
  if (clearDirty) Dirty = false;
  return S_OK;
}

HRESULT Settings::GetSizeMax(std::uint64_t*) { return E_NOTIMPL; }

HRESULT Settings::InitNew() {
  static_cast<SettingsFields&>(*this) = SettingsFields();
  LoadedVersion = 0;
  Registered = false;
  Loaded = false;
  Dirty = false;
  return S_OK;
}

ComPtr<Settings> Settings::Clone() const {
  auto copy = make_com<Settings>();
  static_cast<SettingsFields&>(*copy) = *this;
  copy->Registered = Registered;
  copy->Loaded = Loaded;
  copy->Dirty = Dirty;
  return copy;
}

void Settings::Assign(const SettingsFields* other) {
  if (!other) return;
  const std::int32_t kind = SourceKind;
  static_cast<SettingsFields&>(*this) = *other;
  SourceKind = kind;
}

std::uint32_t Settings::CompareForRecompute(const SettingsFields* other) const {
  if (!other) return 0;
  const SettingsFields& o = *other;
  std::uint32_t mask = 0;
  if (SourceChannel != o.SourceChannel || SourceKind != o.SourceKind || AnalyseSelection != o.AnalyseSelection) mask |= kStartOver;
  if (StartTick != o.StartTick || StartRecord != o.StartRecord || EndTick != o.EndTick || EndRecord != o.EndRecord) mask |= kStartOver;
  if (ExcludeEctopic != o.ExcludeEctopic) mask |= kReclassify;
  if (differs(BinWidthSec, o.BinWidthSec) || AutoBinWidth != o.AutoBinWidth) mask |= kRecalcHistograms;
  if (differs(PRRThresholdSec, o.PRRThresholdSec)) mask |= kRecalcThreshold;
  if (differs(SDARRPeriodSec, o.SDARRPeriodSec)) mask |= kRecalcGroups;
  if (differs(MinRR, o.MinRR) || differs(MaxRR, o.MaxRR) || differs(MinFF, o.MinFF) || differs(MaxFF, o.MaxFF)) mask |= kReclassify;
  // A new cut-off changes the filtered signal that every later stage works on; together
  // with a change below it the mask stays all bits.
  if (differs(LowPassHz, o.LowPassHz)) mask |= kStartOver;
  if (differs(WindowSec, o.WindowSec) || differs(Noise, o.Noise) || differs(MinPeakHeightSD, o.MinPeakHeightSD) ||
      differs(MinPeriodSec, o.MinPeriodSec))
    mask |= kRedetect;
  if (differs(QRSWidthSec, o.QRSWidthSec)) mask |= kReclassify;
  if (differs(MaxFrequencyHz, o.MaxFrequencyHz) || FrequencyCount != o.FrequencyCount) mask |= kRecalcSpectrumAndBands;
  if (differs(VLFLowHz, o.VLFLowHz) || differs(VLFHighHz, o.VLFHighHz) || differs(LFLowHz, o.LFLowHz) ||
      differs(LFHighHz, o.LFHighHz) || differs(HFLowHz, o.HFLowHz) || differs(HFHighHz, o.HFHighHz))
    mask |= kRecalcBands;
  return mask;
}

void Settings::ResetRegion() {
  if (region_set()) {
    StartRecord = TickPosition::kUnset;
    EndRecord = TickPosition::kUnset;
  }
  Dirty = true;
}

}  // namespace HRV
