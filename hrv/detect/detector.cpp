// SPDX-License-Identifier: MIT
#include "hrv/detect/detector.h"

#include <cmath>

#include "hrv/detect/expression_format.h"
#include "sdk/cpp/utf.h"

namespace HRV {

namespace {

constexpr std::u16string_view kLowPass = u"lowpass(%1,%2)";
constexpr std::u16string_view kDerivative = u"differentiate(%1,%2)";
constexpr std::u16string_view kHilbert = u"resample(%1,1,1,1,%2,0,2)";
constexpr std::u16string_view kEnvelope = u"%1 * %2 + %3 * %4";
constexpr std::u16string_view kNormalise = u"normalizeSec(%1,%2,%3,%4)";
constexpr std::u16string_view kPeaks = u"cmpeakdet(%1,%2,%3,%4)";
constexpr std::u16string_view kFiducial = u"fiducial(%1,%2,%3,%4,%5,%6,%7,%8,%9,%10,%11,%12,%13)";
constexpr std::u16string_view kBeatList = u"beats(%1,%2,%3,%4,%5,%6,%7,%8,%9,%10)";

constexpr std::int32_t kDerivativePoints = 3;
constexpr double kPeakDetectorConstant = 30;
constexpr std::int32_t kMinimumHilbertTaps = 21;

ChannelId source_of(const SettingsFields& s) { return {s.SourceChannel, s.SourceKind}; }

}  // namespace

std::array<std::u16string_view, 7> DetectorBase::StageNames() const {
  return {LowPassName(), DerivativeName(), HilbertName(), EnvelopeName(), NormalisedName(), DetectedName(), FiducialName()};
}

std::int32_t DetectorBase::HilbertLength(const SettingsFields& settings) const {
  const ChannelId source = source_of(settings);
  std::int32_t records = 0;
  document()->GetRecordCount(&records);
  std::int32_t record = TickPosition::kOpenEndRecord;  // no data yet: the interval of a new record
  for (std::int32_t r = records - 1; r >= 0; --r) {
    VARIANT_BOOL has = VARIANT_FALSE;
    if (document()->ChannelHasData(r, source, &has) == S_OK && has) {
      record = r;
      break;
    }
  }
  double dt = 0;
  document()->GetSampleInterval(record, source.for_data(), &dt);
  std::int32_t taps = 0;
  if (dt != 0) {
    const double n = std::trunc(settings.QRSWidthSec / dt * 2.0);
    taps = std::isfinite(n) && n < 2147483647.0 ? static_cast<std::int32_t>(n) : 2147483647;
  }
  return taps < kMinimumHilbertTaps ? kMinimumHilbertTaps : taps;
}

std::u16string DetectorBase::SourceReference(const SettingsFields& settings) const {
  switch (source_of(settings).reference()) {
    case ChannelId::kRawReference: return u"RCh" + format_integer(std::int64_t{settings.SourceChannel} + 1);
    case ChannelId::kComputedReference: {
      Bstr name;
      if (channels()) channels()->GetSourceName(source_of(settings), name.put());
      return std::u16string(name.view());
    }
    default: return u"Ch" + format_integer(std::int64_t{settings.SourceChannel} + 1);
  }
}

bool DetectorBase::SourceIsBeatList(const SettingsFields& settings) const {
  // The host opens an event reader only over a channel of events.
  ComPtr<IEventReader> reader;
  return source_of(settings).reference() == ChannelId::kComputedReference &&
         document()->OpenEventReader(source_of(settings), {0, 0}, {0, 0}, reader.put()) == S_OK && reader;
}

bool DetectorBase::BuildFilterGroup(const SettingsFields& s) {
  const std::u16string taps = format_integer(HilbertLength(s));
  const std::u16string lpf = fill_placeholders(kLowPass, {SourceReference(s), format_number(s.LowPassHz)});
  const std::u16string dif = fill_placeholders(kDerivative, {LowPassName(), format_integer(kDerivativePoints)});
  const std::u16string hlb = fill_placeholders(kHilbert, {DerivativeName(), taps});
  const std::u16string env =
      fill_placeholders(kEnvelope, {DerivativeName(), DerivativeName(), HilbertName(), HilbertName()});
  bool ok = Define(LowPassName(), lpf, u"");
  ok = Define(DerivativeName(), dif, u"") && ok;
  ok = Define(HilbertName(), hlb, u"") && ok;
  ok = Define(EnvelopeName(), env, u"") && ok;
  return ok;
}

bool DetectorBase::BuildDetectionGroup(const SettingsFields& s) {
  const std::u16string nrm = fill_placeholders(
      kNormalise, {EnvelopeName(), format_number(s.WindowSec), format_number(s.WindowSec * 0.5), format_number(s.Noise)});
  const std::u16string det = fill_placeholders(kPeaks, {NormalisedName(), format_number(s.MinPeakHeightSD),
                                                        format_number(s.MinPeriodSec), format_number(kPeakDetectorConstant)});
  bool ok = Define(NormalisedName(), nrm, u"");
  ok = Define(DetectedName(), det, u"") && ok;
  return ok;
}

bool DetectorBase::BuildFiducialGroup(const SettingsFields& s) {
  // Integer parameters travel as doubles, so large ticks take the exponent form.
  auto as_double = [](std::int32_t v) { return format_number(static_cast<double>(v)); };
  if (SourceIsBeatList(s))
    return Define(FiducialName(),
                  fill_placeholders(kBeatList, {SourceReference(s), format_number(s.MinRR), format_number(s.MaxRR),
                                                format_number(s.MinFF), format_number(s.MaxFF), as_double(s.StartRecord),
                                                as_double(s.StartTick), as_double(s.EndRecord), as_double(s.EndTick),
                                                format_number(s.ExcludeEctopic ? 1 : 0)}),
                  u"");
  const std::u16string fid = fill_placeholders(
      kFiducial, {LowPassName(), DetectedName(), format_number(s.QRSWidthSec), format_number(0.0), format_number(s.MinRR),
                  format_number(s.MaxRR), format_number(s.MinFF), format_number(s.MaxFF), as_double(s.StartRecord),
                  as_double(s.StartTick), as_double(s.EndRecord), as_double(s.EndTick), format_number(s.ExcludeEctopic ? 1 : 0)});
  return Define(FiducialName(), fid, u"");
}

bool DetectorBase::Build(std::uint32_t flags, const SettingsFields* settings) {
  if (!settings || !has_document()) return false;
  // Imported beats need no detection: no filter or detection stage to define.
  if (SourceIsBeatList(*settings)) flags &= ~(FilterGroup | DetectionGroup);
  bool ok = true;
  if (flags & FilterGroup) ok = BuildFilterGroup(*settings);
  bool detection = true;
  if (flags & DetectionGroup) detection = BuildDetectionGroup(*settings);
  ok = ok && detection;
  if (!detection) return false;
  if (flags & FiducialGroup) ok = BuildFiducialGroup(*settings) && ok;
  return ok;
}

bool DetectorBase::CreateChannels(ChannelId* fiducial) {
  bool ok = true;
  for (auto name : StageNames()) ok = Define(name, u"", u"") && ok;
  if (fiducial) *fiducial = Lookup(FiducialName());
  return ok;
}

bool DetectorBase::Refresh(std::uint32_t flags, const SettingsFields* settings) {
  if (!has_document()) return false;
  const auto names = StageNames();
  if ((flags & AllGroups) && settings && channels()) {
    const ChannelId fid = Lookup(FiducialName());
    VARIANT_BOOL shown = VARIANT_FALSE;
    if (fid.found() && channels()->IsShowingEventsOn(fid, settings->SourceChannel, &shown) == S_OK && shown)
      channels()->HideEventsOn(fid, settings->SourceChannel);
  }
  auto reset = [&](std::size_t first, std::size_t last) {
    for (std::size_t i = first; i < last; ++i)
      if (ChannelId id = Lookup(names[i]); id.found()) ResetCalculation(id);
  };
  if (flags & FilterGroup) reset(0, 4);
  if (flags & DetectionGroup) reset(4, 6);
  if (flags & FiducialGroup) reset(6, 7);
  return true;
}

bool DetectorBase::DeleteChannels() {
  bool ok = true;
  for (auto name : StageNames()) ok = Remove(name, true) && ok;
  return ok;
}

bool DetectorBase::ShowBeatMarkers(const SettingsFields* settings) {
  const ChannelId fid = Lookup(FiducialName());
  if (!settings || !channels() || !fid.found() || settings->SourceChannel == ChannelId::kNotFoundIndex ||
      !settings->ShowMarkers)
    return false;
  channels()->HideEventsOn(fid, settings->SourceChannel);
  return SUCCEEDED(channels()->ShowEventsOn(fid, settings->SourceChannel));
}

void DetectorBase::SetBeatMarkers(ChannelId fiducial, std::int32_t sourceIndex, bool show) {
  if (!channels() || !fiducial.found()) return;
  VARIANT_BOOL shown = VARIANT_FALSE;
  if (FAILED(channels()->IsShowingEventsOn(fiducial, sourceIndex, &shown))) return;
  if (show && !shown) channels()->ShowEventsOn(fiducial, sourceIndex);
  if (!show && shown) channels()->HideEventsOn(fiducial, sourceIndex);
}

bool DetectorBase::FiducialChannel(ChannelId* id) const {
  const ChannelId fid = Lookup(FiducialName());
  if (id) *id = fid;
  return fid.found();
}

}  // namespace HRV
