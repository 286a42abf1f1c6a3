// SPDX-License-Identifier: MIT
#include "hrv/host/beat_markers.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include <boost/format.hpp>

#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/out_param.h"
#include "sdk/cpp/utf.h"

namespace HRV {
namespace {

constexpr char16_t kClassName[] = u"PkStimEventDrawClass";

bool has(std::uint32_t flags, std::uint32_t bits) noexcept { return (flags & bits) == bits; }

// Events cross the boundary as raw records; copying avoids relying on the host's alignment.
FiducialEvent read_event(const void* event) noexcept {
  FiducialEvent beat;
  std::memcpy(&beat, event, sizeof beat);
  return beat;
}

// 4 significant digits as printf's %g writes them, in the classic locale.
std::string four_digits(double v) {
  char buffer[32];
  return {buffer, std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 4).ptr};
}

}  // namespace

std::uint32_t marker_colour(const FiducialEvent& beat) noexcept {
  const std::uint32_t flags = beat.flags;
  if (beat.class_code() == ClassUnknown || beat.tick == FiducialEvent::kEmptyTick || std::isnan(beat.rr) ||
      std::isnan(beat.deltaRR))
    return MarkerGrey;
  if ((flags >> 16) == (UserAdded >> 16)) return MarkerGreen;
  if (has(flags, ClassOutsideRR | ClassOutsideFF)) return MarkerRed;
  if (has(flags, ClassOutsideRR)) return MarkerOrange;
  if (has(flags, ClassOutsideFF)) return MarkerMagenta;
  if (beat.class_code() != 0) return MarkerGrey;
  return has(flags, UseRR | UseDeltaRR) ? MarkerBlue : MarkerGrey;
}

std::string beat_comment(const FiducialEvent& beat) {
  // Parsed once and copied for each comment; the copy keeps the parsed template.
  static const boost::format kTemplate("HRV Beat %1%: RR = %2%; FF = %3% (%4%)");
  static const std::string kNoData = "no data";
  boost::format comment(kTemplate);
  comment % beat.beatNumber;
  // RR always in milliseconds, whatever its size; FF has no unit and so no prefix.
  comment % (std::isnan(beat.rr) ? kNoData : four_digits(beat.rr * 1000.0) + " ms");
  comment % four_digits(beat.ff);
  comment % to_string(display_class(beat));
  return comment.str();
}

HRESULT FiducialDrawClass::CreateInstance(IUnknown*, const GUID&, void** object) {
  if (object) *object = nullptr;
  return E_NOTIMPL;
}

HRESULT FiducialDrawClass::GetTypeId(std::uint32_t* typeId) {
  if (!typeId) return E_POINTER;
  return guard([&] {
    *typeId = make_type_id(HostContext::instance().module_id(GUID_HRVEnumObj), kEventTypeNumber);
    return S_OK;
  });
}

HRESULT FiducialDrawClass::GetOptions(std::int32_t* options) { return copy_out<std::int32_t>(0, options); }

HRESULT FiducialDrawClass::GetName(BSTR* name) {
  if (!name) return E_POINTER;
  SysFreeString(*name);
  *name = nullptr;
  return copy_text(kClassName, name);
}

HRESULT FiducialDrawClass::GetColour(std::int32_t, const void* event, std::uint32_t* colour) {
  if (!event) return E_FAIL;
  if (!colour) return E_POINTER;
  *colour = marker_colour(read_event(event));
  return S_OK;
}

HRESULT FiducialDrawClass::GetText(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                   const void* event, BSTR* text) {
  if (!event) return E_FAIL;
  if (!text) return E_POINTER;
  *text = nullptr;
  return guard([&] {
    *text = Bstr(beat_comment(read_event(event))).detach();
    return S_OK;
  });
}

HRESULT FiducialDrawClass::GetDisplayName(BSTR* name) { return copy_text(kClassName, name); }
HRESULT FiducialDrawClass::GetInternalName(BSTR* name) { return copy_text(kClassName, name); }

HRESULT FiducialDrawClass::GetClassId(GUID* classId) { return copy_out<GUID>(GUID_HRVEnumObj, classId); }

HRESULT FiducialDrawClass::GetCategory(GUID* category) { return copy_out<GUID>(kEventDrawCategory, category); }

HRESULT FiducialDrawClass::GetFlags(std::uint32_t* flags) { return copy_out<std::uint32_t>(0, flags); }

}  // namespace HRV
