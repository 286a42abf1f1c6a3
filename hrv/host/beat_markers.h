// SPDX-License-Identifier: MIT
// How the host's chart shows the detected beats: each beat is an event of the fiducial
// channel, drawn as a marker whose colour says how the beat was classified, with a comment
// that gives its number, RR, FF and class.
#pragma once

#include <cstdint>
#include <string>

#include "hrv/engine/fiducial_event.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/application.h"
#include "sdk/host/event_draw.h"

namespace HRV {

// Marker colours as COLORREF (0x00BBGGRR).
enum MarkerColour : std::uint32_t {
  MarkerGrey = 0xC8C8C8,     // no class, not used by the statistics, or no RR
  MarkerGreen = 0x00FF00,    // placed by the user
  MarkerRed = 0x0000FF,      // RR and FF outside the classifier box
  MarkerOrange = 0x00AAFF,   // RR outside the box
  MarkerMagenta = 0xAA00FF,  // FF outside the box
  MarkerBlue = 0xFF5000,     // a normal beat that the statistics use
};

// The marker colour of `beat`. The user's flag is tested before the class bits, so a beat
// the user added is green whatever its class.
std::uint32_t marker_colour(const FiducialEvent& beat) noexcept;

// "HRV Beat <number>: RR = <rr> ms; FF = <ff> (<class>)", numbers with 4 significant digits and
// "no data" in place of an undefined RR.
std::string beat_comment(const FiducialEvent& beat);

// The event draw class of the fiducial events, "PkStimEventDrawClass". Its event type is
// local number 1 of the module id that the host assigns to GUID_HRVEnumObj.
class FiducialDrawClass final : public ComObject<IEventDrawClass, IEventDrawPolicy, IClassObjectInfo> {
 public:
  static constexpr std::uint16_t kEventTypeNumber = 1;

  // IClassFactory: nothing to create, the class draws itself.
  HRESULT CreateInstance(IUnknown*, const GUID&, void** object) override;
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }

  // IEventDrawClass (GetTypeId also answers IClassObjectInfo)
  HRESULT GetTypeId(std::uint32_t* typeId) override;
  HRESULT GetOptions(std::int32_t* options) override;
  HRESULT GetName(BSTR* name) override;
  std::int32_t CanDraw(std::int32_t) override { return 1; }

  // IEventDrawPolicy: `event` is an 80-byte FiducialEvent.
  HRESULT GetColour(std::int32_t, const void* event, std::uint32_t* colour) override;
  HRESULT GetText(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, const void* event,
                  BSTR* text) override;

  // IClassObjectInfo
  HRESULT GetDisplayName(BSTR* name) override;
  HRESULT GetInternalName(BSTR* name) override;
  HRESULT GetClassId(GUID* classId) override;
  HRESULT GetCategory(GUID* category) override;
  HRESULT GetFlags(std::uint32_t* flags) override;
};

}  // namespace HRV
