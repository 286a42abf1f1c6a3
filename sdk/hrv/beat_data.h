// SPDX-License-Identifier: MIT
// The interfaces of the two objects that the extension attaches to a document's chart data
// so that the fiducial enumerator, which the host runs, finds them: the user's beat edits
// and the per-record beat-number cache. Both objects are implemented by the extension and
// called on the host's user-interface thread.
#pragma once

#include <cstdint>

#include "sdk/tick_position.h"
#include "sdk/unknown.h"

namespace HRV {

// Local numbers of the child-data type ids (module id of GUID_HRVDocumentObj in the high
// half, see make_type_id).
inline constexpr std::uint16_t kUserEventDataTypeNumber = 2;
inline constexpr std::uint16_t kEventIdCacheTypeNumber = 3;

// The two position sets of IUserEventData. Any `set` argument other than 0 selects
// RemovedBeats.
enum UserEventSet : std::int32_t {
  AddedBeats = 0,    // beats the user placed where the detector found none
  RemovedBeats = 1,  // detected beats the user deleted
};

// The user's beat edits: two ordered sets of positions without duplicates. Implemented by
// the extension. Null pointer arguments give E_FAIL.
struct IUserEventData : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{90678D5E-8981-4188-AF6D-FDFCDDF7B9A7}");

  // Empties both sets.
  virtual HRESULT Clear() = 0;
  // `empty` (out, may be null): S_OK and VARIANT_TRUE when both sets are empty, S_FALSE and
  // VARIANT_FALSE otherwise.
  virtual HRESULT IsEmpty(VARIANT_BOOL* empty) = 0;
  // Inserts `position` (in) into the set; a position already there stays as it is.
  virtual HRESULT Add(const TickPosition* position, std::int32_t set) = 0;
  // Erases `position` (in) from the set when present; S_OK either way.
  virtual HRESULT Remove(const TickPosition* position, std::int32_t set) = 0;
  // The first position of the set that is not less than `position` (in) goes to `found`
  // (out) with S_OK; when there is none, `found` receives tick and record 0x7FFFFFFF and
  // the result is S_FALSE.
  virtual HRESULT FindAtOrAfter(const TickPosition* position, std::int32_t set, TickPosition* found) = 0;

 protected:
  ~IUserEventData() = default;
};

// Number of the last beat seen in each record, so that numbering runs on from record to
// record without enumerating the earlier ones. Implemented by the extension; never
// persisted.
struct IEventIdCache : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{112F0B80-759A-40BA-AF1E-3CBCF7BF933D}");

  virtual HRESULT Clear() = 0;
  // `empty` (out, may be null): S_OK and VARIANT_TRUE when no record is held, S_FALSE and
  // VARIANT_FALSE otherwise.
  virtual HRESULT IsEmpty(VARIANT_BOOL* empty) = 0;
  // Stores `number` for `record`, replacing what was there.
  virtual HRESULT SetLastBeatNumber(std::int32_t record, std::uint32_t number) = 0;
  // `number` (out, may be null): the stored number with S_OK, or 0 with S_FALSE when the
  // record is not held.
  virtual HRESULT GetLastBeatNumber(std::int32_t record, std::uint32_t* number) = 0;

 protected:
  ~IEventIdCache() = default;
};

}  // namespace HRV
