// SPDX-License-Identifier: MIT
// Identifiers the extension registers under. Each also serves as the key under which the
// host assigns a 16-bit module id (see host_context.h).
#pragma once

#include "sdk/guid.h"

namespace HRV {

// The analysis document's class; also the class id that the persisted objects report and
// the key of the extension's own module id.
inline constexpr GUID GUID_HRVDocumentObj = make_guid("{EA881A0C-B5E6-42DD-9B2E-4714888D1B5B}");
// The calculation enumerators; key of the module id of the fiducial event type.
inline constexpr GUID GUID_HRVEnumObj = make_guid("{DCF2F97C-4F1B-491A-B0A1-9D089AC03CDC}");

}  // namespace HRV
